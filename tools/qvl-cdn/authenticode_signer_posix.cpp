#include <openssl/asn1.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <cstring>

#include "authenticode_signer.h"

namespace quarvel::cdn_tool {
namespace {

// WIN_CERTIFICATE: dwLength, wRevision, wCertificateType, then the signature.
constexpr std::size_t kWinCertificateHeader = 8;
constexpr std::uint16_t kWinCertTypePkcsSignedData = 2;

std::string CommonName(X509* certificate) {
  const X509_NAME* subject = X509_get_subject_name(certificate);
  const int index = X509_NAME_get_index_by_NID(subject, NID_commonName, -1);
  if (index < 0) return {};
  unsigned char* text = nullptr;
  const int length = ASN1_STRING_to_UTF8(&text, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, index)));
  if (length < 0) return {};
  std::string name(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
  OPENSSL_free(text);
  return name;
}

}  // namespace

SignerLookup ReadAuthenticodeSigner(const std::string&, std::span<const std::uint8_t> certificateTable) {
  SignerLookup lookup;
  std::uint32_t length = 0;
  std::uint16_t type = 0;
  if (certificateTable.size() < kWinCertificateHeader) {
    lookup.error = "the certificate table is too short";
    return lookup;
  }
  std::memcpy(&length, certificateTable.data(), sizeof(length));
  std::memcpy(&type, certificateTable.data() + 6, sizeof(type));
  if (type != kWinCertTypePkcsSignedData || length <= kWinCertificateHeader || length > certificateTable.size()) {
    lookup.error = "the certificate table holds no PKCS#7 signature";
    return lookup;
  }
  const unsigned char* der = certificateTable.data() + kWinCertificateHeader;
  PKCS7* signature = d2i_PKCS7(nullptr, &der, static_cast<long>(length - kWinCertificateHeader));
  if (signature == nullptr || !PKCS7_type_is_signed(signature)) {
    lookup.error = "the signature is not PKCS#7 signed data";
    PKCS7_free(signature);
    return lookup;
  }
  STACK_OF(X509)* signers = PKCS7_get0_signers(signature, nullptr, 0);
  if (signers == nullptr || sk_X509_num(signers) < 1) {
    lookup.error = "the signature does not carry its signer's certificate";
  } else {
    lookup.commonName = CommonName(sk_X509_value(signers, 0));
    lookup.read = !lookup.commonName.empty();
    if (!lookup.read) lookup.error = "the signer's certificate has no common name";
  }
  sk_X509_free(signers);
  PKCS7_free(signature);
  return lookup;
}

}  // namespace quarvel::cdn_tool
