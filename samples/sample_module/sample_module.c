/*
 * Quarvel SDK sample module.
 *
 * A stand-in anti-cheat module that honours the bootstrapper's records and
 * callbacks: initialize answers the start record, asks the bootstrapper to
 * start the game (or starts it itself, see "start=") and reports that the
 * game started. It is built against the public header only.
 *
 * Its behaviour is chosen, for tests and demonstrations, by the environment
 * variable QVL_SAMPLE_MODULE_MODE: comma-separated words, applied in any order.
 *
 *   v1            answer a version-2 start record with "unsupported version",
 *                 so the bootstrapper retries with version 1 and its codes
 *   init=N        initialize returns N (0-255) and reports nothing
 *   error         report a module error (509, or 904 in version 1) and nothing else
 *   silent        report nothing; initialize succeeds
 *   codes=A/B/..  report exactly these codes, in order, as given
 *   delay=MS      wait before the first report
 *   gap=MS        wait between two reports
 *   start=self    start the game itself from the start record's host path
 *                 (only when the record carries one, that is under Wine)
 *   start=launcher  always ask the bootstrapper to start the game
 *
 * Without "start=" the module starts the game itself when it runs under Wine,
 * where the bootstrapper hands it the game's host path and arguments, and
 * asks the bootstrapper everywhere else.
 *
 * QVL_SAMPLE_MODULE_LOG, when set, names a file to which the module appends
 * one line per call and report, so that tests can see what it was given.
 */
#include "sample_module.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { kMaxCodes = 16, kFailure = 2 };

typedef enum { StartAuto, StartByLauncher, StartBySelf } StartChoice;

typedef struct {
  int answerVersion2WithRetry;
  int initializeResult; /* -1: initialize normally */
  int reportError;
  int silent;
  int codes[kMaxCodes];
  int codeCount; /* -1: the usual codes */
  unsigned delayMs;
  unsigned gapMs;
  StartChoice start;
} SampleMode;

static void SampleLog(const char* format, ...) {
  char path[1024];
  if (!SampleReadEnvironment("QVL_SAMPLE_MODULE_LOG", path, sizeof(path)) || path[0] == '\0') return;
  FILE* file = fopen(path, "a");
  if (file == NULL) return;
  va_list arguments;
  va_start(arguments, format);
  vfprintf(file, format, arguments);
  va_end(arguments);
  fputc('\n', file);
  fclose(file);
}

static const char* OrNull(const char* text) { return text != NULL ? text : "(null)"; }

static int ParseNumber(const char* text, long minimum, long maximum, long* value) {
  char* end = NULL;
  const long number = strtol(text, &end, 10);
  if (end == text || *end != '\0' || number < minimum || number > maximum) return 0;
  *value = number;
  return 1;
}

static int ParseCodes(char* list, SampleMode* mode) {
  mode->codeCount = 0;
  for (char* code = strtok(list, "/"); code != NULL; code = strtok(NULL, "/")) {
    long value = 0;
    if (mode->codeCount == kMaxCodes || !ParseNumber(code, -2147483647L - 1, 2147483647L, &value)) return 0;
    mode->codes[mode->codeCount++] = (int)value;
  }
  return 1;
}

static int ParseWord(char* word, SampleMode* mode) {
  long value = 0;
  if (strcmp(word, "v1") == 0) {
    mode->answerVersion2WithRetry = 1;
  } else if (strcmp(word, "error") == 0) {
    mode->reportError = 1;
  } else if (strcmp(word, "silent") == 0) {
    mode->silent = 1;
  } else if (strcmp(word, "start=self") == 0) {
    mode->start = StartBySelf;
  } else if (strcmp(word, "start=launcher") == 0) {
    mode->start = StartByLauncher;
  } else if (strncmp(word, "init=", 5) == 0 && ParseNumber(word + 5, 0, 255, &value)) {
    mode->initializeResult = (int)value;
  } else if (strncmp(word, "delay=", 6) == 0 && ParseNumber(word + 6, 0, 3600000, &value)) {
    mode->delayMs = (unsigned)value;
  } else if (strncmp(word, "gap=", 4) == 0 && ParseNumber(word + 4, 0, 3600000, &value)) {
    mode->gapMs = (unsigned)value;
  } else if (strncmp(word, "codes=", 6) == 0) {
    return ParseCodes(word + 6, mode);
  } else {
    return 0;
  }
  return 1;
}

static void ReadMode(SampleMode* mode) {
  memset(mode, 0, sizeof(*mode));
  mode->initializeResult = -1;
  mode->codeCount = -1;
  mode->start = StartAuto;

  char text[1024];
  if (!SampleReadEnvironment("QVL_SAMPLE_MODULE_MODE", text, sizeof(text))) return;
  SampleLog("mode %s", text);
  /* Words are cut out first: the code list is split with strtok as well. */
  char* words[32];
  int count = 0;
  for (char* word = strtok(text, ","); word != NULL && count < 32; word = strtok(NULL, ",")) words[count++] = word;
  for (int i = 0; i < count; ++i) {
    if (!ParseWord(words[i], mode)) SampleLog("unknown mode word %s", words[i]);
  }
}

