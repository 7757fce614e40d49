// The library load hook of a Windows plug-in. The C runtime's start-up
// (DllMainCRTStartup of the MinGW-w64 runtime) runs before it on process attach;
// the hook itself does no model work and says yes to every load reason: the model
// is set up by the first block start-up, through mexFunction.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD /*reason*/, LPVOID /*reserved*/) {
  return TRUE;
}
