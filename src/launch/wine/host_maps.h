#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Reading a Linux process's memory map (/proc/<pid>/maps) for the host C
// library: under Wine the module loader finds the host's dlopen and dlsym
// there. Pure text handling.
namespace quarvel::launcher {

struct HostLibraryRange {
  std::uint64_t base = 0;  // the load address: the ELF header is here
  std::uint64_t end = 0;   // end of the library's highest mapping
};

// The first mapping, in file order, of a file whose path contains "/libc-"
// or "libc.so" (ASCII case-insensitive) gives the load address: its start
// less its file offset. The range ends where the last mapping of the same
// file ends. Lines are split at single spaces; a line with fewer than six
// fields, an address range that is not two hexadecimal numbers, or an
// offset that is not one is passed over. Empty when nothing matches.
std::optional<HostLibraryRange> FindHostLibc(std::string_view maps);

}  // namespace quarvel::launcher
