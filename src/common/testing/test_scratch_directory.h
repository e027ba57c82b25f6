#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "common/random.h"

// Test helper: a fresh directory under the temporary folder, removed with
// everything in it when the object goes away.
namespace quarvel::launcher::test_support {

class ScratchDirectory {
 public:
  ScratchDirectory() {
    char guid[37];
    GenerateGuidString(guid);
    path_ = std::filesystem::temp_directory_path() / (std::string("qvl-launch-") + guid);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Writes `content` to `relative` (parents created); returns the file's path.
  std::string Write(const std::filesystem::path& relative, const std::string& content) const {
    const std::filesystem::path file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
    return file.string();
  }

 private:
  std::filesystem::path path_;
};

}  // namespace quarvel::launcher::test_support
