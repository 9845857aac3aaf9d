/* The public header as a C99 host sees it: every frame structure has the
 * file's exact layout, and the exports link from C. */
#include <stddef.h>
#include <stdio.h>

#include "KVELRead.h"

static int failures = 0;

#define EXPECT_EQ(actual, expected)                                                         \
    do {                                                                                    \
        if ((size_t)(actual) != (size_t)(expected)) {                                       \
            printf("%s = %lu, expected %lu\n", #actual, (unsigned long)(size_t)(actual),    \
                   (unsigned long)(expected));                                              \
            ++failures;                                                                     \
        }                                                                                   \
    } while (0)

int main(void) {
    EXPECT_EQ(sizeof(KVEL_MAIN_HEADER), 20);
    EXPECT_EQ(offsetof(KVEL_MAIN_HEADER, signature), 0);
    EXPECT_EQ(offsetof(KVEL_MAIN_HEADER, engineId), 4);
    EXPECT_EQ(offsetof(KVEL_MAIN_HEADER, applicationId), 8);
    EXPECT_EQ(offsetof(KVEL_MAIN_HEADER, version), 12);
    EXPECT_EQ(offsetof(KVEL_MAIN_HEADER, level), 14);
    EXPECT_EQ(offsetof(KVEL_MAIN_HEADER, totalFrameSize), 16);

    EXPECT_EQ(sizeof(KVEL_ZONE), 58);
    EXPECT_EQ(offsetof(KVEL_ZONE, zoneNumber), 0);
    EXPECT_EQ(offsetof(KVEL_ZONE, zoneStartPosition), 2);
    EXPECT_EQ(offsetof(KVEL_ZONE, zoneEndPosition), 6);
    EXPECT_EQ(offsetof(KVEL_ZONE, fadeInStartPosition), 10);
    EXPECT_EQ(offsetof(KVEL_ZONE, fadeInEndPosition), 14);
    EXPECT_EQ(offsetof(KVEL_ZONE, fadeOutStartPosition), 18);
    EXPECT_EQ(offsetof(KVEL_ZONE, fadeOutEndPosition), 22);
    EXPECT_EQ(offsetof(KVEL_ZONE, bpm), 26);
    EXPECT_EQ(sizeof(((KVEL_ZONE*)0)->bpm), 4);
    EXPECT_EQ(offsetof(KVEL_ZONE, meterDenominator), 30);
    EXPECT_EQ(offsetof(KVEL_ZONE, meterNumerator), 31);
    EXPECT_EQ(offsetof(KVEL_ZONE, barCount), 32);
    EXPECT_EQ(offsetof(KVEL_ZONE, key), 34);
    EXPECT_EQ(offsetof(KVEL_ZONE, reserved0), 36);
    EXPECT_EQ(offsetof(KVEL_ZONE, reserved1), 38);
    EXPECT_EQ(offsetof(KVEL_ZONE, reserved2), 42);
    EXPECT_EQ(offsetof(KVEL_ZONE, reserved3), 46);
    EXPECT_EQ(offsetof(KVEL_ZONE, reserved4), 50);
    EXPECT_EQ(offsetof(KVEL_ZONE, reserved5), 54);

    EXPECT_EQ(offsetof(KVEL_ZONE_SUBFRAME, frameSize), 0);
    EXPECT_EQ(offsetof(KVEL_ZONE_SUBFRAME, zoneCount), 4);
    EXPECT_EQ(offsetof(KVEL_ZONE_SUBFRAME, zones), 6);
    EXPECT_EQ(offsetof(KVEL_ZONE_SUBFRAME, zones[1]), 64);

    EXPECT_EQ(offsetof(KVEL_EVENT_SUBFRAME, frameSize), 0);
    EXPECT_EQ(offsetof(KVEL_EVENT_SUBFRAME, headerSize), 4);
    EXPECT_EQ(offsetof(KVEL_EVENT_SUBFRAME, sampleRate), 8);
    EXPECT_EQ(offsetof(KVEL_EVENT_SUBFRAME, totalSamples), 12);
    EXPECT_EQ(offsetof(KVEL_EVENT_SUBFRAME, effectiveStart), 16);
    EXPECT_EQ(offsetof(KVEL_EVENT_SUBFRAME, effectiveEnd), 20);
    EXPECT_EQ(offsetof(KVEL_EVENT_SUBFRAME, channelCount), 24);
    EXPECT_EQ(offsetof(KVEL_EVENT_SUBFRAME, bitsPerSample), 25);
    EXPECT_EQ(offsetof(KVEL_EVENT_SUBFRAME, categoryCount), 26);
    EXPECT_EQ(offsetof(KVEL_EVENT_SUBFRAME, masterTune), 28);
    EXPECT_EQ(offsetof(KVEL_EVENT_SUBFRAME, totalEventCount), 32);
    EXPECT_EQ(offsetof(KVEL_EVENT_SUBFRAME, categories), 36);

    EXPECT_EQ(sizeof(KVEL_EVENT), 10);
    EXPECT_EQ(offsetof(KVEL_EVENT, barBeat), 0);
    EXPECT_EQ(offsetof(KVEL_EVENT, value), 2);
    EXPECT_EQ(offsetof(KVEL_EVENT, samplePosition), 6);

    EXPECT_EQ(sizeof(KVEL_ERROR_RECORD), 28);

    /* Links from C, and the library starts with nothing loaded. */
    EXPECT_EQ(KVELGetErrorCount(), 0);
    EXPECT_EQ(KVELGetWholeBuffer(), 0);
    return failures != 0;
}
