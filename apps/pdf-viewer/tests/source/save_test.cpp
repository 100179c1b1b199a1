// The save pipeline's file-system contract: the private directory beside the
// destination, each publishing step failing with its own text while the old
// destination stays intact, ordinary permissions on the published file, and
// cancel, stale commits and closing clients leaving nothing behind.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <regex>

#include "pdf_fixtures.h"
#include "save_fixtures.h"
#include "source/review_snapshot.h"
#include "source/save_publish.h"
#include "source/source_jobs.h"

namespace pdf::source {
namespace {

using testing::kClient;
using testing::kDocument;
using testing::TempDir;

std::string read_all(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::filesystem::path> private_dirs(const std::filesystem::path& dir) {
  std::vector<std::filesystem::path> found;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().filename().string().rfind(".velyn-pdf-", 0) == 0) found.push_back(entry.path());
  }
  return found;
}

// Failure injection for the publishing calls: the step that fails, counted by
// call kind in order (open file, open dir, open parent; sync file, sync dir,
// sync parent).
struct Injection {
  int fail_open = -1;
  int fail_sync = -1;
  bool fail_rename = false;
  int opens = 0;
  int syncs = 0;
};
Injection g_injection;

FileSystemCalls injected_calls() {
  FileSystemCalls calls;
  calls.open_read_only = [](const char* path, bool directory) {
    if (g_injection.opens++ == g_injection.fail_open) return -1;
    return system_file_calls().open_read_only(path, directory);
  };
  calls.sync = [](int fd) {
    if (g_injection.syncs++ == g_injection.fail_sync) return -1;
    return ::fsync(fd);
  };
  calls.rename = [](const char* from, const char* to) { return g_injection.fail_rename ? -1 : ::rename(from, to); };
  return calls;
}

class SaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::isolate_home();
    if (shared_pdfium() == nullptr) GTEST_SKIP() << "PDFium not found: set VELYN_PDFIUM_LIB to libpdfium.so";
    testing::write_numbered_pdf(dir_ / "source.pdf", 2);
    state_ = testing::open_state(dir_ / "source.pdf", dir_ / "blobs");
    ASSERT_NE(state_, nullptr);
  }

  SaveRequest request(const std::filesystem::path& destination) {
    ReviewSnapshot review;
    review.annotations = {pdf_actions::Annotation{"n", 1, pdf_actions::Swatch::Blue, "You",
                                                  pdf_actions::AnnoGeom::Note{72, 72}}};
    return SaveRequest{std::make_shared<const ReviewSnapshot>(review), destination, ++save_id_, kDocument};
  }
  SourceReply prepare(const SaveRequest& r) { return run_prepare_save(*state_, kClient, PrepareSave{r}); }
  SourceReply commit(const SaveRequest& r, const std::filesystem::path& private_file) {
    return run_commit_save(*state_, kClient, CommitSave{r, private_file});
  }
  // The message of a prepare + commit that fails, or "" on success.
  std::string save_message(const std::filesystem::path& destination) {
    SaveRequest r = request(destination);
    SourceReply prepared = prepare(r);
    if (auto* f = std::get_if<SaveFailed>(&prepared)) return f->message;
    SourceReply committed = commit(r, std::get<SavePrepared>(prepared).private_file);
    if (auto* f = std::get_if<SaveFailed>(&committed)) return f->message;
    return "";
  }

  TempDir dir_;
  std::unique_ptr<WorkerState> state_;
  std::uint64_t save_id_ = 0;
};

TEST_F(SaveTest, PreparedFileWaitsInAPrivateDirectoryBesideTheDestination) {
  SaveRequest r = request(dir_ / "out.pdf");
  r.save_id = 7;
  SourceReply prepared = prepare(r);
  ASSERT_TRUE(std::holds_alternative<SavePrepared>(prepared)) << std::get<SaveFailed>(prepared).message;
  const auto& reply = std::get<SavePrepared>(prepared);
  EXPECT_EQ(reply.save_id, 7u);
  EXPECT_EQ(reply.document, kDocument);
  EXPECT_EQ(reply.destination, dir_ / "out.pdf");
  const std::filesystem::path dir = reply.private_file.parent_path();
  EXPECT_EQ(dir.parent_path(), dir_.path());
  EXPECT_TRUE(std::regex_match(dir.filename().string(), std::regex(R"(\.velyn-pdf-7-[A-Za-z0-9]{6})")));
  EXPECT_EQ(reply.private_file.filename(), "document.pdf");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "out.pdf"));  // nothing at the destination before the commit

  SourceReply committed = commit(r, reply.private_file);
  ASSERT_TRUE(std::holds_alternative<SaveCommitted>(committed)) << std::get<SaveFailed>(committed).message;
  EXPECT_EQ(std::get<SaveCommitted>(committed).destination, dir_ / "out.pdf");
  EXPECT_TRUE(testing::qpdf_check_ok(dir_ / "out.pdf"));
  EXPECT_TRUE(private_dirs(dir_.path()).empty());
  EXPECT_TRUE(state_->prepared_saves.empty());
}

