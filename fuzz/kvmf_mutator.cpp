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

#include "kvmf_image.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

using namespace kvcodec;
using Rng = std::minstd_rand;

// Splits a file image by its zone and category counts, not by its sizes,
// so that an image whose sizes disagree with its counts still splits and
// gets its sizes rewritten; false for an image too damaged to split (it is
// then mutated as raw bytes). Every section of the result is present.
bool split(const uint8_t* d, size_t size, Image& m) {
    if (size < kZoneSubFrameOffset + kZoneHeaderSize) return false;
    m.mainHeader = get<MainHeader>(d);
    m.zoneHeader = get<ZoneHeader>(d + kZoneSubFrameOffset);
    size_t at = kZoneSubFrameOffset + kZoneHeaderSize;
    if (at + kZoneRecordSize * size_t{m.zoneHeader->zoneCount} > size) return false;
    for (uint32_t i = 0; i < m.zoneHeader->zoneCount; ++i, at += kZoneRecordSize) m.zones.push_back(get<Zone>(d + at));
    const uint64_t eventAt = eventSubFrameOffset(m.zoneHeader->frameSize);
    if (eventAt > at && eventAt - at <= 64) {
        m.zoneGap.assign(d + at, d + std::min<uint64_t>(eventAt, size));
        at = static_cast<size_t>(eventAt);
    }
    if (at + kEventHeaderSize > size) return false;
    m.eventHeader = get<EventHeader>(d + at);
    at += kEventHeaderSize;
    const size_t n = m.eventHeader->categoryCount;
    if (at + 4 * n + 4 > size) return false;
    for (size_t i = 0; i < n; ++i, at += 4) m.categories.push_back(get32(d + at));
    m.eventBodySize = get32(d + at);
    at += 4;
    const size_t records = std::min<size_t>(*m.eventBodySize / kEventRecordSize, (size - at) / kEventRecordSize);
    for (size_t j = 0; j < records; ++j, at += kEventRecordSize) m.events.push_back(get<Event>(d + at));
    m.trailing.assign(d + at, d + size);  // a body remainder and trailing bytes
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
    return valueWord(category, data) | (rng() % 32 == 0 ? 0x80000000u : 0);
}

uint32_t samplePositionNear(const Image& m, size_t index, Rng& rng) {
    const uint32_t before = index > 0 ? m.events[index - 1].samplePosition : 0;
    switch (rng() % 4) {
        case 0: return before;
        case 1: return before + rng() % 50000;
        case 2: return before - rng() % 100;
        default: return rng();
    }
}

Event randomEvent(const Image& m, size_t index, Rng& rng) {
    const uint16_t previous = index > 0 ? m.events[index - 1].barBeat : barBeat(1, 1);
    uint16_t field = previous;
    switch (rng() % 5) {
        case 0: field = static_cast<uint16_t>(previous + 1); break;
        case 1: field = barBeat(barOf(previous) + 1, 1); break;
        case 2: field = barBeat(kNoBar, rng() % 16); break;
        case 3: field = static_cast<uint16_t>(rng()); break;
        default: break;
    }
    return {field, randomEventValue(rng), samplePositionNear(m, index, rng)};
}

// An event position: mostly one that points at a record.
uint32_t randomPosition(const Image& m, Rng& rng) {
    switch (rng() % 6) {
        case 0: return kNoPosition;
        case 1: return rng();
        case 2: return static_cast<uint32_t>(kEventRecordSize * m.events.size());
        default: return static_cast<uint32_t>(kEventRecordSize * (rng() % (m.events.size() + 1)));
    }
}

void rawMutate(uint8_t* p, size_t n) {
    if (n) LLVMFuzzerMutate(p, n, n);
}

// Mutates bytes [from, to) of a record as the file holds them.
template <class R>
void rawMutate(R& record, size_t from = 0, size_t to = kSizeOf<R>) {
    std::array<uint8_t, kSizeOf<R>> bytes;
    put(bytes.data(), record);
    rawMutate(bytes.data() + from, to - from);
    record = get<R>(bytes.data());
}

