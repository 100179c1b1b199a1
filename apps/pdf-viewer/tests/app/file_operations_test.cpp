// The viewer's file operations without PDFium: the picker requests and their
// answers, the save and import replies, and the operation host's lifecycle,
// against a worker that only records what it is asked.
#include <gtest/gtest.h>

#include "actions/action_json.h"
#include "app/file_operations.h"
#include "app/import_flow.h"
#include "app/save_flow.h"
#include "app/ui/empty_screen.h"
#include "app/ui/toolbar.h"
#include "file_test_support.h"
#include "source/review_snapshot.h"

namespace {

namespace source = pdf::source;
namespace portal = velyn_ui::portal;
using pdf_app::CollectResult;
using pdf_app::OperationId;
using pdf_app::PdfApp;
using pdf_app::StartResult;

constexpr std::string_view kOperation = "pdf_viewer.operation";

source::Opened opened_reply(source::RequestId id, std::size_t pages) {
  source::Opened o;
  o.request_id = id;
  o.opened.document = source::Document::blank_pages("T", "", pages, 612, 792);
  o.opened.file_name = "report.pdf";
  o.opened.raster_document = id;
  o.opened.page_sizes.assign(pages, source::PageSize{612, 792});
  return o;
}

std::string encoded(const pdf_actions::PdfOperation& op) { return pdf_actions::encode_operation(op)->json; }

TEST(FileNames, PdfExtensionRules) {
  const std::pair<const char*, const char*> cases[] = {
      {"report", "report.pdf"},         {"Report.PDF", "Report.PDF"},   {"report.txt", "report.txt.pdf"},
      {"/d/notes", "/d/notes.pdf"},     {"/d/x.Pdf", "/d/x.Pdf"},       {".pdf", ".pdf.pdf"},
      {"a.pdf.bak", "a.pdf.bak.pdf"},   {"bad.\xff", "bad.\xff.pdf"},   {"dir.pdf/x", "dir.pdf/x.pdf"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(pdf_app::ensure_pdf_extension(in).string(), out) << in;
}

TEST(FileNames, SuggestedAndSavedNames) {
  EXPECT_EQ(pdf_app::suggested_save_name("/tmp/report.pdf"), "report-annotated.pdf");
  EXPECT_EQ(pdf_app::suggested_save_name("relative/Übersicht.PDF"), "Übersicht-annotated.pdf");
  EXPECT_EQ(pdf_app::suggested_save_name(std::nullopt), "document-annotated.pdf");
  EXPECT_EQ(pdf_app::suggested_save_name(""), "document-annotated.pdf");
  EXPECT_EQ(pdf_app::suggested_save_name("/tmp/\xc3(.pdf"), "document-annotated.pdf");
  EXPECT_EQ(pdf_app::saved_file_label("/tmp/x.pdf"), "x.pdf");
  EXPECT_EQ(pdf_app::saved_file_label("/tmp/"), "the file");
  EXPECT_EQ(pdf_app::saved_file_label("/tmp/\xff.pdf"), "the file");
}

TEST(PickerRequests, TitlesLabelsThreadsAndFilters) {
  struct Case {
    portal::PickRequest request;
    portal::PickRequest::Kind kind;
    const char *title, *accept, *thread, *filter;
    std::vector<std::string> types;
    bool all_files;
  };
  const Case cases[] = {
      {pdf_app::open_pick_request(), portal::PickRequest::Kind::Open, "Open a PDF", "Open", "pdf-portal-open",
       "PDF documents", {"application/pdf"}, true},
      {pdf_app::save_pick_request("x-annotated.pdf"), portal::PickRequest::Kind::Save, "Save annotated PDF", "Save",
       "pdf-portal-save", "PDF documents", {"application/pdf"}, false},
      {pdf_app::import_pick_request(), portal::PickRequest::Kind::Open, "Import pages from a PDF or image", "Import",
       "pdf-portal-import", "PDF or image", {"application/pdf", "image/png", "image/jpeg"}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    EXPECT_EQ(c.request.kind(), c.kind);
    EXPECT_EQ(c.request.title(), c.title);
    EXPECT_EQ(c.request.accept_label(), c.accept);
    EXPECT_EQ(c.request.thread_name(), c.thread);
    ASSERT_EQ(c.request.filters().size(), 1u);
    EXPECT_EQ(c.request.filters()[0].name(), c.filter);
    EXPECT_EQ(c.request.filters()[0].mimetypes(), c.types);
    EXPECT_EQ(c.request.has_all_files(), c.all_files);
  }
  EXPECT_EQ(pdf_app::save_pick_request("x-annotated.pdf").suggested_name(), "x-annotated.pdf");
}

TEST(ImportedEntries, SizesInThousandthsRoundedHalfAwayFromZero) {
  source::PagesImported reply{5, std::string(64, 'a'), "pdf", {{612, 408}, {100.0005, 0.0004}, {595.2756, 841.8898}}};
  const auto entries = pdf_app::imported_entries(reply);
  ASSERT_EQ(entries.size(), 3u);
  const std::pair<std::uint32_t, std::uint32_t> milli[] = {{612000, 408000}, {100001, 0}, {595276, 841890}};
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& e = entries[i];
    EXPECT_TRUE(e.id.starts_with("import-")) << e.id;
    EXPECT_EQ(e.id.size(), 7u + 36u);
    EXPECT_EQ(e.source_page, i + 1);
    ASSERT_TRUE(e.imported);
    EXPECT_EQ(e.imported->hash, reply.hash);
    EXPECT_EQ(e.imported->kind, "pdf");
    EXPECT_EQ(e.imported->page, i + 1);
    EXPECT_EQ(e.imported->width_milli, milli[i].first) << i;
    EXPECT_EQ(e.imported->height_milli, milli[i].second) << i;
  }
  EXPECT_NE(entries[0].id, entries[1].id);
}

class FileOperations : public ::testing::Test {
 protected:
  void SetUp() override {
    auto jobs = std::make_unique<file_test::RecordingJobs>();
    jobs_ = jobs.get();
    worker_ = source::SourceWorker::start(std::move(jobs));
    app_ = std::make_unique<PdfApp>(*source::SourceClient::open(*worker_));
    driver_ = std::make_unique<file_test::Driver>(*app_);
  }
  void TearDown() override {
    driver_.reset();
    app_.reset();
  }

  // A document of `pages` pages opened, bound to its record and its plan applied.
  void open_loaded(std::size_t pages, const std::string& path = "/tmp/files/report.pdf") {
    app_->start_open(path);
    document_ = app_->pending_open->request_id;
    app_->handle_reply(opened_reply(document_, pages));
    driver_->frame();
    ASSERT_FALSE(app_->waiting_for_record);
    ASSERT_TRUE(app_->pending_plan);
    app_->handle_reply(source::PagePlanApplied{document_, *app_->pending_plan, {}});
    ASSERT_FALSE(app_->pending_plan);
  }
  void add_highlight() {
    auto ctx = driver_->context();
    ASSERT_TRUE(app_->dispatch_action(
        driver_->document(), ctx,
        pdf_actions::PdfViewerAction::AddAnnotation{"2d8ab1f0-8c51-4b1a-9d65-0f7d3a6b7c11", 1,
                                                    pdf_actions::AnnoGeom::Highlight{10, 20, 100, 12}, "green",
                                                    "Ann"}));
  }
  // Frames until the picker of that kind has been answered and consumed.
  bool settle(std::optional<portal::PickReceiver>& receiver) {
    return driver_->frames_until([&] { return !receiver.has_value(); });
  }

  file_test::TempHome home_;
  file_test::FakePicker picker_;
  file_test::RecordingJobs* jobs_ = nullptr;
  std::unique_ptr<source::SourceWorker> worker_;
  std::unique_ptr<PdfApp> app_;
  std::unique_ptr<file_test::Driver> driver_;
  source::RasterDocumentId document_ = 0;
};

TEST_F(FileOperations, SaveRunsPrepareThenCommitAndReportsTheFileName) {
  open_loaded(2);
  add_highlight();
  ASSERT_TRUE(pdf_app::start_save(*app_, "/tmp/files/x.pdf"));
  EXPECT_EQ(app_->status, "Saving annotated PDF…");
  const auto prepare = jobs_->wait_for_last<source::PrepareSave>();
  ASSERT_TRUE(prepare);
  const auto& request = prepare->save;
  EXPECT_EQ(request.destination, "/tmp/files/x.pdf");
  EXPECT_EQ(request.document, document_);
  ASSERT_TRUE(request.review);
  ASSERT_EQ(request.review->annotations.size(), 1u);
  EXPECT_EQ(request.review->annotations[0].color, pdf_actions::Swatch::Green);

  // Edits after the request do not reach the snapshot the worker holds.
  add_highlight();
  EXPECT_EQ(request.review->annotations.size(), 1u);

  // Replies for another save, document or destination are not this save's.
  const std::filesystem::path private_file = "/tmp/files/.velyn-pdf-1-abcdef/document.pdf";
  app_->handle_reply(source::SavePrepared{request.save_id + 1, document_, request.destination, private_file});
  app_->handle_reply(source::SavePrepared{request.save_id, document_ + 1, request.destination, private_file});
  app_->handle_reply(source::SavePrepared{request.save_id, document_, "/tmp/files/y.pdf", private_file});
  app_->handle_reply(source::SaveFailed{request.save_id + 1, "not ours"});
  EXPECT_EQ(jobs_->count<source::CommitSave>(), 0u);
  EXPECT_EQ(app_->status, "Saving annotated PDF…");

  app_->handle_reply(source::SavePrepared{request.save_id, document_, request.destination, private_file});
  const auto commit = jobs_->wait_for_last<source::CommitSave>();
  ASSERT_TRUE(commit);
  EXPECT_EQ(commit->private_file, private_file);
  EXPECT_EQ(commit->save.save_id, request.save_id);
  EXPECT_TRUE(app_->files.pending_save);

  app_->handle_reply(source::SaveCommitted{request.save_id, request.destination});
  EXPECT_FALSE(app_->files.pending_save);
  EXPECT_EQ(app_->status, "Saved annotated PDF to x.pdf");
}

// The dot on Save: any review change not yet exported, until a save of it completes.
TEST_F(FileOperations, UnexportedChangesLastUntilASaveOfThemCompletes) {
  open_loaded(2);
  EXPECT_FALSE(app_->has_unexported_changes());
  add_highlight();
  EXPECT_TRUE(app_->has_unexported_changes());
  const auto save_once = [this] {
    ASSERT_TRUE(pdf_app::start_save(*app_, "/tmp/files/x.pdf"));
    const auto prepare = jobs_->wait_for_last<source::PrepareSave>();
    ASSERT_TRUE(prepare);
    const auto request = prepare->save;
    app_->handle_reply(source::SavePrepared{request.save_id, document_, request.destination, "/tmp/files/p/d.pdf"});
    app_->handle_reply(source::SaveCommitted{request.save_id, request.destination});
  };
  save_once();
  EXPECT_FALSE(app_->has_unexported_changes());
  auto ctx = driver_->context();
  ASSERT_TRUE(app_->dispatch_action(driver_->document(), ctx,
                                    pdf_actions::PdfViewerAction::SetAnnotationColor{
                                        "2d8ab1f0-8c51-4b1a-9d65-0f7d3a6b7c11", "blue"}));
  EXPECT_TRUE(app_->has_unexported_changes());
}

TEST_F(FileOperations, SaveRefusalsAndFailures) {
  // Without PDFium pages neither the picker nor the save starts.
  pdf_app::request_save_picker(*app_);
  EXPECT_EQ(app_->status, "Saving annotations needs the pdfium backend");
  EXPECT_FALSE(app_->files.save_picker);
  pdf_app::request_import_picker(*app_);
  EXPECT_EQ(app_->status, "Importing pages needs the pdfium backend");
  EXPECT_FALSE(app_->files.import_picker);
  EXPECT_FALSE(pdf_app::start_save(*app_, "/tmp/x.pdf"));
  EXPECT_EQ(app_->status, "Saving annotations needs the PDF worker");
  EXPECT_FALSE(pdf_app::start_import(*app_, "/tmp/x.png"));
  EXPECT_EQ(app_->status, "Importing pages needs the PDF worker");

  open_loaded(2);
  app_->pending_plan.emplace();
  EXPECT_FALSE(pdf_app::start_save(*app_, "/tmp/x.pdf"));
  EXPECT_EQ(app_->status, "Waiting for the shared page plan before saving");
  app_->pending_plan.reset();

  ASSERT_TRUE(pdf_app::start_save(*app_, "/tmp/x.pdf"));
  const auto id = app_->files.pending_save->save_id;
  app_->handle_reply(source::SaveFailed{id, "publishing the saved PDF to /tmp/x.pdf"});
  EXPECT_EQ(app_->status, "Save failed: publishing the saved PDF to /tmp/x.pdf");
  EXPECT_FALSE(app_->files.pending_save);

  // Request ids run out: the save fails before anything is sent.
  source::set_next_request_id_for_testing(~std::uint64_t{0});
  EXPECT_FALSE(pdf_app::start_save(*app_, "/tmp/x.pdf"));
  EXPECT_EQ(app_->status, "Save failed: the PDF source worker has exhausted request ids");
  source::set_next_request_id_for_testing(1000);

  // A stopped worker: submitting fails with its text.
  app_->client->close();
  EXPECT_FALSE(pdf_app::start_save(*app_, "/tmp/x.pdf"));
  EXPECT_EQ(app_->status, "Save failed: the PDF source worker has stopped");
  EXPECT_FALSE(app_->files.pending_save);
}

TEST_F(FileOperations, ACommitThatCannotBeSentFailsTheSave) {
  open_loaded(1);
  ASSERT_TRUE(pdf_app::start_save(*app_, "/tmp/files/x.pdf"));
  const auto request = *app_->files.pending_save;
  app_->client->close();
  app_->handle_reply(source::SavePrepared{request.save_id, document_, request.destination, "/tmp/p/document.pdf"});
  EXPECT_FALSE(app_->files.pending_save);
  EXPECT_EQ(app_->status, "Save failed: the PDF source worker has stopped");
}

TEST_F(FileOperations, HostSaveAsWithAPathIsPendingUntilCommittedAndCollectedOnce) {
  open_loaded(2);
  const OperationId op{1, 2}, other{2, 1};
  const auto started = pdf_app::start_operation(*app_, op, 0, kOperation, encoded(pdf_actions::PdfOperation::SaveAs{"/tmp/files/notes"}));
  EXPECT_EQ(started.kind, StartResult::Kind::Pending);
  ASSERT_TRUE(app_->files.pending_save);
  EXPECT_EQ(app_->files.pending_save->destination, "/tmp/files/notes.pdf");
  const auto request = *app_->files.pending_save;

  // A second SaveAs is refused at once; the first is unaffected.
  EXPECT_EQ(pdf_app::start_operation(*app_, other, 0, kOperation, encoded(pdf_actions::PdfOperation::SaveAs{"/tmp/y"})),
            (StartResult{StartResult::Kind::Failed, "another PDF save is already in progress"}));
  EXPECT_EQ(app_->files.pending_save->save_id, request.save_id);
  EXPECT_FALSE(pdf_app::poll_operation(*app_, op, false));
  EXPECT_FALSE(pdf_app::poll_operation(*app_, other, true));  // not its id: nothing changes
  EXPECT_TRUE(app_->files.host_operation);

  app_->handle_reply(source::SavePrepared{request.save_id, document_, request.destination, "/tmp/files/p/document.pdf"});
  EXPECT_FALSE(pdf_app::poll_operation(*app_, op, false));
  app_->handle_reply(source::SaveCommitted{request.save_id, request.destination});
  EXPECT_FALSE(pdf_app::poll_operation(*app_, other, false));
  EXPECT_EQ(pdf_app::poll_operation(*app_, op, false), (CollectResult{CollectResult::Kind::Completed, "", ""}));
  EXPECT_FALSE(pdf_app::poll_operation(*app_, op, false));
  EXPECT_EQ(app_->status, "Saved annotated PDF to notes.pdf");
}

TEST_F(FileOperations, HostCancelAfterPrepareWithdrawsThePreparedSave) {
  open_loaded(1);
  const OperationId op{0, 9};
  ASSERT_EQ(pdf_app::start_operation(*app_, op, 1, kOperation, encoded(pdf_actions::PdfOperation::SaveAs{"/tmp/z.pdf"})).kind,
            StartResult::Kind::Pending);
  const auto request = *app_->files.pending_save;
  app_->handle_reply(source::SavePrepared{request.save_id, document_, request.destination, "/tmp/p/document.pdf"});
  EXPECT_EQ(pdf_app::poll_operation(*app_, op, true),
            (CollectResult{CollectResult::Kind::Cancelled, "", "file operation cancelled"}));
  const auto cancel = jobs_->wait_for_last<source::CancelSave>();
  ASSERT_TRUE(cancel);
  EXPECT_EQ(cancel->save.save_id, request.save_id);
  EXPECT_FALSE(app_->files.pending_save);
  // A late commit answer is no longer this viewer's business.
  app_->handle_reply(source::SaveCommitted{request.save_id, request.destination});
  EXPECT_NE(app_->status, "Saved annotated PDF to z.pdf");
  EXPECT_FALSE(pdf_app::poll_operation(*app_, op, false));
}

TEST_F(FileOperations, HostSaveAsFailuresReachTheHostWithTheirCode) {
  open_loaded(1);
  const OperationId op{3, 3};
  ASSERT_EQ(pdf_app::start_operation(*app_, op, 0, kOperation, encoded(pdf_actions::PdfOperation::SaveAs{"/nope/a.pdf"})).kind,
            StartResult::Kind::Pending);
  app_->handle_reply(source::SaveFailed{app_->files.pending_save->save_id, "creating a private save directory in /nope"});
  EXPECT_EQ(pdf_app::poll_operation(*app_, op, false),
            (CollectResult{CollectResult::Kind::Failed, "pdf.portal_failed", "creating a private save directory in /nope"}));
  EXPECT_EQ(app_->status, "Save failed: creating a private save directory in /nope");

  // A save that cannot start fails the operation at once.
  app_->pending_plan.emplace();
  EXPECT_EQ(pdf_app::start_operation(*app_, op, 0, kOperation, encoded(pdf_actions::PdfOperation::SaveAs{"/tmp/a"})),
            (StartResult{StartResult::Kind::Failed, "PDF could not be saved"}));
  EXPECT_FALSE(app_->files.host_operation);
}

TEST_F(FileOperations, SavePickerAnswers) {
  open_loaded(1);
  const OperationId op{4, 4};
  // Chosen: the extension is fixed and the save starts; the suggestion comes from the document's name.
  picker_->push_answer(portal::PickAnswer::chosen("/tmp/files/out"));
  ASSERT_EQ(pdf_app::start_operation(*app_, op, 0, kOperation, encoded(pdf_actions::PdfOperation::SaveAs{})).kind,
            StartResult::Kind::Pending);
  ASSERT_TRUE(settle(app_->files.save_picker));
  ASSERT_TRUE(app_->files.pending_save);
  EXPECT_EQ(app_->files.pending_save->destination, "/tmp/files/out.pdf");
  const auto seen = picker_->seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].request.suggested_name(), "report-annotated.pdf");
  EXPECT_EQ(seen[0].thread, "pdf-portal-save");
  app_->handle_reply(source::SaveFailed{app_->files.pending_save->save_id, "x"});
  EXPECT_EQ(pdf_app::poll_operation(*app_, op, false)->kind, CollectResult::Kind::Failed);

  // Cancelled: the host hears "file selection cancelled"; nothing is saved.
  picker_->push_answer(portal::PickAnswer::cancelled());
  ASSERT_EQ(pdf_app::start_operation(*app_, op, 0, kOperation, encoded(pdf_actions::PdfOperation::SaveAs{})).kind,
            StartResult::Kind::Pending);
  ASSERT_TRUE(settle(app_->files.save_picker));
  EXPECT_FALSE(app_->files.pending_save);
  EXPECT_EQ(pdf_app::poll_operation(*app_, op, false),
            (CollectResult{CollectResult::Kind::Cancelled, "", "file selection cancelled"}));

  // Failed: the portal's text in the status and to the host.
  picker_->push_answer(portal::PickAnswer::failed("org.freedesktop.DBus.Error.ServiceUnknown"));
  driver_->send(velyn_ui::KeyPress{velyn_ui::Key::Character, U's', velyn_ui::kModCtrl});
  ASSERT_TRUE(app_->files.save_picker);
  ASSERT_TRUE(settle(app_->files.save_picker));
  EXPECT_EQ(app_->status, "Couldn't open the save dialog: org.freedesktop.DBus.Error.ServiceUnknown");
  EXPECT_FALSE(app_->files.host_result);  // no host operation was waiting
}

TEST_F(FileOperations, OpenPickerAnswersAndHostOpen) {
  const OperationId op{5, 5};
  // Dismissed: cancelled with "file selection cancelled".
  picker_->push_answer(portal::PickAnswer::cancelled());
  ASSERT_EQ(pdf_app::start_operation(*app_, op, 0, kOperation, encoded(pdf_actions::PdfOperation::Open{})).kind,
            StartResult::Kind::Pending);
  EXPECT_EQ(pdf_app::start_operation(*app_, {6, 6}, 0, kOperation, encoded(pdf_actions::PdfOperation::Open{"/tmp/a.pdf"})),
            (StartResult{StartResult::Kind::Failed, "another PDF open is already in progress"}));
  ASSERT_TRUE(settle(app_->files.open_picker));
  EXPECT_EQ(pdf_app::poll_operation(*app_, op, false),
            (CollectResult{CollectResult::Kind::Cancelled, "", "file selection cancelled"}));

  // A portal error with no document: the error screen explains it.
  picker_->push_answer(portal::PickAnswer::failed("no portal"));
  ASSERT_EQ(pdf_app::start_operation(*app_, op, 0, kOperation, encoded(pdf_actions::PdfOperation::Open{})).kind,
            StartResult::Kind::Pending);
  ASSERT_TRUE(settle(app_->files.open_picker));
  EXPECT_EQ(app_->open_error, "Couldn't open the file chooser: no portal");
  EXPECT_EQ(pdf_app::poll_operation(*app_, op, false),
            (CollectResult{CollectResult::Kind::Failed, "pdf.portal_failed", "no portal"}));

  // Chosen: the open starts; its Opened reply completes the operation.
  picker_->push_answer(portal::PickAnswer::chosen("/tmp/files/chosen.pdf"));
  ASSERT_EQ(pdf_app::start_operation(*app_, op, 0, kOperation, encoded(pdf_actions::PdfOperation::Open{})).kind,
            StartResult::Kind::Pending);
  ASSERT_TRUE(settle(app_->files.open_picker));
  ASSERT_TRUE(app_->pending_open);
  EXPECT_EQ(app_->pending_open->path, "/tmp/files/chosen.pdf");
  EXPECT_FALSE(pdf_app::poll_operation(*app_, op, false));
  app_->handle_reply(opened_reply(app_->pending_open->request_id, 2));
  EXPECT_EQ(pdf_app::poll_operation(*app_, op, false)->kind, CollectResult::Kind::Completed);

  // With a document shown, a portal error changes nothing on screen.
  driver_->frame();
  picker_->push_answer(portal::PickAnswer::failed("no portal"));
  driver_->send(velyn_ui::KeyPress{velyn_ui::Key::Character, U'o', velyn_ui::kModCtrl});
  ASSERT_TRUE(settle(app_->files.open_picker));
  EXPECT_TRUE(app_->document_loaded);
  EXPECT_EQ(app_->doc->path, "/tmp/files/chosen.pdf");
  EXPECT_FALSE(app_->open_error);
}

TEST_F(FileOperations, HostOpenWithAPath) {
  const OperationId op{7, 7};
  ASSERT_EQ(pdf_app::start_operation(*app_, op, 0, kOperation, encoded(pdf_actions::PdfOperation::Open{"/tmp/a.pdf"})).kind,
            StartResult::Kind::Pending);
  const auto id = app_->pending_open->request_id;
  app_->handle_reply(source::OpenFailed{id, "not a readable PDF"});
  EXPECT_EQ(pdf_app::poll_operation(*app_, op, false),
            (CollectResult{CollectResult::Kind::Failed, "pdf.portal_failed",
                           "Could not open /tmp/a.pdf: not a readable PDF"}));

  // Cancelled by the host while the worker opens: the document is released.
  ASSERT_EQ(pdf_app::start_operation(*app_, op, 0, kOperation, encoded(pdf_actions::PdfOperation::Open{"/tmp/b.pdf"})).kind,
            StartResult::Kind::Pending);
  const auto opening = app_->pending_open->request_id;
  EXPECT_EQ(pdf_app::poll_operation(*app_, op, true)->message, "file operation cancelled");
  EXPECT_FALSE(app_->pending_open);
  const auto release = jobs_->wait_for_last<source::ReleaseRasterDocument>();
  ASSERT_TRUE(release);
  EXPECT_EQ(release->document, opening);
  app_->handle_reply(opened_reply(opening, 1));
  EXPECT_FALSE(app_->document_loaded);
}

TEST(HostWithoutWorker, AnOpenThatCannotStartFailsWithItsText) {
  PdfApp app(nullptr);
  EXPECT_EQ(pdf_app::start_operation(app, {1, 1}, 0, kOperation, encoded(pdf_actions::PdfOperation::Open{"/tmp/a.pdf"})),
            (StartResult{StartResult::Kind::Failed, "Could not open /tmp/a.pdf: the PDF worker could not be started"}));
  EXPECT_FALSE(app.files.host_operation);
  EXPECT_EQ(pdf_app::start_operation(app, {1, 1}, 0, kOperation, encoded(pdf_actions::PdfOperation::SaveAs{"/tmp/a"})),
            (StartResult{StartResult::Kind::Failed, "PDF could not be saved"}));
}

TEST_F(FileOperations, OperationDecodingAndSynchronousOperations) {
  using K = pdf_app::ApplyResult::Kind;
  EXPECT_EQ(pdf_app::apply_operation(*app_, 0, kOperation, R"("NextPage")").kind, K::NotHandled);
  EXPECT_EQ(pdf_app::apply_operation(*app_, 2, "pdf_viewer.action", R"("NextPage")").kind, K::NotHandled);
  EXPECT_EQ(pdf_app::apply_operation(*app_, 2, kOperation, encoded(pdf_actions::PdfOperation::Open{})),
            (pdf_app::ApplyResult{K::Failed, "file operations require the lifecycle-capable operation host"}));
  EXPECT_EQ(pdf_app::apply_operation(*app_, 2, kOperation, encoded(pdf_actions::PdfOperation::SaveAs{"/x"})).message,
            "file operations require the lifecycle-capable operation host");
  const auto bad = pdf_app::apply_operation(*app_, 2, kOperation, R"("Launch")");
  EXPECT_EQ(bad, (pdf_app::ApplyResult{K::Failed, pdf_actions::decode_operation(R"("Launch")").error().message}));
  EXPECT_EQ(pdf_app::start_operation(*app_, {1, 0}, 0, "pdf_viewer.action", "{}").kind, StartResult::Kind::NotHandled);
  EXPECT_EQ(pdf_app::start_operation(*app_, {1, 0}, 0, kOperation, R"("Launch")").message, bad.message);

  open_loaded(3);
  EXPECT_EQ(pdf_app::start_operation(*app_, {1, 0}, 1, kOperation, R"("NextPage")").kind, StartResult::Kind::Completed);
  EXPECT_EQ(app_->current_page, 2u);
  EXPECT_EQ(pdf_app::apply_operation(*app_, 2, kOperation, encoded(pdf_actions::PdfOperation::GoToPage{99})).kind,
            K::Handled);
  EXPECT_EQ(app_->current_page, 3u);
  pdf_app::apply_operation(*app_, 2, kOperation, R"("PreviousPage")");
  EXPECT_EQ(app_->current_page, 2u);
  const double zoom = app_->viewport.zoom();
  pdf_app::apply_operation(*app_, 2, kOperation, R"("ZoomIn")");
  pdf_app::apply_operation(*app_, 2, kOperation, R"("ZoomOut")");
  EXPECT_NEAR(app_->viewport.zoom(), zoom, 1e-9);
  EXPECT_EQ(app_->fit, pdf_app::FitMode::Free);
  pdf_app::apply_operation(*app_, 2, kOperation,
                           encoded(pdf_actions::PdfOperation::GoToSearchResult{"gone", false, false, 4, 2}));
  EXPECT_EQ(app_->status, "Find result is no longer available");
}

TEST_F(FileOperations, ImportGoesAfterTheCurrentPageAndShowsTheFirstNewPage) {
  open_loaded(3);
  app_->go_to_page(2);
  ASSERT_TRUE(pdf_app::start_import(*app_, "/tmp/files/pics.pdf"));
  EXPECT_EQ(app_->status, "Preparing pages for shared import…");
  EXPECT_FALSE(pdf_app::start_import(*app_, "/tmp/files/again.pdf"));
  EXPECT_EQ(app_->status, "Another page import is already in progress");
  const auto request = jobs_->wait_for_last<source::ImportFile>();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->document, document_);
  EXPECT_EQ(request->current_page, 2u);
  EXPECT_EQ(request->anchor_id, "source-2");
  EXPECT_EQ(request->path, "/tmp/files/pics.pdf");

