#include "launch/delivery/module_download.h"

#include <gtest/gtest.h>

#include <string>

namespace quarvel::launcher {
namespace {

TEST(ModuleUrl, FillsEveryPlaceholderOfTheTemplate) {
  const std::string url = ModuleUrlTemplate("cdn.example.test");
  EXPECT_EQ(url, "https://cdn.example.test/modules/{{productid}}/{{deploymentid}}/{{system}}");
  EXPECT_EQ(FillModuleUrl(url, "prod-1", "dep-2", "win64"), "https://cdn.example.test/modules/prod-1/dep-2/win64");
}

TEST(ModuleUrl, PlaceholdersApplyAnywhereAndEveryTime) {
  struct Case {
    const char* url;
    const char* filled;
  };
  const Case cases[] = {
      {"https://cdn.example.test/builds/77/{{system}}/{{productid}}-{{system}}",
       "https://cdn.example.test/builds/77/linux64/p-linux64"},
      {"https://cdn.example.test/fixed", "https://cdn.example.test/fixed"},
      // Only the exact placeholder text counts.
      {"https://h/{productid}/{{PRODUCTID}}/{{ productid }}", "https://h/{productid}/{{PRODUCTID}}/{{ productid }}"},
      {"{{deploymentid}}{{productid}}", "dp"},
  };
  for (const Case& test : cases) EXPECT_EQ(FillModuleUrl(test.url, "p", "d", "linux64"), test.filled) << test.url;
}

TEST(ModuleUrl, OnlyTheConfiguredHostIsAllowed) {
  const std::string host = "cdn.example.test";
  struct Case {
    const char* url;
    bool allowed;
  };
  const Case cases[] = {
      {"https://cdn.example.test/modules/p/d/win64", true},
      {"https://cdn.example.test/builds/1234/win64", true},
      {"https://cdn.example.test.evil.test/modules/p/d/win64", false},
      {"https://cdn.example.test@evil.test/x", false},
      {"https://cdn.example.test:8443/x", false},
      {"https://cdn.example.test", false},
      {"http://cdn.example.test/modules/p/d/win64", false},
      {"https://other.example.test/modules/p/d/win64", false},
      {"HTTPS://cdn.example.test/x", false},
      {"", false},
  };
  for (const Case& test : cases) EXPECT_EQ(IsAllowedCdnUrl(test.url, host), test.allowed) << test.url;
  EXPECT_FALSE(IsAllowedCdnUrl("https:///x", ""));
}

TEST(CdnOverride, TakesTheFirstCdnLine) {
  struct Case {
    const char* text;
    const char* url;
  };
  const Case cases[] = {
      {"cdn=https://h/builds/1/win64\n", "https://h/builds/1/win64"},
      {"CDN=https://h/x", "https://h/x"},
      {"Cdn=https://h/x\r\n", "https://h/x"},
      {"# comment\ncdn=\nother=1\ncdn=https://first\ncdn=https://second\n", "https://first"},
      // The rest of the line stays as it is.
      {"cdn= https://h/x ", " https://h/x "},
      {"cdn=\n", ""},
      {"cdn", ""},
      {"url=https://h/x\n", ""},
      {"", ""},
      // Saved with a byte-order mark; only one at the very start is skipped.
      {"\xEF\xBB\xBF" "cdn=https://h/bom\r\n", "https://h/bom"},
      {"\xEF\xBB\xBF", ""},
      {"# note\n\xEF\xBB\xBF" "cdn=https://h/x\n", ""},
  };
  for (const Case& test : cases) EXPECT_EQ(ParseCdnOverride(test.text), test.url) << test.text;
  EXPECT_EQ(CdnOverridePath("C:\\Games\\X\\game.exe"), "C:\\Games\\X\\game.exe.qvl");
}

TEST(CdnOverride, BuildIdIsThePathPartAfterBuilds) {
  struct Case {
    const char* url;
    const char* id;
  };
  const Case cases[] = {
      {"https://h/builds/1234/win64", "1234"},
      {"https://h/builds/1234/", "1234"},
      {"https://h/builds//win64", ""},
      {"https://h/builds/1234", "N/A"},
      {"https://h/modules/p/d/win64", "N/A"},
      {"https://h/builds/a/builds/b/", "a"},
  };
  for (const Case& test : cases) EXPECT_EQ(ExtractBuildId(test.url), test.id) << test.url;
}

TEST(DownloadFailure, ClassifiesByTransferResult) {
  const cLocalization catalogue;
  struct Case {
    int transferResult;
    long httpCode;
    QVL_ProtectedGameLaunchResult code;
    bool cancelled;
    const char* text;
  };
  const Case cases[] = {
      {0, 304, QVL_LoaderCdnTransferFailed, false, "HTTP Response Code: 304 Curl Code: 0"},
      {0, 200, QVL_LoaderCdnTransferFailed, false, "HTTP Response Code: 200 Curl Code: 0"},
      {0, 404, QVL_LoaderCdnTransferFailed, false, "HTTP Response Code: 404 Curl Code: 0"},
      {5, 0, QVL_LoaderCdnUnreachable, false, "DNS resolve to proxy failed!"},
      {6, 0, QVL_LoaderCdnUnreachable, false, "DNS resolve to the Content Distribution Network failed!"},
      {42, 0, QVL_LoaderCdnTransferFailed, true, "Operation cancelled by user"},
      {7, 0, QVL_LoaderCdnTransferFailed, false,
       "Connection to the Content Distribution Network failed! Curl Code: 7!"},
      {28, 0, QVL_LoaderCdnTransferFailed, false,
       "Connection to the Content Distribution Network failed! Curl Code: 28!"},
      {60, 0, QVL_LoaderCdnTransferFailed, false,
       "Connection to the Content Distribution Network failed! Curl Code: 60!"},
  };
  for (const Case& test : cases) {
    const DownloadFailure failure = ClassifyDownloadFailure(test.transferResult, test.httpCode, catalogue);
    EXPECT_EQ(failure.cancelled, test.cancelled) << test.transferResult;
    if (!test.cancelled) {
      EXPECT_EQ(failure.code, test.code) << test.transferResult;
    }
    EXPECT_EQ(failure.text, test.text) << test.transferResult;
  }
}

}  // namespace
}  // namespace quarvel::launcher