typedef struct {
  const QVL_StartRecord* record;
  const SampleMode* mode;
  int reports;
} Reporter;

static void Report(Reporter* reporter, int32_t code, const char* message, int32_t processId) {
  if (reporter->reports++ > 0 && reporter->mode->gapMs > 0) SampleSleepMs(reporter->mode->gapMs);
  const QVL_StartRecord* record = reporter->record;
  SampleLog("report code=%d process-id=%d", code, processId);
  if (record->version == QVL_StartRecordVersion1) {
    record->callbackV1(code, message, record->context);
    return;
  }
  QVL_ResultRecord result;
  memset(&result, 0, sizeof(result));
  result.context = record->context;
  result.code = code;
  result.message = message;
  result.processId = processId;
  record->callbackV2(&result);
}

static void LogStartRecord(const QVL_StartRecord* record) {
  SampleLog("initialize version=%d product=%s sandbox=%s deployment=%s unix-path=%s argument-count=%d",
            record->version, OrNull(record->productId), OrNull(record->sandboxId),
            OrNull(record->deploymentId), OrNull(record->unixGamePath), record->argumentCount);
  for (int i = 0; record->arguments != NULL && i < record->argumentCount; ++i) {
    SampleLog("argument %d=%s", i, OrNull(record->arguments[i]));
  }
}

static int ShouldStartGameItself(const QVL_StartRecord* record, const SampleMode* mode) {
  if (mode->start == StartByLauncher || record->unixGamePath == NULL) return 0;
  return mode->start == StartBySelf || SampleRunsUnderWine();
}

/* The usual course: the game is started, then reported as started. */
static void LaunchGame(Reporter* reporter) {
  const int v1 = reporter->record->version == QVL_StartRecordVersion1;
  const int32_t started = v1 ? QVL_V1GameStarted : QVL_LoaderGameStarted;
  if (!ShouldStartGameItself(reporter->record, reporter->mode)) {
    Report(reporter, v1 ? QVL_V1CreateGameProcess : QVL_LoaderCreateGameProcess,
           "Sample module: please start the game.", 0);
    Report(reporter, started, "Sample module: the game was started.", 0);
    return;
  }
  char error[512] = "";
  const int32_t processId = SampleStartGame(reporter->record, error, sizeof(error));
  if (processId == 0) {
    char message[640];
    snprintf(message, sizeof(message), "Sample module: could not start the game: %s", error);
    Report(reporter, v1 ? QVL_V1ModuleError : QVL_LoaderModuleError, message, 0);
    return;
  }
  /* A version-1 callback has no way to carry the process id. */
  Report(reporter, started, "Sample module: started the game.", v1 ? 0 : processId);
}

uint8_t SampleInitialize(const QVL_StartRecord* record) {
  if (record == NULL) return kFailure;
  SampleMode mode;
  ReadMode(&mode);
  LogStartRecord(record);

  if (record->version == QVL_StartRecordVersion2 && mode.answerVersion2WithRetry) {
    return QVL_InitializeUnsupportedVersion;
  }
  if (mode.initializeResult >= 0) return (uint8_t)mode.initializeResult;
  if (record->version != QVL_StartRecordVersion1 && record->version != QVL_StartRecordVersion2) {
    return QVL_InitializeUnsupportedVersion;
  }
  if (record->version == QVL_StartRecordVersion1 ? record->callbackV1 == NULL : record->callbackV2 == NULL) {
    return kFailure;
  }

  /* Everything is reported from inside initialize, on the bootstrapper's own
   * thread: under Wine a thread of ours could not run the bootstrapper's
   * Windows code. */
  if (mode.delayMs > 0) SampleSleepMs(mode.delayMs);
  Reporter reporter = {record, &mode, 0};
  const int v1 = record->version == QVL_StartRecordVersion1;
  if (mode.silent) return QVL_InitializeOk;
  if (mode.codeCount >= 0) {
    for (int i = 0; i < mode.codeCount; ++i) Report(&reporter, mode.codes[i], "Sample module: scripted report.", 0);
  } else if (mode.reportError) {
    Report(&reporter, v1 ? QVL_V1ModuleError : QVL_LoaderModuleError, "Sample module: error on request.", 0);
  } else {
    LaunchGame(&reporter);
  }
  return QVL_InitializeOk;
}

uint8_t SampleShutdown(const int32_t* reason) {
  SampleLog("shutdown reason=%d", reason != NULL ? *reason : -1);
  return QVL_InitializeOk;
}

void SampleReserved(void) { SampleLog("reserved entry called"); }

uint8_t SampleSetLanguage(const QVL_LanguageRecord* record) {
  if (record == NULL) return kFailure;
  SampleLog("set-language version=%llu language=%s region=%s", (unsigned long long)record->version,
            OrNull(record->language), OrNull(record->region));
  return QVL_InitializeOk;
}
