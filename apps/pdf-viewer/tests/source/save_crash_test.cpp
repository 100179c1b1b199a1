// Crash safety of publishing: a child process saves over an existing file and
// is killed with SIGKILL at random moments. Whatever the moment, the
// destination is the old file byte for byte or a complete new one, and a later
// successful save cleans up after itself. The number of trials comes from the
// build (a quick run by default, a long one labelled slow); the seed is printed
// so a failing run can be replayed with SAVE_CRASH_SEED.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <thread>

#include "pdf_fixtures.h"
#include "save_fixtures.h"
#include "source/review_snapshot.h"
#include "source/source_jobs.h"

extern char** environ;

namespace pdf::source {
namespace {

std::string read_all(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(SaveCrash, SAVE_CRASH_TEST_NAME) {
  testing::isolate_home();
  if (shared_pdfium() == nullptr) GTEST_SKIP() << "PDFium not found: set VELYN_PDFIUM_LIB to libpdfium.so";
  testing::TempDir dir;
  testing::write_numbered_pdf(dir / "source.pdf", 20);
  const std::filesystem::path destination = dir / "out.pdf";
  std::filesystem::copy_file(dir / "source.pdf", destination);
  const std::string old_bytes = read_all(destination);

  const char* seed_text = std::getenv("SAVE_CRASH_SEED");
  const std::uint64_t seed = seed_text ? std::strtoull(seed_text, nullptr, 10) : std::random_device{}();
  std::mt19937_64 rng(seed);
  // One save of this document takes a few tens of milliseconds here, so kills
  // land in every phase of the first few saves.
  std::uniform_int_distribution<int> delay_us(0, 60'000);
  int old_seen = 0, new_seen = 0;
  for (int trial = 0; trial < SAVE_CRASH_TRIALS; ++trial) {
    SCOPED_TRACE("seed " + std::to_string(seed) + ", trial " + std::to_string(trial));
    std::filesystem::copy_file(dir / "source.pdf", destination, std::filesystem::copy_options::overwrite_existing);
    int out_pipe[2];
    ASSERT_EQ(::pipe(out_pipe), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out_pipe[0]);
    std::string child = SAVE_CRASH_CHILD, source = (dir / "source.pdf").string(), dest = destination.string();
    char* args[] = {child.data(), source.data(), dest.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, child.c_str(), &actions, nullptr, args, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out_pipe[1]);
    char ready[6] = {};
    ASSERT_EQ(::read(out_pipe[0], ready, sizeof ready), 6) << "the child did not start";
    ::close(out_pipe[0]);
    std::this_thread::sleep_for(std::chrono::microseconds(delay_us(rng)));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended on its own with " << status;

    const std::string now = read_all(destination);
    if (now == old_bytes) {
      ++old_seen;
    } else {
      std::string report;
      ASSERT_TRUE(testing::qpdf_check_ok(destination, &report)) << report;
      ASSERT_EQ(testing::qpdf_page_count(destination), 20);
      ++new_seen;
    }
  }
  std::printf("crash trials: %d kept the old file, %d found a new one (seed %llu)\n", old_seen, new_seen,
              static_cast<unsigned long long>(seed));

  // A later successful save removes its own private directory; those of
  // killed processes are theirs and stay for their owner to judge.
  auto state = testing::open_state(dir / "source.pdf", dir / "blobs");
  ASSERT_NE(state, nullptr);
  SaveRequest request{std::make_shared<const ReviewSnapshot>(), destination, 999'999, testing::kDocument};
  SourceReply prepared = run_prepare_save(*state, testing::kClient, PrepareSave{request});
  ASSERT_TRUE(std::holds_alternative<SavePrepared>(prepared));
  ASSERT_TRUE(std::holds_alternative<SaveCommitted>(
      run_commit_save(*state, testing::kClient, CommitSave{request, std::get<SavePrepared>(prepared).private_file})));
  EXPECT_TRUE(testing::qpdf_check_ok(destination));
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().filename().string().rfind(".velyn-pdf-999999-", 0), std::string::npos);
  }
}

}  // namespace
}  // namespace pdf::source
