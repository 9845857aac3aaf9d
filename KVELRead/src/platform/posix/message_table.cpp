// The message table compiled in from resources/messages.def, for platforms
// without module string resources: the "module handle" is the table itself.
#include "platform/message_table.h"

#include <cstring>

namespace kvel {
namespace {

struct Message {
    int id;
    const char* text;
};

// Sorted by id, as in the resource file.
constexpr Message kMessages[] = {
#define KVEL_MESSAGE(id, text) {id, text},
#include "messages.def"
#undef KVEL_MESSAGE
};

constexpr bool sortedById() {
    for (unsigned i = 1; i < sizeof kMessages / sizeof kMessages[0]; ++i)
        if (kMessages[i - 1].id >= kMessages[i].id) return false;
    return true;
}
static_assert(sortedById(), "messages.def must list each id once, in ascending order");
static_assert(sizeof kMessages / sizeof kMessages[0] == 110, "the table holds 110 texts");

}  // namespace

const void* messageTableModule() { return kMessages; }

int loadMessage(const void* module, int id, char* text, int textSize) {
    text[0] = '\0';
    if (module != kMessages) return 0;
    int lo = 0, hi = static_cast<int>(sizeof kMessages / sizeof kMessages[0]) - 1;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        if (kMessages[mid].id == id) {
            std::strncpy(text, kMessages[mid].text, static_cast<size_t>(textSize) - 1);
            text[textSize - 1] = '\0';
            return static_cast<int>(std::strlen(text));
        }
        if (kMessages[mid].id < id) lo = mid + 1; else hi = mid - 1;
    }
    return 0;
}

}  // namespace kvel
