/* The sample game on Linux: a plain Xlib top-level window that names its
 * process in _NET_WM_PID, unless asked to behave like the many X programs
 * that never set it. */
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <errno.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "sample_game.h"

static long NowMs(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

static void SleepMs(long milliseconds) {
  struct timespec left = {(time_t)(milliseconds / 1000), (milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

static void WriteReport(const GameOptions* options, int argc, char** argv) {
  FILE* file = fopen(options->reportPath, "a");
  if (file == NULL) return;
  char directory[4096] = "";
  if (getcwd(directory, sizeof(directory)) == NULL) directory[0] = '\0';
  WriteGameReport(file, (uint32_t)getpid(), directory, getenv("SteamNoOverlayUIDrawing"), NULL, argc, argv);
  fclose(file);
}

static void WriteProcessIdFile(void) {
  const char* path = getenv("QVL_SAMPLE_GAME_PID_FILE");
  if (path == NULL || path[0] == '\0') return;
  FILE* file = fopen(path, "wb");
  if (file == NULL) return;
  unsigned char bytes[4];
  EncodeProcessId((uint32_t)getpid(), bytes);
  fwrite(bytes, 1, sizeof(bytes), file);
  fclose(file);
}

typedef struct {
  Display* display;
  Window window;
  Atom deleteWindow;
  GC context;
  const char* title;
} GameWindow;

/* Created unmapped, so that it stays invisible until shown. */
static int CreateGameWindow(GameWindow* game, const char* title, int setWmPid) {
  game->display = XOpenDisplay(NULL);
  if (game->display == NULL) return 0;
  Display* display = game->display;
  const int screen = DefaultScreen(display);
  game->title = title;
  game->window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 480, 270, 0,
                                     BlackPixel(display, screen), 0x1860A0);
  XStoreName(display, game->window, title);
  XClassHint classHint = {(char*)"qvl-sample-game", (char*)"QuarvelSampleGame"};
  XSetClassHint(display, game->window, &classHint);
  if (setWmPid) {
    const unsigned long pid = (unsigned long)getpid();
    XChangeProperty(display, game->window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, (const unsigned char*)&pid, 1);
  }
  game->deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, game->window, &game->deleteWindow, 1);
  XSelectInput(display, game->window, ExposureMask | StructureNotifyMask);
  game->context = XCreateGC(display, game->window, 0, NULL);
  XSetForeground(display, game->context, WhitePixel(display, screen));
  XFlush(display);
  return 1;
}

static void Draw(const GameWindow* game) {
  XClearWindow(game->display, game->window);
  XDrawString(game->display, game->window, game->context, 24, 135, game->title, (int)strlen(game->title));
  XFlush(game->display);
}

/* Handles the queued events; 0 once the window was closed. */
static int HandleEvents(const GameWindow* game) {
  while (XPending(game->display) > 0) {
    XEvent event;
    XNextEvent(game->display, &event);
    if (event.type == Expose && event.xexpose.count == 0) Draw(game);
    if (event.type == ClientMessage && (Atom)event.xclient.data.l[0] == game->deleteWindow) return 0;
  }
  return 1;
}

static int RunWindow(const GameOptions* options, long started) {
  GameWindow game;
  if (!CreateGameWindow(&game, options->title, !options->noWmPid)) {
    fprintf(stderr, "qvl-sample-game: no X display, running without a window\n");
    const long remaining = options->exitAfterMs - (NowMs() - started);
    if (remaining > 0) SleepMs(remaining);
    return options->exitCode;
  }
  int shown = 0;
  for (;;) {
    const long elapsed = NowMs() - started;
    if (!shown && elapsed >= options->windowAfterMs) {
      XMapRaised(game.display, game.window);
      XFlush(game.display);
      shown = 1;
    }
    if (options->exitAfterMs >= 0 && elapsed >= options->exitAfterMs) break;
    if (!HandleEvents(&game)) break;
    long wait = -1;
    if (!shown) wait = options->windowAfterMs - elapsed;
    if (options->exitAfterMs >= 0) {
      const long untilExit = options->exitAfterMs - elapsed;
      if (wait < 0 || untilExit < wait) wait = untilExit;
    }
    struct pollfd connection = {ConnectionNumber(game.display), POLLIN, 0};
    poll(&connection, 1, wait < 0 ? -1 : (int)(wait > 0 ? wait : 0));
  }
  XFreeGC(game.display, game.context);
  XDestroyWindow(game.display, game.window);
  XCloseDisplay(game.display);
  return options->exitCode;
}

int main(int argc, char** argv) {
  const long started = NowMs();
  GameOptions options;
  char error[256];
  if (!ParseGameOptions(argc, argv, &options, error, sizeof(error))) {
    fprintf(stderr, "qvl-sample-game: %s\n", error);
    return kUsageExitCode;
  }
  WriteProcessIdFile();
  if (options.reportPath != NULL) WriteReport(&options, argc, argv);
  if (options.noWindow) {
    if (options.exitAfterMs > 0) SleepMs(options.exitAfterMs);
    return options.exitCode;
  }
  return RunWindow(&options, started);
}
