// The message table: one text per message id, looked up through the module
// handle stored at process attach. On Windows it is the library's own
// string-table resource, read with LoadStringA; elsewhere it is compiled in
// from resources/messages.def and the "module handle" names that table.
#pragma once

namespace kvel {

// The module that holds the message table: the value stored as the module
// handle at process attach.
const void* messageTableModule();

// Copies the text of message `id` from the table of `module` into `text`,
// at most textSize - 1 characters and always terminated (textSize >= 1).
// Returns the number of characters copied; 0, with an empty text, when the
// table has no text for the id.
int loadMessage(const void* module, int id, char* text, int textSize);

}  // namespace kvel
