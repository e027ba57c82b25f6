#pragma once

#include <cstdio>
#include <cstdlib>

// A property the fuzz target checks beyond "no crash": a failure aborts, and
// libFuzzer keeps the input as a reproducer.
#define FUZZ_CHECK(condition)                                                                        \
  do {                                                                                               \
    if (!(condition)) {                                                                              \
      std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                                  \
    }                                                                                                \
  } while (0)
