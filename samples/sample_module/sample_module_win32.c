/* The sample module on Windows: mapped from memory by the Windows
 * bootstrapper, which finds the entries by their export positions (see
 * qvl_sample_module.def). */
#include <windows.h>

#include <stdio.h>

#include "sample_module.h"

int SampleReadEnvironment(const char* name, char* value, size_t size) {
  const DWORD length = GetEnvironmentVariableA(name, value, (DWORD)size);
  return length > 0 && length < size;
}

void SampleSleepMs(unsigned milliseconds) { Sleep(milliseconds); }

/* The Windows build is never handed to a bootstrapper under Wine as its
 * module; under Wine the native Linux build is. */
int SampleRunsUnderWine(void) { return 0; }

/* A Windows start record names no path of the game: the bootstrapper starts
 * it. */
int32_t SampleStartGame(const QVL_StartRecord* record, char* error, size_t errorSize) {
  (void)record;
  snprintf(error, errorSize, "a Windows module asks the bootstrapper to start the game");
  return 0;
}

/* The DLL's entry point itself, without the C runtime's DLL start-up code
 * (see CMakeLists.txt): that code reads the image's own headers, which the
 * bootstrapper's in-memory mapping leaves unmapped. The C library functions
 * still come from msvcrt.dll, which the system starts. */
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reason;
  (void)reserved;
  return TRUE;
}

/* Never called by the bootstrapper; it only fills export position 3. */
void SampleUnused(void) {}
