// Structure-aware mutation for both fuzz targets. Raw byte mutations almost
// always break a size or count field, so the loader refuses the input before
// any check runs. This mutator splits the image into its frames, changes one
// piece (an event, a zone record, a table entry, a field) and writes it back
// with its size and count fields recomputed -- each one left stale now and
// then, so inconsistent sizes keep being explored too.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

using Rng = std::minstd_rand;

uint32_t be32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

using ZoneRecord = std::array<uint8_t, 58>;
using EventRecord = std::array<uint8_t, 10>;

struct Image {
    std::array<uint8_t, 20> header;
    std::vector<ZoneRecord> zones;
    std::vector<uint8_t> zoneGap;
    std::array<uint8_t, 36> eventHeader;
    std::vector<uint32_t> table;
    uint32_t bodySize;
    std::vector<EventRecord> events;
    std::vector<uint8_t> rest;  // a body remainder and trailing bytes
};

// Splits a file image whose frames are where their fields say; false for an
// image too damaged to split (it is then mutated as raw bytes).
bool parse(const uint8_t* d, size_t size, Image& m) {
    if (size < 26) return false;
    std::memcpy(m.header.data(), d, 20);
    const uint32_t zoneFrame = be32(d + 20);
    const size_t zoneCount = be16(d + 24);
    size_t at = 26;
    if (at + 58 * zoneCount > size) return false;
    m.zones.resize(zoneCount);
    for (auto& z : m.zones) {
        std::memcpy(z.data(), d + at, 58);
        at += 58;
    }
    const uint64_t eventAt = 24ull + zoneFrame;
    if (eventAt > at && eventAt - at <= 64) {
        m.zoneGap.assign(d + at, d + std::min<uint64_t>(eventAt, size));
        at = static_cast<size_t>(eventAt);
    }
    if (at + 36 > size) return false;
    std::memcpy(m.eventHeader.data(), d + at, 36);
    at += 36;
    const size_t n = be16(m.eventHeader.data() + 26);
    if (at + 4 * n + 4 > size) return false;
    for (size_t i = 0; i < n; ++i, at += 4) m.table.push_back(be32(d + at));
    m.bodySize = be32(d + at);
    at += 4;
    const size_t records = std::min<size_t>(m.bodySize / 10, (size - at) / 10);
    m.events.resize(records);
    for (auto& e : m.events) {
        std::memcpy(e.data(), d + at, 10);
        at += 10;
    }
    m.rest.assign(d + at, d + size);
    return true;
}

uint32_t pick(Rng& rng, std::initializer_list<uint32_t> values) {
    return *(values.begin() + rng() % values.size());
}

uint32_t randomEventValue(Rng& rng) {
    const uint32_t category = pick(rng, {1, 1, 1, 8, 9, 16, 24, 25, 32, 47, 47, 47, 112, 126, 0, 2, 127});
    uint32_t data = rng() & 0xFFFFFF;
    switch (category) {
        case 1: data = (rng() % 8) << 21; break;
        case 8: data = (pick(rng, {0x00, 0x06, 0x10, 0x23, 0x40, 0x57, 0x80, 0x8D, 0xB0, 0xC4, 0x07, 0xFF}) << 8) |
                       (rng() % 32); break;
        case 16: data &= rng() % 2 ? 0xFFF : 0xFFFFFF; break;
        case 47: {
            const uint32_t code = pick(rng, {1, 1, 2, 3, 4, 16, 17, 32, 33, 40, 41, 5, 127});
            const uint32_t zone = rng() % 4 == 0 ? 0xFFFF : rng() % 4;
            data = (zone << 7) | code;
            break;
        }
        default: break;
    }
    if (rng() % 16 == 0) data |= 0x800000;
    return (category << 24) | data | (rng() % 32 == 0 ? 0x80000000u : 0);
}

uint32_t samplePositionNear(const Image& m, size_t index, Rng& rng) {
    const uint32_t before = index > 0 ? be32(m.events[index - 1].data() + 6) : 0;
    switch (rng() % 4) {
        case 0: return before;
        case 1: return before + rng() % 50000;
        case 2: return before - rng() % 100;
        default: return rng();
    }
}

EventRecord randomEvent(const Image& m, size_t index, Rng& rng) {
    EventRecord e{};
    const uint16_t previous = index > 0 ? be16(m.events[index - 1].data()) : 0x0011;
    uint16_t barBeat = previous;
    switch (rng() % 5) {
        case 0: barBeat = static_cast<uint16_t>(previous + 1); break;
        case 1: barBeat = static_cast<uint16_t>((previous & 0xFFF0) + 0x11); break;
        case 2: barBeat = static_cast<uint16_t>(0xFFF0 | (rng() % 16)); break;
        case 3: barBeat = static_cast<uint16_t>(rng()); break;
        default: break;
    }
    put16(e.data(), barBeat);
    put32(e.data() + 2, randomEventValue(rng));
    put32(e.data() + 6, samplePositionNear(m, index, rng));
    return e;
}

// An event position: mostly one that points at a record.
uint32_t randomPosition(const Image& m, Rng& rng) {
    switch (rng() % 6) {
        case 0: return 0xFFFFFFFF;
        case 1: return rng();
        case 2: return static_cast<uint32_t>(10 * m.events.size());
        default: return static_cast<uint32_t>(10 * (rng() % (m.events.size() + 1)));
    }
}

void rawMutate(uint8_t* p, size_t n) {
    if (n) LLVMFuzzerMutate(p, n, n);
}

