// The message table compiled in from resources/messages.def: the stand-in for
// a string-table resource, looked up through the module handle.
#pragma once

namespace kvel {

// The value stored as the module handle at process attach.
const void* messageTableModule();

// Text of message `id` in the table that `module` names, or null.
const char* loadMessage(const void* module, int id);

}  // namespace kvel
