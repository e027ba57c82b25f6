#include "common/text_encoding.h"

#include <windows.h>

namespace quarvel {

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return {};
  const int inputLength = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), inputLength, nullptr, 0);
  if (needed == 0) return L"U82W_ERROR";
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  if (MultiByteToWideChar(CP_UTF8, 0, text.data(), inputLength, wide.data(), needed) == 0) {
    return L"U82W_ERROR";
  }
  return wide;
}

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int inputLength = static_cast<int>(text.size());
  const int needed =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), inputLength, nullptr, 0, nullptr, nullptr);
  if (needed == 0) return "W2U8_ERROR";
  std::string utf8(static_cast<std::size_t>(needed), '\0');
  if (WideCharToMultiByte(CP_UTF8, 0, text.data(), inputLength, utf8.data(), needed, nullptr,
                          nullptr) == 0) {
    return "W2U8_ERROR";
  }
  return utf8;
}

}  // namespace quarvel