void mutateOnce(Image& m, Rng& rng) {
    const size_t ev = m.events.size();
    switch (rng() % 16) {
        case 0: case 1: {  // insert an event
            const size_t at = rng() % (ev + 1);
            m.events.insert(m.events.begin() + static_cast<long>(at),
                            ev && rng() % 2 ? m.events[rng() % ev] : randomEvent(m, at, rng));
            break;
        }
        case 2:
            if (ev) m.events.erase(m.events.begin() + static_cast<long>(rng() % ev));
            break;
        case 3: case 4:  // replace an event in place
            if (ev) {
                const size_t at = rng() % ev;
                m.events[at] = randomEvent(m, at, rng);
            }
            break;
        case 5:
            if (ev) put32(m.events[rng() % ev].data() + 2, randomEventValue(rng));
            break;
        case 6:
            if (ev > 1) std::swap(m.events[rng() % ev], m.events[rng() % ev]);
            break;
        case 7: case 8:  // a zone position
            if (!m.zones.empty()) {
                const size_t field = 2 + 4 * (rng() % 6);
                put32(m.zones[rng() % m.zones.size()].data() + field, randomPosition(m, rng));
            }
            break;
        case 9:  // a zone value: tempo, meter, bars, key, reserved
            if (!m.zones.empty()) rawMutate(m.zones[rng() % m.zones.size()].data() + 26, 32);
            break;
        case 10:  // add a zone (a copy, renumbered) or drop one
            if (!m.zones.empty() && rng() % 3 == 0) {
                m.zones.erase(m.zones.begin() + static_cast<long>(rng() % m.zones.size()));
            } else if (m.zones.size() < 64) {
                ZoneRecord z = m.zones.empty() ? ZoneRecord{} : m.zones.back();
                put16(z.data(), static_cast<uint16_t>(m.zones.size()));
                m.zones.push_back(z);
            }
            break;
        case 11:  // the category table
            if (!m.table.empty() && rng() % 3 == 0)
                m.table.erase(m.table.begin() + static_cast<long>(rng() % m.table.size()));
            else if (m.table.size() < 12)
                m.table.push_back((randomEventValue(rng) & 0xFF000000u) | (rng() % 40));
            break;
        case 12:
            rawMutate(m.eventHeader.data(), m.eventHeader.size());
            break;
        case 13:
            rawMutate(m.header.data(), m.header.size());
            break;
        case 14:
            if (ev) rawMutate(m.events[rng() % ev].data(), 10);
            break;
        default:
            if (!m.zones.empty()) rawMutate(m.zones[rng() % m.zones.size()].data(), 58);
            break;
    }
}

// Writes the image back. Each derived field is recomputed unless the dice
// leave it as it was.
std::vector<uint8_t> serialize(Image& m, Rng& rng) {
    auto fix = [&] { return rng() % 16 != 0; };
    const uint32_t n = static_cast<uint32_t>(m.table.size());
    if (rng() % 2) {  // make the table count what the body holds
        for (uint32_t& entry : m.table) {
            uint32_t count = 0;
            for (const auto& e : m.events)
                if (((be32(e.data() + 2) >> 24) & 0x7F) == ((entry >> 24) & 0x7F)) ++count;
            entry = (entry & 0xFF000000u) | count;
        }
    }
    uint32_t sum = 0;
    for (uint32_t entry : m.table) sum += entry & 0xFFFFFF;
    const uint32_t body = static_cast<uint32_t>(10 * m.events.size() + (m.bodySize % 10 && !fix() ? m.bodySize % 10 : 0));
    if (fix()) m.bodySize = body;
    uint8_t* h = m.eventHeader.data();
    if (fix()) put32(h + 0, 36 + 4 * n + m.bodySize);
    if (fix()) put32(h + 4, 28 + 4 * n);
    if (fix()) put16(h + 26, static_cast<uint16_t>(n));
    if (fix()) put32(h + 32, sum);

    std::vector<uint8_t> out(m.header.begin(), m.header.end());
    out.resize(26);
    const uint32_t zoneFrame = static_cast<uint32_t>(2 + 58 * m.zones.size() + m.zoneGap.size());
    put32(out.data() + 20, fix() ? zoneFrame : be32(out.data() + 20));
    put16(out.data() + 24, static_cast<uint16_t>(m.zones.size()));
    for (const auto& z : m.zones) out.insert(out.end(), z.begin(), z.end());
    out.insert(out.end(), m.zoneGap.begin(), m.zoneGap.end());
    out.insert(out.end(), m.eventHeader.begin(), m.eventHeader.end());
    for (uint32_t entry : m.table) {
        out.resize(out.size() + 4);
        put32(out.data() + out.size() - 4, entry);
    }
    out.resize(out.size() + 4);
    put32(out.data() + out.size() - 4, m.bodySize);
    for (const auto& e : m.events) out.insert(out.end(), e.begin(), e.end());
    if (!fix()) out.insert(out.end(), m.rest.begin(), m.rest.end());
    if (fix()) put32(out.data() + 16, static_cast<uint32_t>(out.size() - 20));
    return out;
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed) {
    Rng rng(seed);
    Image image;
    // One in five mutations stays byte-level, and so does every image too
    // damaged to split.
    if (rng() % 5 == 0 || !parse(data, size, image)) return LLVMFuzzerMutate(data, size, maxSize);
    if (image.header[0] != 'K' && rng() % 2) std::memcpy(image.header.data(), "KVMF", 4);
    const unsigned rounds = 1 + rng() % 3;
    for (unsigned i = 0; i < rounds; ++i) mutateOnce(image, rng);
    const std::vector<uint8_t> out = serialize(image, rng);
    if (out.size() > maxSize) return LLVMFuzzerMutate(data, size, maxSize);
    std::memcpy(data, out.data(), out.size());
    return out.size();
}
