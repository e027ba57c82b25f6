#pragma once

#include <cstdint>
#include <map>
#include <string>

// A flat reader for single-level JSON objects whose values are all written as
// JSON strings ("true", "1", "C:\\Games"). It pairs quoted texts as key and
// value and sorts each value into one of three maps by its text; everything
// outside quotes except ':' and ',' is ignored. Existing settings files depend
// on its exact pairing rules, including the odd results for malformed input,
// so it is deliberately not a general JSON parser.
namespace quarvel {

class cJsonDocument {
 public:
  // Reads and parses a file (UTF-8 path) of at most `maxBytes` bytes. On
  // failure `error` holds one of the texts below and the maps hold whatever
  // was parsed. Nothing is logged.
  bool Load(const std::string& path, std::string& error, std::uint32_t maxBytes = kNoSizeLimit);

  // Parses UTF-8 text into the maps. False only for empty text. Keys already
  // present in a target map keep their first value.
  bool Parse(const std::string& text);

  // True and the value when the key is in that map; `out` unchanged otherwise.
  bool GetString(const std::string& key, std::string& out) const;
  bool GetBool(const std::string& key, bool& out) const;
  bool GetInt(const std::string& key, std::int32_t& out) const;

  const std::map<std::string, std::string>& Strings() const { return strings_; }
  const std::map<std::string, bool>& Booleans() const { return booleans_; }
  const std::map<std::string, std::int32_t>& Integers() const { return integers_; }

  static constexpr std::uint32_t kNoSizeLimit = 0xFFFFFFFFu;
  static constexpr const char* kTooLargeError = "The .json file is too large!";
  static constexpr const char* kEmptyPathError = "Json parser provided with an empty path!";
  static constexpr const char* kReadError = "Could not read the .json file!";
  static constexpr const char* kParseError =
      "Failed at parsing the file contents, ensure the file is valid .json and is UTF-8 encoded!";

 private:
  void Store(const std::string& key, const std::string& value);

  std::map<std::string, bool> booleans_;
  std::map<std::string, std::int32_t> integers_;
  std::map<std::string, std::string> strings_;
};

}  // namespace quarvel
