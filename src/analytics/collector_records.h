#pragma once

#include <chrono>
#include <string>
#include <vector>

// The analytics collector's records (tests/services/services.py), read back
// by the tests.
namespace quarvel::test_support {

struct CollectorRecord {
  std::string line;  // the record as stored
  std::string method;
  std::string path;
  std::string body;
};

// Every record whose line contains `token`, in the order received.
std::vector<CollectorRecord> RecordsContaining(const std::string& token);

// Polls until some record contains `token` or `limit` has passed.
std::vector<CollectorRecord> WaitForRecordsContaining(const std::string& token, std::chrono::milliseconds limit);

// True when `line` holds the header as the collector lists it.
bool HasHeader(const CollectorRecord& record, const std::string& name, const std::string& value);

}  // namespace quarvel::test_support
