#include <windows.h>

#include <cstring>

#include "launch/wine/wine_helper_buffer.h"

namespace quarvel::launcher {
namespace {

void* helperBuffer = nullptr;

constexpr std::uintptr_t kFirstAddress = 0x700100000000;
constexpr std::uintptr_t kSlotSpacing = 0x100000000;
constexpr std::uintptr_t kLowestAccepted = 0x700000000000;
constexpr int kAttempts = 10;

}  // namespace

void* GetWineHelperBuffer() { return helperBuffer; }

bool PlaceWineHelperBuffer() {
  if (helperBuffer != nullptr) return true;
  void* page = nullptr;
  for (int i = 0; i < kAttempts && page == nullptr; ++i) {
    void* wanted = reinterpret_cast<void*>(kFirstAddress + i * kSlotSpacing);
    page = VirtualAlloc(wanted, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  }
  if (page == nullptr) return false;
  if (reinterpret_cast<std::uintptr_t>(page) < kLowestAccepted) {
    VirtualFree(page, 0, MEM_RELEASE);
    return false;
  }
  std::memcpy(page, kWineSyscallStub, sizeof(kWineSyscallStub));
  // Writable only while the stub is placed, executable only afterwards.
  DWORD previous = 0;
  if (!VirtualProtect(page, 4096, PAGE_EXECUTE_READ, &previous)) {
    VirtualFree(page, 0, MEM_RELEASE);
    return false;
  }
  FlushInstructionCache(GetCurrentProcess(), page, sizeof(kWineSyscallStub));
  helperBuffer = page;
  return true;
}

void ReleaseWineHelperBuffer() {
  if (helperBuffer == nullptr) return;
  VirtualFree(helperBuffer, 0, MEM_RELEASE);
  helperBuffer = nullptr;
}

}  // namespace quarvel::launcher
