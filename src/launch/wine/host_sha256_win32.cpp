#include "launch/wine/host_sha256.h"

#include <cstring>

#include "common/logger.h"
#include "launch/wine/wine_bridge.h"

namespace quarvel::launcher {
namespace {

// SHA256_CTX takes 112 bytes in every libcrypto so far: room for several
// times that, aligned for any vector code that might touch it.
constexpr std::size_t kHostContextSize = 1024;

// SHA-256 of "abc", the first test vector of the standard.
constexpr std::uint8_t kAbc[] = {'a', 'b', 'c'};
constexpr Sha256Digest kAbcDigest = {0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea, 0x41, 0x41, 0x40,
                                     0xde, 0x5d, 0xae, 0x22, 0x23, 0xb0, 0x03, 0x61, 0xa3, 0x96, 0x17,
                                     0x7a, 0x9c, 0xb4, 0x10, 0xff, 0x61, 0xf2, 0x00, 0x15, 0xad};

std::uint64_t Address(const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer); }

// The functions return an int, 1 for success; the rest of rax is undefined.
bool Succeeded(std::uint64_t result) { return static_cast<std::uint32_t>(result) == 1; }

bool FindFunctions(const char* libraryName, HostSha256Functions& functions) {
  void* library = OpenHostLibrary(libraryName);
  if (library == nullptr) return false;
  // The library stays loaded: its functions are used for the rest of the
  // process.
  functions = {ResolveNativeSymbol(library, "SHA256_Init"), ResolveNativeSymbol(library, "SHA256_Update"),
               ResolveNativeSymbol(library, "SHA256_Final")};
  return functions.init != nullptr && functions.update != nullptr && functions.final != nullptr;
}

// A library that computes a wrong digest would only ever refuse modules,
// never accept a changed one; it is still better not taken.
bool HashesCorrectly(const HostSha256Functions& functions) {
  cHostSha256 hash(functions);
  Sha256Digest digest{};
  return hash.Update(kAbc) && hash.Finish(digest) && digest == kAbcDigest;
}

}  // namespace

struct cHostSha256::Context {
  alignas(64) std::uint8_t bytes[kHostContextSize];
};

cHostSha256::cHostSha256(const HostSha256Functions& functions)
    : functions_(functions), context_(std::make_unique<Context>()) {
  std::memset(context_->bytes, 0, sizeof(context_->bytes));
  usable_ = functions_.init != nullptr && functions_.update != nullptr && functions_.final != nullptr &&
            Succeeded(CallNative(functions_.init, Address(context_->bytes)));
}

cHostSha256::~cHostSha256() = default;

bool cHostSha256::Update(std::span<const std::uint8_t> bytes) {
  if (usable_ && !bytes.empty()) {
    usable_ = Succeeded(CallNative(functions_.update, Address(context_->bytes), Address(bytes.data()), bytes.size()));
  }
  return usable_;
}

bool cHostSha256::Finish(Sha256Digest& digest) {
  const bool finished = usable_ && Succeeded(CallNative(functions_.final, Address(digest.data()),
                                                         Address(context_->bytes)));
  usable_ = false;
  return finished;
}

ModuleSha256Choice ChooseModuleSha256(std::span<const char* const> libraryNames) {
  for (const char* name : libraryNames) {
    HostSha256Functions functions;
    if (!FindFunctions(name, functions) || !HashesCorrectly(functions)) continue;
    Log(LogLevel::Info, "Native modules are hashed with the host's %s.", name);
    return {[functions] { return std::unique_ptr<cSha256Hasher>(std::make_unique<cHostSha256>(functions)); },
            name};
  }
  Log(LogLevel::Info, "Native modules are hashed with bcrypt: the host has no usable libcrypto.");
  return {{}, "bcrypt"};
}

const Sha256HasherFactory& ModuleSha256Hasher() {
  static const Sha256HasherFactory hasher = ChooseModuleSha256(kHostCryptoLibraries).hasher;
  return hasher;
}

}  // namespace quarvel::launcher
