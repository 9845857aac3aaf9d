// KVELGetErrorString: one record of the error list as one line of text.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "KVELRead.h"
#include "platform/message_table.h"
#include "interface/reader.h"

namespace {

constexpr size_t kTextMax = 2048;  // message text and expansion: 2047 characters
constexpr size_t kLineMax = 4096;  // the joined line: 4095 characters

struct Out {
    char* dst;
    size_t cap;  // including the terminator
    size_t len;
    void put(char c) {
        if (len + 1 < cap) dst[len++] = c;
    }
    void puts(const char* s) {
        while (*s) put(*s++);
    }
    void finish() { dst[len] = '\0'; }
};

// Expands the message's printf-style conversions. Every conversion takes one
// 32-bit parameter: %ld shows it as signed 32-bit, the hexadecimal forms as
// unsigned 32-bit, whatever the width of `long` on the host. Anything that is
// not one of the table's conversions is copied as it stands.
void expand(const char* text, const uint32_t* params, int paramCount, Out& out) {
    int next = 0;
    for (const char* p = text; *p;) {
        if (*p != '%') {
            out.put(*p++);
            continue;
        }
        const char* q = p + 1;
        bool zeroPad = false;
        if (*q == '0') {
            zeroPad = true;
            ++q;
        }
        int width = 0;
        while (*q >= '0' && *q <= '9' && width < 100) width = width * 10 + (*q++ - '0');
        if (*q == 'l' && (q[1] == 'd' || q[1] == 'x')) {
            uint32_t v = next < paramCount ? params[next] : 0;
            ++next;
            char digits[48];
            if (q[1] == 'd')
                std::snprintf(digits, sizeof digits, zeroPad ? "%0*ld" : "%*ld", width,
                              static_cast<long>(static_cast<int32_t>(v)));
            else
                std::snprintf(digits, sizeof digits, zeroPad ? "%0*lx" : "%*lx", width,
                              static_cast<unsigned long>(v));
            out.puts(digits);
            p = q + 2;
        } else {
            out.put(*p++);
        }
    }
}

}  // namespace

extern "C" KVEL_API void KVELReaderGetErrorString(KVEL_READER* reader, int index, char* text, int textSize) {
    if (textSize < 1) return;
    const kvel::ErrorList& list = reader->errors;
    if (index < 0 || index >= list.count) {  // outside the list: an empty line
        text[0] = '\0';
        return;
    }
    const kvel::ErrorRecord& r = list.records[index];

    char prefix[32];
    std::snprintf(prefix, sizeof prefix, r.code > -10000 ? "ERROR(%ld) : " : "WARNING(%ld) : ",
                  static_cast<long>(r.code));

    char offsetPart[32] = "";
    if (r.code <= -1000) {
        if (r.offset == -1)
            std::snprintf(offsetPart, sizeof offsetPart, "offset ---------- : ");
        else
            std::snprintf(offsetPart, sizeof offsetPart, "offset 0x%08lx : ",
                          static_cast<unsigned long>(static_cast<uint32_t>(r.offset)));
    }

    char message[kTextMax];
    Out msg{message, sizeof message, 0};
    // Message ids are positive 16-bit numbers; widen before negating so that
    // no stored code can overflow.
    const int64_t id = -static_cast<int64_t>(r.code);
    char raw[kTextMax] = "";
    if (id > 0 && id <= 0xFFFF) kvel::loadMessage(reader->module, static_cast<int>(id), raw, sizeof raw);
    if (raw[0]) {
        if (r.paramCount <= 0 || r.paramCount > 4)
            msg.puts(raw);  // no parameters: the text is shown, not used as a format
        else {
            const uint32_t params[4] = {r.param1, r.param2, r.param3, r.param4};
            expand(raw, params, r.paramCount, msg);
        }
    }
    msg.finish();

    char line[kLineMax];
    Out joined{line, sizeof line, 0};
    joined.puts(prefix);
    joined.puts(offsetPart);
    joined.puts(message);
    joined.finish();

    size_t n = joined.len < static_cast<size_t>(textSize) ? joined.len : static_cast<size_t>(textSize) - 1;
    std::memcpy(text, line, n);
    text[n] = '\0';
}
