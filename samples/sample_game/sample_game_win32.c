/* The sample game on Windows: a plain Win32 top-level window. */
#include <windows.h>
#include <shellapi.h>

#include <stdlib.h>
#include <string.h>

#include "sample_game.h"

enum { kShowTimer = 1, kExitTimer = 2 };

static GameOptions options;
static wchar_t* windowTitle;

static char* ToUtf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
  char* result = size > 0 ? malloc((size_t)size) : NULL;
  if (result != NULL) WideCharToMultiByte(CP_UTF8, 0, text, -1, result, size, NULL, NULL);
  return result;
}

static wchar_t* ToWide(const char* text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, NULL, 0);
  wchar_t* result = size > 0 ? malloc((size_t)size * sizeof(wchar_t)) : NULL;
  if (result != NULL) MultiByteToWideChar(CP_UTF8, 0, text, -1, result, size);
  return result;
}

/* A host path ("/tmp/x") as Wine's host file namespace names it. */
static wchar_t* ToWindowsPath(const char* path) {
  wchar_t* wide = ToWide(path);
  if (wide == NULL || path[0] != '/') return wide;
  const size_t length = wcslen(wide);
  wchar_t* result = malloc((length + 9) * sizeof(wchar_t));
  if (result != NULL) {
    wcscpy(result, L"\\\\?\\unix");
    for (size_t i = 0; i <= length; ++i) result[8 + i] = wide[i] == L'/' ? L'\\' : wide[i];
  }
  free(wide);
  return result;
}

static void WriteReport(int argc, char** argv) {
  wchar_t* path = ToWindowsPath(options.reportPath);
  FILE* file = path != NULL ? _wfopen(path, L"ab") : NULL;
  free(path);
  if (file == NULL) return;
  wchar_t directory[MAX_PATH * 4] = L"";
  GetCurrentDirectoryW(sizeof(directory) / sizeof(directory[0]), directory);
  wchar_t overlay[256];
  const DWORD overlayLength = GetEnvironmentVariableW(L"SteamNoOverlayUIDrawing", overlay, 256);
  /* An empty value is told apart from a missing one by the last error. */
  const int overlaySet = overlayLength < 256 && (overlayLength > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND);
  char* directoryText = ToUtf8(directory);
  char* overlayText = overlaySet ? ToUtf8(overlay) : NULL;
  char* commandLine = ToUtf8(GetCommandLineW());
  WriteGameReport(file, GetCurrentProcessId(), directoryText != NULL ? directoryText : "", overlayText,
                  commandLine != NULL ? commandLine : "", argc, argv);
  fclose(file);
  free(directoryText);
  free(overlayText);
  free(commandLine);
}

static void WriteProcessIdFile(void) {
  wchar_t name[1024];
  const DWORD length = GetEnvironmentVariableW(L"QVL_SAMPLE_GAME_PID_FILE", name, 1024);
  if (length == 0 || length >= 1024) return;
  char* utf8 = ToUtf8(name);
  wchar_t* path = utf8 != NULL ? ToWindowsPath(utf8) : NULL;
  free(utf8);
  if (path == NULL) return;
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  free(path);
  if (file == INVALID_HANDLE_VALUE) return;
  unsigned char bytes[4];
  EncodeProcessId(GetCurrentProcessId(), bytes);
  DWORD written = 0;
  WriteFile(file, bytes, sizeof(bytes), &written, NULL);
  CloseHandle(file);
}

static void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC context = BeginPaint(window, &paint);
  RECT area;
  GetClientRect(window, &area);
  HBRUSH background = CreateSolidBrush(RGB(24, 96, 160));
  FillRect(context, &area, background);
  DeleteObject(background);
  SetBkMode(context, TRANSPARENT);
  SetTextColor(context, RGB(255, 255, 255));
  DrawTextW(context, windowTitle, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  EndPaint(window, &paint);
}

static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      KillTimer(window, wParam);
      if (wParam == kShowTimer) {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
      } else if (wParam == kExitTimer) {
        DestroyWindow(window);
      }
      return 0;
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(options.exitCode);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

static int RunWindow(HINSTANCE instance) {
  WNDCLASSW windowClass = {0};
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
  windowClass.lpszClassName = L"QuarvelSampleGame";
  if (RegisterClassW(&windowClass) == 0) return options.exitCode;
  /* Created hidden; shown when the delay is over. */
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, windowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 480, 270, NULL, NULL, instance, NULL);
  if (window == NULL) return options.exitCode;
  if (options.windowAfterMs == 0) {
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
  } else {
    SetTimer(window, kShowTimer, (UINT)options.windowAfterMs, NULL);
  }
  if (options.exitAfterMs >= 0) SetTimer(window, kExitTimer, (UINT)options.exitAfterMs, NULL);
  MSG message;
  while (GetMessageW(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return options.exitCode;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
  (void)previous;
  (void)commandLine;
  (void)show;
  int argc = 0;
  wchar_t** wideArguments = CommandLineToArgvW(GetCommandLineW(), &argc);
  char** argv = calloc((size_t)argc + 1, sizeof(char*));
  if (wideArguments == NULL || argv == NULL) return 1;
  for (int i = 0; i < argc; ++i) argv[i] = ToUtf8(wideArguments[i]);

  char error[256];
  if (!ParseGameOptions(argc, argv, &options, error, sizeof(error))) {
    OutputDebugStringA(error);
    return kUsageExitCode;
  }
  WriteProcessIdFile();
  if (options.reportPath != NULL) WriteReport(argc, argv);
  windowTitle = ToWide(options.title);
  if (windowTitle == NULL) windowTitle = L"";

  if (options.noWindow) {
    if (options.exitAfterMs > 0) Sleep((DWORD)options.exitAfterMs);
    return options.exitCode;
  }
  return RunWindow(instance);
}
