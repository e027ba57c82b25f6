#include "launch/image/elf_file.h"
#include "launch/image/elf_symbols.h"
#include "module_check.h"
#include "quarvel/module_interface.h"

// A Linux module as the Linux bootstrapper (and the Windows one under Wine)
// meets it: an ELF64 x86-64 shared object whose symbols a to d are defined,
// found through the object's own hash table as the dynamic loader finds them.
namespace quarvel::cdn_tool {
namespace {

constexpr std::uint64_t kImageSizeLimit = 1ull << 30;

struct Entry {
  const char* name;
  const char* symbol;
};
constexpr Entry kEntries[] = {
    {"initialize", QVL_ENTRY_SYMBOL_INITIALIZE},
    {"shutdown", QVL_ENTRY_SYMBOL_SHUTDOWN},
    {"reserved", QVL_ENTRY_SYMBOL_RESERVED},
    {"set-language", QVL_ENTRY_SYMBOL_SET_LANGUAGE},
};

std::string Describe(const launcher::ElfFileHeader& header) {
  using namespace launcher;
  std::string text = header.elfClass == kElfClass64 ? "ELF64" : header.elfClass == kElfClass32 ? "ELF32" : "ELF";
  if (header.encoding != kElfLittleEndian) text += " big-endian";
  text += header.type == kElfTypeSharedObject ? " shared object"
          : header.type == kElfTypeExecutable ? " executable"
                                              : " file of type " + std::to_string(header.type);
  text += header.machine == kElfMachineX86_64 ? ", machine x86-64"
          : header.machine == kElfMachineX86  ? ", machine x86"
                                              : ", machine " + std::to_string(header.machine);
  return text;
}

bool IsLoadableKind(const launcher::ElfFileHeader& header) {
  using namespace launcher;
  return header.elfClass == kElfClass64 && header.encoding == kElfLittleEndian &&
         header.type == kElfTypeSharedObject && header.machine == kElfMachineX86_64;
}

void CheckEntries(std::span<const std::uint8_t> bytes, cModuleReport& report) {
  std::vector<std::uint8_t> image;
  std::string error;
  if (!launcher::LayOutElfImage(bytes, kImageSizeLimit, image, error)) {
    report.Problem("the shared object cannot be laid out: " + error);
    return;
  }
  for (const Entry& entry : kEntries) {
    const bool found = launcher::FindElfSymbol(image, entry.symbol) != nullptr;
    const std::string line = std::string("entry ") + entry.name + " (symbol " + entry.symbol + "): ";
    if (found) {
      report.Fact(line + "found");
    } else {
      report.Problem(line + "missing");
    }
  }
}

}  // namespace

void CheckElfModule(const std::string& path, std::span<const std::uint8_t> bytes, const SystemExpectation* expected,
                    cModuleReport& report) {
  launcher::ElfFileHeader header;
  if (!launcher::ReadElfFileHeader(bytes, header)) {
    report.Fact(path + ": an ELF file cut short");
    report.Problem("the ELF header is cut short");
    return;
  }
  report.Fact(path + ": " + Describe(header));
  if (expected == nullptr) return;
  if (expected->format != ModuleFormat::Elf) {
    report.Problem("system " + expected->system + " needs " + DescribeFormat(expected->format) +
                   ", not an ELF image");
    return;
  }
  if (!IsLoadableKind(header)) {
    report.Problem("system " + expected->system + " needs " + DescribeFormat(expected->format) +
                   ": the bootstrapper is a 64-bit process and loads the module into itself");
    return;
  }
  report.Fact("system " + expected->system + ": " + DescribeFormat(expected->format) + ": matches");
  CheckEntries(bytes, report);
}

}  // namespace quarvel::cdn_tool
