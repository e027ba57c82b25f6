#pragma once

#include <string_view>

// Every user-visible text the program asks the catalogue for, with its
// built-in English default. Shipped ".cfg" files should define each of them
// and keep the placeholders ("{0}", "{1}") of the default.
namespace quarvel {

struct CatalogueText {
  const char* key;
  const char* defaultText;
};

inline constexpr CatalogueText kCatalogueTexts[] = {
    {"launcher.initializing", "INITIALIZING"},
    {"launcher.loading", "LOADING"},
    {"launcher.success_waiting_for_game", "WAITING FOR GAME"},
    {"launcher.error_cancel", "Launch Canceled"},
    // Network failures pass "Network error" as the default instead.
    {"launcher.error_launch", "Launch Error"},
    {"launcher.error_install", "Install Error"},
    {"launcher.btn_exit", "Exit"},
    {"launcher.error_no_settings_file", "{0} not found"},
    {"launcher.error_missing_required_field", "{0} is missing a required field ({1})"},
    {"launcher.error_invalid_tavik_identifier", "{0} contains an invalid Tavik identifier: ({1})"},

    {"launcher_error.create_thread", "Failed at creating the background thread!"},
    {"launcher_error.empty_executable_field", "The path to the game binary was not provided."},
    {"launcher_error.working_directory", "Working directory does not exist."},
    {"launcher_error.error_game_binary_not_found", "Could not locate the game binary: '{0}'"},
    {"launcher_error.error_game_binary_is_directory", "The target executable is a directory!"},
    // This text and error_invalid_executable_path are followed by a detail.
    // A value read from a file cannot end with a blank, so whoever appends the
    // detail must add the space when the text lacks it.
    {"launcher_error.error_connection_failed", "Connection failed: "},
    {"launcher_error.error_disallowed_cdn_path", "Unexpected error. (Incorrect CDN url)"},
    {"launcher_error.error_dns_connection_failed",
     "Connection to the Content Distribution Network failed! Curl Code: {0}!"},
    {"launcher_error.error_cancelled", "Operation cancelled by user"},
    {"launcher_error.error_dns", "DNS resolve to the Content Distribution Network failed!"},
    {"launcher_error.error_dns_resolve_failed", "DNS resolve to proxy failed!"},
    {"launcher_error.error_http_response", "HTTP Response Code: {0} Curl Code: {1}"},
    {"launcher_error.success_loaded", "Quarvel successfully loaded in-game"},
    {"launcher_error.error_invalid_executable_path", "Invalid game executable path: "},
    {"launcher_error.error_missing_directory_path", "Missing working directory path."},
    {"launcher_error.error_missing_binary_path", "Missing game executable path."},
    {"launcher_error.error_create_process", "Failed to create the game process: {0}"},
    {"launcher_error.error_internal", "Internal error!"},
    {"launcher_error.error_module_loading", "Failed to load the anti-cheat module."},
    {"launcher_error.error_certificate_validation", "Error validating Quarvel code signing certificate"},
    {"launcher_error.error_game_binary_not_found_wine", "Failed to locate the game binary (Wine)"},
    {"launcher_error.error_module_initialize", "Module initialization failed with {0}"},
};

// File names of system fonts, in the order of SystemFontSlot; default empty.
inline constexpr const char* kSystemFontKeys[] = {
    "windows_fonts.regular",
    "windows_fonts.bold",
    "windows_fonts.light",
};

// The default of a key of kCatalogueTexts; nullptr for any other key.
constexpr const char* FindDefaultText(std::string_view key) {
  for (const CatalogueText& text : kCatalogueTexts) {
    if (key == text.key) return text.defaultText;
  }
  return nullptr;
}

}  // namespace quarvel
