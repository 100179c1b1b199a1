// Content-addressed blobs: hashes, layout, states and damaged files.
#include "blobstore/blob_store.h"

#include <gtest/gtest.h>

#include <fstream>

namespace blobstore {
namespace {

class BlobStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "blobs-test-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
    ::setenv("HOME", dir_.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

std::vector<std::uint8_t> bytes_of(std::string_view s) { return {s.begin(), s.end()}; }

TEST_F(BlobStoreTest, PutStoresOnceUnderTheSha256) {
  BlobStore store(default_root("org.example.viewer"));
  EXPECT_EQ(store.root(), dir_ / "data" / "org.example.viewer" / "blobs");
  const auto content = bytes_of("abc");
  auto hash = store.put(content);
  ASSERT_TRUE(hash) << hash.error().message;
  EXPECT_EQ(*hash, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_TRUE(std::filesystem::is_regular_file(store.root() / "ba" / *hash));
  EXPECT_EQ(store.put(content), hash);
  std::size_t files = 0;
  for (auto& e : std::filesystem::recursive_directory_iterator(store.root())) files += e.is_regular_file();
  EXPECT_EQ(files, 1u);  // no temporary left behind
  EXPECT_TRUE(store.contains(*hash));
  EXPECT_EQ(store.get(*hash), content);
  EXPECT_EQ(store.get("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"), content);
  EXPECT_TRUE(verify(*hash, content));
  EXPECT_FALSE(verify(*hash, bytes_of("abd")));
  EXPECT_TRUE(store.verify_stored(*hash));
}

TEST_F(BlobStoreTest, StatesOfHashes) {
  BlobStore store(dir_ / "blobs");
  const auto hash = *store.put(bytes_of("x"));
  const std::pair<std::string, BlobState> cases[] = {
      {hash, BlobState::Present},
      {std::string(64, '0'), BlobState::Missing},
      {hash.substr(0, 63), BlobState::Invalid},
      {"../" + hash.substr(3), BlobState::Invalid},
      {std::string(64, 'g'), BlobState::Invalid},
  };
  for (const auto& [h, state] : cases) EXPECT_EQ(store.state(h), state) << h;
  EXPECT_FALSE(store.get(std::string(64, '0')));
}

TEST_F(BlobStoreTest, DamagedBlobIsNeverHandedOutAndPutRepairsIt) {
  BlobStore store(dir_ / "blobs");
  const auto content = bytes_of("precious");
  const auto hash = *store.put(content);
  std::ofstream(store.path_of(hash), std::ios::trunc) << "tampered";
  EXPECT_FALSE(store.get(hash));
  EXPECT_FALSE(store.verify_stored(hash));
  ASSERT_TRUE(store.put(content));
  EXPECT_EQ(store.get(hash), content);
}

}  // namespace
}  // namespace blobstore
