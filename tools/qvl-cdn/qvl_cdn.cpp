#include "qvl_cdn.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <system_error>

#include "common/version.h"
#include "launch/delivery/scramble.h"
#include "module_files.h"
#include "module_signing.h"

namespace quarvel::cdn_tool {
namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  qvl-cdn publish FILE --product P --deployment D --system S --root DIR\n"
    "      Scrambles the module FILE and places it at DIR/modules/P/D/S, where the\n"
    "      bootstrapper downloads it from (https://<cdn host>/modules/P/D/S). The file\n"
    "      is written under a temporary name and renamed, so a server never sees half\n"
    "      of it. P and D are 2 to 64 letters, digits or '-'; S is the system name\n"
    "      (win64, win64_wow64, linux64, linux64_32, linux32, ...).\n"
    "  qvl-cdn sign --key KEY.pem FILE\n"
    "      Appends the signature trailer of a native (Linux) module to FILE, made\n"
    "      with the ECDSA P-256 private key KEY.pem; a trailer FILE has is replaced.\n"
    "      Sign before publish: publish keeps the trailer.\n"
    "  qvl-cdn scramble IN OUT\n"
    "      Writes IN in the CDN's scrambled encoding to OUT.\n"
    "  qvl-cdn unscramble IN OUT\n"
    "      Writes the module image that the scrambled file IN holds to OUT.\n"
    "  qvl-cdn --help\n"
    "      Shows this text.\n"
    "  qvl-cdn --version\n"
    "      Shows the version, the same as the bootstrapper's it ships with.\n"
    "Exit codes: 0 done, 1 failed, 2 wrong usage.\n";

bool IsIdentifier(const std::string& text) {
  if (text.size() < 2 || text.size() > 64) return false;
  for (const char c : text) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
    if (!ok) return false;
  }
  return true;
}

bool IsSystemName(const std::string& text) {
  if (text.empty() || text.size() > 32) return false;
  for (const char c : text) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

std::optional<std::filesystem::file_time_type> LastWriteTime(const std::filesystem::path& path) {
  std::error_code error;
  const auto time = std::filesystem::last_write_time(path, error);
  if (error) return std::nullopt;
  return time;
}

std::int64_t WholeSeconds(std::filesystem::file_time_type time) {
  return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

// A web server's ETag for a static file is its write time in whole seconds
// and its size: a module replaced by one of the same size within the same
// second would keep the old ETag, and clients holding the old module would
// be told it is current. The new file's time is moved past the old one's.
void KeepETagFresh(const std::filesystem::path& path, std::optional<std::filesystem::file_time_type> previous) {
  if (!previous) return;
  const std::optional<std::filesystem::file_time_type> now = LastWriteTime(path);
  if (now && WholeSeconds(*now) > WholeSeconds(*previous)) return;
  std::error_code ignored;
  std::filesystem::last_write_time(path, *previous + std::chrono::seconds(1), ignored);
}

int Usage(std::ostream& err, const std::string& problem) {
  err << "qvl-cdn: " << problem << "\n" << kUsage;
  return kExitUsage;
}

int Fail(std::ostream& err, const std::string& problem) {
  err << "qvl-cdn: " << problem << "\n";
  return kExitFailed;
}

int Transform(const std::vector<std::string>& arguments, bool scramble, std::ostream& out, std::ostream& err) {
  if (arguments.size() != 3) return Usage(err, arguments[0] + " takes IN and OUT");
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadModuleFile(PathFromUtf8(arguments[1]), bytes, error)) return Fail(err, error);
  if (scramble) {
    launcher::ScrambleModule(bytes);
  } else {
    launcher::UnscrambleModule(bytes);
  }
  if (!ReplaceModuleFile(PathFromUtf8(arguments[2]), bytes, error)) return Fail(err, error);
  out << (scramble ? "Scrambled " : "Unscrambled ") << bytes.size() << " bytes to " << arguments[2] << "\n";
  return kExitOk;
}

int Sign(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  std::string key;
  std::string file;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--key") {
      if (i + 1 == arguments.size() || arguments[i + 1].empty()) return Usage(err, "--key needs a value");
      if (!key.empty()) return Usage(err, "--key is given twice");
      key = arguments[++i];
    } else if (argument.starts_with("--")) {
      return Usage(err, "unknown option " + argument);
    } else if (!file.empty()) {
      return Usage(err, "sign takes one FILE");
    } else {
      file = argument;
    }
  }
  if (file.empty() || key.empty()) return Usage(err, "sign needs --key KEY.pem and a FILE");
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadModuleFile(PathFromUtf8(file), bytes, error)) return Fail(err, error);
  if (!SignModuleBytes(bytes, key, error)) return Fail(err, error);
  if (!ReplaceModuleFile(PathFromUtf8(file), bytes, error)) return Fail(err, error);
  bool verified = false;
  out << "Signed " << file << "\n" << DescribeModuleSignature(bytes, {}, verified);
  return kExitOk;
}

