// Image -> JSON.
#include <charconv>
#include <cmath>

#include "image_json.h"
#include "kvmf_names.h"

namespace kvel_tool {
namespace {

// Four identification bytes: a string when they are printable, else numbers.
Json idBytes(const std::array<uint8_t, 4>& b) {
    bool printable = true;
    for (uint8_t c : b) printable = printable && c >= 0x20 && c < 0x7F;
    if (printable) return std::string(b.begin(), b.end());
    return Json(std::vector<int>(b.begin(), b.end()));
}

Json position(uint32_t p) { return p == kNoPosition ? Json(nullptr) : Json(p); }

// The shortest decimal that reads back as the same single-precision value,
// so that 93.33 stays 93.33 instead of its double expansion.
Json bpmNumber(float f) {
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, f);
    double shortest = 0;
    std::from_chars(text, end, shortest);
    if (ec == std::errc() && static_cast<float>(shortest) == f && std::signbit(shortest) == std::signbit(f))
        return shortest;
    return static_cast<double>(f);
}

Json zoneJson(const Zone& z) {
    Json j;
    j["zoneNumber"] = z.zoneNumber;
    j["zoneStartPosition"] = z.zoneStartPosition;
    j["zoneEndPosition"] = z.zoneEndPosition;
    j["fadeInStartPosition"] = position(z.fadeInStartPosition);
    j["fadeInEndPosition"] = position(z.fadeInEndPosition);
    j["fadeOutStartPosition"] = position(z.fadeOutStartPosition);
    j["fadeOutEndPosition"] = position(z.fadeOutEndPosition);
    if (std::isfinite(z.bpm())) {
        j["bpm"] = bpmNumber(z.bpm());
    } else {
        j["bpm"] = nullptr;  // JSON has no NaN or infinity: the raw bits say it
        j["bpmBits"] = z.bpmBits;
    }
    j["meterDenominator"] = z.meterDenominator;
    j["meterNumerator"] = z.meterNumerator;
    j["barCount"] = z.barCount;
    j["key"] = z.key;
    j["reserved0"] = z.reserved0;
    for (size_t i = 0; i < z.reserved.size(); ++i) j["reserved" + std::to_string(i + 1)] = z.reserved[i];
    return j;
}

Json categoryValue(uint8_t category) {
    const Named* n = findByNumber(kCategories, category);
    return n ? Json(n->json) : Json(category);
}

// The category data as named fields where the category has them; bits that
// no named field covers stay in "data".
void eventData(Json& j, uint8_t category, uint32_t data) {
    uint32_t named = 0;
    switch (category) {
        case 1:
            if (data & kBarStartBit) j["barStart"] = true;
            if (data & kUncountedBit) j["uncounted"] = true;
            named = kBarStartBit | kUncountedBit;
            break;
        case 8:
        case 9:
            if (category == 8)
                j["chord"] = (data & kChordMask) >> 8;
            else
                j["tones"] = (data & kTonesMask) >> 5;
            if (data & kSharpFlatMask) j["sharpFlat"] = data & kSharpFlatMask;
            named = kSharpFlatMask | (category == 8 ? kChordMask : kTonesMask);
            break;
        case 16:
            j["melody"] = data & kMelodyMask;
            named = kMelodyMask;
            break;
        case 47: {
            const uint8_t code = data & kOutlineCodeMask;
            const uint32_t zone = (data & kZoneNumberMask) >> 7;
            const Named* n = findByNumber(kOutlineCodes, code);
            named = kOutlineCodeMask;
            if (code == 1 && zone == kTerminatorZone) {
                j["outline"] = "terminator";
                named |= kZoneNumberMask;
            } else {
                j["outline"] = n ? Json(n->json) : Json(code);
                if (code == 1) {
                    j["zone"] = zone;
                    named |= kZoneNumberMask;
                }
            }
            break;
        }
        default: break;
    }
    if (data & ~named) j["data"] = data & ~named;
}

Json eventJson(const Event& e) {
    Json j;
    j["bar"] = e.bar() == kNoBar ? Json(nullptr) : Json(e.bar());
    j["beat"] = e.beat();
    j["category"] = categoryValue(e.category());
    eventData(j, e.category(), e.data());
    j["samplePosition"] = e.samplePosition;
    if (e.value >> 31) j["bit31"] = true;
    return j;
}

Json categoryEntryJson(uint32_t entry) {
    Json j;
    j["category"] = categoryValue((entry >> 24) & 0x7F);
    j["eventCount"] = entry & 0xFFFFFF;
    if (entry >> 31) j["bit31"] = true;
    return j;
}

}  // namespace

std::string toHex(std::span<const uint8_t> bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (uint8_t b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 0xF];
    }
    return s;
}

Json imageToJson(const Image& image, const std::string& sourcePath, uint64_t fileSize) {
    Json doc;
    doc["schemaVersion"] = kImageSchemaVersion;
    doc["source"] = {{"path", sourcePath}, {"size", fileSize}};
    if (const auto& h = image.mainHeader) {
        doc["mainHeader"] = {{"signature", idBytes(h->signature)}, {"engineId", idBytes(h->engineId)},
                             {"applicationId", idBytes(h->applicationId)}, {"version", h->version},
                             {"level", h->level}, {"totalFrameSize", h->totalFrameSize}};
    }
    if (const auto& z = image.zoneHeader) {
        Json zones = Json::array();
        for (const Zone& zone : image.zones) zones.push_back(zoneJson(zone));
        doc["zoneSubFrame"] = {{"frameSize", z->frameSize}, {"zoneCount", z->zoneCount}, {"zones", std::move(zones)}};
        if (!image.zoneGap.empty()) doc["zoneSubFrame"]["gap"] = toHex(image.zoneGap);
    }
    if (const auto& h = image.eventHeader) {
        Json e;
        e["frameSize"] = h->frameSize;
        e["headerSize"] = h->headerSize;
        e["sampleRate"] = h->sampleRate;
        e["totalSamples"] = h->totalSamples;
        e["effectiveStart"] = h->effectiveStart;
        e["effectiveEnd"] = h->effectiveEnd;
        e["channelCount"] = h->channelCount;
        e["bitsPerSample"] = h->bitsPerSample;
        e["categoryCount"] = h->categoryCount;
        e["masterTune"] = h->masterTune;
        e["totalEventCount"] = h->totalEventCount;
        e["categories"] = Json::array();
        for (uint32_t entry : image.categories) e["categories"].push_back(categoryEntryJson(entry));
        if (image.eventBodySize) e["eventBodySize"] = *image.eventBodySize;
        e["events"] = Json::array();
        for (const Event& ev : image.events) e["events"].push_back(eventJson(ev));
        doc["eventSubFrame"] = std::move(e);
    }
    if (!image.trailing.empty()) doc["trailing"] = toHex(image.trailing);
    if (image.stop) doc["stop"] = {{"offset", image.stop->offset}, {"reason", image.stop->reason}};
    return doc;
}

}  // namespace kvel_tool
