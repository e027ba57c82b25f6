/*
 * Quarvel anti-cheat module interface.
 *
 * What the bootstrapper and an anti-cheat module exchange: the module's four
 * entries, the records passed to them, the callbacks through which the module
 * reports back, and the result codes both sides share. Usable from C (C11)
 * and C++. All records use the little-endian 64-bit layout; strings are UTF-8
 * and zero-terminated.
 *
 * Call order, as the bootstrapper makes it:
 *   1. set-language, with a QVL_LanguageRecord, only when a language is known;
 *   2. initialize, with a QVL_StartRecord of version 2; a module that answers
 *      QVL_InitializeUnsupportedVersion is called once more with version 1
 *      and the version-1 callback;
 *   3. the module reports through its callback (typically
 *      QVL_LoaderCreateGameProcess, then QVL_LoaderGameStarted);
 *   4. shutdown, once, when the bootstrapper leaves.
 *
 * A module that initialized but never reports a result is given up: under
 * Wine, 120 seconds after initialize returned, the launch fails with
 * QVL_LoaderModuleFailed ("Module initialization failed with <result>").
 *
 * Under Wine (the bootstrapper is the Windows build, the module a native
 * Linux library called through the host's C library) two more rules hold:
 *   - Report from inside initialize, on the thread that called it. The
 *     bootstrapper's callbacks are Windows code, which only threads that Wine
 *     created can run: a call from a thread of the module's own crashes the
 *     process or never returns, and a module that has nothing reported when
 *     initialize returns is given up as above.
 *   - A game the module starts itself is a host process. Put its host process
 *     id in QVL_ResultRecord.processId, and before reporting write the game's
 *     Windows process id (4 bytes, little-endian) to the file
 *     "/tmp/qvl_wine_pid_<host process id in upper-case hexadecimal>"
 *     (QVL_WINE_PID_FILE_FORMAT), as a regular file owned by the user the
 *     bootstrapper runs as. The bootstrapper reads it for up to 2 seconds and
 *     removes it. Without the file (or with anything but such a file: a
 *     symlink, a FIFO, another user's file) the report waits those 2 seconds
 *     and the bootstrapper does not know the game's process: a game whose
 *     settings ask the bootstrapper to wait for its exit code ends the
 *     bootstrapper with 60101 instead.
 */
#ifndef QUARVEL_MODULE_INTERFACE_H
#define QUARVEL_MODULE_INTERFACE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define QVL_STATIC_ASSERT(condition, message) static_assert(condition, message)
/* C++ fixes the enumerations' width so that any 32-bit code the module sends
 * is a valid value of the type. */
