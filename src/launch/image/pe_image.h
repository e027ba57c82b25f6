#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "launch/image/pe_byte_reader.h"

// A read-only view of the raw bytes of a PE (DLL) image, as the image mapper
// needs it: headers, sections, base relocations and imports. Every offset,
// size and RVA taken from the bytes is checked before use, so any bytes are
// safe to pass; a malformed image is refused with one Error log line. No
// operating-system calls.
namespace quarvel::launcher {

enum class PeHeaderValue : int {
  AddressOfEntryPoint = 0,
  SizeOfImage = 1,
  ExportFunctions = 2,  // RVA of the export address table
  ExportNames = 3,      // RVA of the name-pointer table
  ExportOrdinals = 4,   // RVA of the name-ordinal table
  ExportFunctionCount = 5,
  ExportNameCount = 6,
  SizeOfHeaders = 7,
};

struct PeSection {
  std::uint32_t virtualAddress = 0;
  std::uint32_t virtualSize = 0;
  std::uint32_t rawOffset = 0;  // PointerToRawData
  std::uint32_t rawSize = 0;    // SizeOfRawData
  std::uint32_t characteristics = 0;
};

// Base-relocation entry types the mapper applies; every other type is skipped.
inline constexpr std::uint16_t kRelocationHighLow = 3;
inline constexpr std::uint16_t kRelocationDir64 = 10;

inline constexpr std::uint64_t kPageSize = 0x1000;

// The file header's characteristics bit of a DLL.
inline constexpr std::uint16_t kImageFileDll = 0x2000;

// Receives the import directory in table order: each library, then its
// procedures. Returning false stops the walk, which then fails.
class cPeImportVisitor {
 public:
  virtual ~cPeImportVisitor() = default;
  virtual bool OnLibrary(const char* name) = 0;
  // `name` is null for an import by ordinal. The procedure's address belongs
  // in the slot at `slotRva`, SlotSize() bytes wide.
  virtual bool OnProcedure(const char* name, std::uint16_t ordinal, std::uint32_t slotRva) = 0;
};

class cPeImage {
 public:
  struct Layout;

  // Checks "MZ", that e_lfanew leaves room for the NT headers, the "PE\0\0"
  // signature and the machine (0x8664 or 0x14C, which chooses the layout).
  // Null, after one log line, for anything else.
  static std::unique_ptr<cPeImage> Open(std::span<const std::uint8_t> bytes);

  bool Is64() const;
  std::uint16_t GetMachine() const;
  // The file header's characteristics (kImageFileDll, ...).
  std::uint16_t GetCharacteristics() const;
  // The certificate table, where Authenticode signatures are kept: unlike
  // every other directory it is addressed by file offset, outside the
  // sections. Null when the image has none or it lies outside the bytes.
  std::span<const std::uint8_t> GetCertificateTable() const;
  // 0 for an unknown kind, and for the export values when the image has no
  // readable export directory.
  std::uint32_t GetHeaderValue(PeHeaderValue kind) const;
  std::uint64_t GetImageBase() const;
  // Checks the optional header (magic, standard size), the image and header
  // sizes, every section against the bytes and the image, and that the
  // export, import and relocation directories are readable. Sections are
  // known only after it succeeded.
  bool Validate() const;
  // False when `visit` returns false.
  bool ForEachSection(const std::function<bool(const PeSection&)>& visit) const;
  // Visits each relocation entry's target RVA and type, padding included.
  // False for a malformed directory or when `visit` returns false.
  bool ForEachRelocation(const std::function<bool(std::uint64_t targetRva, std::uint16_t type)>& visit) const;
  bool ForEachImport(cPeImportVisitor& visitor) const;
  // The raw bytes behind [rva, rva + length): the first section whose
  // virtual range holds `rva` must hold the whole range in its raw data.
  // Null otherwise.
  const std::uint8_t* RvaToPointer(std::uint64_t rva, std::uint64_t length = 1) const;

  // The zero-terminated text at `rva`, terminated inside its section's raw
  // data; null otherwise.
  const char* RvaToString(std::uint64_t rva) const;
  // True when [rva, rva + length) lies inside one section's virtual range.
  bool IsInsideSection(std::uint64_t rva, std::uint64_t length) const;
  // Width of an import slot: 8 in the 64-bit layout, 4 in the 32-bit one.
  std::uint32_t SlotSize() const;
  // SizeOfImage rounded up to whole pages: the size of the mapped region.
  std::uint64_t MappedSize() const;
  std::span<const std::uint8_t> Bytes() const { return bytes_; }

 private:
  cPeImage(std::span<const std::uint8_t> bytes, std::uint32_t nt, const Layout& layout);

  struct Directory {
    std::uint32_t rva = 0;
    std::uint32_t size = 0;
  };
  Directory GetDirectory(std::uint32_t index) const;
  const PeSection* FindSection(std::uint64_t rva) const;
  bool ReadSections() const;

  std::span<const std::uint8_t> bytes_;
  cByteReader reader_;
  std::uint32_t nt_;
  const Layout& layout_;
  mutable std::vector<PeSection> sections_;  // filled by Validate
};

}  // namespace quarvel::launcher
