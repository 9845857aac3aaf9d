#include "messages.h"

#include <algorithm>

namespace kvel_tool {
namespace {

constexpr Message kMessages[] = {
#define KVEL_MESSAGE(id, text) {id, text},
#include "messages.def"
#undef KVEL_MESSAGE
};

}  // namespace

std::span<const Message> messages() { return kMessages; }

const char* messageText(int id) {
    auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), id,
                               [](const Message& m, int v) { return m.id < v; });
    return it != std::end(kMessages) && it->id == id ? it->text : nullptr;
}

bool isWarning(int32_t code) { return code <= -10000; }

const char* severityOf(int32_t code) { return isWarning(code) ? "warning" : "error"; }

bool paramIsSigned(int id, int index) {
    const char* text = messageText(id);
    if (!text) return false;
    int seen = 0;
    for (const char* p = text; *p; ++p) {
        if (*p != '%') continue;
        const char* q = p + 1;
        while (*q >= '0' && *q <= '9') ++q;
        if (*q == 'l' && (q[1] == 'd' || q[1] == 'x')) {
            if (seen++ == index) return q[1] == 'd';
            p = q + 1;
        }
    }
    return false;
}

}  // namespace kvel_tool
