#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "launch/image/pe_image.h"

// The image mapper's steps that need no operating system: validation, the
// section copy, base relocations, the import walk, the export-table checks
// and the choice of page protections, run against a cImageTarget. The
// Windows mapper's target is reserved virtual memory; cMemoryBlockTarget is a
// plain block, so the same steps run natively in tests and under a fuzzer.
namespace quarvel::launcher {

// cImageMapper::Load flags.
inline constexpr std::uint32_t kMapCallEntryOnLoad = 1;
inline constexpr std::uint32_t kMapCallEntryOnUnload = 2;
inline constexpr std::uint32_t kMapCopyHeaders = 4;

enum class SectionProtection {
  Unchanged,  // stays read-write
  ReadOnly,
  ExecuteRead,
  ReadWrite,
  ExecuteReadWrite,
};

// From the execute, read and write bits of a section's characteristics.
SectionProtection ProtectionForCharacteristics(std::uint32_t characteristics);

// Where the image is mapped to. Offsets are RVAs from the start of the
// region; the steps only write inside ranges they committed.
class cImageTarget {
 public:
  virtual ~cImageTarget() = default;
  // Reserves `size` bytes (whole pages); false when it cannot.
  virtual bool Reserve(std::uint64_t size) = 0;
  // Frees what Reserve took; safe to call when nothing is reserved.
  virtual void Release() = 0;
  // Start of the reserved region, writable where committed.
  virtual std::uint8_t* Memory() = 0;
  // The address the image runs at; relocations are applied for it.
  virtual std::uint64_t LoadAddress() const = 0;
  // Makes the pages of [rva, rva + size) readable and writable.
  virtual bool Commit(std::uint32_t rva, std::uint32_t size) = 0;
  // Best effort: a failure is ignored.
  virtual void Protect(std::uint32_t rva, std::uint32_t size, SectionProtection protection) = 0;
  // Null when the library cannot be loaded.
  virtual void* OpenLibrary(const char* name) = 0;
  // `name` is null for an import by ordinal. Null when not found.
  virtual void* FindProcedure(void* library, const char* name, std::uint16_t ordinal) = 0;
};

// The committed parts of a mapped image as sorted, disjoint, page-aligned
// RVA ranges; every read of the mapped image is checked against them.
class cCommittedRanges {
 public:
  void Add(std::uint64_t rva, std::uint64_t size);
  bool Contains(std::uint64_t rva, std::uint64_t length) const;
  // Bytes from `rva` to the end of the committed run holding it; 0 outside.
  std::uint64_t RunFrom(std::uint64_t rva) const;

 private:
  struct Range {
    std::uint64_t begin;
    std::uint64_t end;
  };
  std::vector<Range> ranges_;
};

struct ExportTable {
  std::uint32_t functions = 0;  // RVA of the export address table
  std::uint32_t functionCount = 0;
  std::uint32_t names = 0;     // RVA of the name-pointer table
  std::uint32_t ordinals = 0;  // RVA of the name-ordinal table
  std::uint32_t nameCount = 0;
};

// What a successful mapping leaves for the lookups.
struct MappedImage {
  std::uint32_t entryPointRva = 0;  // 0: the image has no entry point
  ExportTable exports;
  cCommittedRanges committed;
};

// Open, Validate, Reserve, then the headers (with kMapCopyHeaders), sections,
// relocations, imports, the entry-point and export-table checks, and the
// protections. On failure the target is released and one line was logged.
// The entry point is not called: that is the caller's.
bool MapPeImage(std::span<const std::uint8_t> bytes, std::uint32_t flags, cImageTarget& target, MappedImage& out);

// An export's RVA by its 0-based index into the export address table (the
// ordinal base is not applied), or by name. 0 when there is none: an index
// past the table, an empty slot, a name not exported, or an address outside
// the committed image. `memory` is the start of the mapped image.
std::uint32_t FindExportByPosition(const std::uint8_t* memory, const MappedImage& image, std::uint32_t index);
std::uint32_t FindExportByName(const std::uint8_t* memory, const MappedImage& image, const char* name);

// A target that is a plain block of memory: nothing is protected, libraries
// and procedures are answered by the resolver functions (by default every
// library opens and every procedure gets a distinct fake address). For tests
// and the fuzzer.
class cMemoryBlockTarget : public cImageTarget {
 public:
  struct Protection {
    std::uint32_t rva;
    std::uint32_t size;
    SectionProtection protection;
  };

  // `loadAddress` is where the image pretends to run; images needing more
  // than `sizeLimit` bytes are refused.
  cMemoryBlockTarget(std::uint64_t loadAddress, std::uint64_t sizeLimit);

  bool Reserve(std::uint64_t size) override;
  void Release() override;
  std::uint8_t* Memory() override { return block_.data(); }
  std::uint64_t LoadAddress() const override { return loadAddress_; }
  bool Commit(std::uint32_t rva, std::uint32_t size) override;
  void Protect(std::uint32_t rva, std::uint32_t size, SectionProtection protection) override;
  void* OpenLibrary(const char* name) override;
  void* FindProcedure(void* library, const char* name, std::uint16_t ordinal) override;

  std::function<void*(const char* name)> openLibrary;
  std::function<void*(void* library, const char* name, std::uint16_t ordinal)> findProcedure;

  const std::vector<std::uint8_t>& Block() const { return block_; }
  const std::vector<Protection>& Protections() const { return protections_; }
  // "library!name" or "library!#ordinal" of every procedure asked for.
  const std::vector<std::string>& Imports() const { return imports_; }

 private:
  std::uint64_t loadAddress_;
  std::uint64_t sizeLimit_;
  std::vector<std::uint8_t> block_;
  std::vector<Protection> protections_;
  std::vector<std::string> imports_;
  std::vector<std::string> libraries_;
};

// The entry for a fuzz target: maps `bytes` into a fresh plain block (images
// over 64 MiB are refused), then looks up the first export positions and a
// name. True when the image mapped.
bool MapImageIntoBlock(std::span<const std::uint8_t> bytes, std::uint32_t flags);

}  // namespace quarvel::launcher
