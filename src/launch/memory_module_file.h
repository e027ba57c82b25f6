#pragma once

#include <cstdint>
#include <span>

#include "launch/trust/sealed_module_file.h"

// The Linux build's module file: an in-memory file (memfd), closed on exec
// and sealable, that the dynamic loader opens through /proc/self/fd.
namespace quarvel::launcher {

class cMemoryModuleFile final : public cModuleFile {
 public:
  cMemoryModuleFile() = default;
  // Closes the file unless it was released.
  ~cMemoryModuleFile() override;
  cMemoryModuleFile(const cMemoryModuleFile&) = delete;
  cMemoryModuleFile& operator=(const cMemoryModuleFile&) = delete;

  bool Create(std::uint64_t size) override;
  bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;
  // Seals against writing, shrinking and growing.
  bool Seal() override;
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) override;

  // The descriptor, or -1 before Create.
  int Descriptor() const { return descriptor_; }
  // The descriptor, now the caller's to close.
  int Release();

 private:
  int descriptor_ = -1;
};

}  // namespace quarvel::launcher
