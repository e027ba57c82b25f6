#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "localization/cfg_parser.h"

namespace quarvel {

// While set, every text is its built-in default, whatever the catalogues hold.
// Set once when the system fonts a catalogue names cannot be used.
extern std::atomic<bool> fallbackToDefaults;

// Keys whose texts the window's fonts cannot draw: every catalogue shows
// their defaults instead. Replaces the keys given before (none: every key
// shows its catalogue text again). Set once the fonts are bound.
void ShowDefaultsFor(const std::vector<std::string>& keys);

// Font slots filled by cLocalization::GetSystemFonts.
enum SystemFontSlot : int {
  kSystemFontRegular = 0,
  kSystemFontBold = 1,
  kSystemFontLight = 2,
};

// The executable's directory + "Quarvel/Localization/" (with the platform's
// separators). False when the executable's path cannot be read.
bool GetLocalizationDirectory(std::string& directory);

// A catalogue of "section.key" texts read from ".cfg" files. Loading a second
// file adds to the table; a repeated section.key takes the later value. Every
// member may be called from any thread.
class cLocalization {
 public:
  cLocalization() = default;
  cLocalization(const cLocalization&) = delete;
  cLocalization& operator=(const cLocalization&) = delete;

  // Chooses the file for language and country in `directory` and loads it.
  // `chosenName` receives the file name without ".cfg"; `reason`, when
  // given, a short English phrase saying why that file was chosen.
  bool Load(const std::string& directory, const std::string& language, const std::string& country,
            std::string& chosenName, std::string& error, std::string* reason = nullptr);

  // Load for the user's locale ("en"/"us" when it cannot be detected) from
  // GetLocalizationDirectory.
  bool LoadForUser(std::string& error);

  // Reads and parses one file (UTF-8 path) into the table. A broken file
  // keeps the entries before its first bad line.
  bool LoadFile(const std::string& path, std::string& error);

  // `identifier` is "section.key".
  bool Lookup(const std::string& identifier, std::string& value, std::string& error) const;

  // The catalogue's text for `key`, or `defaultText` when it has none, with
  // "{0}", "{1}", ... replaced by `arguments`.
  std::string GetString(const std::string& key, const std::string& defaultText,
                        const std::vector<std::string>& arguments = {}) const;

  // Slot -> file name in the system fonts folder. False, with an empty map,
  // unless all three of regular, bold and light are named.
  bool GetSystemFonts(std::map<int, std::string>& fonts) const;

 private:
  mutable std::mutex lock_;  // guards everything below
  std::string text_;         // raw bytes of the last file loaded
  cCfgParser parser_;
};

}  // namespace quarvel
