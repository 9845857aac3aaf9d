// Writes the JSON sources of the example files: a realistic song, a minimal
// file and one broken file per family of problems. The build packs them into
// .kvmf files with `kvel pack`; this program is only run by hand, when an
// example is added or changed:
//   cmake --build build --target kvel_make_examples
//   build/examples/kvel_make_examples examples
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>

#include "image_json.h"
#include "json_layout.h"
#include "kvmf_builder.h"
#include "kvmf_image.h"

namespace {

using kvmf::Doc;

// A short two-zone song (4/4 then 3/4) that is well formed: the base that
// each broken example changes in one respect.
Doc base() { return kvmf::song({8, 8}, {4, 3}); }

size_t findEvent(const Doc& d, const std::function<bool(const kvmf::Event&)>& match, size_t from = 0) {
    for (size_t i = from; i < d.events.size(); ++i)
        if (match(d.events[i])) return i;
    throw std::runtime_error("example base lacks an expected event");
}

auto isCategory(uint32_t c) {
    return [c](const kvmf::Event& e) { return e.category() == c; };
}
auto isOutline(uint32_t code) {
    return [code](const kvmf::Event& e) { return e.category() == 47 && (e.value & 0x7F) == code; };
}

// Main header: a partly blank engine ID, an unlikely version and a total
// frame size that does not match the file.
Doc mainHeader() {
    Doc d = base();
    d.engineId = {'K', 'V', 0, 0};
    d.version = 0x1203;
    d.totalFrameSize = static_cast<uint32_t>(d.bytes().size() - kvcodec::kMainHeaderSize + 6);
    return d;
}

// Zones: an impossible meter, a key flag with a scale, and a second zone that
// does not start where the first ends.
Doc zone() {
    Doc d = base();
    d.zones[0].meterDenominator = 1;
    d.zones[1].key = 0x0181;
    d.zones[1].zoneStartPosition += 10;
    return d;
}

// Event ordering: two beats of bar 3 swapped, so beat and sample position
// both go backwards.
Doc eventOrder() {
    Doc d = base();
    const size_t first = findEvent(d, [](const kvmf::Event& e) { return e.barBeat == kvmf::barBeat(3, 2); });
    const size_t second = findEvent(d, [](const kvmf::Event& e) { return e.barBeat == kvmf::barBeat(3, 3); });
    std::swap(d.events[first], d.events[second]);
    return d;
}

// Chords: an undefined chord number, a sharp/flat flag of 3, and a chord on
// the sample position of the chord before it.
Doc chord() {
    Doc d = base();
    const size_t a = findEvent(d, isCategory(8));
    d.events[a].value = kvmf::valueWord(8, 0x07 << 8);
    const size_t b = findEvent(d, isCategory(8), a + 1);
    d.events[b].value = kvmf::valueWord(8, 0x10 << 8 | 0x3);
    const size_t melody = findEvent(d, isCategory(16), b + 1);
    d.events[melody].value = kvmf::valueWord(8, 0x40 << 8);  // shares the preceding chord's position
    return d;
}

// Category table: beat declared twice, a user category the check does not
// allow, and melody events that the table does not declare.
Doc categoryTable() {
    Doc d = base();
    std::vector<uint32_t> table;
    for (uint32_t entry : d.categories())
        if (kvcodec::categoryOf(entry) != 16) table.push_back(entry);
    table.push_back(table[1]);                   // the beat entry again
    table.push_back(kvmf::valueWord(120, 1));  // a user category
    d.categoryTable = table;
    return d;
}

// Outline events: a second start event and an undefined outline code.
Doc outline() {
    Doc d = base();
    const size_t zone1 = findEvent(d, [](const kvmf::Event& e) { return e.value == kvmf::valueWord(47, 1 << 7 | 1); });
    const size_t key = findEvent(d, isOutline(2), zone1);
    d.events[key].value = kvmf::valueWord(47, 16);
    const size_t tempo = findEvent(d, isOutline(3), zone1);
    d.events[tempo].value = kvmf::valueWord(47, 5);
    return d;
}

// Beats: a bar of the 4/4 zone with three beats, and a bar start that is
// also marked uncounted.
Doc beat() {
    Doc d = base();
    const size_t fourth = findEvent(d, [](const kvmf::Event& e) { return e.barBeat == kvmf::barBeat(2, 4); });
    d.events[fourth].value = kvmf::valueWord(1, 1u << 21);  // bar 3 starts a beat early
    const size_t start = findEvent(d, [](const kvmf::Event& e) { return e.barBeat == kvmf::barBeat(6, 1) && e.category() == 1; });
    d.events[start].value = kvmf::valueWord(1, 3u << 21);
    return d;
}

// Audio parameters: a sample rate outside the valid range, no channel count
// and an out-of-range master tune.
Doc audioParameters() {
    Doc d = base();
    d.sampleRate = 8000;
    d.channelCount = 0;
    d.masterTune = 500;
    return d;
}

// Files the library refuses to load: cut off in the middle of the events,
// and with an event body size of 0.
std::vector<uint8_t> truncated() {
    std::vector<uint8_t> bytes = base().bytes();
    bytes.resize(bytes.size() - 255);
    return bytes;
}

Doc zeroBodySize() {
    Doc d = base();
    d.eventBodySize = 0;
    return d;
}

void write(const std::filesystem::path& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::filesystem::path path = dir / (name + ".json");
    std::filesystem::create_directories(path.parent_path());
    kvel_tool::Json json = kvel_tool::imageToJson(kvel_tool::parseImage(bytes), "", bytes.size());
    json.erase("source");
    std::ofstream out(path);
    kvel_tool::writeJson(out, json);
    std::cout << path.string() << '\n';
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: kvel_make_examples EXAMPLES_DIR\n";
        return 3;
    }
    const std::filesystem::path dir = argv[1];
    write(dir, "song", kvmf::song({24, 96, 64, 120, 40}, {4, 3, 4, 6, 4}).bytes());
    write(dir, "minimal", kvmf::wellFormed().bytes());
    write(dir, "broken/main-header", mainHeader().bytes());
    write(dir, "broken/zone", zone().bytes());
    write(dir, "broken/event-order", eventOrder().bytes());
    write(dir, "broken/chord", chord().bytes());
    write(dir, "broken/category-table", categoryTable().bytes());
    write(dir, "broken/outline", outline().bytes());
    write(dir, "broken/beat", beat().bytes());
    write(dir, "broken/audio-parameters", audioParameters().bytes());
    write(dir, "unloadable/truncated", truncated());
    write(dir, "unloadable/zero-body-size", zeroBodySize().bytes());
    return 0;
}
