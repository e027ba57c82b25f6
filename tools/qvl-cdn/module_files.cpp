#include "module_files.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "common/random.h"

namespace quarvel::cdn_tool {
std::filesystem::path PathFromUtf8(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

bool ReadModuleFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot open " + Utf8FromPath(path);
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  if (file.bad()) {
    error = "cannot read " + Utf8FromPath(path);
    return false;
  }
  return true;
}

bool ReplaceModuleFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes,
                       std::string& error) {
  char guid[37];
  GenerateGuidString(guid);
  std::filesystem::path temporary = path;
  temporary += PathFromUtf8(std::string(".") + guid + ".tmp");
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (file) file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (file) file.close();
    if (!file) {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      error = "cannot write " + Utf8FromPath(temporary);
      return false;
    }
  }
  std::error_code renamed;
  std::filesystem::rename(temporary, path, renamed);
  if (renamed) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    error = "cannot rename " + Utf8FromPath(temporary) + " to " + Utf8FromPath(path) + ": " + renamed.message();
    return false;
  }
  return true;
}

}  // namespace quarvel::cdn_tool
