#include "launch/trust/signature.h"

#include <string_view>

#include "launch/trust/signature_signers.h"

namespace quarvel::launcher {

bool IsAcceptedSigner(const char16_t* name) {
  if (name == nullptr) return false;
  const std::u16string_view candidate(name);
  for (const char16_t* accepted : kAcceptedSigners) {
    if (candidate == accepted) return true;
  }
  return false;
}

std::span<const char16_t* const> AcceptedSigners() { return kAcceptedSigners; }

}  // namespace quarvel::launcher