TEST_F(SaveTest, PublishedFileGetsTheUmaskPermissionsOfANewFile) {
  struct Case {
    mode_t umask_value;
    mode_t mode;
  };
  for (const Case& c : {Case{022, 0644}, Case{027, 0640}, Case{002, 0664}}) {
    const mode_t old = ::umask(c.umask_value);
    const std::string message = save_message(dir_ / "perm.pdf");
    ::umask(old);
    ASSERT_EQ(message, "");
    struct stat st {};
    ASSERT_EQ(::stat((dir_ / "perm.pdf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, c.mode) << std::oct << c.umask_value;
  }
}

TEST_F(SaveTest, EachPublishingStepFailsWithItsOwnTextAndKeepsTheOldFile) {
  struct Case {
    Injection injection;
    const char* expected;  // {file}, {dir}, {dest} substituted
  };
  const Case cases[] = {
      {{0, -1, false, 0, 0}, "opening private save {file}"},
      {{-1, 0, false, 0, 0}, "flushing private save {file}"},
      {{1, -1, false, 0, 0}, "opening private save directory {dir}"},
      {{-1, 1, false, 0, 0}, "flushing private save directory {dir}"},
      {{-1, -1, true, 0, 0}, "publishing the saved PDF to {dest}"},
      {{2, -1, false, 0, 0}, ""},  // the parent's sync after the rename is best effort
      {{-1, 2, false, 0, 0}, ""},
  };
  const std::filesystem::path destination = dir_ / "report.pdf";
  for (const Case& c : cases) {
    testing::write_text_file(destination, "old contents");
    SaveRequest r = request(destination);
    SourceReply prepared = prepare(r);
    ASSERT_TRUE(std::holds_alternative<SavePrepared>(prepared));
    const std::filesystem::path file = std::get<SavePrepared>(prepared).private_file;
    g_injection = c.injection;
    state_->file_calls = injected_calls();
    SourceReply committed = commit(r, file);
    state_->file_calls = system_file_calls();

    std::string expected = c.expected;
    expected = std::regex_replace(expected, std::regex("\\{file\\}"), file.string());
    expected = std::regex_replace(expected, std::regex("\\{dir\\}"), file.parent_path().string());
    expected = std::regex_replace(expected, std::regex("\\{dest\\}"), destination.string());
    if (expected.empty()) {
      EXPECT_TRUE(std::holds_alternative<SaveCommitted>(committed));
      EXPECT_TRUE(testing::qpdf_check_ok(destination));
    } else {
      ASSERT_TRUE(std::holds_alternative<SaveFailed>(committed)) << expected;
      EXPECT_EQ(std::get<SaveFailed>(committed).message, expected);
      EXPECT_EQ(read_all(destination), "old contents") << expected;
    }
    EXPECT_TRUE(private_dirs(dir_.path()).empty()) << expected;
  }
}

TEST_F(SaveTest, RealFileSystemFailuresKeepTheOldDestination) {
  // A missing directory: nothing can be prepared there.
  const std::filesystem::path missing = dir_ / "no-such-dir" / "x.pdf";
  EXPECT_EQ(save_message(missing), "creating a private save directory in " + (dir_ / "no-such-dir").string());

  // A destination that is a directory cannot be replaced by the rename.
  std::filesystem::create_directories(dir_ / "taken.pdf" / "inside");
  EXPECT_EQ(save_message(dir_ / "taken.pdf"), "publishing the saved PDF to " + (dir_ / "taken.pdf").string());
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "taken.pdf" / "inside"));
  EXPECT_TRUE(private_dirs(dir_.path()).empty());
}

// Mounts need root with CAP_SYS_ADMIN; elsewhere these cases skip.
class MountedDir {
 public:
  MountedDir(const std::filesystem::path& at, const std::string& options) : at_(at) {
    std::filesystem::create_directories(at);
    mounted_ = ::mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~MountedDir() {
    if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  bool remount_read_only() {
    return ::mount("tmpfs", at_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  std::filesystem::path at_;
  bool mounted_ = false;
};

TEST_F(SaveTest, ReadOnlyDirectoryRefusesThePrivateDirectory) {
  MountedDir ro(dir_ / "ro", "size=1m");
  if (!ro.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (needs root with CAP_SYS_ADMIN)";
  testing::write_text_file(dir_ / "ro" / "old.pdf", "old contents");
  ASSERT_TRUE(ro.remount_read_only());
  EXPECT_EQ(save_message(dir_ / "ro" / "old.pdf"), "creating a private save directory in " + (dir_ / "ro").string());
  EXPECT_EQ(read_all(dir_ / "ro" / "old.pdf"), "old contents");
}

TEST_F(SaveTest, NoSpaceLeftFailsTheWriteAndRemovesThePrivateDirectory) {
  MountedDir small(dir_ / "small", "size=8k");
  if (!small.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (needs root with CAP_SYS_ADMIN)";
  testing::write_text_file(dir_ / "small" / "old.pdf", "old contents");
  state_ = testing::open_state([&] {
    testing::write_numbered_pdf(dir_ / "big.pdf", 200);
    return dir_ / "big.pdf";
  }(), dir_ / "blobs");
  ASSERT_NE(state_, nullptr);
  const std::string message = save_message(dir_ / "small" / "old.pdf");
  EXPECT_EQ(message.rfind("saving flattened PDF to " + (dir_ / "small").string() + "/.velyn-pdf-", 0), 0u)
      << message;
  EXPECT_NE(message.find("No space left on device"), std::string::npos) << message;
  EXPECT_EQ(read_all(dir_ / "small" / "old.pdf"), "old contents");
  EXPECT_TRUE(private_dirs(dir_ / "small").empty());
}

TEST_F(SaveTest, CancelStaleCommitAndClosedClientLeaveNothing) {
  // Cancel after prepare: directory gone, a later commit finds nothing.
  SaveRequest r = request(dir_ / "c.pdf");
  SourceReply prepared = prepare(r);
  ASSERT_TRUE(std::holds_alternative<SavePrepared>(prepared));
  run_cancel_save(*state_, kClient, CancelSave{r});
  EXPECT_TRUE(private_dirs(dir_.path()).empty());
  SourceReply late = commit(r, std::get<SavePrepared>(prepared).private_file);
  ASSERT_TRUE(std::holds_alternative<SaveFailed>(late));
  EXPECT_EQ(std::get<SaveFailed>(late).message, "the prepared save is no longer available");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "c.pdf"));

  // A commit naming another private file or destination is refused and drops the save.
  struct Case {
    std::filesystem::path destination, private_file;
  };
  SaveRequest m = request(dir_ / "m.pdf");
  const std::filesystem::path file = std::get<SavePrepared>(prepare(m)).private_file;
  const Case mismatches[] = {{dir_ / "m.pdf", dir_ / "elsewhere.pdf"}, {dir_ / "other.pdf", file}};
  for (const Case& c : mismatches) {
    SaveRequest again = m;
    again.destination = c.destination;
    SourceReply refused = commit(again, c.private_file);
    ASSERT_TRUE(std::holds_alternative<SaveFailed>(refused));
    EXPECT_EQ(std::get<SaveFailed>(refused).message, "the prepared save is no longer available");
  }
  EXPECT_TRUE(private_dirs(dir_.path()).empty());

  // Closing the client removes its prepared saves, and only its own.
  ASSERT_TRUE(std::holds_alternative<SavePrepared>(prepare(request(dir_ / "a.pdf"))));
  ASSERT_TRUE(std::holds_alternative<SavePrepared>(prepare(request(dir_ / "b.pdf"))));
  state_->prepared_saves.begin()->second->client = kClient + 1;
  drop_client_saves(*state_, kClient);
  EXPECT_EQ(state_->prepared_saves.size(), 1u);
  EXPECT_EQ(private_dirs(dir_.path()).size(), 1u);
  state_->prepared_saves.clear();
  EXPECT_TRUE(private_dirs(dir_.path()).empty());
}

TEST_F(SaveTest, BareFileNameIsPublishedInTheWorkingDirectory) {
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::create_directories(dir_ / "cwd");
  std::filesystem::current_path(dir_ / "cwd");
  const std::string message = save_message("bare.pdf");
  std::filesystem::current_path(before);
  EXPECT_EQ(message, "");
  EXPECT_TRUE(testing::qpdf_check_ok(dir_ / "cwd" / "bare.pdf"));
  EXPECT_TRUE(private_dirs(dir_ / "cwd").empty());
}

TEST_F(SaveTest, MissingDocumentAnswersNoLongerActive) {
  SaveRequest r = request(dir_ / "x.pdf");
  r.document = kDocument + 1;
  EXPECT_EQ(std::get<SaveFailed>(prepare(r)).message, "the requested raster document is no longer active");
}

TEST(PrivateSaveDir, IsPrivateAndNamedAfterTheSave) {
  EXPECT_EQ(destination_directory("x.pdf"), ".");
  EXPECT_EQ(destination_directory("/tmp/a/x.pdf"), "/tmp/a");
  TempDir dir;
  auto made = create_private_save_dir(dir.path(), 42);
  ASSERT_TRUE(made);
  struct stat st {};
  ASSERT_EQ(::stat(made->c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_TRUE(std::regex_match(made->filename().string(), std::regex(R"(\.velyn-pdf-42-[A-Za-z0-9]{6})")));
}

}  // namespace
}  // namespace pdf::source
