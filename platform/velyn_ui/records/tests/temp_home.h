#pragma once
// A private HOME and XDG_DATA_HOME for one test, removed afterwards.
#include <cstdlib>
#include <filesystem>
#include <string>

namespace velyn_ui::testing {

class TempHome {
 public:
  TempHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "records-test-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
    ::setenv("HOME", dir_.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
  }
  ~TempHome() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  [[nodiscard]] const std::filesystem::path& dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

}  // namespace velyn_ui::testing
