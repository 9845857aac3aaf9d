// Writes the broken files that the run-time loading host checks into the
// directory given. Each breaks one thing whose line shows how a parameter is
// formatted: signed and unsigned 32-bit values, with and without the top bit.
#include <cstdio>
#include <string>

#include "kvmf_builder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";

    kvmf::Doc meter = kvmf::wellFormed();
    meter.zones[0].meterDenominator = 1;

    kvmf::Doc sampleRate = kvmf::wellFormed();
    sampleRate.sampleRate = 0xFFFFFFF0;  // %ld: -16

    kvmf::Doc bodySize = kvmf::wellFormed();
    bodySize.eventBodySize = 0xFFFFFF9C;  // %lx: ffffff9c, and the load fails

    kvmf::Doc version = kvmf::wellFormed();
    version.version = 0x1203;  // %04lx

    const struct {
        const char* name;
        const kvmf::Doc& doc;
    } samples[] = {
        {"meter_denominator.kvmf", meter},
        {"negative_sample_rate.kvmf", sampleRate},
        {"negative_body_size.kvmf", bodySize},
        {"odd_version.kvmf", version},
    };
    for (const auto& s : samples) {
        if (!kvmf::writeFile(dir + s.name, s.doc.bytes())) {
            std::fprintf(stderr, "cannot write %s%s\n", dir.c_str(), s.name);
            return 1;
        }
    }
    return 0;
}
