#include "messages.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace kvel_tool {
namespace {

constexpr Message kMessages[] = {
#define KVEL_MESSAGE(id, text) {id, text},
#include "messages.def"
#undef KVEL_MESSAGE
};

}  // namespace

std::span<const Message> messages() { return kMessages; }

namespace {

const Message* findMessage(int id) {
    auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), id,
                               [](const Message& m, int v) { return m.id < v; });
    return it != std::end(kMessages) && it->id == id ? it : nullptr;
}

}  // namespace

const char* messageText(int id) {
    const Message* m = findMessage(id);
    return m ? m->text : nullptr;
}

bool isWarning(int32_t code) { return code <= -10000; }

const char* severityOf(int32_t code) { return isWarning(code) ? "warning" : "error"; }

namespace {

// Which of a message's parameters read as signed, one bit each.
uint8_t signedParams(const char* text) {
    uint8_t mask = 0;
    int seen = 0;
    for (const char* p = text; *p; ++p) {
        if (*p != '%') continue;
        const char* q = p + 1;
        while (*q >= '0' && *q <= '9') ++q;
        if (*q == 'l' && (q[1] == 'd' || q[1] == 'x')) {
            if (q[1] == 'd' && seen < 8) mask = static_cast<uint8_t>(mask | 1u << seen);
            ++seen;
            p = q + 1;
        }
    }
    return mask;
}

}  // namespace

bool paramIsSigned(int id, int index) {
    // Worked out once per message, as reports ask for every parameter.
    static const auto masks = [] {
        std::array<uint8_t, std::size(kMessages)> m{};
        for (size_t i = 0; i < m.size(); ++i) m[i] = signedParams(kMessages[i].text);
        return m;
    }();
    const Message* m = findMessage(id);
    if (!m || index < 0 || index >= 8) return false;
    return masks[static_cast<size_t>(m - std::begin(kMessages))] >> index & 1;
}

}  // namespace kvel_tool
