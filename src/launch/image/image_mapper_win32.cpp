#include <windows.h>

#include "common/logger.h"
#include "launch/image/image_mapper.h"

namespace quarvel::launcher {
namespace {

using DllEntry = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);

DWORD ToPageProtection(SectionProtection protection) {
  switch (protection) {
    case SectionProtection::ReadOnly:
      return PAGE_READONLY;
    case SectionProtection::ExecuteRead:
      return PAGE_EXECUTE_READ;
    case SectionProtection::ExecuteReadWrite:
      return PAGE_EXECUTE_READWRITE;
    default:
      return PAGE_READWRITE;
  }
}

// Reserved address space of this process, committed section by section.
class cVirtualMemoryTarget : public cImageTarget {
 public:
  bool Reserve(std::uint64_t size) override {
    base_ = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS));
    size_ = base_ != nullptr ? size : 0;
    return base_ != nullptr;
  }
  void Release() override {
    if (base_ != nullptr) VirtualFree(base_, 0, MEM_RELEASE);
    base_ = nullptr;
    size_ = 0;
  }
  std::uint8_t* Memory() override { return base_; }
  std::uint64_t LoadAddress() const override { return reinterpret_cast<std::uintptr_t>(base_); }
  bool Commit(std::uint32_t rva, std::uint32_t size) override {
    return VirtualAlloc(base_ + rva, size, MEM_COMMIT, PAGE_READWRITE) != nullptr;
  }
  void Protect(std::uint32_t rva, std::uint32_t size, SectionProtection protection) override {
    DWORD previous = 0;
    VirtualProtect(base_ + rva, size, ToPageProtection(protection), &previous);
  }
  void* OpenLibrary(const char* name) override { return LoadLibraryA(name); }
  void* FindProcedure(void* library, const char* name, std::uint16_t ordinal) override {
    const char* what = name != nullptr ? name : MAKEINTRESOURCEA(ordinal);
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), what));
  }

  std::uint64_t Size() const { return size_; }

 private:
  std::uint8_t* base_ = nullptr;
  std::uint64_t size_ = 0;
};

}  // namespace

cImageMapper::~cImageMapper() { Unload(); }

bool cImageMapper::Load(std::span<const std::uint8_t> image, std::uint32_t flags) {
  if (imageBase_ != nullptr) {
    Log(LogLevel::Error, "Module mapping failed: an image is mapped already.");
    return false;
  }
  cVirtualMemoryTarget target;
  MappedImage mapped;
  if (!MapPeImage(image, flags, target, mapped)) return false;
  FlushInstructionCache(GetCurrentProcess(), target.Memory(), static_cast<SIZE_T>(target.Size()));

  imageBase_ = target.Memory();
  mapped_ = std::move(mapped);
  flags_ = flags;
  // An image without an entry point (RVA 0) is loaded without a call.
  entryPoint_ = mapped_.entryPointRva != 0 ? imageBase_ + mapped_.entryPointRva : nullptr;
  if ((flags_ & kMapCallEntryOnLoad) == 0 || entryPoint_ == nullptr) return true;
  const BOOL attached =
      reinterpret_cast<DllEntry>(entryPoint_)(reinterpret_cast<HINSTANCE>(imageBase_), DLL_PROCESS_ATTACH, nullptr);
  if (!attached) Log(LogLevel::Error, "Module mapping failed: the entry point refused to attach.");
  return attached != FALSE;
}

bool cImageMapper::Unload() {
  if (imageBase_ == nullptr) return true;
  if ((flags_ & kMapCallEntryOnUnload) != 0 && entryPoint_ != nullptr) {
    reinterpret_cast<DllEntry>(entryPoint_)(reinterpret_cast<HINSTANCE>(imageBase_), DLL_PROCESS_DETACH, nullptr);
  }
  VirtualFree(imageBase_, 0, MEM_RELEASE);
  imageBase_ = nullptr;
  entryPoint_ = nullptr;
  mapped_ = MappedImage{};
  return true;
}

void* cImageMapper::GetProcAddress(const char* name) const {
  const std::uint32_t rva = FindExportByName(imageBase_, mapped_, name);
  return rva != 0 ? imageBase_ + rva : nullptr;
}

void* cImageMapper::GetProcAddress(ExportPosition position) const {
  const std::uint32_t rva = FindExportByPosition(imageBase_, mapped_, position.index);
  return rva != 0 ? imageBase_ + rva : nullptr;
}

}  // namespace quarvel::launcher
