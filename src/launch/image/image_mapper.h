#pragma once

#include <cstdint>
#include <span>

#include "launch/image/image_mapper_core.h"

namespace quarvel::launcher {

// A position in the export address table: the 0-based index, the export
// ordinal base not applied (position 4 is the table's fifth entry).
struct ExportPosition {
  std::uint32_t index;
};

// One DLL image mapped into this process straight from memory, doing the
// system loader's work: sections, base relocations, imports, page
// protections and the entry point. TLS callbacks, exception tables and
// delay-load imports are not handled. Windows only; the steps that need no
// operating system live in image_mapper_core.h.
class cImageMapper {
 public:
  cImageMapper() = default;
  // Unloads.
  virtual ~cImageMapper();
  cImageMapper(const cImageMapper&) = delete;
  cImageMapper& operator=(const cImageMapper&) = delete;

  // Maps `image` with the kMap* flags. True when it is mapped and, with
  // kMapCallEntryOnLoad, its entry point (when it has one) returned non-zero.
  // A refused image leaves nothing mapped; when only the entry point failed,
  // the image stays mapped until Unload. False, too, when already mapped.
  virtual bool Load(std::span<const std::uint8_t> image, std::uint32_t flags);
  // With kMapCallEntryOnUnload calls the entry point to detach, then frees
  // the image. True; nothing happens when nothing is mapped.
  virtual bool Unload();
  // The export's address, or null (also for an empty slot of the table).
  virtual void* GetProcAddress(const char* name) const;
  virtual void* GetProcAddress(ExportPosition position) const;

  // Null when nothing is mapped.
  void* ImageBase() const { return imageBase_; }

 private:
  std::uint8_t* imageBase_ = nullptr;
  void* entryPoint_ = nullptr;
  MappedImage mapped_;  // export table and committed ranges
  std::uint32_t flags_ = 0;
};

}  // namespace quarvel::launcher
