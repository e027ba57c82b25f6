#include "common/random.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace quarvel {
namespace {

TEST(GenerateGuidString, HasTheLayoutAndDiffersEachTime) {
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    char buffer[37];
    ASSERT_EQ(GenerateGuidString(buffer), 36);
    const std::string guid = buffer;
    ASSERT_EQ(guid.size(), 36u);
    for (std::size_t at = 0; at < guid.size(); ++at) {
      if (at == 8 || at == 13 || at == 18 || at == 23) {
        EXPECT_EQ(guid[at], '-') << guid;
      } else {
        EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(guid[at])) && !std::isupper(guid[at]))
            << guid;
      }
    }
    seen.insert(guid);
  }
  EXPECT_EQ(seen.size(), 200u);
}

TEST(GenerateGuidString, RefusesABufferThatIsTooSmall) {
  char buffer[20];
  EXPECT_EQ(GenerateGuidString(buffer, sizeof(buffer)), -1);
  EXPECT_EQ(std::string(buffer).size(), 19u);
}

}  // namespace
}  // namespace quarvel
