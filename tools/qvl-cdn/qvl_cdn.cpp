#include "qvl_cdn.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <system_error>

#include "common/strings.h"
#include "common/version.h"
#include "launch/delivery/scramble.h"
#include "module_check.h"
#include "module_files.h"
#include "module_signing.h"

namespace quarvel::cdn_tool {
namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  qvl-cdn check FILE --system S [--public-key PEM ...]\n"
    "      Prints what a bootstrapper asking for system S would find in the module FILE:\n"
    "      its format and machine, its entries and, for a Windows module, its\n"
    "      Authenticode signer. One \"problem:\" line per problem. Exit code 0 when the\n"
    "      module is loadable, 1 when it is not.\n"
    "  qvl-cdn publish FILE --product P --deployment D --system S --root DIR [--force]\n"
    "      Checks FILE as above, then scrambles it and places it at DIR/modules/P/D/S,\n"
    "      where the bootstrapper downloads it from (https://<cdn host>/modules/P/D/S).\n"
    "      A module that fails the check is refused and nothing is written, unless\n"
    "      --force is given. The file is written under a temporary name and renamed,\n"
    "      so a server never sees half of it. P and D are 2 to 64 letters, digits or\n"
    "      '-'; S is the system name (win64, win64_wow64, linux64, linux64_32, linux32).\n"
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
    "Exit codes: 0 done (check: loadable), 1 failed (check: not loadable), 2 wrong usage.\n";

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

// FILE and the options of a command: `options` names the options that take
// a value (all required), `flags` those that do not. Empty on success, else
// what is wrong.
std::string ParseFileAndOptions(const std::vector<std::string>& arguments, std::map<std::string, std::string>& options,
                                std::map<std::string, bool>& flags, std::string& file) {
  const std::string& command = arguments[0];
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const auto option = options.find(argument);
    const auto flag = flags.find(argument);
    if (option != options.end()) {
      if (i + 1 == arguments.size()) return argument + " needs a value";
      if (!option->second.empty()) return argument + " is given twice";
      option->second = arguments[++i];
      if (option->second.empty()) return argument + " needs a value";
    } else if (flag != flags.end()) {
      flag->second = true;
    } else if (argument.starts_with("--")) {
      return "unknown option " + argument;
    } else if (!file.empty()) {
      return command + " takes one FILE";
    } else {
      file = argument;
    }
  }
  if (file.empty()) return command + " needs a FILE";
  for (const auto& [name, value] : options) {
    if (value.empty()) return command + " needs " + name;
  }
  return {};
}

// Takes every "--public-key PEM" pair out of `arguments`: the option may be
// given more than once, which the common parser does not allow.
std::vector<std::string> TakePublicKeys(std::vector<std::string>& arguments) {
  std::vector<std::string> keys;
  for (std::size_t i = 1; i + 1 < arguments.size();) {
    if (arguments[i] != "--public-key") {
      ++i;
      continue;
    }
    keys.push_back(arguments[i + 1]);
    arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i), arguments.begin() + static_cast<std::ptrdiff_t>(i) + 2);
  }
  return keys;
}

bool IsElfImage(const std::vector<std::uint8_t>& bytes) {
  return bytes.size() >= 4 && bytes[0] == 0x7F && bytes[1] == 'E' && bytes[2] == 'L' && bytes[3] == 'F';
}

int Check(std::vector<std::string> arguments, std::ostream& out, std::ostream& err) {
  const std::vector<std::string> publicKeys = TakePublicKeys(arguments);
  std::string file;
  std::map<std::string, std::string> options = {{"--system", ""}};
  std::map<std::string, bool> flags;
  const std::string problem = ParseFileAndOptions(arguments, options, flags, file);
  if (!problem.empty()) return Usage(err, problem);
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadModuleFile(PathFromUtf8(file), bytes, error)) return Fail(err, error);
  cModuleReport report = CheckModule(file, bytes, options["--system"]);
  if (IsElfImage(bytes)) {
    // A native module's signature trailer, checked as the bootstrapper checks
    // it; without keys it is only described.
    bool verified = false;
    const std::string description = DescribeModuleSignature(bytes, publicKeys, verified);
    for (const std::string& line : SplitByAny(description, "\n")) {
      if (!line.empty()) report.Fact(line);
    }
    if (!publicKeys.empty() && !verified) report.Problem("the signature trailer does not verify with the given keys");
  }
  report.Print(out, options["--system"]);
  return report.Loadable() ? kExitOk : kExitFailed;
}

int Publish(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  std::string file;
  std::map<std::string, std::string> options = {
      {"--product", ""}, {"--deployment", ""}, {"--system", ""}, {"--root", ""}};
  std::map<std::string, bool> flags = {{"--force", false}};
  const std::string problem = ParseFileAndOptions(arguments, options, flags, file);
  if (!problem.empty()) return Usage(err, problem);
  const std::string& system = options["--system"];
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadModuleFile(PathFromUtf8(file), bytes, error)) return Fail(err, error);
  const cModuleReport report = CheckModule(file, bytes, system);
  if (!report.Loadable()) {
    for (const std::string& line : report.Problems()) err << "qvl-cdn: " << file << ": " << line << "\n";
    if (!flags["--force"]) {
      return Fail(err, "refusing to publish " + file + ": a bootstrapper asking for " + system +
                           " could not load it (" + std::to_string(report.ProblemCount()) +
                           " problem(s)); --force publishes it anyway");
    }
    err << "qvl-cdn: publishing it anyway (--force)\n";
  }
  std::string published;
  if (!PublishModule(file, options["--product"], options["--deployment"], system, options["--root"], published,
                     error)) {
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
  if (command == "check") return Check(arguments, out, err);
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
