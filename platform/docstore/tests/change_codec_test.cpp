// The change encoding: round trips, hashes, and refusal of malformed bytes.
#include <gtest/gtest.h>

#include <random>

#include "docstore/change.h"
#include "docstore/document.h"

namespace docstore {
namespace {

Change sample_change() {
  Document doc;
  auto tx = doc.begin();
  auto list = *tx.put_object(ObjId::root(), "annotations", ObjType::List);
  auto m = *tx.insert_object(list, 0, ObjType::Map);
  EXPECT_TRUE(tx.put(m, "id", "ünïcode"));
  EXPECT_TRUE(tx.put(m, "page", std::int64_t{-3}));
  EXPECT_TRUE(tx.put(m, "x", 12.25));
  EXPECT_TRUE(tx.put(m, "resolved", false));
  EXPECT_TRUE(tx.put(m, "none", Null{}));
  EXPECT_TRUE(tx.put(m, "id", "again"));  // with a pred
  return *tx.commit();
}

TEST(ChangeCodec, RoundTripsAndHashesTheBytes) {
  Change c = sample_change();
  Change copy = c;
  const auto bytes = encode_change(copy);
  EXPECT_EQ(copy.hash, c.hash);
  EXPECT_EQ(copy.hash, hash_bytes(bytes));
  auto back = decode_change(bytes);
  ASSERT_TRUE(back) << back.error().message;
  EXPECT_EQ(*back, c);
}

TEST(ChangeCodec, EveryTruncationIsRefused) {
  Change c = sample_change();
  const auto bytes = encode_change(c);
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    EXPECT_FALSE(decode_change(std::span(bytes).first(n))) << n;
  }
  auto longer = bytes;
  longer.push_back(0);
  EXPECT_FALSE(decode_change(longer));
}

TEST(ChangeCodec, LyingLengthsAndBadFieldsAreRefused) {
  Change c = sample_change();
  const auto good = encode_change(c);
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
  };
  auto with = [&](std::size_t at, std::vector<std::uint8_t> replacement, std::size_t drop = 1) {
    auto b = good;
    b.erase(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + drop));
    b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), replacement.begin(), replacement.end());
    return b;
  };
  const std::vector<Case> cases = {
      {"bad magic", with(0, {'X'})},
      {"huge actor count", with(4, {0xff, 0xff, 0xff, 0xff, 0x0f})},
      {"zero actors", with(4, {0})},
      {"overlong integer", with(4, {0x81, 0x00})},
      {"integer over 64 bits", with(4, {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f})},
      {"zero sequence", with(21, {0})},
  };
  for (const auto& kase : cases) {
    EXPECT_FALSE(decode_change(kase.bytes)) << kase.name;
  }
  // A string that is not UTF-8.
  Change bad_text = c;
  bad_text.ops[2].value = std::string("\xff\xfe");
  EXPECT_FALSE(decode_change(encode_change(bad_text)));
  // An op naming a later op as its predecessor.
  Change bad_pred = c;
  bad_pred.ops[2].pred = {OpId{c.start_op + 5, c.actor}};
  EXPECT_FALSE(decode_change(encode_change(bad_pred)));
}

TEST(ChangeCodec, RandomCorruptionNeverCrashes) {
  Change c = sample_change();
  const auto good = encode_change(c);
  std::mt19937 rng(7);
  for (int i = 0; i < 20000; ++i) {
    auto b = good;
    const int flips = 1 + static_cast<int>(rng() % 4);
    for (int f = 0; f < flips; ++f) b[rng() % b.size()] = static_cast<std::uint8_t>(rng());
    auto r = decode_change(b);
    if (r) {
      Change again = *r;
      EXPECT_EQ(encode_change(again).size(), b.size());
    }
  }
}

}  // namespace
}  // namespace docstore