int Publish(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  std::string file;
  std::map<std::string, std::string> options = {
      {"--product", ""}, {"--deployment", ""}, {"--system", ""}, {"--root", ""}};
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const auto option = options.find(argument);
    if (option != options.end()) {
      if (i + 1 == arguments.size()) return Usage(err, argument + " needs a value");
      if (!option->second.empty()) return Usage(err, argument + " is given twice");
      option->second = arguments[++i];
      if (option->second.empty()) return Usage(err, argument + " needs a value");
    } else if (argument.starts_with("--")) {
      return Usage(err, "unknown option " + argument);
    } else if (!file.empty()) {
      return Usage(err, "publish takes one FILE");
    } else {
      file = argument;
    }
  }
  if (file.empty()) return Usage(err, "publish needs a FILE");
  for (const auto& [name, value] : options) {
    if (value.empty()) return Usage(err, "publish needs " + name);
  }
  std::string published;
  std::string error;
  if (!PublishModule(file, options["--product"], options["--deployment"], options["--system"], options["--root"],
                     published, error)) {
    return Fail(err, error);
  }
  out << "Published " << file << " as " << published << "\n";
  return kExitOk;
}

}  // namespace

int RunQvlCdn(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  if (arguments.empty()) return Usage(err, "no command given");
  const std::string& command = arguments[0];
  if (command == "--help" || command == "-h" || command == "help") {
    out << kUsage;
    return kExitOk;
  }
  if (command == "--version") {
    out << "qvl-cdn " << kProductVersion << "\n";
    return kExitOk;
  }
  if (command == "publish") return Publish(arguments, out, err);
  if (command == "sign") return Sign(arguments, out, err);
  if (command == "scramble") return Transform(arguments, true, out, err);
  if (command == "unscramble") return Transform(arguments, false, out, err);
  return Usage(err, "unknown command " + command);
}

bool PublishModule(const std::string& file, const std::string& product, const std::string& deployment,
                   const std::string& system, const std::string& root, std::string& published, std::string& error) {
  if (!IsIdentifier(product)) {
    error = "product id '" + product + "' is not 2 to 64 letters, digits or '-'";
    return false;
  }
  if (!IsIdentifier(deployment)) {
    error = "deployment id '" + deployment + "' is not 2 to 64 letters, digits or '-'";
    return false;
  }
  if (!IsSystemName(system)) {
    error = "system name '" + system + "' is not 1 to 32 lower-case letters, digits or '_'";
    return false;
  }
  std::vector<std::uint8_t> bytes;
  if (!ReadModuleFile(PathFromUtf8(file), bytes, error)) return false;
  launcher::ScrambleModule(bytes);

  const std::filesystem::path directory = PathFromUtf8(root) / "modules" / product / deployment;
  std::error_code created;
  std::filesystem::create_directories(directory, created);
  if (created) {
    error = "cannot create " + Utf8FromPath(directory) + ": " + created.message();
    return false;
  }
  const std::filesystem::path target = directory / system;
  const std::optional<std::filesystem::file_time_type> previous = LastWriteTime(target);
  if (!ReplaceModuleFile(target, bytes, error)) return false;
  KeepETagFresh(target, previous);
  published = Utf8FromPath(target);
  return true;
}

}  // namespace quarvel::cdn_tool
