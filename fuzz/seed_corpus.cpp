// Writes the fuzzers' seed corpus: well-formed files and variants that each
// break one thing, so that fuzzing starts deep inside every check.
// Usage: kvel_fuzz_seeds DIR [SEQUENCE_DIR]
// SEQUENCE_DIR receives the seeds of the sequence target: operations, then
// an image.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "kvmf_builder.h"

namespace {

using Edit = std::function<void(kvmf::Doc&)>;

const std::vector<std::pair<const char*, Edit>> kVariants = {
    {"well-formed", [](kvmf::Doc&) {}},
    {"bad-signature", [](kvmf::Doc& d) { d.signature = {'K', 'V', 'M', 'X'}; }},
    {"total-size-0", [](kvmf::Doc& d) { d.totalFrameSize = 0; }},
    {"total-size-max", [](kvmf::Doc& d) { d.totalFrameSize = 0xFFFFFFFF; }},
    {"zone-frame-0", [](kvmf::Doc& d) { d.zoneFrameSize = 0; }},
    {"zone-frame-1", [](kvmf::Doc& d) { d.zoneFrameSize = 1; }},
    {"zone-frame-huge", [](kvmf::Doc& d) { d.zoneFrameSize = 0xFFFFFFF0; }},
    {"zone-gap", [](kvmf::Doc& d) { d.zoneGap = {1, 2, 3, 4, 5, 6}; d.zoneFrameSize = 2 + 58 + 6; }},
    {"zone-count-0", [](kvmf::Doc& d) { d.zoneCount = 0; }},
    {"zone-count-max", [](kvmf::Doc& d) { d.zoneCount = 0xFFFF; }},
    {"no-zones", [](kvmf::Doc& d) { d.zones.clear(); }},
    {"zone-positions", [](kvmf::Doc& d) { d.zones[0].zoneStartPosition = 5; d.zones[0].zoneEndPosition = 0xFFFFFFF0; }},
    {"zone-fades", [](kvmf::Doc& d) {
         d.zones[0].fadeInStartPosition = 10;
         d.zones[0].fadeInEndPosition = 20;
         d.zones[0].fadeOutStartPosition = 160;
         d.zones[0].fadeOutEndPosition = 7;
     }},
    {"invalid-meter", [](kvmf::Doc& d) {
         d.zones[0].meterDenominator = d.zones[0].meterNumerator = 0xFF;
         d.zones[0].barCount = 0xFFFF;
     }},
    {"bpm-nan", [](kvmf::Doc& d) { d.zones[0].bpmBits = 0x7FC00000; }},
    {"zone-values", [](kvmf::Doc& d) {
         d.zones[0].key = 0x0581;
         d.zones[0].reserved[2] = 1;
         d.zones[0].zoneNumber = 3;
     }},
    {"event-frame-size", [](kvmf::Doc& d) { d.eventFrameSize = 7; }},
    {"header-size", [](kvmf::Doc& d) { d.headerSize = 0xFFFFFFFF; }},
    {"category-count-0", [](kvmf::Doc& d) { d.categoryCount = 0; }},
    {"category-count-10", [](kvmf::Doc& d) { d.categoryCount = 10; }},
    {"category-count-max", [](kvmf::Doc& d) { d.categoryCount = 0xFFFF; }},
    {"category-table", [](kvmf::Doc& d) {
         d.categoryTable = std::vector<uint32_t>{0x01000009, 0x01000009, 0x00000001, 0x7F000000, 0x70000001};
     }},
    {"body-size-0", [](kvmf::Doc& d) { d.eventBodySize = 0; }},
    {"body-size-25", [](kvmf::Doc& d) { d.eventBodySize = 25; }},
    {"body-size-negative", [](kvmf::Doc& d) { d.eventBodySize = 0xFFFFFF9C; }},
    {"body-size-huge", [](kvmf::Doc& d) { d.eventBodySize = 1000000; }},
    {"total-events-0", [](kvmf::Doc& d) { d.totalEventCount = 0; }},
    {"total-events-huge", [](kvmf::Doc& d) { d.totalEventCount = 0x7FFFFFFF; }},
    {"events-unordered", [](kvmf::Doc& d) { std::swap(d.events[3], d.events[12]); }},
    {"events-bad-values", [](kvmf::Doc& d) {
         d.events[6].value = kvmf::valueWord(8, 0xE0FF03);
         d.events[7].value = kvmf::valueWord(16, 0x7FF000);
         d.events[10].value = kvmf::valueWord(9, 0x800003);
         d.events[2].value = kvmf::valueWord(47, 0x7F);
         d.events[5].value = kvmf::valueWord(1, 0xE00000);
         d.events[8].barBeat = 0;
         d.events[9].samplePosition = 0xFFFFFFFF;
     }},
    {"user-category", [](kvmf::Doc& d) { d.events[7].value = kvmf::valueWord(112, 1); }},
    {"trailing", [](kvmf::Doc& d) { d.trailing = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}; }},
    {"audio-params", [](kvmf::Doc& d) {
         d.sampleRate = 5;
         d.totalSamples = 0xFFFFFFFF;
         d.effectiveStart = 9;
         d.channelCount = 0;
         d.bitsPerSample = 0;
         d.masterTune = 1;
     }},
};

