// The main header checker: signature, identifiers, version, level, total size.
#include <cstring>

#include "check/checkers.h"

namespace kvel {
namespace {

// An identifier is four zero bytes (not specified) or four characters that
// are each at least 0x20 as a signed char, so 0x80..0xFF fail as well.
void checkIdentifier(const unsigned char* id, uint32_t offset, int32_t notSpecified, int32_t bad,
                     Tally& tally) {
    if (id[0] == 0 && id[1] == 0 && id[2] == 0 && id[3] == 0) {
        tally.warning(notSpecified, offset);
        return;
    }
    for (int i = 0; i < 4; ++i) {
        if (static_cast<signed char>(id[i]) < 0x20) {
            tally.error(bad, offset);
            return;
        }
    }
}

}  // namespace

int32_t checkMainHeader(Check& c) {
    const unsigned char* h = c.in->image;
    Tally tally{c};
    if (std::memcmp(h + mh::signature, kSignature, 4) != 0) tally.error(-1001, mh::signature);
    checkIdentifier(h + mh::engineId, mh::engineId, -11001, -1002, tally);
    checkIdentifier(h + mh::applicationId, mh::applicationId, -11002, -1003, tally);

    const uint16_t version = readHost16(h + mh::version);
    if (version == 0)
        tally.warning(-11003, mh::version);
    else if (version & 0xF000)
        tally.warning(-11004, mh::version, 1, version);

    const uint16_t level = readHost16(h + mh::level);
    if (level == 0)
        tally.warning(-11005, mh::level);
    else if (level < 0x1000 || level > 0xF000)
        tally.warning(-11006, mh::level, 1, level);

    const uint32_t fileSize = c.in->fileSize;
    const uint32_t totalFrameSize = readHost32(h + mh::totalFrameSize);
    if (fileSize != 0 && fileSize != totalFrameSize + kMainHeaderSize)
        tally.error(-1004, mh::totalFrameSize, 1, fileSize - kMainHeaderSize);
    return tally.result;
}

}  // namespace kvel
