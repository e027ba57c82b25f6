#include "launch/launcher_settings.h"

#include <utility>

#include "common/logger.h"
#include "json/json_document.h"
#include "localization/localization.h"

namespace quarvel::launcher {
namespace {

using TextField = std::string cLauncherSettings::*;

// In the order they are read and reported.
constexpr std::pair<const char*, TextField> kRequiredTexts[] = {
    {"productid", &cLauncherSettings::productid},
    {"sandboxid", &cLauncherSettings::sandboxid},
    {"deploymentid", &cLauncherSettings::deploymentid},
    {"executable", &cLauncherSettings::executable},
};
constexpr std::pair<const char*, TextField> kIdentifiers[] = {
    {"productid", &cLauncherSettings::productid},
    {"sandboxid", &cLauncherSettings::sandboxid},
    {"deploymentid", &cLauncherSettings::deploymentid},
};

constexpr std::size_t kMinimumIdentifierLength = 2;
constexpr std::size_t kMaximumIdentifierLength = 64;

bool IsIdentifierCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

bool IsValidIdentifier(const std::string& value) {
  if (value.size() < kMinimumIdentifierLength || value.size() > kMaximumIdentifierLength) return false;
  for (const char c : value) {
    if (!IsIdentifierCharacter(c)) return false;
  }
  return true;
}

const char* TextOrNotAvailable(const std::string& text) { return text.empty() ? "N/A" : text.c_str(); }

const char* BoolText(bool value) { return value ? "true" : "false"; }

}  // namespace

bool cLauncherSettings::Load(const std::string& path) {
  *this = cLauncherSettings{};

  cJsonDocument document;
  std::string error;
  if (!document.Load(path, error, kMaxSettingsFileSize)) {
    status = SettingsStatus::FileUnreadable;
    return false;
  }

  // A value written as a single digit or as "true"/"false" is not text and
  // counts as absent.
  for (const auto& [key, field] : kRequiredTexts) {
    if (!document.GetString(key, this->*field)) {
      status = SettingsStatus::MissingField;
      return false;
    }
  }

  if (!ValidateIdentifiers()) {
    status = SettingsStatus::InvalidIdentifier;
    return false;
  }

  // Absent optional keys keep their defaults.
  document.GetString("requested_splash", requested_splash);
  document.GetBool("wait_for_game_process_exit", wait_for_game_process_exit);
  document.GetString("title", title);
  document.GetString("environment", environment);
  document.GetBool("hide_gui", hide_gui);
  document.GetBool("hide_bootstrapper", hide_bootstrapper);
  document.GetBool("hide_logo_animation", hide_logo_animation);

  status = SettingsStatus::Loaded;
  return true;
}

bool cLauncherSettings::ValidateIdentifiers() {
  invalidField.clear();
  for (const auto& [key, field] : kIdentifiers) {
    if (!IsValidIdentifier(this->*field)) {
      invalidField = key;
      return false;
    }
  }
  return true;
}

std::string cLauncherSettings::DescribeError(const std::string& settingsFileName,
                                             const cLocalization& catalogue) const {
  switch (status) {
    case SettingsStatus::FileUnreadable:
      return catalogue.GetString("launcher.error_no_settings_file", "{0} not found", {settingsFileName});
    case SettingsStatus::MissingField: {
      // Load stops at the first absent key, so it is the first empty field.
      std::string missing;
      for (const auto& [key, field] : kRequiredTexts) {
        if ((this->*field).empty()) {
          missing = key;
          break;
        }
      }
      return catalogue.GetString("launcher.error_missing_required_field",
                                 "{0} is missing a required field ({1})", {settingsFileName, missing});
    }
    case SettingsStatus::InvalidIdentifier:
      return catalogue.GetString("launcher.error_invalid_tavik_identifier",
                                 "{0} contains an invalid Tavik identifier: ({1})",
                                 {settingsFileName, invalidField});
    case SettingsStatus::NotLoaded:
    case SettingsStatus::Loaded:
      break;
  }
  return {};
}

void cLauncherSettings::LogSettings() const {
  Log(LogLevel::Info, "Provided settings:");
  Log(LogLevel::Info, " - ProcessTitle: %s.", TextOrNotAvailable(title));
  Log(LogLevel::Info, " - ExecutablePath: %s.", TextOrNotAvailable(executable));
  Log(LogLevel::Info, " - ProductId: %s.", TextOrNotAvailable(productid));
  Log(LogLevel::Info, " - SandboxId: %s.", TextOrNotAvailable(sandboxid));
  Log(LogLevel::Info, " - DeploymentId: %s.", TextOrNotAvailable(deploymentid));
  Log(LogLevel::Info, " - RequestedSplashScreen: %s.", TextOrNotAvailable(requested_splash));
  Log(LogLevel::Info, " - WaitForGameProcessExit: %s.", BoolText(wait_for_game_process_exit));
  Log(LogLevel::Info, " - HideGUI: %s.", BoolText(hide_gui));
  Log(LogLevel::Info, " - HideBootstrapper: %s.", BoolText(hide_bootstrapper));
}

}  // namespace quarvel::launcher
