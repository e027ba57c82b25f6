#include "common/platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/random.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;

std::string UniqueName(const char* stem) {
  char guid[37];
  GenerateGuidString(guid);
  return std::string(stem) + "-" + guid;
}

// A scratch directory removed with everything in it at the end of the test.
class ScratchDirectory {
 public:
  ScratchDirectory() : path_(fs::temp_directory_path() / UniqueName("qvl-test")) {
    fs::create_directories(path_);
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }
  std::string File(const char* name, const std::string& content) const {
    const fs::path file = path_ / name;
    std::ofstream(file, std::ios::binary) << content;
    return file.string();
  }

 private:
  fs::path path_;
};

TEST(Platform, ExecutableDirectoryEndsWithASeparatorAndHoldsTheExecutable) {
  std::string path, directory;
  ASSERT_TRUE(GetExecutablePath(path));
  ASSERT_EQ(GetExecutableDirectory(directory), ExecutableDirectoryResult::Ok);
  ASSERT_FALSE(directory.empty());
  EXPECT_EQ(directory.back(), kPathSeparator);
  EXPECT_EQ(path.rfind(directory, 0), 0u) << path << " / " << directory;
  EXPECT_TRUE(PathExists(path.c_str()));
}

TEST(Platform, ReadFileBytesHonoursLimitAndRefusesEmptyFiles) {
  ScratchDirectory scratch;
  const std::string empty = scratch.File("empty.bin", "");
  const std::string data = scratch.File("data.bin", "0123456789");
  std::vector<std::uint8_t> bytes{1, 2, 3};

  EXPECT_FALSE(ReadFileBytes(empty.c_str(), bytes, 100));
  EXPECT_TRUE(bytes.empty());

  ASSERT_TRUE(ReadFileBytes(data.c_str(), bytes, 100));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123456789");
  ASSERT_TRUE(ReadFileBytes(data.c_str(), bytes, 4));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123");

  EXPECT_FALSE(ReadFileBytes(data.c_str(), bytes, 0));
  EXPECT_FALSE(ReadFileBytes(nullptr, bytes, 10));
  EXPECT_FALSE(ReadFileBytes((scratch.path() / "missing").string().c_str(), bytes, 10));
  EXPECT_TRUE(bytes.empty());
}

TEST(Platform, FileQueries) {
  ScratchDirectory scratch;
  const std::string file = scratch.File("sized.bin", std::string(1234, 'x'));
  const std::string missing = (scratch.path() / "missing").string();
  const std::string directory = scratch.path().string();

  EXPECT_EQ(GetFileSizeUtf8(file.c_str()), 1234);
  EXPECT_EQ(GetFileSizeUtf8(missing.c_str()), -1);
  EXPECT_EQ(GetFileSizeUtf8(nullptr), 0);
  EXPECT_TRUE(PathExists(file.c_str()));
  EXPECT_FALSE(PathExists(missing.c_str()));
  EXPECT_FALSE(PathExists(nullptr));
  EXPECT_TRUE(DirectoryExists(directory.c_str()));
  EXPECT_FALSE(DirectoryExists(file.c_str()));
}

TEST(Platform, Utf8PathsWork) {
  ScratchDirectory scratch;
  const std::string file = scratch.File("\xD0\xB8\xD0\xB3\xD1\x80\xD0\xB0.txt", "abc");  // игра.txt
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(ReadFileBytes(file.c_str(), bytes, 10));
  EXPECT_EQ(GetFileSizeUtf8(file.c_str()), 3);
}

TEST(Platform, EnvironmentVariablesRoundTrip) {
  const std::string name = "QVL_TEST_VARIABLE";
  std::string value = "unchanged";
  SetEnvironmentVariableUtf8(name, "\xC3\xA4-value");
  ASSERT_TRUE(GetEnvironmentVariableUtf8(name, value));
  EXPECT_EQ(value, "\xC3\xA4-value");
  SetEnvironmentVariableUtf8(name, "");
  EXPECT_FALSE(GetEnvironmentVariableUtf8(name, value));
  EXPECT_FALSE(GetEnvironmentVariableUtf8("", value));
  EXPECT_FALSE(GetEnvironmentVariableUtf8("QVL_TEST_VARIABLE_THAT_IS_NOT_SET", value));
}

class CacheDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    // Point the per-user data folder at a scratch directory for the test.
    setenv("XDG_DATA_HOME", scratch_.path().string().c_str(), 1);
#endif
    ASSERT_TRUE(GetCacheRootDirectory(root_));
    product_ = UniqueName("product");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(fs::u8path(root_ + product_), ignored);
  }

  ScratchDirectory scratch_;
  std::string root_;
  std::string product_;
};

TEST_F(CacheDirectoryTest, CreatesEachLevelAndEndsWithASeparator) {
  EXPECT_EQ(root_.back(), kPathSeparator);
  EXPECT_NE(root_.find("Quarvel"), std::string::npos);
#ifndef _WIN32
  EXPECT_EQ(root_, scratch_.path().string() + "/Quarvel/");
#endif
  std::string directory;
  ASSERT_TRUE(GetProductCacheDirectory(directory, product_, "live"));
  EXPECT_EQ(directory, root_ + product_ + kPathSeparator + "live" + kPathSeparator);
  EXPECT_TRUE(DirectoryExists(directory.c_str()));
  // A second call finds what the first created.
  std::string again;
  ASSERT_TRUE(GetProductCacheDirectory(again, product_, "live"));
  EXPECT_EQ(again, directory);
}

TEST_F(CacheDirectoryTest, RefusesEmptyIdentifiersWithoutCreatingAnything) {
  std::string directory;
  EXPECT_FALSE(GetProductCacheDirectory(directory, product_, ""));
  EXPECT_FALSE(GetProductCacheDirectory(directory, "", "live"));
  EXPECT_FALSE(PathExists((root_ + product_).c_str()));
}

TEST_F(CacheDirectoryTest, FailsWhenALevelIsAFile) {
  std::ofstream(fs::u8path(root_ + product_)) << "in the way";
  std::string directory;
  EXPECT_FALSE(GetProductCacheDirectory(directory, product_, "live"));
}

TEST(Platform, WineDetectionMatchesTheEnvironment) {
#ifdef _WIN32
  // The Windows tests run under Wine.
  EXPECT_TRUE(IsRunningUnderWine());
  EXPECT_FALSE(GetWineVersion().empty());
#else
  EXPECT_FALSE(IsRunningUnderWine());
  EXPECT_EQ(GetWineVersion(), "");
#endif
}

}  // namespace
}  // namespace quarvel
