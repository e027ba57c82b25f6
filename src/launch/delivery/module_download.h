#pragma once

#include <string>

#include "localization/localization.h"
#include "quarvel/module_interface.h"

// The pieces of the module download that need no network: the CDN address,
// the per-game override file, and the judgement of a failed transfer.
namespace quarvel::launcher {

// "https://" + host + "/modules/{{productid}}/{{deploymentid}}/{{system}}".
std::string ModuleUrlTemplate(const std::string& host);

// Replaces every {{productid}}, then {{deploymentid}}, then {{system}}. The
// values serve as regular-expression replacement formats.
std::string FillModuleUrl(const std::string& url, const std::string& productId, const std::string& deploymentId,
                          const std::string& systemName);

// True when `url` lies on `host`: it begins with "https://" + host + "/".
bool IsAllowedCdnUrl(const std::string& url, const std::string& host);

// The override URL in the text of a game's override file: the rest of the
// first line longer than 4 characters that begins with "cdn=" in any ASCII
// case; empty when there is none. A UTF-8 byte-order mark at the start of the
// text is skipped.
std::string ParseCdnOverride(const std::string& text);

// The override file of a game binary: its path + ".qvl".
std::string CdnOverridePath(const std::string& gameBinaryPath);

// The text between the first "/builds/" and the '/' after it; "N/A" when
// either is missing.
std::string ExtractBuildId(const std::string& url);

// What a download that did not hand over a module comes to.
struct DownloadFailure {
  QVL_ProtectedGameLaunchResult code = QVL_LoaderCdnTransferFailed;
  bool cancelled = false;  // by the player: nothing is reported
  std::string text;        // from the loader's catalogue
};

// Judges a transfer by its libcurl result; `httpCode` matters only for a
// transfer that succeeded but brought no usable answer.
DownloadFailure ClassifyDownloadFailure(int transferResult, long httpCode, const cLocalization& catalogue);

}  // namespace quarvel::launcher
