#pragma once

#include <cstdint>
#include <span>

// Dynamic-symbol lookup in an ELF shared object that is already loaded, read
// straight from its memory through the object's own hash tables: how the
// Wine loader finds the host C library's dlopen and dlsym. Pure code over a
// range of bytes; nothing outside the range is read.
namespace quarvel::launcher {

// The GNU hash of a name: h = 5381, then h = h * 33 + c for each byte.
std::uint32_t ElfGnuHash(const char* name);
// The classic ELF (System V) hash of a name.
std::uint32_t ElfSysvHash(const char* name);

// The address of the defined symbol `name` of the x86-64 shared object whose
// load address is image.data() and whose loaded image `image` covers
// (segment gaps included), found through the hash table of the last DT_HASH
// or DT_GNU_HASH entry. Table addresses in the dynamic array may be absolute,
// as the host's loader leaves them, or relative to the load address (any
// value below it). Null when the image is not such an object, a table is
// malformed or reaches outside `image`, or the name is not defined there:
// undefined entries, and indirect (IFUNC) ones whose value is a resolver and
// not the function, are passed over.
const void* FindElfSymbol(std::span<const std::uint8_t> image, const char* name);

}  // namespace quarvel::launcher
