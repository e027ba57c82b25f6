#pragma once

#include <cstdint>

// Under Wine the module loader reaches the Linux host through raw system
// calls made by a tiny stub placed in an executable page of its own.
namespace quarvel::launcher {

// The stub: called with the Windows x64 convention as (number, a1, a2, a3),
// it performs the host kernel's syscall and returns its result.
inline constexpr std::uint8_t kWineSyscallStub[21] = {
    0x57,              // push rdi
    0x56,              // push rsi
    0x48, 0x8b, 0xc1,  // mov rax, rcx
    0x48, 0x8b, 0xfa,  // mov rdi, rdx
    0x52,              // push rdx
    0x49, 0x8b, 0xf0,  // mov rsi, r8
    0x49, 0x8b, 0xd1,  // mov rdx, r9
    0x0f, 0x05,        // syscall
    0x5a,              // pop rdx
    0x5e,              // pop rsi
    0x5f,              // pop rdi
    0xc3,              // ret
};

// The page holding the stub, or null when none was placed.
void* GetWineHelperBuffer();

// Places the stub once; false when no page could be had at a high enough
// address. Only called under Wine.
bool PlaceWineHelperBuffer();

// Frees the page.
void ReleaseWineHelperBuffer();

}  // namespace quarvel::launcher
