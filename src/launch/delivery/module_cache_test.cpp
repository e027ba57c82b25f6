#include "launch/delivery/module_cache.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/platform.h"
#include "common/testing/test_scratch_directory.h"

namespace quarvel::launcher {
namespace {

using namespace std::chrono_literals;
using test_support::ScratchDirectory;

constexpr const char* kAbcSha1 = "a9993e364706816aba3e25717850c26c9cd0d89d";

std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void SetAge(const std::string& path, std::filesystem::file_time_type::duration age) {
  std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - age);
}

TEST(CacheMetadata, ParsesKeysInAnyCaseAndOrder) {
  struct Case {
    const char* text;
    bool ok;
    const char* sha1;
    const char* etag;
  };
  const Case cases[] = {
      {"sha1=abc\r\netag=\"e1\"\r\n", true, "abc", "\"e1\""},
      {"ETAG=\"e1\"\nSHA1=ABC\n", true, "ABC", "\"e1\""},
      {"Sha1=abc\neTag=N/A", true, "abc", "N/A"},
      // A later line wins; short and unknown lines are skipped.
      {"sha1=old\nx\n\nsize=12\netag=e\nsha1=new\n", true, "new", "e"},
      // An etag line without a value is 5 characters long and does not count.
      {"sha1=abc\r\netag=\r\n", false, "abc", ""},
      {"sha1=abc\n", false, "abc", ""},
      {"etag=e\n", false, "", "e"},
      {"", false, "", ""},
  };
  for (const Case& test : cases) {
    std::string sha1, etag;
    EXPECT_EQ(ParseCacheMetadata(test.text, sha1, etag), test.ok) << test.text;
    EXPECT_EQ(sha1, test.sha1) << test.text;
    EXPECT_EQ(etag, test.etag) << test.text;
  }
}

TEST(CacheAge, WholeHoursUpTo168AreAccepted) {
  constexpr std::uint64_t hour = 3600000;
  struct Case {
    std::uint64_t age;
    bool accepted;
  };
  const Case cases[] = {
      {0, true},
      {168 * hour, true},
      {169 * hour - 1, true},
      {169 * hour, false},
      // A write time in the future wraps round to a huge age.
      {~std::uint64_t{0} / 10000, false},
  };
  for (const Case& test : cases) EXPECT_EQ(IsCacheAgeAcceptable(test.age), test.accepted) << test.age;
}

TEST(CacheArchitecture, NamesEverySystem) {
  const std::pair<const char*, const char*> cases[] = {
      {"win32", "x86"},
      {"wow64", "wow64"},
      {"wow64_win64", "wow64_x64"},
      {"win64_wow64", "x64_wow64"},
      {"win64", "x64"},
      {"linux64", "linux_x64"},
      {"linux32", "linux_x86"},
      {"linux64_32", "linux_x64_x86"},
      {"linux32_64", "linux_x86_x64"},
      {"mac64", "mac_x64"},
      {"mac_arm64", "mac_arm64"},
      {"N/A", "INVALID_SYSTEM"},
      {"WIN64", "INVALID_SYSTEM"},
      {"", "INVALID_SYSTEM"},
  };
  for (const auto& [system, architecture] : cases) EXPECT_STREQ(CacheArchitectureName(system), architecture);
}

TEST(CacheSha1, HashesFilesWithThePlatformLibrary) {
  ScratchDirectory scratch;
  std::string hex;
  ASSERT_TRUE(cModuleCache::ComputeSha1Hex(scratch.Write("abc", "abc"), hex));
  EXPECT_EQ(hex, kAbcSha1);
  ASSERT_TRUE(cModuleCache::ComputeSha1Hex(scratch.Write("empty", ""), hex));
  EXPECT_EQ(hex, "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  // A million 'a': more than one block, the standard's long test vector.
  ASSERT_TRUE(cModuleCache::ComputeSha1Hex(scratch.Write("million", std::string(1000000, 'a')), hex));
  EXPECT_EQ(hex, "34aa973cd4c4daa4f61eeb2bdbad27316534016f");

  EXPECT_FALSE(cModuleCache::ComputeSha1Hex("", hex));
  EXPECT_FALSE(cModuleCache::ComputeSha1Hex((scratch.path() / "missing").string(), hex));
}

class ModuleCacheTest : public ::testing::Test {
 protected:
  // A cache file "abc" whose metadata names `sha1` and `etag`.
  std::string WriteCache(const std::string& sha1, const std::string& etag) {
    scratch_.Write("quarvel_x64.qvl.metadata", "sha1=" + sha1 + "\r\netag=" + etag + "\r\n");
    return scratch_.Write("quarvel_x64.qvl", "abc");
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(scratch_.path() / name); }

  ScratchDirectory scratch_;
  cModuleCache cache_;
};

TEST_F(ModuleCacheTest, AMatchingCacheIsValidWhateverTheHashCase) {
  for (const char* sha1 : {kAbcSha1, "A9993E364706816ABA3E25717850C26C9CD0D89D"}) {
    const std::string path = WriteCache(sha1, "\"5f3c-1000\"");
    cache_.payload = {1};
    cache_.payloadEtag = "old";
    cache_.Open(path);
    EXPECT_TRUE(cache_.valid) << sha1;
    EXPECT_EQ(cache_.path, path);
    EXPECT_EQ(cache_.cachedEtag, "\"5f3c-1000\"");
    EXPECT_TRUE(cache_.payload.empty());
    EXPECT_TRUE(cache_.payloadEtag.empty());
  }
}

TEST_F(ModuleCacheTest, UnusableCachesAreNotValid) {
  struct Case {
    const char* name;
    std::string metadata;  // empty: no metadata file
    bool keepsFiles;
  };
  const Case cases[] = {
      {"hash of other bytes", "sha1=da39a3ee5e6b4b0d3255bfef95601890afd80709\r\netag=e\r\n", true},
      {"no metadata file", "", true},
      {"etag without value", std::string("sha1=") + kAbcSha1 + "\r\netag=\r\n", true},
  };
  for (const Case& test : cases) {
    std::filesystem::remove(scratch_.path() / "quarvel_x64.qvl.metadata");
    if (!test.metadata.empty()) scratch_.Write("quarvel_x64.qvl.metadata", test.metadata);
    const std::string path = scratch_.Write("quarvel_x64.qvl", "abc");
    cache_.Open(path);
    EXPECT_FALSE(cache_.valid) << test.name;
    EXPECT_TRUE(cache_.cachedEtag.empty()) << test.name;
    EXPECT_EQ(Exists("quarvel_x64.qvl"), test.keepsFiles) << test.name;
  }
}

TEST_F(ModuleCacheTest, AgeDecidesBetweenUseAndDeletion) {
  struct Case {
    std::filesystem::file_time_type::duration age;
    bool valid;
  };
  for (const Case test : {Case{168h + 59min, true}, Case{169h, false}, Case{1000h, false}}) {
    const std::string path = WriteCache(kAbcSha1, "e");
    SetAge(path, test.age);
    cache_.Open(path);
    EXPECT_EQ(cache_.valid, test.valid);
    // A stale copy goes, metadata and all.
    EXPECT_EQ(Exists("quarvel_x64.qvl"), test.valid);
    EXPECT_EQ(Exists("quarvel_x64.qvl.metadata"), test.valid);
  }
}

TEST_F(ModuleCacheTest, MissingFileOrPathGivesNoCache) {
  cache_.Open((scratch_.path() / "quarvel_x64.qvl").string());
  EXPECT_FALSE(cache_.valid);
  cache_.Open("");
  EXPECT_FALSE(cache_.valid);
  std::string etag;
  EXPECT_FALSE(cache_.ReadMetadata(etag));
  EXPECT_FALSE(cache_.WriteMetadata("e"));
}

TEST_F(ModuleCacheTest, WrittenPayloadIsTheNextLaunchsValidCache) {
  const std::string path = (scratch_.path() / "quarvel_x64.qvl").string();
  cache_.Open(path);
  cache_.payload = {'a', 'b', 'c'};
  cache_.payloadEtag = "\"5f3c-1000\"";
  cache_.WritePayload();
  EXPECT_TRUE(cache_.payload.empty());
  EXPECT_TRUE(cache_.payloadEtag.empty());

  EXPECT_EQ(ReadText(path), "abc");
  EXPECT_EQ(ReadText(path + ".metadata"), std::string("sha1=") + kAbcSha1 + "\r\netag=\"5f3c-1000\"\r\n");

  cModuleCache next;
  next.Open(path);
  EXPECT_TRUE(next.valid);
  EXPECT_EQ(next.cachedEtag, "\"5f3c-1000\"");

  // Consumed: both files go.
  next.Delete();
  EXPECT_FALSE(Exists("quarvel_x64.qvl"));
  EXPECT_FALSE(Exists("quarvel_x64.qvl.metadata"));
}

TEST_F(ModuleCacheTest, NothingIsWrittenWithoutPayloadOrPath) {
  const std::string path = (scratch_.path() / "quarvel_x64.qvl").string();
  cache_.Open(path);
  cache_.payloadEtag = "e";
  cache_.WritePayload();
  EXPECT_FALSE(Exists("quarvel_x64.qvl"));
  EXPECT_TRUE(cache_.payloadEtag.empty());

  cache_.Open("");
  cache_.payload = {1, 2, 3};
  cache_.WritePayload();
  EXPECT_TRUE(cache_.payload.empty());
}

TEST_F(ModuleCacheTest, PayloadThatCannotBeWrittenLeavesNoValidCache) {
  // The cache file's name is taken by a directory.
  std::filesystem::create_directories(scratch_.path() / "quarvel_x64.qvl");
  cache_.Open((scratch_.path() / "quarvel_x64.qvl").string());
  cache_.payload = {'a', 'b', 'c'};
  cache_.payloadEtag = "e";
  cache_.WritePayload();
  EXPECT_FALSE(Exists("quarvel_x64.qvl.metadata"));
}

TEST(ModuleCachePath, LiesInTheProductCacheDirectory) {
  ScratchDirectory scratch;
  // Where the product cache lies on Linux; Windows asks the shell instead.
  SetEnvironmentVariableUtf8("XDG_DATA_HOME", scratch.path().string());
  std::string directory;
  ASSERT_TRUE(GetProductCacheDirectory(directory, "qvl-test-product", "qvl-test-deployment"));

  std::string path;
  ASSERT_TRUE(BuildModuleCachePath("qvl-test-product", "qvl-test-deployment", "win64", path));
  EXPECT_EQ(path, directory + "quarvel_x64.qvl");
  ASSERT_TRUE(BuildModuleCachePath("qvl-test-product", "qvl-test-deployment", "linux64_32", path));
  EXPECT_EQ(path, directory + "quarvel_linux_x64_x86.qvl");

  EXPECT_FALSE(BuildModuleCachePath("", "qvl-test-deployment", "win64", path));
  EXPECT_FALSE(BuildModuleCachePath("qvl-test-product", "", "win64", path));
}

}  // namespace
}  // namespace quarvel::launcher
