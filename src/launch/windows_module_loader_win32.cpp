#include <memory>

#include "common/logger.h"
#include "common/platform.h"
#include "launch/delivery/module_pieces.h"
#include "launch/image/image_mapper.h"
#include "launch/image/pe_image.h"
#include "launch/trust/module_trailer.h"
#include "launch/trust/signature.h"
#include "launch/windows_module_loader.h"
#include "launch/wine/host_memory_file.h"
#include "launch/wine/host_sha256.h"
#include "launch/wine/wine_bridge.h"
#include "launch/wine/wine_helper_buffer.h"

namespace quarvel::launcher {
namespace {

constexpr std::uint32_t kWinePidWaitMs = 2000;

// The module's callbacks in the host's convention only forward: the compiler
// cannot give a function of the other convention a handler.
__attribute__((sysv_abi)) void OnHostResult(const QVL_ResultRecord* record) {
  cPlatformModuleLoader::ForwardResult(record);
}
__attribute__((sysv_abi)) void OnHostResultV1(std::int32_t code, const char* message, void* context) {
  cPlatformModuleLoader::ForwardResultV1(code, message, context);
}

std::uint8_t CallHostEntry(const void* entry, const void* argument) {
  return static_cast<std::uint8_t>(CallNative(entry, reinterpret_cast<std::uintptr_t>(argument)));
}

// An x64 process maps AMD64 images only: the mapper could lay out an x86
// image, but its code cannot run here.
bool IsNativeMachineImage(const std::vector<std::uint8_t>& image) {
  const std::unique_ptr<cPeImage> pe = cPeImage::Open(image);
#if defined(__x86_64__)
  return pe != nullptr && pe->Is64();
#else
  return pe != nullptr && !pe->Is64();
#endif
}

template <class Entry>
Entry EntryAt(const void* address) {
  return reinterpret_cast<Entry>(const_cast<void*>(address));
}

}  // namespace

cWindowsModuleLoader::cWindowsModuleLoader(const std::vector<std::string>& arguments)
    : cWindowsModuleLoader(arguments, IsRunningUnderWine() ? ModuleKind::HostLibrary : ModuleKind::WindowsImage) {}

cWindowsModuleLoader::cWindowsModuleLoader(const std::vector<std::string>& arguments, ModuleKind kind,
                                           std::chrono::milliseconds launchResultWaitLimit)
    : cPlatformModuleLoader(arguments, launchResultWaitLimit), kind_(kind) {}

cWindowsModuleLoader::~cWindowsModuleLoader() {
  Shutdown();
  ReleaseWineHelperBuffer();
}

void cWindowsModuleLoader::LoadModule(const std::vector<std::uint8_t>& image) {
  StartMappedModule(MapModule(image));
}

void cWindowsModuleLoader::LoadPayload(std::span<const std::uint8_t> payload) {
  if (kind_ != ModuleKind::HostLibrary) return cPlatformModuleLoader::LoadPayload(payload);
  if (payload.empty()) return StartMappedModule(MapResult::BadArguments);
  StartMappedModule(MapHostLibrary(payload.size(), ScrambledPayloadPieces(payload)));
}

void cWindowsModuleLoader::StartMappedModule(MapResult mapped) {
  if (mapped != MapResult::Mapped) return ReportMapFailure(mapped);

  const bool hostLibrary = kind_ == ModuleKind::HostLibrary;
  const ModuleCalls calls = hostLibrary ? ModuleCalls{&CallHostEntry, reinterpret_cast<QVL_CallbackV2>(&OnHostResult),
                                                      reinterpret_cast<QVL_CallbackV1>(&OnHostResultV1)}
                                        : ModuleCalls{&CallEntry, &ForwardResult, &ForwardResultV1};
  // First, so that a module hears its language even when the launch ends
  // before it starts.
  SetModuleLanguage(calls);
  std::string unixGamePath;
  if (hostLibrary) {
    unixGamePath = GetUnixFileName(gameBinaryPath_);
    if (unixGamePath.empty()) {
      Report(QVL_LoaderGamePathInvalid, catalogue_
                                            .GetString("launcher_error.error_game_binary_not_found_wine",
                                                       "Failed to locate the game binary (Wine)")
                                            .c_str());
      return;
    }
  }

  const std::uint8_t result = StartModule(calls, hostLibrary, unixGamePath);
  if (!hostLibrary) {
    if (result != QVL_InitializeOk) ReportInitializeFailure(result);
    return;
  }
  // A host library's result is not looked at: only its reports count, made
  // on this thread (see the module interface). One that never reports is
  // given up after a while.
  WatchForLaunchResult(result);
}

MapResult cWindowsModuleLoader::MapModule(const std::vector<std::uint8_t>& image) {
  if (image.empty()) return MapResult::BadArguments;
  return kind_ == ModuleKind::HostLibrary ? MapHostLibrary(image.size(), PlainImagePieces(image))
                                          : MapWindowsImage(image);
}

MapResult cWindowsModuleLoader::MapWindowsImage(const std::vector<std::uint8_t>& image) {
  if (!IsNativeMachineImage(image)) {
    Log(LogLevel::Error, "The module image is not built for this machine (AMD64).");
    return MapResult::LoadFailed;
  }
  if (!VerifyModuleSignature(image, signatureRefusal_)) return MapResult::SignatureRefused;
  auto mapper = std::make_unique<cImageMapper>();
  if (!mapper->Load(image, kMapCallEntryOnLoad | kMapCallEntryOnUnload)) return MapResult::LoadFailed;

  void* initialize = mapper->GetProcAddress(ExportPosition{QVL_EntryPositionInitialize});
  void* shutdown = mapper->GetProcAddress(ExportPosition{QVL_EntryPositionShutdown});
  void* reserved = mapper->GetProcAddress(ExportPosition{QVL_EntryPositionReserved});
  if (initialize == nullptr || shutdown == nullptr || reserved == nullptr) return MapResult::LoadFailed;

  initializeEntry_ = EntryAt<QVL_InitializeEntry>(initialize);
  shutdownEntry_ = EntryAt<QVL_ShutdownEntry>(shutdown);
  reservedEntry_ = EntryAt<QVL_ReservedEntry>(reserved);
  setLanguageEntry_ =
      EntryAt<QVL_SetLanguageEntry>(mapper->GetProcAddress(ExportPosition{QVL_EntryPositionSetLanguage}));
  // The module runs until the process ends: its image is never unmapped.
  mapper.release();
  return MapResult::Mapped;
}

MapResult cWindowsModuleLoader::MapHostLibrary(std::uint64_t size, const ModulePieceSource& next) {
  Log(LogLevel::Info, "Starting Wine module mapping, Wine version: %s.", GetWineVersion().c_str());
  void* library = nullptr;
  cHostMemoryFile file;
  switch (PrepareModuleFile(file, size, next, BuiltInModuleKeys(), signatureRefusal_, ModuleSha256Hasher())) {
    case ModuleFileResult::Refused:
      return MapResult::SignatureRefused;
    case ModuleFileResult::Failed:
      break;
    case ModuleFileResult::Ready:
      library = OpenNativeLibrary(file.Descriptor());
      // The host's loader knows the library by the descriptor's path: it
      // stays open for as long as the library is loaded, to the end.
      if (library != nullptr) file.Release();
      break;
  }
  // Host functions: only ever called through CallNative.
  return TakeNamedEntries(library, &ResolveNativeSymbol);
}

std::uint32_t cWindowsModuleLoader::TranslateProcessId(std::uint32_t processId) {
  if (kind_ != ModuleKind::HostLibrary) return processId;
  return TranslateWinePid(static_cast<std::int32_t>(processId), kWinePidWaitMs);
}

void cWindowsModuleLoader::ShutdownModule() {
  if (kind_ != ModuleKind::HostLibrary) return cPlatformModuleLoader::ShutdownModule();
  if (shutdownEntry_ == nullptr) return;
  const std::int32_t reason = QVL_ShutdownReasonExit;
  CallNative(reinterpret_cast<const void*>(shutdownEntry_), reinterpret_cast<std::uintptr_t>(&reason));
  shutdownEntry_ = nullptr;
}

}  // namespace quarvel::launcher