  const std::string hash(64, 'c');
  app_->handle_reply(source::ImportFailed{request->request_id + 1, "not ours"});
  driver_->frame();
  EXPECT_TRUE(app_->files.pending_import);
  // The reply arrives through the frame's poll, which hands it the shared document.
  auto ctx = driver_->context();
  pdf_app::on_pages_imported(*app_, driver_->document(), ctx,
                             source::PagesImported{request->request_id, hash, "pdf", {{612, 792}, {300, 400}}});
  EXPECT_FALSE(app_->files.pending_import);
  ASSERT_EQ(app_->plan.size(), 5u);
  EXPECT_EQ(app_->plan[1].id, "source-2");
  ASSERT_TRUE(app_->plan[2].imported && app_->plan[3].imported);
  EXPECT_EQ(app_->plan[2].imported->page, 1u);
  EXPECT_EQ(app_->plan[3].imported->width_milli, 300000u);
  EXPECT_EQ(app_->plan[4].id, "source-3");
  EXPECT_EQ(app_->current_page, 3u);
  EXPECT_EQ(app_->status, "Imported pages are shared with collaborators; Save exports a flattened PDF");

  // A failure names its cause; the plan is untouched.
  ASSERT_TRUE(pdf_app::start_import(*app_, "/tmp/files/empty.pdf"));
  app_->handle_reply(source::ImportFailed{app_->files.pending_import->request_id, "the import file is empty"});
  EXPECT_EQ(app_->status, "Import failed: the import file is empty");
  EXPECT_EQ(app_->plan.size(), 5u);
}

