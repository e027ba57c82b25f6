#pragma once

#include <filesystem>
#include <string>

// File helpers for the tests of this directory.
namespace quarvel::test_support {

// A fresh, empty directory under the system's temporary folder, removed with
// everything in it when the object goes. Failures are reported to the running
// test.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // UTF-8, ending with the platform's separator.
  std::string Path() const;
  // Writes `bytes` exactly as given; returns the file's UTF-8 path.
  std::string WriteFile(const std::string& name, const std::string& bytes) const;
  void MakeDirectory(const std::string& name) const;

 private:
  std::filesystem::path root_;
  bool created_ = false;
};

// Where the build lays out the shipped localization files, beside the test
// binary; empty when the executable's directory is unknown.
std::string ShippedLocalizationDirectory();

}  // namespace quarvel::test_support
