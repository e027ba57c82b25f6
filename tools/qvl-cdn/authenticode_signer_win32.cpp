#include "authenticode_signer.h"
#include "common/text_encoding.h"
#include "launch/trust/signature.h"

namespace quarvel::cdn_tool {

// The name the bootstrapper itself compares: crypt32's simple display name of
// the signing certificate.
SignerLookup ReadAuthenticodeSigner(const std::string& path, std::span<const std::uint8_t>) {
  SignerLookup lookup;
  wchar_t name[launcher::kSignerNameLength] = {};
  if (!launcher::GetSignerName(Utf8ToWide(path).c_str(), name)) {
    lookup.error = "crypt32 cannot read the signer";
    return lookup;
  }
  lookup.commonName = WideToUtf8(name);
  lookup.read = true;
  return lookup;
}

}  // namespace quarvel::cdn_tool
