#pragma once

#include <cstdint>
#include <span>

#include "launch/trust/sealed_module_file.h"

// Under Wine, the module file: an in-memory file of the Linux host (memfd),
// closed on exec and sealable, made and written through the host system
// calls of the Wine bridge. The bridge's stub takes three arguments, so a
// positioned write is a seek and a write. Windows builds only.
namespace quarvel::launcher {

class cHostMemoryFile final : public cModuleFile {
 public:
  cHostMemoryFile() = default;
  // Closes the file unless it was released.
  ~cHostMemoryFile() override;
  cHostMemoryFile(const cHostMemoryFile&) = delete;
  cHostMemoryFile& operator=(const cHostMemoryFile&) = delete;

  bool Create(std::uint64_t size) override;
  bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;
  // Seals against writing, shrinking and growing.
  bool Seal() override;
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) override;

  // The host descriptor, or -1 before Create.
  std::int64_t Descriptor() const { return descriptor_; }
  // The descriptor, now the caller's to close.
  std::int64_t Release();

 private:
  bool SeekTo(std::uint64_t offset);

  std::int64_t descriptor_ = -1;
};

}  // namespace quarvel::launcher
