// The ELF symbol lookup over any bytes taken as a loaded shared object. Beyond
// "no crash" (AddressSanitizer proves nothing outside the bytes is read): a
// symbol found lies inside the image.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_check.h"
#include "launch/image/elf_symbols.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> image(data, size);
  // What the Wine loader looks up, and the names of the seed images.
  for (const char* name : {"dlopen", "dlsym", "__libc_dlsym", "alpha", "beta", "gamma", "undef", ""}) {
    const auto* found = static_cast<const std::uint8_t*>(quarvel::launcher::FindElfSymbol(image, name));
    FUZZ_CHECK(found == nullptr || (found >= data && found < data + size));
  }
  return 0;
}
