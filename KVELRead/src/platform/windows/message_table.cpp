// The message table as the library's STRINGTABLE resource (generated from
// resources/messages.def), loaded by id through the stored module handle.
#include <windows.h>

#include "platform/message_table.h"

namespace kvel {
namespace {

const char kAnchor = 0;  // any address inside this module

}  // namespace

const void* messageTableModule() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       &kAnchor, &self);
    return self;
}

int loadMessage(const void* module, int id, char* text, int textSize) {
    text[0] = '\0';
    // LoadStringA copies at most textSize - 1 characters and terminates;
    // 0 means the table has no text for the id.
    const int n = LoadStringA(static_cast<HINSTANCE>(const_cast<void*>(module)), static_cast<UINT>(id), text,
                              textSize);
    if (n <= 0) {
        text[0] = '\0';
        return 0;
    }
    return n;
}

}  // namespace kvel
