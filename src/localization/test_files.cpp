#include "localization/test_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "localization/localization.h"

namespace quarvel::test_support {

namespace {

std::string ToUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

ScratchDirectory::ScratchDirectory() {
  std::random_device random;
  std::error_code error;
  root_ = std::filesystem::temp_directory_path(error) /
          ("qvl_localization_" + std::to_string(random()) + "_" + std::to_string(random()));
  if (!error) std::filesystem::remove_all(root_, error);
  if (!error) std::filesystem::create_directories(root_, error);
  created_ = !error;
  if (error) ADD_FAILURE() << "no scratch directory at '" << ToUtf8(root_) << "': " << error.message();
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  if (created_) std::filesystem::remove_all(root_, ignored);
}

std::string ScratchDirectory::Path() const {
  return ToUtf8(root_ / "");
}

std::string ScratchDirectory::WriteFile(const std::string& name, const std::string& bytes) const {
  const std::filesystem::path path = root_ / name;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) ADD_FAILURE() << "cannot write '" << ToUtf8(path) << "'";
  return ToUtf8(path);
}

void ScratchDirectory::MakeDirectory(const std::string& name) const {
  std::error_code error;
  std::filesystem::create_directories(root_ / name, error);
  if (error) ADD_FAILURE() << "cannot create '" << ToUtf8(root_ / name) << "': " << error.message();
}

std::string ShippedLocalizationDirectory() {
  std::string directory;
  return GetLocalizationDirectory(directory) ? directory : std::string();
}

}  // namespace quarvel::test_support
