// An executable that links the library's objects directly, as the unit tests
// do, carries the string table itself, but no loader calls the library's
// entry point for it. Call it as the loader would, with the executable's own
// module handle, before main runs.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved);

namespace {

struct AttachExecutable {
    AttachExecutable() { DllMain(GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH, nullptr); }
};

const AttachExecutable attachOnStart;

}  // namespace
