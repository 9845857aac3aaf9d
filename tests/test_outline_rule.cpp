// The outline rule: event codes, zone numbering, start and end events.
// Outline events appended to wellFormed() lie behind its terminator, the
// first at file offset 324 (value word at 0x146), the next at 334 (0x150).
#include <cstdio>

#include "check_helpers.h"

using kvmf::Doc;

namespace {

std::function<void(Doc&)> appended(std::initializer_list<uint32_t> values) {
    return [values = std::vector<uint32_t>(values)](Doc& d) {
        for (uint32_t v : values) d.events.push_back(kvmf::Event{0xFFF0, v, 176400});
    };
}

}  // namespace

TEST(OutlineRule, Events) {
    kvtest::expectRows(kvmf::wellFormed(), {
        // Zone events are numbered by the count of zone events before them,
        // wrong ones included; the terminator is not counted and may repeat.
        {"zone events 0 and 1 after zone 0", appended({0x2F000001, 0x2F000081}),
         {"ERROR(-3603) : offset 0x00000146 : [Event Sub Frame] Zone number 2f000001 is not linear.",
          "ERROR(-3603) : offset 0x00000150 : [Event Sub Frame] Zone number 2f000081 is not linear.",
          "ERROR(-3030) : offset 0x00000158 : [Event Sub Frame] Zone count mismatch. 1 zones in zone sub frame but 3 zone events are detected."}},
        {"two more terminators", appended({0x2F7FFF81, 0xAFFFFF81}), {}},
        {"second start", appended({0x2F000010}), {"ERROR(-3601) : offset 0x00000146 : [Event Sub Frame] Start event 2f000010 is already exist."}},
        {"second end", appended({0x2F000011}), {"ERROR(-3602) : offset 0x00000146 : [Event Sub Frame] End event 2f000011 is already exist."}},
        // A start event at a negative position does not count: a later one replaces it.
        {"start at a negative position, then another", [](Doc& d) { d.events[1].samplePosition = 0x80000000, appended({0x2F000010})(d); },
         {"ERROR(-3023) : offset 0x000000a0 : [Event Sub Frame] Sample position 80000000 is decreased. (previous 00000000)"}},
        // Bits 7-23 and 31 of events other than zone events are free.
        {"accepted codes", appended({0x2F000020, 0x2F000021, 0x2F000028, 0x2F000029, 0xAFFFFFA8, 0xAFFFFF82, 0x2F000003, 0x2F000004}), {}},
    });
    for (uint32_t code : {0u, 5u, 15u, 18u, 31u, 34u, 39u, 42u, 127u}) {
        char text[120];
        std::snprintf(text, sizeof text, "ERROR(-3605) : offset 0x00000146 : [Event Sub Frame] Invalid outline event code 2f0000%02x.", code);
        kvtest::expectRows(kvmf::wellFormed(), {{"code " + std::to_string(code), appended({0x2F000000 | code}), {text}}});
    }
}
