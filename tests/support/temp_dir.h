// A fresh directory for one test's files, removed with everything in it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarnweld::test {

class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::filesystem::path& path() const { return path_; }
  // Writes `bytes` to `name` (relative to the directory, parents created) and returns its path.
  std::filesystem::path write(const std::string& name, std::string_view bytes) const;

 private:
  std::filesystem::path path_;
};

}  // namespace tarnweld::test
