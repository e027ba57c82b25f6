#include "sample_game.h"

#include <stdlib.h>
#include <string.h>

static int ParseNumber(const char* text, long minimum, long maximum, long* value) {
  char* end = NULL;
  const long number = strtol(text, &end, 10);
  if (text[0] == '\0' || *end != '\0' || number < minimum || number > maximum) return 0;
  *value = number;
  return 1;
}

int ParseGameOptions(int argc, char** argv, GameOptions* options, char* error, size_t errorSize) {
  options->windowAfterMs = 0;
  options->exitAfterMs = -1;
  options->exitCode = 0;
  options->noWindow = 0;
  options->noWmPid = 0;
  options->reportPath = NULL;
  options->title = "Quarvel Sample Game";
  for (int i = 1; i < argc; ++i) {
    const char* name = argv[i];
    if (strcmp(name, "--no-window") == 0) {
      options->noWindow = 1;
      continue;
    }
    if (strcmp(name, "--no-wm-pid") == 0) {
      options->noWmPid = 1;
      continue;
    }
    const int takesValue = strcmp(name, "--window-after-ms") == 0 || strcmp(name, "--exit-after-ms") == 0 ||
                           strcmp(name, "--exit-code") == 0 || strcmp(name, "--report") == 0 ||
                           strcmp(name, "--title") == 0;
    if (!takesValue) continue;
    if (i + 1 >= argc) {
      snprintf(error, errorSize, "%s needs a value", name);
      return 0;
    }
    const char* value = argv[++i];
    long number = 0;
    if (strcmp(name, "--report") == 0) {
      options->reportPath = value;
    } else if (strcmp(name, "--title") == 0) {
      options->title = value;
    } else if (strcmp(name, "--exit-code") == 0 && ParseNumber(value, -2147483647L - 1, 2147483647L, &number)) {
      options->exitCode = (int)number;
    } else if (strcmp(name, "--window-after-ms") == 0 && ParseNumber(value, 0, 86400000L, &number)) {
      options->windowAfterMs = number;
    } else if (strcmp(name, "--exit-after-ms") == 0 && ParseNumber(value, 0, 86400000L, &number)) {
      options->exitAfterMs = number;
    } else {
      snprintf(error, errorSize, "%s: '%s' is not a valid value", name, value);
      return 0;
    }
  }
  return 1;
}

void WriteGameReport(FILE* file, uint32_t processId, const char* workingDirectory, const char* overlay,
                     const char* commandLine, int argc, char** argv) {
  fprintf(file, "run process-id=%u\n", processId);
  fprintf(file, "working-directory=%s\n", workingDirectory);
  if (overlay != NULL) {
    fprintf(file, "SteamNoOverlayUIDrawing=%s\n", overlay);
  } else {
    fprintf(file, "SteamNoOverlayUIDrawing is not set\n");
  }
  if (commandLine != NULL) fprintf(file, "command-line=%s\n", commandLine);
  fprintf(file, "argument-count=%d\n", argc);
  for (int i = 0; i < argc; ++i) fprintf(file, "argument %d=%s\n", i, argv[i]);
  fprintf(file, "end\n");
}

void EncodeProcessId(uint32_t processId, unsigned char bytes[4]) {
  for (int i = 0; i < 4; ++i) bytes[i] = (unsigned char)(processId >> (8 * i));
}
