/* A DLL for the image mapper's tests: it is mapped from memory, so what it
 * does shows that sections, relocations and imports came out right.
 *
 * DllMain is the entry point itself, without the C runtime's DLL start-up
 * code: that code reads the image's own headers, which the loader leaves
 * unmapped. The C runtime's functions are still imported from msvcrt.dll. */
#include <stdio.h>
#include <windows.h>

/* msvcrt.dll's own export, whatever stdio flavour the build chose. */
__declspec(dllimport) int __cdecl _snprintf(char* buffer, size_t size, const char* format, ...);

static int attachCount;
static int* detachFlag;
/* Pointers in initialized data: right only after base relocation. */
static const char* const kWords[] = {"alpha", "beta", "gamma"};

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) ++attachCount;
  if (reason == DLL_PROCESS_DETACH && detachFlag != NULL) *detachFlag = 1;
  return TRUE;
}

__declspec(dllexport) int QvlTestAttachCount(void) { return attachCount; }

__declspec(dllexport) const char* QvlTestWord(int index) { return index >= 0 && index < 3 ? kWords[index] : NULL; }

/* Through the kernel32 import. */
__declspec(dllexport) DWORD QvlTestProcessId(void) { return GetCurrentProcessId(); }

__declspec(dllexport) void QvlTestSetDetachFlag(int* flag) { detachFlag = flag; }

/* Through the C runtime. */
__declspec(dllexport) int QvlTestFormat(char* buffer, int size, int value) {
  return _snprintf(buffer, (size_t)size, "value=%d", value);
}
