#include "launch/trust/signature.h"

#include <algorithm>
#include <string_view>

#include "launch/trust/signature_signers.h"

namespace quarvel::launcher {
namespace {

bool IsNameIn(std::u16string_view candidate, std::span<const char16_t* const> names) {
  return std::any_of(names.begin(), names.end(), [&](const char16_t* accepted) { return candidate == accepted; });
}

}  // namespace

bool IsAcceptedSigner(const char16_t* name) {
  if (name == nullptr) return false;
  return IsNameIn(name, kAcceptedSigners);
}

std::span<const char16_t* const> AcceptedSigners() { return kAcceptedSigners; }

SignerPolicy BuildSignerPolicy() {
  return {kAcceptedSigners, std::span<const PublicKeyHash>(kAcceptedSignerKeys, kAcceptedSignerKeyCount)};
}

std::string JudgeSigner(const SignerFacts& signer, const SignerPolicy& policy) {
  if (!IsNameIn(signer.name, policy.names)) return "the signer's name is not accepted";
  if (policy.keys.empty()) return {};
  if (!signer.codeSigning) return "the signer's certificate is not for code signing";
  if (std::find(policy.keys.begin(), policy.keys.end(), signer.keyHash) == policy.keys.end()) {
    return "the signer's public key is not pinned";
  }
  return {};
}

}  // namespace quarvel::launcher
