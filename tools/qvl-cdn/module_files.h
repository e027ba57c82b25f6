#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Whole-file reads and replacing writes for the tool. Paths are UTF-8.
namespace quarvel::cdn_tool {

std::filesystem::path PathFromUtf8(const std::string& path);
std::string Utf8FromPath(const std::filesystem::path& path);

bool ReadModuleFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes, std::string& error);

// Writes `bytes` to a temporary file in the target's directory and renames
// it over `path`; on failure the temporary file is removed and `path` keeps
// what it had.
bool ReplaceModuleFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes,
                       std::string& error);

}  // namespace quarvel::cdn_tool
