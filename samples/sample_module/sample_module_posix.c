/* The sample module on Linux: natively loaded by the Linux bootstrapper, or
 * under Wine by the Windows bootstrapper through the host's C library. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <libgen.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "sample_module.h"

#define QVL_EXPORT __attribute__((visibility("default")))

extern char** environ;

/* The entries under the symbol names the bootstrapper resolves. */
QVL_EXPORT uint8_t a(const QVL_StartRecord* record) { return SampleInitialize(record); }
QVL_EXPORT uint8_t b(const int32_t* reason) { return SampleShutdown(reason); }
QVL_EXPORT void c(void) { SampleReserved(); }
QVL_EXPORT uint8_t d(const QVL_LanguageRecord* record) { return SampleSetLanguage(record); }

enum { kGamePidWaitMs = 30000, kPollMs = 10 };

int SampleReadEnvironment(const char* name, char* value, size_t size) {
  const char* text = getenv(name);
  if (text == NULL || strlen(text) >= size) return 0;
  memcpy(value, text, strlen(text) + 1);
  return 1;
}

void SampleSleepMs(unsigned milliseconds) {
  struct timespec left = {(time_t)(milliseconds / 1000), (long)(milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

/* A Windows program under Wine has Wine's ntdll mapped from the host. */
int SampleRunsUnderWine(void) {
  static int answer = -1;
  if (answer >= 0) return answer;
  answer = 0;
  FILE* maps = fopen("/proc/self/maps", "r");
  if (maps == NULL) return answer;
  char line[4096];
  while (fgets(line, sizeof(line), maps) != NULL) {
    if (strstr(line, "/ntdll.so") != NULL) {
      answer = 1;
      break;
    }
  }
  fclose(maps);
  return answer;
}

static void SetError(char* error, size_t size, const char* what, int number) {
  snprintf(error, size, "%s: %s", what, strerror(number));
}

/* Our environment with the overlay variable at "0" and, when given, the file
 * in which the game names its own process id. */
static char** GameEnvironment(const char* pidFileEntry) {
  size_t count = 0;
  while (environ != NULL && environ[count] != NULL) ++count;
  char** entries = calloc(count + 3, sizeof(char*));
  if (entries == NULL) return NULL;
  size_t used = 0;
  for (size_t i = 0; i < count; ++i) {
    if (strncmp(environ[i], "SteamNoOverlayUIDrawing=", 24) == 0) continue;
    if (strncmp(environ[i], "QVL_SAMPLE_GAME_PID_FILE=", 25) == 0) continue;
    entries[used++] = environ[i];
  }
  entries[used++] = "SteamNoOverlayUIDrawing=0";
  if (pidFileEntry != NULL) entries[used++] = (char*)pidFileEntry;
  return entries;
}

/* Under Wine: the game's command is the Wine loader with the game's host
 * path; natively the game's host path itself. Then the game's arguments,
 * which follow the binary's own path in the record. */
static char** GameArguments(const QVL_StartRecord* record, int underWine) {
  const int gameArguments = record->argumentCount > 1 && record->arguments != NULL ? record->argumentCount - 1 : 0;
  char** argv = calloc((size_t)gameArguments + 3, sizeof(char*));
  if (argv == NULL) return NULL;
  int used = 0;
  if (underWine) {
    const char* loader = getenv("WINELOADER");
    argv[used++] = (char*)(loader != NULL && loader[0] != '\0' ? loader : "wine");
  }
  argv[used++] = (char*)record->unixGamePath;
  for (int i = 0; i < gameArguments; ++i) argv[used++] = (char*)record->arguments[i + 1];
  return argv;
}

static int ReadProcessIdFile(const char* path, uint32_t* processId) {
  unsigned char bytes[4];
  FILE* file = fopen(path, "rb");
  if (file == NULL) return 0;
  const size_t read = fread(bytes, 1, sizeof(bytes), file);
  fclose(file);
  if (read != sizeof(bytes)) return 0;
  *processId = (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 | (uint32_t)bytes[3] << 24;
  return 1;
}

/* The file through which the bootstrapper under Wine turns the host's
 * process id into the Windows one: four bytes, little-endian, written whole
 * (through a rename) so that no reader sees part of it. */
static int WriteWineProcessIdFile(pid_t hostId, uint32_t windowsId, char* error, size_t errorSize) {
  char path[64];
  char temporary[80];
  snprintf(path, sizeof(path), "/tmp/qvl_wine_pid_%X", (unsigned)hostId);
  snprintf(temporary, sizeof(temporary), "%s.partial", path);
  const unsigned char bytes[4] = {(unsigned char)windowsId, (unsigned char)(windowsId >> 8),
                                  (unsigned char)(windowsId >> 16), (unsigned char)(windowsId >> 24)};
  FILE* file = fopen(temporary, "wb");
  int written = file != NULL && fwrite(bytes, 1, sizeof(bytes), file) == sizeof(bytes);
  if (file != NULL && fclose(file) != 0) written = 0;
  if (!written || rename(temporary, path) != 0) {
    SetError(error, errorSize, "cannot write the Wine process-id file", errno);
    unlink(temporary);
    return 0;
  }
  return 1;
}

/* Waits until the game has named its Windows process id in `pidFile`. */
static int AwaitWindowsProcessId(pid_t game, const char* pidFile, uint32_t* windowsId, char* error, size_t size) {
  for (int waited = 0; waited < kGamePidWaitMs; waited += kPollMs) {
    if (ReadProcessIdFile(pidFile, windowsId)) return 1;
    int status = 0;
    if (waitpid(game, &status, WNOHANG) == game) {
      snprintf(error, size, "the game ended (status %d) before it named its process", status);
      return 0;
    }
    SampleSleepMs(kPollMs);
  }
  snprintf(error, size, "the game did not name its process within %d ms", kGamePidWaitMs);
  return 0;
}

static int ConfigureSpawn(posix_spawn_file_actions_t* actions, posix_spawnattr_t* attributes,
                          const char* workingDirectory) {
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  int result = posix_spawn_file_actions_addchdir_np(actions, workingDirectory);
  /* Neither the bootstrapper's descriptors nor Wine's go over to the game. */
  if (result == 0) result = posix_spawn_file_actions_addclosefrom_np(actions, 3);
  if (result == 0) result = posix_spawnattr_setsigmask(attributes, &none);
  if (result == 0) result = posix_spawnattr_setsigdefault(attributes, &all);
  if (result == 0) result = posix_spawnattr_setflags(attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  return result;
}

int32_t SampleStartGame(const QVL_StartRecord* record, char* error, size_t errorSize) {
  if (record->unixGamePath == NULL || record->unixGamePath[0] == '\0') {
    snprintf(error, errorSize, "the start record names no host path of the game");
    return 0;
  }
  const int underWine = SampleRunsUnderWine();
  char pidFile[] = "/tmp/qvl_sample_game_pid_XXXXXX";
  char pidFileEntry[sizeof(pidFile) + 32] = "";
  if (underWine) {
    const int descriptor = mkstemp(pidFile);
    if (descriptor < 0) {
      SetError(error, errorSize, "cannot create the game's process-id file", errno);
      return 0;
    }
    close(descriptor);
    snprintf(pidFileEntry, sizeof(pidFileEntry), "QVL_SAMPLE_GAME_PID_FILE=%s", pidFile);
  }

  char* directoryCopy = strdup(record->unixGamePath);
  char** argv = GameArguments(record, underWine);
  char** envp = GameEnvironment(underWine ? pidFileEntry : NULL);
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  pid_t game = 0;
  int result = directoryCopy == NULL || argv == NULL || envp == NULL ? ENOMEM : 0;
  if (result == 0) result = ConfigureSpawn(&actions, &attributes, dirname(directoryCopy));
  if (result == 0) result = posix_spawnp(&game, argv[0], &actions, &attributes, argv, envp);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  free(envp);
  free(argv);
  free(directoryCopy);
  if (result != 0) {
    SetError(error, errorSize, "cannot start the game", result);
    if (underWine) unlink(pidFile);
    return 0;
  }
  if (!underWine) return (int32_t)game;

  uint32_t windowsId = 0;
  const int named = AwaitWindowsProcessId(game, pidFile, &windowsId, error, errorSize);
  unlink(pidFile);
  if (!named || !WriteWineProcessIdFile(game, windowsId, error, errorSize)) return 0;
  return (int32_t)game;
}