bool write(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
    if (kvmf::writeFile(dir + "/" + name + ".kvmf", bytes)) return true;
    std::fprintf(stderr, "cannot write %s/%s.kvmf\n", dir.c_str(), name.c_str());
    return false;
}

// Operations of the sequence target (see fuzz/harness.h): 0 open, 1 open
// without loading, 2 adopt, 3 adopt half, 4 close, 5 check, 6 read, 7 errors.
bool writeSequences(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::vector<std::vector<uint8_t>> sequences = {
        {0, 5, 6, 7, 4}, {2, 5, 6, 4}, {1, 2, 5, 4, 0, 6}, {0, 2, 6, 5, 4, 4},
        {2, 1, 0, 5, 4}, {3, 6, 5, 2, 6, 7}, {0, 1, 0, 6, 4, 6},
    };
    kvmf::Doc rewritten = kvmf::wellFormed();
    rewritten.zoneFrameSize = 0;
    const std::vector<std::vector<uint8_t>> images = {kvmf::wellFormed().bytes(),
                                                      kvmf::song({2, 3}, {4, 3}).bytes(), rewritten.bytes()};
    bool ok = true;
    int written = 0;
    for (size_t s = 0; s < sequences.size(); ++s) {
        for (size_t i = 0; i < images.size(); ++i) {
            const std::vector<uint8_t>& ops = sequences[s];
            std::vector<uint8_t> bytes(1 + ops.size() + images[i].size());
            bytes[0] = static_cast<uint8_t>(ops.size());
            std::copy(images[i].begin(), images[i].end(), std::copy(ops.begin(), ops.end(), bytes.begin() + 1));
            ok = write(dir, "sequence-" + std::to_string(s) + "-" + std::to_string(i), bytes) && ok;
            ++written;
        }
    }
    std::printf("%d sequence seeds written to %s\n", written, dir.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s DIR [SEQUENCE_DIR]\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    bool ok = true;
    int written = 0;
    for (const auto& [name, edit] : kVariants) {
        kvmf::Doc d = kvmf::wellFormed();
        edit(d);
        ok = write(dir, name, d.bytes()) && ok;
        ++written;
    }
    ok = write(dir, "song-3-zones", kvmf::song({2, 3, 1}, {4, 3, 6}).bytes()) && ok;
    ok = write(dir, "song-5-zones", kvmf::song({4, 2, 8, 1, 3}, {4, 12, 2, 5}, 48000).bytes()) && ok;
    written += 2;
    // Cut short at and inside each frame.
    const std::vector<uint8_t> whole = kvmf::wellFormed().bytes();
    const kvmf::Doc layout = kvmf::wellFormed();
    const size_t zoneRecords = kvcodec::kZoneSubFrameOffset + kvcodec::kZoneHeaderSize;
    for (size_t cut : {size_t{0}, size_t{kvcodec::kMainHeaderSize - 1}, zoneRecords - 1,
                       zoneRecords + kvcodec::kZoneRecordSize / 2, size_t{layout.eventSubFrameOffset() + 30},
                       size_t{layout.firstEventOffset()}, whole.size() - 1}) {
        ok = write(dir, "cut-" + std::to_string(cut), std::vector<uint8_t>(whole.begin(), whole.begin() + cut)) && ok;
        ++written;
    }
    std::printf("%d seeds written to %s\n", written, dir.c_str());
    if (argc == 3) ok = writeSequences(argv[2]) && ok;
    return ok ? 0 : 1;
}
