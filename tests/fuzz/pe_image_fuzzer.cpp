// The image mapper's portable steps over any bytes, mapped into a plain block
// of memory: validation, sections, relocations, imports, export checks and
// protections, then the export lookups the module loader makes. AddressSan
// proves that nothing reads outside the input or writes outside the block;
// the checks below that every result stays inside the mapped image.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_check.h"
#include "launch/image/image_mapper_core.h"

namespace {

using namespace quarvel::launcher;

// Small enough that an image asking for more is refused before the block is
// filled, so each run stays fast.
constexpr std::uint64_t kSizeLimit = 16ull * 1024 * 1024;
constexpr std::uint64_t kLoadAddress = 0x7FF712340000ull;

void CheckLookups(const cMemoryBlockTarget& target, const MappedImage& mapped) {
  const std::uint8_t* memory = target.Block().data();
  const std::uint64_t size = target.Block().size();
  for (std::uint32_t position = 0; position < 8; ++position) {
    const std::uint32_t rva = FindExportByPosition(memory, mapped, position);
    FUZZ_CHECK(rva == 0 || (rva < size && mapped.committed.Contains(rva, 1)));
  }
  for (const char* name : {"a", "b", "c", "d", ""}) {
    const std::uint32_t rva = FindExportByName(memory, mapped, name);
    FUZZ_CHECK(rva == 0 || (rva < size && mapped.committed.Contains(rva, 1)));
  }
  FUZZ_CHECK(mapped.entryPointRva < size);
  for (const cMemoryBlockTarget::Protection& protection : target.Protections()) {
    FUZZ_CHECK(std::uint64_t{protection.rva} + protection.size <= size);
  }
}

void Map(std::span<const std::uint8_t> bytes, std::uint32_t flags) {
  cMemoryBlockTarget target(kLoadAddress, kSizeLimit);
  MappedImage mapped;
  if (!MapPeImage(bytes, flags, target, mapped)) return;
  CheckLookups(target, mapped);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  // As the module loader maps (headers not copied), and with the headers.
  Map(bytes, kMapCallEntryOnLoad | kMapCallEntryOnUnload);
  Map(bytes, kMapCopyHeaders);
  return 0;
}