#define QVL_ENUM_INT32 : int32_t
extern "C" {
#else
#define QVL_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#define QVL_ENUM_INT32
#endif

QVL_STATIC_ASSERT(sizeof(void*) == 8, "the module interface is defined for 64-bit targets only");

/* ------------------------------------------------------------------------ */
/* Result codes                                                              */
/* ------------------------------------------------------------------------ */

/*
 * Launch-level codes (0 to 301) are what the bootstrapper's launcher sees at
 * the end of a launch. Loader-level codes (501 and up) travel from the loader
 * or the module to the game launcher, which turns each into a launch-level
 * code. A version-2 module reports loader-level codes directly.
 */
typedef enum QVL_ProtectedGameLaunchResult QVL_ENUM_INT32 {
  QVL_Unclassified = 0, /* any loader code without a meaning of its own */
  QVL_LaunchCanceled = 101,
  QVL_InvalidLaunchRequest = 201,
  QVL_CdnUnreachable = 202,
  QVL_CdnTransferFailed = 204,
  QVL_OverrideDownloadFailed = 205,
  QVL_ModuleLoadFailed = 206,
  QVL_GameBinaryInvalid = 207,
  QVL_GameStartFailed = 208,
  QVL_InstallFailed = 209,
  QVL_ModuleError = 210,
  QVL_Success = 301,

  QVL_LoaderGamePathInvalid = 501,
  QVL_LoaderStartFailed = 502,
  QVL_LoaderInstallFailed = 503, /* reserved for the module */
  QVL_LoaderOverrideFailed = 504,
  QVL_LoaderCdnUnreachable = 505,
  QVL_LoaderCdnTransferFailed = 506,
  QVL_LoaderModuleFailed = 507,
  QVL_LoaderCreateGameProcess = 508, /* the module asks the bootstrapper to start the game */
  QVL_LoaderModuleError = 509,
  QVL_LoaderGameStarted = 1002,
  QVL_LoaderModuleReady = 1003
} QVL_ProtectedGameLaunchResult;

/* The answer to a download progress report: only QVL_Cancel stops the
 * transfer; every other value lets it continue. */
typedef enum QVL_ModuleDownloadProgressResult QVL_ENUM_INT32 {
  QVL_Continue = 0,
  QVL_Cancel = 1
} QVL_ModuleDownloadProgressResult;

/* Codes of a version-1 module. The bootstrapper turns them into
 * QVL_LoaderModuleFailed, QVL_LoaderCreateGameProcess, QVL_LoaderModuleError
 * and QVL_LoaderGameStarted; any other version-1 code into QVL_Unclassified. */
typedef enum QVL_ModuleCodeV1 QVL_ENUM_INT32 {
  QVL_V1ModuleFailed = 902,
  QVL_V1CreateGameProcess = 903,
  QVL_V1ModuleError = 904,
  QVL_V1GameStarted = 905
} QVL_ModuleCodeV1;

/* Results of the initialize entry. Any other value is a failure. */
enum {
  QVL_InitializeUnsupportedVersion = 0, /* call again with a version-1 record */
  QVL_InitializeOk = 1
};

/* ------------------------------------------------------------------------ */
/* Callbacks the module calls                                                */
/* ------------------------------------------------------------------------ */

/* The file through which, under Wine, a module names the Windows process id
 * of a game it started itself (see the rules at the top), as a printf format
 * of the host process id. */
#define QVL_WINE_PID_FILE_FORMAT "/tmp/qvl_wine_pid_%X"

/* Passed to the version-2 callback. Valid only during the call. */
typedef struct QVL_ResultRecord {
  void* context;       /* the start record's context, unchanged */
  int32_t code;        /* a QVL_ProtectedGameLaunchResult */
  uint8_t reserved[4]; /* zero */
  const char* message; /* may be null */
  int32_t processId;   /* the game's process id when the module started it, else 0;
                          under Wine its host process id (see the top) */
} QVL_ResultRecord;

typedef void (*QVL_CallbackV2)(const QVL_ResultRecord* result);
/* `code` is a QVL_ModuleCodeV1. */
typedef void (*QVL_CallbackV1)(int32_t code, const char* message, void* context);

/* ------------------------------------------------------------------------ */
/* Records passed to the entries                                             */
/* ------------------------------------------------------------------------ */

enum {
  QVL_StartRecordVersion1 = 1,
  QVL_StartRecordVersion2 = 2,
  QVL_LanguageRecordVersion = 1
};

typedef struct QVL_StartRecord {
  int32_t version;         /* QVL_StartRecordVersion2, or 1 on the retry */
  int32_t reserved0;       /* zero */
  QVL_CallbackV1 callbackV1; /* set in version 1 only */
  void* context;           /* hand back in every callback */
  const char* productId;
  const char* sandboxId;
  const char* deploymentId;
  QVL_CallbackV2 callbackV2; /* set in version 2; left as it was on the version-1 retry */
  /* The following are set only when the bootstrapper runs under Wine and
   * loads a native Linux module; zero otherwise. */
  const char* unixGamePath;  /* host path of the game binary */
  int32_t argumentCount;     /* entries in `arguments` */
  uint8_t reserved1[4];      /* zero */
  const char* const* arguments; /* [0] the game binary's Windows path, then the game's
                                   arguments; no terminating null entry */
} QVL_StartRecord;

typedef struct QVL_LanguageRecord {
  uint64_t version;     /* QVL_LanguageRecordVersion */
  const char* language; /* e.g. "en" */
  const char* region;   /* e.g. "us"; may be empty */
} QVL_LanguageRecord;

/* ------------------------------------------------------------------------ */
/* Entries the module provides                                               */
/* ------------------------------------------------------------------------ */

/* Returns QVL_InitializeOk, QVL_InitializeUnsupportedVersion, or a failure. */
typedef uint8_t (*QVL_InitializeEntry)(const QVL_StartRecord* record);
/* `reason` points to a 32-bit value holding QVL_ShutdownReasonExit. The
 * result is ignored. */
typedef uint8_t (*QVL_ShutdownEntry)(const int32_t* reason);
/* Reserved; never called. */
typedef void (*QVL_ReservedEntry)(void);
/* Called before initialize. The result is ignored. */
typedef uint8_t (*QVL_SetLanguageEntry)(const QVL_LanguageRecord* record);

enum { QVL_ShutdownReasonExit = 1 };

/* Where the bootstrapper finds the entries. A Windows module exports them by
 * position in its export address table (0-based, ordinal base not applied);
 * set-language may be missing. A native Linux module exports them by symbol
 * name; all four must exist. */
enum {
  QVL_EntryPositionInitialize = 0,
  QVL_EntryPositionShutdown = 1,
  QVL_EntryPositionReserved = 2,
  QVL_EntryPositionSetLanguage = 4
};
#define QVL_ENTRY_SYMBOL_INITIALIZE "a"
#define QVL_ENTRY_SYMBOL_SHUTDOWN "b"
#define QVL_ENTRY_SYMBOL_RESERVED "c"
#define QVL_ENTRY_SYMBOL_SET_LANGUAGE "d"

/* ------------------------------------------------------------------------ */
/* Layout guarantees                                                         */
/* ------------------------------------------------------------------------ */

QVL_STATIC_ASSERT(sizeof(QVL_ProtectedGameLaunchResult) == 4, "launch results are 32-bit");
QVL_STATIC_ASSERT(sizeof(QVL_ModuleDownloadProgressResult) == 4, "progress results are 32-bit");

QVL_STATIC_ASSERT(sizeof(QVL_StartRecord) == 80, "start record size");
QVL_STATIC_ASSERT(offsetof(QVL_StartRecord, version) == 0, "start record: version");
QVL_STATIC_ASSERT(offsetof(QVL_StartRecord, reserved0) == 4, "start record: reserved0");
QVL_STATIC_ASSERT(offsetof(QVL_StartRecord, callbackV1) == 8, "start record: callbackV1");
QVL_STATIC_ASSERT(offsetof(QVL_StartRecord, context) == 16, "start record: context");
QVL_STATIC_ASSERT(offsetof(QVL_StartRecord, productId) == 24, "start record: productId");
QVL_STATIC_ASSERT(offsetof(QVL_StartRecord, sandboxId) == 32, "start record: sandboxId");
QVL_STATIC_ASSERT(offsetof(QVL_StartRecord, deploymentId) == 40, "start record: deploymentId");
QVL_STATIC_ASSERT(offsetof(QVL_StartRecord, callbackV2) == 48, "start record: callbackV2");
QVL_STATIC_ASSERT(offsetof(QVL_StartRecord, unixGamePath) == 56, "start record: unixGamePath");
QVL_STATIC_ASSERT(offsetof(QVL_StartRecord, argumentCount) == 64, "start record: argumentCount");
QVL_STATIC_ASSERT(offsetof(QVL_StartRecord, reserved1) == 68, "start record: reserved1");
QVL_STATIC_ASSERT(offsetof(QVL_StartRecord, arguments) == 72, "start record: arguments");

QVL_STATIC_ASSERT(sizeof(QVL_LanguageRecord) == 24, "language record size");
QVL_STATIC_ASSERT(offsetof(QVL_LanguageRecord, version) == 0, "language record: version");
QVL_STATIC_ASSERT(offsetof(QVL_LanguageRecord, language) == 8, "language record: language");
QVL_STATIC_ASSERT(offsetof(QVL_LanguageRecord, region) == 16, "language record: region");

QVL_STATIC_ASSERT(sizeof(QVL_ResultRecord) == 32, "result record size");
QVL_STATIC_ASSERT(offsetof(QVL_ResultRecord, context) == 0, "result record: context");
QVL_STATIC_ASSERT(offsetof(QVL_ResultRecord, code) == 8, "result record: code");
QVL_STATIC_ASSERT(offsetof(QVL_ResultRecord, reserved) == 12, "result record: reserved");
QVL_STATIC_ASSERT(offsetof(QVL_ResultRecord, message) == 16, "result record: message");
QVL_STATIC_ASSERT(offsetof(QVL_ResultRecord, processId) == 24, "result record: processId");

#ifdef __cplusplus
} /* extern "C" */
#endif

#undef QVL_STATIC_ASSERT
#undef QVL_ENUM_INT32

#endif /* QUARVEL_MODULE_INTERFACE_H */
