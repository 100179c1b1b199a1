// VELYN_TRY and VELYN_TRY_VOID: the value on success, the error at once on failure.
#include "velyn/try.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "velyn/error.h"

namespace {

velyn::Result<std::unique_ptr<int>> make(int v) {
  if (v < 0) return velyn::fail("negative " + std::to_string(v));
  return std::make_unique<int>(v);
}

velyn::Result<int> twice(int v) {
  if (v > 100) return velyn::fail("too big");
  return v * 2;
}

// Records each step reached, so a test sees where a failure stopped the chain.
velyn::Result<int> chain(int v, std::vector<std::string>& reached) {
  auto owned = VELYN_TRY(make(v));  // a move-only value comes out whole
  reached.push_back("made");
  const int doubled = VELYN_TRY(twice(VELYN_TRY(twice(*owned))));
  reached.push_back("doubled");
  return doubled;
}

TEST(Try, YieldsTheValueOrReturnsTheFirstErrorAtOnce) {
  struct Case {
    int input;
    velyn::Result<int> result;
    std::vector<std::string> reached;
  };
  const Case cases[] = {
      {3, 12, {"made", "doubled"}},
      {-1, velyn::fail("negative -1"), {}},
      {60, velyn::fail("too big"), {"made"}},  // the outer step of the nested use fails
      {101, velyn::fail("too big"), {"made"}},  // the inner one fails
  };
  for (const auto& c : cases) {
    std::vector<std::string> reached;
    EXPECT_EQ(chain(c.input, reached), c.result) << c.input;
    EXPECT_EQ(reached, c.reached) << c.input;
  }
}

velyn::Result<void> check(int v) {
  if (v % 2 != 0) return velyn::fail("odd");
  return {};
}

velyn::Result<std::string> label(int v, const velyn::Result<int>& kept) {
  VELYN_TRY_VOID(check(v));
  VELYN_TRY_VOID(twice(v));  // the value is not wanted
  return std::to_string(VELYN_TRY(kept));
}

TEST(Try, VoidFormStopsOnFailureAndLvaluesAreNotMovedFrom) {
  const velyn::Result<int> kept = 7;
  EXPECT_EQ(label(4, kept), velyn::Result<std::string>("7"));
  EXPECT_EQ(label(3, kept), velyn::Result<std::string>(velyn::fail("odd")));
  EXPECT_EQ(label(102, kept), velyn::Result<std::string>(velyn::fail("too big")));
  const velyn::Result<int> failed = velyn::fail("kept failure");
  EXPECT_EQ(label(2, failed), velyn::Result<std::string>(velyn::fail("kept failure")));
  EXPECT_EQ(failed.error().message, "kept failure");
}

}  // namespace
