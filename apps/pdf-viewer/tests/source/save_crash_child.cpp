// Child of the crash-safety test: saves over one destination again and again
// until it is killed. Usage: save_crash_child SOURCE.pdf DESTINATION
#include <cstdio>

#include "save_fixtures.h"
#include "source/review_snapshot.h"
#include "source/source_jobs.h"

int main(int argc, char** argv) {
  using namespace pdf::source;
  if (argc != 3) return 2;
  const std::filesystem::path destination = argv[2];
  auto state = testing::open_state(argv[1], destination.parent_path() / "blobs");
  if (!state) return 3;
  auto review = std::make_shared<ReviewSnapshot>();
  for (int i = 0; i < 200; ++i) {
    review->annotations.push_back(pdf_actions::Annotation{"n" + std::to_string(i), static_cast<std::uint64_t>(i % 20 + 1),
                                                          pdf_actions::Swatch::Green, "You",
                                                          pdf_actions::AnnoGeom::Note{72, 72.0 + i}});
  }
  std::fprintf(stdout, "ready\n");
  std::fflush(stdout);
  for (std::uint64_t id = 1;; ++id) {
    SaveRequest request{review, destination, id, testing::kDocument};
    SourceReply prepared = run_prepare_save(*state, testing::kClient, PrepareSave{request});
    if (!std::holds_alternative<SavePrepared>(prepared)) return 4;
    SourceReply committed = run_commit_save(*state, testing::kClient,
                                            CommitSave{request, std::get<SavePrepared>(prepared).private_file});
    if (!std::holds_alternative<SaveCommitted>(committed)) return 5;
  }
}
