// The library's message table, compiled into the tool from the same source
// file, for `kvel codes` and for reading record parameters the way their
// message text reads them.
#pragma once

#include <cstdint>
#include <span>

namespace kvel_tool {

struct Message {
    int id;
    const char* text;
};

std::span<const Message> messages();

// Text for a message id, or null when the table has none.
const char* messageText(int id);

// "error" for message ids below 10000, "warning" from 10000 up.
const char* severityOf(int32_t code);
bool isWarning(int32_t code);

// Whether parameter `index` of message `id` is shown as a signed number
// ("%ld") rather than as an unsigned hexadecimal one.
bool paramIsSigned(int id, int index);

}  // namespace kvel_tool
