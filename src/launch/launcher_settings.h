#pragma once

#include <cstdint>
#include <string>

namespace quarvel {
class cLocalization;
}

// The settings a game ships beside the bootstrapper in Quarvel/Settings.json:
// which product it is, which executable to start and how the bootstrapper
// should look. Plain data, read once at start and only read afterwards; it
// lives here so the game launcher can read it without reaching up into app/.
namespace quarvel::launcher {

// Every value below 0 is a failed read. -3 is not used.
enum class SettingsStatus : std::int32_t {
  NotLoaded = -1,          // not read yet, or a read is in progress
  Loaded = 0,              // read, and every required field is valid
  FileUnreadable = -2,     // missing, unreadable or empty file
  MissingField = -4,       // a required key is absent or not held as text
  InvalidIdentifier = -5,  // an identifier broke the identifier rule; see invalidField
};

class cLauncherSettings {
 public:
  // Resets every field, then reads and validates the file (UTF-8 path).
  // True exactly when `status` ends as Loaded. Logs nothing: the caller
  // reports the failure with DescribeError. A file larger than
  // kMaxSettingsFileSize is unreadable: no real settings file comes near it,
  // and the reader's cost grows with the square of the size.
  bool Load(const std::string& path);
  static constexpr std::uint32_t kMaxSettingsFileSize = 1024 * 1024;

  // productid, sandboxid, deploymentid: 2 to 64 ASCII letters, digits or '-'.
  // The key of the first one that fails goes to `invalidField`.
  bool ValidateIdentifiers();

  // The localized text for a failed `status`; empty for NotLoaded and Loaded.
  // `settingsFileName` is the name as resolved (e.g. "Settings.json"), not
  // the full path.
  std::string DescribeError(const std::string& settingsFileName, const cLocalization& catalogue) const;

  // Writes the settings to the log at Info level.
  void LogSettings() const;

  SettingsStatus status = SettingsStatus::NotLoaded;
  std::string invalidField;  // "productid", "sandboxid" or "deploymentid" after a refused identifier
  std::string title;         // window and process title
  std::string executable;    // relative to the bootstrapper's directory
  std::string productid;
  std::string sandboxid;
  std::string deploymentid;
  std::string requested_splash;  // file name of a custom splash picture
  std::string environment;       // exactly "gamedev" selects the game-development module download
  bool wait_for_game_process_exit = false;
  bool hide_gui = false;
  bool hide_bootstrapper = false;
  bool hide_logo_animation = false;
};

}  // namespace quarvel::launcher
