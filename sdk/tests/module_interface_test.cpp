#include "quarvel/module_interface.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

std::uint64_t Address(const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer); }

void CallbackV1(std::int32_t, const char*, void*) {}
void CallbackV2(const QVL_ResultRecord*) {}

struct Field {
  const char* name;
  std::size_t offset;
  std::size_t width;
  std::uint64_t value;
};

void ExpectFields(const void* record, std::size_t size, const std::vector<Field>& fields) {
  std::vector<unsigned char> bytes(size);
  std::memcpy(bytes.data(), record, size);
  for (const Field& field : fields) {
    std::uint64_t value = 0;
    std::memcpy(&value, bytes.data() + field.offset, field.width);
    EXPECT_EQ(value, field.value) << field.name << " at " << field.offset;
  }
}

TEST(ModuleInterface, StartRecordFieldsSitAtTheirOffsets) {
  const char* arguments[] = {"C:\\Games\\X\\game.exe", "-windowed"};
  int context = 0;
  QVL_StartRecord record{};
  record.version = QVL_StartRecordVersion2;
  record.callbackV1 = CallbackV1;
  record.context = &context;
  record.productId = "product";
  record.sandboxId = "sandbox";
  record.deploymentId = "deployment";
  record.callbackV2 = CallbackV2;
  record.unixGamePath = "/games/x/game.exe";
  record.argumentCount = 2;
  record.arguments = arguments;

  ASSERT_EQ(sizeof(record), 80u);
  ExpectFields(&record, sizeof(record),
               {
                   {"version", 0, 4, 2},
                   {"reserved0", 4, 4, 0},
                   {"callbackV1", 8, 8, Address(reinterpret_cast<const void*>(&CallbackV1))},
                   {"context", 16, 8, Address(&context)},
                   {"productId", 24, 8, Address(record.productId)},
                   {"sandboxId", 32, 8, Address(record.sandboxId)},
                   {"deploymentId", 40, 8, Address(record.deploymentId)},
                   {"callbackV2", 48, 8, Address(reinterpret_cast<const void*>(&CallbackV2))},
                   {"unixGamePath", 56, 8, Address(record.unixGamePath)},
                   {"argumentCount", 64, 4, 2},
                   {"reserved1", 68, 4, 0},
                   {"arguments", 72, 8, Address(arguments)},
               });
}

TEST(ModuleInterface, LanguageAndResultRecordFieldsSitAtTheirOffsets) {
  const QVL_LanguageRecord language{QVL_LanguageRecordVersion, "en", "us"};
  ASSERT_EQ(sizeof(language), 24u);
  ExpectFields(&language, sizeof(language),
               {
                   {"version", 0, 8, 1},
                   {"language", 8, 8, Address(language.language)},
                   {"region", 16, 8, Address(language.region)},
               });

  int context = 0;
  QVL_ResultRecord result{};
  result.context = &context;
  result.code = QVL_LoaderGameStarted;
  result.message = "started";
  result.processId = 4242;
  ASSERT_EQ(sizeof(result), 32u);
  ExpectFields(&result, sizeof(result),
               {
                   {"context", 0, 8, Address(&context)},
                   {"code", 8, 4, 1002},
                   {"message", 16, 8, Address(result.message)},
                   {"processId", 24, 4, 4242},
               });
}

}  // namespace
