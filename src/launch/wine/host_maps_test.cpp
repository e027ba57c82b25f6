#include "launch/wine/host_maps.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace quarvel::launcher {
namespace {

// Lines as the kernel writes them: the path column is padded with spaces.
constexpr const char* kWineProcess =
    "00010000-00110000 rw-p 00000000 00:00 0 \n"
    "7f0000000000-7f0000010000 r--p 00000000 fe:00 100                        /usr/lib/wine/x86_64-unix/ntdll.so\n"
    "7fc19244b000-7fc192471000 r--p 00000000 fe:00 332835                     /usr/lib/x86_64-linux-gnu/libc.so.6\n"
    "7fc192471000-7fc1925c7000 r-xp 00026000 fe:00 332835                     /usr/lib/x86_64-linux-gnu/libc.so.6\n"
    "7fc1925c7000-7fc19261a000 r--p 0017c000 fe:00 332835                     /usr/lib/x86_64-linux-gnu/libc.so.6\n"
    "7fc19261e000-7fc192620000 rw-p 001d3000 fe:00 332835                     /usr/lib/x86_64-linux-gnu/libc.so.6\n"
    "7fc192620000-7fc19262d000 rw-p 00000000 00:00 0 \n"
    "7fc192700000-7fc192710000 r--p 00000000 fe:00 400                        /usr/lib/x86_64-linux-gnu/libm.so.6\n";

TEST(FindHostLibc, LoadAddressAndExtentOfTheFirstLibcMapped) {
  const struct {
    const char* name;
    std::string maps;
    std::optional<std::uint64_t> base;
    std::uint64_t end;
  } cases[] = {
      {"glibc 2.34 and later: libc.so.6 only", kWineProcess, 0x7fc19244b000, 0x7fc192620000},
      {"older glibc: a versioned file name",
       "7f1000000000-7f1000020000 r--p 00000000 08:01 7 /lib/x86_64-linux-gnu/libc-2.31.so\n"
       "7f1000020000-7f1000100000 r-xp 00020000 08:01 7 /lib/x86_64-linux-gnu/libc-2.31.so",
       0x7f1000000000, 0x7f1000100000},
      {"the name in any case", "7f00-8f00 r--p 00000000 08:01 7 /LIB/LIBC.SO.6\n", 0x7f00, 0x8f00},
      {"the first match in file order decides",
       "2000-3000 r--p 00000000 08:01 7 /other/libc.so.6\n1000-2000 r--p 00000000 08:01 8 /usr/lib/libc.so.6\n", 0x2000,
       0x3000},
      {"a first mapping past the file start counts from the load address",
       "7f0000003000-7f0000005000 r-xp 00003000 08:01 7 /usr/lib/libc.so.6\n", 0x7f0000000000, 0x7f0000005000},
      {"libcrypt and libcap are not the C library",
       "1000-2000 r--p 00000000 08:01 7 /usr/lib/libcrypt.so.1\n3000-4000 r--p 00000000 08:01 8 /usr/lib/libcap.so.2\n",
       std::nullopt, 0},
      {"no path column", "1000-2000 r--p 00000000 08:01\n", std::nullopt, 0},
      {"a range without its dash", "10002000 r--p 00000000 08:01 7 /usr/lib/libc.so.6\n", std::nullopt, 0},
      {"an offset that is not hexadecimal", "1000-2000 r--p 0000zz00 08:01 7 /usr/lib/libc.so.6\n", std::nullopt, 0},
      {"an offset past the start", "1000-2000 r--p 00002000 08:01 7 /usr/lib/libc.so.6\n", std::nullopt, 0},
      {"empty", "", std::nullopt, 0},
  };
  for (const auto& test : cases) {
    const std::optional<HostLibraryRange> found = FindHostLibc(test.maps);
    ASSERT_EQ(found.has_value(), test.base.has_value()) << test.name;
    if (!found) continue;
    EXPECT_EQ(found->base, *test.base) << test.name;
    EXPECT_EQ(found->end, test.end) << test.name;
  }
}

}  // namespace
}  // namespace quarvel::launcher
