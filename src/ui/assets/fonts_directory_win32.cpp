#include <windows.h>
#include <shlobj.h>

#include "common/text_encoding.h"
#include "ui/assets/asset_store.h"

namespace quarvel::ui {

bool SystemFontsSupported() { return true; }

std::string GetFontsDirectory() {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_FONTS, nullptr, SHGFP_TYPE_CURRENT, buffer))) return {};
  std::string directory = WideToUtf8(buffer);
  if (!directory.empty() && directory.back() != '\\' && directory.back() != '/') directory += '\\';
  return directory;
}

}  // namespace quarvel::ui
