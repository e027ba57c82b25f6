#include "launch/process/system_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/platform.h"
#include "common/testing/test_scratch_directory.h"
#include "launch/image/testing/test_images.h"

namespace quarvel::launcher {
namespace {

using test_support::AsText;
using test_support::kPe32;
using test_support::kPe32Plus;
using test_support::kPeMachineAmd64;
using test_support::kPeMachineArm64;
using test_support::kPeMachineI386;
using test_support::MakeElfImage;
using test_support::MakePeImage;
using test_support::ScratchDirectory;

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(SystemName, HeadersDecideTheImageKind) {
  std::vector<std::uint8_t> clrOutsideFile = MakePeImage(kPeMachineI386, kPe32, 0x1);
  clrOutsideFile.resize(0x410);  // the section's CLR header is cut short
  std::vector<std::uint8_t> lfanewPastEnd = MakePeImage(kPeMachineAmd64, kPe32Plus);
  test_support::Put32(lfanewPastEnd, 0x3C, 0xFFFFFFF0u);
  std::vector<std::uint8_t> elfCut = MakeElfImage(2, 3, 62);
  elfCut.resize(17);  // ends inside the type field

  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    ImageKind kind;
  };
  const Case cases[] = {
      {"PE32+ x64", MakePeImage(kPeMachineAmd64, kPe32Plus), ImageKind::Windows64},
      {"PE32 x86", MakePeImage(kPeMachineI386, kPe32), ImageKind::Windows32},
      {"PE32+ arm64", MakePeImage(kPeMachineArm64, kPe32Plus), ImageKind::Unknown},
      {"managed any-CPU PE32", MakePeImage(kPeMachineI386, kPe32, 0x1), ImageKind::Windows64},
      {"managed 32-bit-required PE32", MakePeImage(kPeMachineI386, kPe32, 0x3), ImageKind::Windows32},
      {"managed PE32 without flags", MakePeImage(kPeMachineI386, kPe32, 0x0), ImageKind::Windows32},
      {"managed PE32 with its CLR header cut", clrOutsideFile, ImageKind::Windows32},
      {"PE whose header offset lies past the end", lfanewPastEnd, ImageKind::Unknown},
      {"ELF64 x86-64 position-independent", MakeElfImage(2, 3, 62), ImageKind::Linux64},
      {"ELF64 x86-64 executable", MakeElfImage(2, 2, 62), ImageKind::Linux64},
      {"ELF32 x86 executable", MakeElfImage(1, 2, 3), ImageKind::Linux32},
      {"ELF64 aarch64", MakeElfImage(2, 3, 183), ImageKind::Unknown},
      {"ELF64 relocatable object", MakeElfImage(2, 1, 62), ImageKind::Unknown},
      {"ELF header cut short", elfCut, ImageKind::Unknown},
      {"MZ alone", Bytes("MZ"), ImageKind::Unknown},
      {"text", Bytes("#!/bin/sh\necho not a game\n"), ImageKind::Unknown},
      {"empty", {}, ImageKind::Unknown},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(ClassifyImage(test.bytes), test.kind) << test.name;
  }
}

TEST(SystemName, OnlyManagedImagesThatMayRunAs64BitPassThePreCheck) {
  EXPECT_TRUE(IsManaged64BitImage(MakePeImage(kPeMachineI386, kPe32, 0x1)));
  EXPECT_TRUE(IsManaged64BitImage(MakePeImage(kPeMachineAmd64, kPe32Plus, 0x1)));
  EXPECT_FALSE(IsManaged64BitImage(MakePeImage(kPeMachineI386, kPe32, 0x3)));
  EXPECT_FALSE(IsManaged64BitImage(MakePeImage(kPeMachineI386, kPe32, 0x0)));
  EXPECT_FALSE(IsManaged64BitImage(MakePeImage(kPeMachineAmd64, kPe32Plus)));
}

TEST(SystemName, WineServesTheLinuxHostedBuildsOfWindowsGames) {
  struct Case {
    ImageKind kind;
    const char* onWindows;
    const char* underWine;
  };
  const Case cases[] = {
      {ImageKind::Windows32, "win64_wow64", "linux64_32"},
      {ImageKind::Windows64, "win64", "linux64"},
      {ImageKind::Linux32, "linux32", "linux32"},
      {ImageKind::Linux64, "linux64", "linux64"},
      {ImageKind::Unknown, "N/A", "N/A"},
  };
  for (const Case& test : cases) {
    EXPECT_STREQ(SystemNameOf(test.kind, false), test.onWindows);
    EXPECT_STREQ(SystemNameOf(test.kind, true), test.underWine);
  }
}

TEST(SystemName, WhatIsNoBinaryIsNotAvailable) {
  ScratchDirectory scratch;
  std::filesystem::create_directories(scratch.path() / "Game.exe");
  const std::string text = scratch.Write("readme.txt", "just text");
  const std::string empty = scratch.Write("empty.exe", "");

  EXPECT_EQ(GetSystemName(""), "N/A");
  EXPECT_EQ(GetSystemName((scratch.path() / "missing.exe").string()), "N/A");
  EXPECT_EQ(GetSystemName((scratch.path() / "Game.exe").string()), "N/A");
  EXPECT_EQ(GetSystemName(text), "N/A");
  EXPECT_EQ(GetSystemName(empty), "N/A");
}

TEST(SystemName, AManagedAnyCpuGameGetsThe64BitBuild) {
  ScratchDirectory scratch;
  const std::string game = scratch.Write("Game.exe", AsText(MakePeImage(kPeMachineI386, kPe32, 0x1)));
  EXPECT_EQ(GetSystemName(game), SystemNameOf(ImageKind::Windows64, IsRunningUnderWine()));
}

}  // namespace
}  // namespace quarvel::launcher