TEST_F(FileOperations, ImportPickerCancelSaysNothingAndChoosingStartsTheImport) {
  open_loaded(2);
  picker_->push_answer(portal::PickAnswer::cancelled());
  app_->status.reset();
  pdf_app::request_import_picker(*app_);
  ASSERT_TRUE(settle(app_->files.import_picker));
  EXPECT_FALSE(app_->status);
  EXPECT_FALSE(app_->files.host_result);
  EXPECT_FALSE(app_->files.pending_import);

  picker_->push_answer(portal::PickAnswer::failed("boom"));
  pdf_app::request_import_picker(*app_);
  ASSERT_TRUE(settle(app_->files.import_picker));
  EXPECT_EQ(app_->status, "Couldn't open the import dialog: boom");

  picker_->push_answer(portal::PickAnswer::chosen("/tmp/files/a.png"));
  pdf_app::request_import_picker(*app_);
  pdf_app::request_import_picker(*app_);  // one picker at a time
  ASSERT_TRUE(settle(app_->files.import_picker));
  ASSERT_TRUE(app_->files.pending_import);
  EXPECT_EQ(app_->files.pending_import->path, "/tmp/files/a.png");
  EXPECT_EQ(picker_->seen().size(), 3u);
  EXPECT_EQ(picker_->seen().back().request.thread_name(), "pdf-portal-import");
  EXPECT_EQ(picker_->seen().back().thread, "pdf-portal-impo");  // Linux keeps 15 bytes of a thread's name
}

