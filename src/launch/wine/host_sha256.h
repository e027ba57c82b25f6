#pragma once

#include <memory>
#include <span>
#include <string>

#include "launch/trust/sha256.h"

// SHA-256 through the Linux host's libcrypto, called through the Wine bridge.
// Wine's own bcrypt hashes in plain C; the host's library uses the
// processor's SHA and vector instructions, several times faster on a large
// module. Windows builds only.
namespace quarvel::launcher {

// The host libraries tried, in order, before the platform's hasher.
inline constexpr const char* kHostCryptoLibraries[] = {"libcrypto.so.3", "libcrypto.so.1.1"};

// The host library's SHA256_Init, SHA256_Update and SHA256_Final.
struct HostSha256Functions {
  const void* init = nullptr;
  const void* update = nullptr;
  const void* final = nullptr;
};

// A digest through the host's functions; the context lives in our memory.
class cHostSha256 final : public cSha256Hasher {
 public:
  explicit cHostSha256(const HostSha256Functions& functions);
  ~cHostSha256() override;
  cHostSha256(const cHostSha256&) = delete;
  cHostSha256& operator=(const cHostSha256&) = delete;

  bool Update(std::span<const std::uint8_t> bytes) override;
  bool Finish(Sha256Digest& digest) override;

 private:
  struct Context;
  HostSha256Functions functions_;
  std::unique_ptr<Context> context_;
  bool usable_ = false;
};

// The hasher the Wine loader checks native modules with, and what it is
// called in the log.
struct ModuleSha256Choice {
  Sha256HasherFactory hasher;  // empty: the platform's (bcrypt)
  std::string name;
};

// The first of `libraryNames` the host opens, has the three functions and
// gives the right digest of a known text; else the platform's hasher. Needs
// the helper buffer (to find the host's dlopen). One log line says which.
ModuleSha256Choice ChooseModuleSha256(std::span<const char* const> libraryNames);

// ChooseModuleSha256 of kHostCryptoLibraries, made once per process.
const Sha256HasherFactory& ModuleSha256Hasher();

}  // namespace quarvel::launcher
