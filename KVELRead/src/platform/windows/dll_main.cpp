// The library's entry point, called by the system loader. At process attach
// it keeps the module handle, through which the message texts are loaded
// from this module's own string table, and starts with nothing loaded and an
// empty error list. Every other call changes nothing: in particular an open
// file or an owned buffer is not released at unload.
#include <windows.h>

#include "interface/reader.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) kvel::processAttach(module);
    return TRUE;
}
