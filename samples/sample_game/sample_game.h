/* The Quarvel SDK sample game: a stand-in game for tests and demonstrations.
 * It shows a window after a delay and exits with a chosen code after a chosen
 * time; it appends what it was started with to a report file.
 *
 *   --window-after-ms N  create the window hidden at start and show it after
 *                        N ms (default 0: at once)
 *   --exit-after-ms M    exit M ms after start (default: when the window is
 *                        closed; without a window, at once)
 *   --exit-code C        the exit code (default 0)
 *   --no-window          never create a window
 *   --no-wm-pid          (X11) leave _NET_WM_PID unset, as a bare Xlib or Xt
 *                        program does
 *   --report FILE        append the process id, working directory, the value
 *                        of SteamNoOverlayUIDrawing and the arguments to FILE
 *   --title TEXT         the window title (default "Quarvel Sample Game")
 *
 * A known option with a missing or bad value ends the game at once with exit
 * code 64. Other arguments are ignored (a bootstrapper passes its own on). When the
 * environment variable QVL_SAMPLE_GAME_PID_FILE names a file, the game writes
 * its process id there as four little-endian bytes; a host path ("/...") is
 * written through Wine's host file namespace on Windows. */
#ifndef QVL_SAMPLE_GAME_H
#define QVL_SAMPLE_GAME_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

enum { kUsageExitCode = 64 };

typedef struct {
  long windowAfterMs;
  long exitAfterMs; /* -1: no time limit */
  int exitCode;
  int noWindow;
  int noWmPid;
  const char* reportPath; /* NULL: no report */
  const char* title;
} GameOptions;

/* Reads the options from argv (UTF-8). 0, with `error` filled, when a known
 * option lacks its value or the value is not a number. */
int ParseGameOptions(int argc, char** argv, GameOptions* options, char* error, size_t errorSize);

/* Appends one run's block to `file`. `overlay` is NULL when the variable is
 * not set; `commandLine` is NULL where the system has none (Linux). */
void WriteGameReport(FILE* file, uint32_t processId, const char* workingDirectory, const char* overlay,
                     const char* commandLine, int argc, char** argv);

/* The four little-endian bytes of a process id. */
void EncodeProcessId(uint32_t processId, unsigned char bytes[4]);

#endif
