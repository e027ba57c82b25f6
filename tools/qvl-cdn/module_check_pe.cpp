#include <algorithm>
#include <cstdio>
#include <memory>

#include "authenticode_signer.h"
#include "common/text_encoding.h"
#include "launch/image/image_mapper_core.h"
#include "launch/image/pe_image.h"
#include "launch/trust/signature.h"
#include "module_check.h"
#include "quarvel/module_interface.h"

// A Windows module as the Windows bootstrapper meets it: the image mapper's
// own steps into a plain block of memory, the entries by export position,
// and the Authenticode signer against the names this build accepts.
namespace quarvel::cdn_tool {
namespace {

// The bootstrapper maps with these flags (entry point called on load and
// unload, headers not copied); nothing is called here.
constexpr std::uint32_t kLoaderMapFlags = launcher::kMapCallEntryOnLoad | launcher::kMapCallEntryOnUnload;
// Larger images are not mapped into the tool's memory.
constexpr std::uint64_t kMappedSizeLimit = 1ull << 30;

constexpr std::uint16_t kMachineAmd64 = 0x8664;

struct Entry {
  const char* name;
  std::uint32_t position;
  bool required;
};
constexpr Entry kEntries[] = {
    {"initialize", QVL_EntryPositionInitialize, true},
    {"shutdown", QVL_EntryPositionShutdown, true},
    {"reserved", QVL_EntryPositionReserved, true},
    {"set-language", QVL_EntryPositionSetLanguage, false},
};

std::u16string ToUtf16(const std::string& text) {
  std::u16string result;
  for (const wchar_t c : Utf8ToWide(text)) {
    auto point = static_cast<std::uint32_t>(c);
    if (point >= 0x10000) {
      point -= 0x10000;
      result += static_cast<char16_t>(0xD800 + (point >> 10));
      result += static_cast<char16_t>(0xDC00 + (point & 0x3FF));
    } else {
      result += static_cast<char16_t>(point);
    }
  }
  return result;
}

std::string FromUtf16(const char16_t* text) {
  std::wstring wide;
  for (; *text != 0; ++text) {
    std::uint32_t point = *text;
    if (sizeof(wchar_t) == 4 && point >= 0xD800 && point < 0xDC00 && text[1] >= 0xDC00 && text[1] < 0xE000) {
      point = 0x10000 + ((point - 0xD800) << 10) + (static_cast<std::uint32_t>(text[1]) - 0xDC00);
      ++text;
    }
    wide += static_cast<wchar_t>(point);
  }
  return WideToUtf8(wide);
}

std::string AcceptedNames() {
  std::string names;
  for (const char16_t* name : launcher::AcceptedSigners()) names += (names.empty() ? "\"" : ", \"") + FromUtf16(name) + "\"";
  return names;
}

std::string Hex16(std::uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof(text), "0x%04X", value);
  return text;
}

std::string Describe(const launcher::cPeImage& image) {
  const bool dll = (image.GetCharacteristics() & launcher::kImageFileDll) != 0;
  const bool amd64 = image.GetMachine() == kMachineAmd64;
  return std::string(image.Is64() ? "PE32+ " : "PE32 ") + (dll ? "DLL" : "executable (not a DLL)") + ", machine " +
         (amd64 ? "x86-64" : "x86") + " (" + Hex16(image.GetMachine()) + ")";
}

void CheckEntries(std::span<const std::uint8_t> bytes, std::uint64_t imageBase, cModuleReport& report) {
  cRefusalLog refusals;
  launcher::cMemoryBlockTarget target(imageBase, kMappedSizeLimit);
  launcher::MappedImage mapped;
  if (!launcher::MapPeImage(bytes, kLoaderMapFlags, target, mapped)) {
    report.Problem("the bootstrapper's image mapper refuses it: " +
                   refusals.Take("the image needs more than 1 GiB of memory"));
    return;
  }
  // The player's system must have each of these; the tool cannot know.
  std::vector<std::string> libraries;
  for (const std::string& import : target.Imports()) {
    const std::string library = import.substr(0, import.find('!'));
    if (std::find(libraries.begin(), libraries.end(), library) == libraries.end()) libraries.push_back(library);
  }
  std::string imports;
  for (const std::string& library : libraries) imports += (imports.empty() ? "" : ", ") + library;
  report.Fact("imports from: " + (imports.empty() ? std::string("nothing") : imports));
  for (const Entry& entry : kEntries) {
    const bool found = launcher::FindExportByPosition(target.Memory(), mapped, entry.position) != 0;
    const std::string line =
        std::string("entry ") + entry.name + " (export position " + std::to_string(entry.position) + "): ";
    if (found) {
      report.Fact(line + "found");
    } else if (entry.required) {
      report.Problem(line + "missing");
    } else {
      report.Fact(line + "missing (optional)");
    }
  }
}

void CheckSignature(const std::string& path, const launcher::cPeImage& image, cModuleReport& report) {
  const std::span<const std::uint8_t> table = image.GetCertificateTable();
  if (table.empty()) {
    report.Problem("no Authenticode signature: the bootstrapper refuses an unsigned module");
    return;
  }
  const SignerLookup signer = ReadAuthenticodeSigner(path, table);
  if (!signer.read) {
    report.Problem("the Authenticode signature cannot be read: " + signer.error);
    return;
  }
  if (launcher::IsAcceptedSigner(ToUtf16(signer.commonName).c_str())) {
    report.Fact("signature: Authenticode, signed by \"" + signer.commonName + "\" (accepted by this build)");
  } else {
    report.Problem("signed by \"" + signer.commonName + "\", a name this build does not accept (it accepts " +
                   AcceptedNames() + ")");
  }
}

}  // namespace

void CheckPeModule(const std::string& path, std::span<const std::uint8_t> bytes, const SystemExpectation* expected,
                   cModuleReport& report) {
  std::unique_ptr<launcher::cPeImage> image;
  std::string refusal;
  {
    cRefusalLog refusals;
    image = launcher::cPeImage::Open(bytes);
    refusal = refusals.Take("unknown reason");
  }
  if (image == nullptr) {
    report.Fact(path + ": an MZ file the bootstrapper cannot read as a PE image");
    report.Problem("not a PE image the bootstrapper reads: " + refusal);
    return;
  }
  report.Fact(path + ": " + Describe(*image));
  if (expected == nullptr) return;
  if (expected->format != ModuleFormat::Pe) {
    report.Problem("system " + expected->system + " needs " + DescribeFormat(expected->format) + ", not a PE image");
    return;
  }
  const bool dll = (image->GetCharacteristics() & launcher::kImageFileDll) != 0;
  if (!image->Is64() || image->GetMachine() != kMachineAmd64 || !dll) {
    report.Problem("system " + expected->system + " needs " + DescribeFormat(expected->format) +
                   ": the bootstrapper is a 64-bit process and maps the module into itself");
    return;
  }
  report.Fact("system " + expected->system + ": " + DescribeFormat(expected->format) + ": matches");
  CheckEntries(bytes, image->GetImageBase(), report);
  CheckSignature(path, *image, report);
}

}  // namespace quarvel::cdn_tool
