#include "sample_module_test_support.h"

#include <atomic>
#include <chrono>
#include <random>

namespace quarvel::samples::test_support {
namespace {

void OnVersion2(const QVL_ResultRecord* result) {
  received.push_back({2, result->code, result->processId, result->context, result->message ? result->message : ""});
}

void OnVersion1(std::int32_t code, const char* message, void* context) {
  received.push_back({1, code, 0, context, message ? message : ""});
}

}  // namespace

std::vector<Received> received;

std::uint8_t InitializeAsTheBootstrapperDoes(QVL_InitializeEntry initialize, StartRecordData& data, bool& retried) {
  QVL_StartRecord& record = data.record;
  record = {};
  record.version = QVL_StartRecordVersion2;
  record.context = &data;
  record.productId = "product-id";
  record.sandboxId = "sandbox-id";
  record.deploymentId = "deployment-id";
  record.callbackV2 = OnVersion2;
  if (!data.unixGamePath.empty()) {
    data.argumentPointers.clear();
    for (const std::string& argument : data.arguments) data.argumentPointers.push_back(argument.c_str());
    record.unixGamePath = data.unixGamePath.c_str();
    record.argumentCount = static_cast<std::int32_t>(data.argumentPointers.size());
    record.arguments = data.argumentPointers.data();
  }
  retried = false;
  std::uint8_t result = initialize(&record);
  if (result != QVL_InitializeUnsupportedVersion) return result;
  retried = true;
  record.version = QVL_StartRecordVersion1;
  record.callbackV2 = nullptr;
  record.callbackV1 = OnVersion1;
  return initialize(&record);
}

std::uint64_t UniqueNumber() {
  static std::atomic<std::uint64_t> counter{0};
  static const std::uint64_t seed = std::random_device{}() ^
                                    static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  return seed + counter++;
}

}  // namespace quarvel::samples::test_support