constexpr uint32_t Zone::*kPositions[] = {&Zone::zoneStartPosition,    &Zone::zoneEndPosition,
                                          &Zone::fadeInStartPosition,  &Zone::fadeInEndPosition,
                                          &Zone::fadeOutStartPosition, &Zone::fadeOutEndPosition};

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
            if (ev) m.events[rng() % ev].value = randomEventValue(rng);
            break;
        case 6:
            if (ev > 1) std::swap(m.events[rng() % ev], m.events[rng() % ev]);
            break;
        case 7: case 8:  // a zone position
            if (!m.zones.empty()) {
                const auto field = kPositions[rng() % std::size(kPositions)];
                m.zones[rng() % m.zones.size()].*field = randomPosition(m, rng);
            }
            break;
        case 9:  // a zone value: tempo, meter, bars, key, reserved
            if (!m.zones.empty())
                rawMutate(m.zones[rng() % m.zones.size()], zr::bpm, zr::reservedEnd);
            break;
        case 10:  // add a zone (a copy, renumbered) or drop one
            if (!m.zones.empty() && rng() % 3 == 0) {
                m.zones.erase(m.zones.begin() + static_cast<long>(rng() % m.zones.size()));
            } else if (m.zones.size() < 64) {
                Zone z = m.zones.empty() ? Zone{} : m.zones.back();
                z.zoneNumber = static_cast<uint16_t>(m.zones.size());
                m.zones.push_back(z);
            }
            break;
        case 11:  // the category table
            if (!m.categories.empty() && rng() % 3 == 0)
                m.categories.erase(m.categories.begin() + static_cast<long>(rng() % m.categories.size()));
            else if (m.categories.size() < 12)
                m.categories.push_back((randomEventValue(rng) & ~kDataMask) | (rng() % 40));
            break;
        case 12:
            rawMutate(*m.eventHeader);
            break;
        case 13:
            rawMutate(*m.mainHeader);
            break;
        case 14:
            if (ev) rawMutate(m.events[rng() % ev]);
            break;
        default:
            if (!m.zones.empty()) rawMutate(m.zones[rng() % m.zones.size()]);
            break;
    }
}

// Writes the image back. Each derived field is recomputed unless the dice
// leave it as it was.
Bytes serialize(Image& m, Rng& rng) {
    auto fix = [&] { return rng() % 16 != 0; };
    const uint32_t n = static_cast<uint32_t>(m.categories.size());
    if (rng() % 2) {  // make the table count what the body holds
        for (uint32_t& entry : m.categories) {
            uint32_t count = 0;
            for (const Event& e : m.events)
                if (e.category() == categoryOf(entry)) ++count;
            entry = (entry & ~kDataMask) | count;
        }
    }
    uint32_t sum = 0;
    for (uint32_t entry : m.categories) sum += dataOf(entry);
    uint32_t& bodySize = *m.eventBodySize;
    const uint32_t partial = bodySize % kEventRecordSize;
    const uint32_t body = static_cast<uint32_t>(kEventRecordSize * m.events.size() + (partial && !fix() ? partial : 0));
    if (fix()) bodySize = body;
    EventHeader& h = *m.eventHeader;
    if (fix()) h.frameSize = eventFrameSize(n, bodySize);
    if (fix()) h.headerSize = eventHeaderSize(n);
    if (fix()) h.categoryCount = static_cast<uint16_t>(n);
    if (fix()) h.totalEventCount = sum;

    const uint32_t zones = static_cast<uint32_t>(m.zones.size());
    if (fix()) m.zoneHeader->frameSize = zoneFrameSize(zones) + static_cast<uint32_t>(m.zoneGap.size());
    m.zoneHeader->zoneCount = static_cast<uint16_t>(zones);
    if (fix()) m.trailing.clear();
    Bytes out = writeImage(m);
    if (fix()) put32(out.data() + mh::totalFrameSize, static_cast<uint32_t>(out.size() - kMainHeaderSize));
    return out;
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed) {
    Rng rng(seed);
    Image image;
    // One in five mutations stays byte-level, and so does every image too
    // damaged to split.
    if (rng() % 5 == 0 || !split(data, size, image)) return LLVMFuzzerMutate(data, size, maxSize);
    if (image.mainHeader->signature[0] != kSignature[0] && rng() % 2) image.mainHeader->signature = kSignatureId;
    const unsigned rounds = 1 + rng() % 3;
    for (unsigned i = 0; i < rounds; ++i) mutateOnce(image, rng);
    const Bytes out = serialize(image, rng);
    if (out.size() > maxSize) return LLVMFuzzerMutate(data, size, maxSize);
    std::memcpy(data, out.data(), out.size());
    return out.size();
}
