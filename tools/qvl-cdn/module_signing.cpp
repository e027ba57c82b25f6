#include "module_signing.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "module_files.h"

namespace quarvel::cdn_tool {
namespace {

std::string Hex(std::span<const std::uint8_t> bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t byte : bytes) {
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  return text;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// The DER bytes between "-----BEGIN PUBLIC KEY-----" and its END line.
bool DecodePublicKeyPem(const std::string& text, std::vector<std::uint8_t>& der) {
  const std::string begin = "-----BEGIN PUBLIC KEY-----";
  const std::string end = "-----END PUBLIC KEY-----";
  const std::size_t start = text.find(begin);
  const std::size_t stop = text.find(end);
  if (start == std::string::npos || stop == std::string::npos || stop < start) return false;
  std::uint32_t accumulator = 0;
  int bits = 0;
  for (std::size_t i = start + begin.size(); i < stop; ++i) {
    const char c = text[i];
    if (c == '=' || c == '\r' || c == '\n' || c == ' ' || c == '\t') continue;
    const int value = Base64Value(c);
    if (value < 0) return false;
    accumulator = (accumulator << 6) | static_cast<std::uint32_t>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      der.push_back(static_cast<std::uint8_t>(accumulator >> bits));
    }
  }
  return !der.empty();
}

}  // namespace

bool ReadModulePublicKey(const std::string& pemPath, launcher::ModulePublicKey& key, std::string& error) {
  std::ifstream file(PathFromUtf8(pemPath), std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  std::vector<std::uint8_t> der;
  if (!file.good() && text.empty()) {
    error = "cannot read " + pemPath;
    return false;
  }
  if (!DecodePublicKeyPem(text, der) || der.size() != key.publicKeyInfo.size()) {
    error = pemPath + " is no ECDSA P-256 public key (PEM \"PUBLIC KEY\")";
    return false;
  }
  std::copy(der.begin(), der.end(), key.publicKeyInfo.begin());
  if (!launcher::ComputeModuleKeyId(der, key.id)) {
    error = "cannot hash " + pemPath;
    return false;
  }
  return true;
}

std::string DescribeModuleSignature(std::span<const std::uint8_t> bytes, const std::vector<std::string>& publicKeys,
                                    bool& verified) {
  verified = false;
  launcher::ModuleTrailer trailer;
  if (!launcher::ReadModuleTrailer(bytes, trailer)) return "Signature: none (no trailer)\n";
  std::string text = "Signature: key id " + Hex(trailer.keyId) + ", " + std::to_string(trailer.signedBytes.size()) +
                     " bytes signed\n";
  for (const std::string& path : publicKeys) {
    launcher::ModulePublicKey key;
    std::string error;
    if (!ReadModulePublicKey(path, key, error)) {
      text += "  " + error + "\n";
      continue;
    }
    const launcher::ModulePublicKey keys[] = {key};
    const launcher::ModuleSignatureCheck check = launcher::CheckModuleTrailer(bytes, keys);
    if (check == launcher::ModuleSignatureCheck::Valid) {
      verified = true;
      text += "  verifies with " + path + "\n";
    } else {
      text += "  " + path + ": " + launcher::DescribeModuleSignatureCheck(check) + "\n";
    }
  }
  return text;
}

}  // namespace quarvel::cdn_tool
