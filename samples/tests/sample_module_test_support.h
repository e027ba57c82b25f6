#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "quarvel/module_interface.h"

// Test helpers: what the module reported, and a start record made the way
// the bootstrapper makes it.
namespace quarvel::samples::test_support {

struct Received {
  int version = 0;  // the callback's
  std::int32_t code = 0;
  std::int32_t processId = 0;
  void* context = nullptr;
  std::string message;

  bool operator==(const Received& other) const {
    return version == other.version && code == other.code && processId == other.processId;
  }
  friend void PrintTo(const Received& report, std::ostream* out) {
    *out << "{version " << report.version << ", code " << report.code << ", process " << report.processId << "}";
  }
};

// Every report since the last clear, in order.
extern std::vector<Received> received;

// The strings a start record points at, and the record itself.
struct StartRecordData {
  std::string unixGamePath;  // empty: not set, as on Windows
  std::vector<std::string> arguments;
  std::vector<const char*> argumentPointers;
  QVL_StartRecord record{};
};

// Version 2 first; on an answer of 0 version 1 once more, as the bootstrapper
// does. The context is `data` itself.
std::uint8_t InitializeAsTheBootstrapperDoes(QVL_InitializeEntry initialize, StartRecordData& data, bool& retried);

// A number no other test run uses at the same time, for file names.
std::uint64_t UniqueNumber();

}  // namespace quarvel::samples::test_support
