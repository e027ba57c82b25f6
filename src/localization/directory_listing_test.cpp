#include "localization/directory_listing.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "localization/test_files.h"

namespace quarvel {
namespace {

TEST(DirectoryListing, ListsOnlyPlainFilesWithTheExtension) {
  test_support::ScratchDirectory scratch;
  for (const char* name : {"en_us.cfg", "de.cfg", "UPPER.CFG", ".hidden.cfg", "notes.txt", "en_us.cfg.bak"}) {
    scratch.WriteFile(name, "x");
  }
  scratch.MakeDirectory("folder.cfg");

  std::vector<std::string> names = ListFilesWithExtension(scratch.Path(), ".cfg");
#ifndef _WIN32
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
#endif
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"UPPER.CFG", "de.cfg", "en_us.cfg"}));
}

TEST(DirectoryListing, MissingDirectoryGivesNoNames) {
  test_support::ScratchDirectory scratch;
  EXPECT_TRUE(ListFilesWithExtension(scratch.Path() + "missing", ".cfg").empty());
}

}  // namespace
}  // namespace quarvel