TEST_F(FileOperations, ButtonsAndKeysAskThePickers) {
  // Nothing answers: each request stays outstanding while the test looks.
  picker_->hold();
  driver_->frame();
  const auto press = [&](velyn_ui::Point at) { driver_->send(velyn_ui::PointerPress{at}); };
  press(pdf_app::open_button_rect(app_->regions.canvas).center());  // the empty screen's "Open a PDF…"
  EXPECT_TRUE(app_->files.open_picker);
  app_->files.open_picker.reset();

  open_loaded(2);
  driver_->frame();
  const auto bar = pdf_app::compute_toolbar_layout(app_->regions.toolbar, app_->scale, app_->tool);
  press(bar.open.center());
  EXPECT_TRUE(app_->files.open_picker);
  press(bar.save.center());
  ASSERT_TRUE(app_->files.save_picker);
  app_->files.save_picker.reset();
  driver_->send(velyn_ui::KeyPress{velyn_ui::Key::Character, U's', velyn_ui::kModCtrl});
  EXPECT_TRUE(app_->files.save_picker);
  EXPECT_FALSE(app_->files.pending_save);  // only the picker: nothing is saved before a path is chosen

  // The page rail's add button asks the import picker.
  ASSERT_TRUE(app_->panels.thumbnails_open);
  app_->rail.begin_frame(app_->regions.rail, 2, 0, 792.0 / 612);
  const auto add = app_->rail.add_button_rect().center();
  press(add);
  driver_->send(velyn_ui::PointerRelease{add});
  EXPECT_TRUE(app_->files.import_picker);
  picker_->release();
}

TEST_F(FileOperations, ANewDocumentDropsThePendingImport) {
  open_loaded(2);
  ASSERT_TRUE(pdf_app::start_import(*app_, "/tmp/files/a.png"));
  const auto id = app_->files.pending_import->request_id;
  open_loaded(1, "/tmp/files/other.pdf");
  EXPECT_FALSE(app_->files.pending_import);
  auto ctx = driver_->context();
  pdf_app::on_pages_imported(*app_, driver_->document(), ctx, source::PagesImported{id, std::string(64, 'd'), "image", {{612, 408}}});
  EXPECT_EQ(app_->plan.size(), 1u);
}

}  // namespace
