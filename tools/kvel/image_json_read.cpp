// JSON -> Image, deriving what a person writing a file by hand leaves out.
#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <set>

#include "image_json.h"
#include "kvmf_names.h"

namespace kvel_tool {
namespace {

[[noreturn]] void fail(const std::string& path, const std::string& what) {
    throw JsonInputError((path.empty() ? "/" : path) + ": " + what);
}

template <class T>
T whole(const Json& v, const std::string& path, uint64_t max = std::numeric_limits<T>::max()) {
    if (!v.is_number_integer()) fail(path, "expected a whole number");
    if (!v.is_number_unsigned() && v.get<int64_t>() < 0) fail(path, "must not be negative");
    const uint64_t u = v.get<uint64_t>();
    if (u > max) fail(path, "must be at most " + std::to_string(max));
    return static_cast<T>(u);
}

// One JSON object: rejects fields it does not know, so that a misspelt name
// is an error rather than a silently derived value.
struct Obj {
    const Json& j;
    std::string path;

    Obj(const Json& json, std::string where, std::initializer_list<std::string_view> known) : j(json), path(std::move(where)) {
        if (!j.is_object()) fail(path, "expected an object");
        for (auto it = j.begin(); it != j.end(); ++it)
            if (std::find(known.begin(), known.end(), it.key()) == known.end()) fail(at(it.key()), "unknown field");
    }
    std::string at(std::string_view key) const { return path + "/" + std::string(key); }
    const Json* get(const char* key) const {
        auto it = j.find(key);
        return it == j.end() ? nullptr : &*it;
    }
    template <class T>
    std::optional<T> num(const char* key, uint64_t max = std::numeric_limits<T>::max()) const {
        const Json* v = get(key);
        return v ? std::optional<T>(whole<T>(*v, at(key), max)) : std::nullopt;
    }
    bool flag(const char* key) const {
        const Json* v = get(key);
        if (!v) return false;
        if (!v->is_boolean()) fail(at(key), "expected true or false");
        return v->get<bool>();
    }
    // A position: a number, or null for "not given" (0xFFFFFFFF).
    std::optional<uint32_t> position(const char* key) const {
        const Json* v = get(key);
        if (!v) return std::nullopt;
        return v->is_null() ? kNoPosition : whole<uint32_t>(*v, at(key));
    }
};

std::array<uint8_t, 4> idBytes(const Obj& o, const char* key, const char* fallback) {
    std::array<uint8_t, 4> out{};
    const Json* v = o.get(key);
    if (!v) {
        std::copy_n(fallback, 4, out.begin());
    } else if (v->is_string() && v->get_ref<const std::string&>().size() == 4) {
        // A fixed-length copy: GCC's -O3 cannot see the size test above.
        std::memcpy(out.data(), v->get_ref<const std::string&>().data(), out.size());
    } else if (v->is_array() && v->size() == 4) {
        for (size_t i = 0; i < 4; ++i) out[i] = whole<uint8_t>((*v)[i], o.at(key) + "/" + std::to_string(i));
    } else {
        fail(o.at(key), "expected a string of 4 characters or an array of 4 byte values");
    }
    return out;
}

Bytes hexBytes(const Json* v, const std::string& path) {
    if (!v) return {};
    if (!v->is_string()) fail(path, "expected a string of hexadecimal digits");
    const std::string& s = v->get_ref<const std::string&>();
    if (s.size() % 2) fail(path, "expected an even number of hexadecimal digits");
    Bytes out;
    for (size_t i = 0; i < s.size(); i += 2) {
        auto digit = [&](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            fail(path, "expected hexadecimal digits only");
        };
        out.push_back(static_cast<uint8_t>(digit(s[i]) << 4 | digit(s[i + 1])));
    }
    return out;
}

template <size_t N>
uint8_t named(const Json& v, const std::string& path, const Named (&table)[N], const char* what) {
    if (v.is_string()) {
        if (const Named* n = findByJsonName(table, v.get<std::string>())) return n->number;
        std::string names;
        for (const Named& n : table) names += std::string(names.empty() ? "" : ", ") + n.json;
        fail(path, "unknown " + std::string(what) + " \"" + v.get<std::string>() + "\" (known: " + names + ")");
    }
    return whole<uint8_t>(v, path, 127);
}

uint8_t category(const Obj& o) {
    const Json* v = o.get("category");
    if (!v) fail(o.at("category"), "missing");
    return named(*v, o.at("category"), kCategories, "category");
}

// A named data field is only meaningful for its own category.
void onlyFor(const Obj& o, const char* key, uint8_t cat, std::initializer_list<uint8_t> cats) {
    if (o.get(key) && std::find(cats.begin(), cats.end(), cat) == cats.end())
        fail(o.at(key), "does not apply to an event of category " + std::to_string(cat));
}

Event readEvent(const Json& j, const std::string& path) {
    const Obj o(j, path,
                {"bar", "beat", "category", "barStart", "uncounted", "chord", "tones", "sharpFlat", "melody",
                 "outline", "zone", "data", "samplePosition", "bit31"});
    const uint8_t cat = category(o);
    onlyFor(o, "barStart", cat, {1});
    onlyFor(o, "uncounted", cat, {1});
    onlyFor(o, "chord", cat, {8});
    onlyFor(o, "tones", cat, {9});
    onlyFor(o, "sharpFlat", cat, {8, 9});
    onlyFor(o, "melody", cat, {16});
    onlyFor(o, "outline", cat, {47});
    onlyFor(o, "zone", cat, {47});

    uint32_t data = o.num<uint32_t>("data", 0xFFFFFF).value_or(0);
    if (o.flag("barStart")) data |= kBarStartBit;
    if (o.flag("uncounted")) data |= kUncountedBit;
    data |= o.num<uint32_t>("chord", 0xFF).value_or(0) << 8;
    data |= o.num<uint32_t>("tones", kTonesMask >> 5).value_or(0) << 5;
    data |= o.num<uint32_t>("sharpFlat", 3).value_or(0);
    data |= o.num<uint32_t>("melody", kMelodyMask).value_or(0);
    if (const Json* outline = o.get("outline")) {
        if (outline->is_string() && outline->get<std::string>() == "terminator") {
            if (o.get("zone")) fail(o.at("zone"), "a terminator has no zone number");
            data |= 1 | kZoneNumberMask;
        } else {
            const uint8_t code = named(*outline, o.at("outline"), kOutlineCodes, "outline event");
            if (o.get("zone") && code != 1) fail(o.at("zone"), "only a zone event has a zone number");
            data |= code | o.num<uint32_t>("zone", 0xFFFF).value_or(0) << 7;
        }
    }

    Event e;
    const Json* bar = o.get("bar");
    if (!bar) fail(o.at("bar"), "missing (null for an event without a bar)");
    const uint16_t barNumber = bar->is_null() ? kNoBar : whole<uint16_t>(*bar, o.at("bar"), kNoBar);
    e.barBeat = static_cast<uint16_t>(barNumber << 4 | o.num<uint8_t>("beat", 15).value_or(0));
    e.value = (o.flag("bit31") ? 1u << 31 : 0) | uint32_t{cat} << 24 | data;
    const auto sample = o.num<uint32_t>("samplePosition");
    if (!sample) fail(o.at("samplePosition"), "missing");
    e.samplePosition = *sample;
    return e;
}

uint32_t readCategoryEntry(const Json& j, const std::string& path) {
    const Obj o(j, path, {"category", "eventCount", "bit31"});
    return (o.flag("bit31") ? 1u << 31 : 0) | uint32_t{category(o)} << 24 |
           o.num<uint32_t>("eventCount", 0xFFFFFF).value_or(0);
}

bool isOutline(const Event& e, uint8_t code) { return e.category() == 47 && (e.data() & kOutlineCodeMask) == code; }
uint32_t zoneOf(const Event& e) { return (e.data() & kZoneNumberMask) >> 7; }

// The event position of the first event that `match` accepts at or after
// position `from` and before `to`.
template <class Match>
std::optional<uint32_t> findEvent(const std::vector<Event>& events, Match match, uint64_t from = 0,
                                  uint64_t to = UINT64_MAX) {
    for (size_t i = from / kEventRecordSize; i < events.size() && i * kEventRecordSize < to; ++i)
        if (match(events[i])) return static_cast<uint32_t>(i * kEventRecordSize);
    return std::nullopt;
}

Zone readZone(const Json& j, const std::string& path, size_t index, size_t zoneTotal, const std::vector<Event>& events) {
    const Obj o(j, path,
                {"zoneNumber", "zoneStartPosition", "zoneEndPosition", "fadeInStartPosition", "fadeInEndPosition",
                 "fadeOutStartPosition", "fadeOutEndPosition", "bpm", "bpmBits", "meterDenominator", "meterNumerator",
                 "barCount", "key", "reserved0", "reserved1", "reserved2", "reserved3", "reserved4", "reserved5"});
    Zone z;
    z.zoneNumber = o.num<uint16_t>("zoneNumber").value_or(static_cast<uint16_t>(index));
    const uint32_t number = static_cast<uint32_t>(index);
    auto zoneEvent = [](uint32_t n) { return [n](const Event& e) { return isOutline(e, 1) && zoneOf(e) == n; }; };
    auto derived = [&](const char* key, std::optional<uint32_t> found, const std::string& what) {
        if (auto given = o.position(key)) return *given;
        if (!found) fail(o.at(key), "not given, and there is no " + what + " to take it from");
        return *found;
    };
    z.zoneStartPosition = derived("zoneStartPosition", findEvent(events, zoneEvent(number)),
                                  "zone event with zone number " + std::to_string(number));
    const bool last = index + 1 == zoneTotal;
    z.zoneEndPosition =
        derived("zoneEndPosition", findEvent(events, zoneEvent(last ? kTerminatorZone : number + 1), z.zoneStartPosition),
                last ? "zone terminator after the zone's start" : "zone event with zone number " + std::to_string(number + 1));
    auto fade = [&](const char* key, uint8_t code) {
        if (auto given = o.position(key)) return *given;
        auto found = findEvent(events, [code](const Event& e) { return isOutline(e, code); }, z.zoneStartPosition,
                               z.zoneEndPosition);
        return found.value_or(kNoPosition);
    };
    z.fadeInStartPosition = fade("fadeInStartPosition", 32);
    z.fadeInEndPosition = fade("fadeInEndPosition", 33);
    z.fadeOutStartPosition = fade("fadeOutStartPosition", 40);
    z.fadeOutEndPosition = fade("fadeOutEndPosition", 41);

    if (auto bits = o.num<uint32_t>("bpmBits")) {
        z.bpmBits = *bits;
    } else if (const Json* bpm = o.get("bpm")) {
        if (!bpm->is_number()) fail(o.at("bpm"), "expected a number (or null with bpmBits)");
        z.bpmBits = std::bit_cast<uint32_t>(bpm->get<float>());
    } else {
        z.bpmBits = std::bit_cast<uint32_t>(120.0f);
    }
    z.meterDenominator = o.num<uint8_t>("meterDenominator").value_or(4);
    z.meterNumerator = o.num<uint8_t>("meterNumerator").value_or(4);
    if (auto bars = o.num<uint16_t>("barCount")) {
        z.barCount = *bars;
    } else {
        std::set<uint16_t> seen;
        for (uint64_t p = z.zoneStartPosition / kEventRecordSize; p < events.size() && p * 10 < z.zoneEndPosition; ++p)
            if (events[p].bar() != 0 && events[p].bar() != kNoBar) seen.insert(events[p].bar());
        z.barCount = static_cast<uint16_t>(seen.size());
    }
    z.key = o.num<uint16_t>("key").value_or(1);
    z.reserved0 = o.num<uint16_t>("reserved0").value_or(0);
    for (size_t i = 0; i < z.reserved.size(); ++i)
        z.reserved[i] = o.num<uint32_t>(("reserved" + std::to_string(i + 1)).c_str()).value_or(0);
    return z;
}

template <class F>
void eachElement(const Obj& o, const char* key, F f) {
    const Json* list = o.get(key);
    if (!list) return;
    if (!list->is_array()) fail(o.at(key), "expected an array");
    for (size_t i = 0; i < list->size(); ++i) f((*list)[i], o.at(key) + "/" + std::to_string(i));
}

}  // namespace

Image imageFromJson(const Json& doc) {
    const Obj top(doc, "", {"schemaVersion", "source", "mainHeader", "zoneSubFrame", "eventSubFrame", "trailing", "stop"});
    if (auto version = top.num<int>("schemaVersion"); version && *version > kImageSchemaVersion)
        fail(top.at("schemaVersion"), "version " + std::to_string(*version) + " is newer than this kvel reads (" +
                                          std::to_string(kImageSchemaVersion) + ")");
    // A dump that had to stop holds only the sections it reached; otherwise
    // a section left out is written with defaults.
    const bool partial = top.get("stop") != nullptr;
    static const Json kEmpty = Json::object();
    auto section = [&](const char* key) { return top.get(key) ? top.get(key) : (partial ? nullptr : &kEmpty); };

    Image image;
    const Json* eventJson = section("eventSubFrame");
    const Obj* events = nullptr;
    std::optional<Obj> eventObj;
    if (eventJson) {
        eventObj.emplace(*eventJson, top.at("eventSubFrame"),
                         std::initializer_list<std::string_view>{
                             "frameSize", "headerSize", "sampleRate", "totalSamples", "effectiveStart", "effectiveEnd",
                             "channelCount", "bitsPerSample", "categoryCount", "masterTune", "totalEventCount",
                             "categories", "eventBodySize", "events"});
        events = &*eventObj;
        eachElement(*events, "events", [&](const Json& j, const std::string& p) { image.events.push_back(readEvent(j, p)); });
    }

    if (const Json* zj = section("zoneSubFrame")) {
        const Obj o(*zj, top.at("zoneSubFrame"), {"frameSize", "zoneCount", "zones", "gap"});
        const Json* zones = o.get("zones");
        const size_t zoneTotal = zones && zones->is_array() ? zones->size() : 0;
        eachElement(o, "zones", [&](const Json& j, const std::string& p) {
            image.zones.push_back(readZone(j, p, image.zones.size(), zoneTotal, image.events));
        });
        image.zoneGap = hexBytes(o.get("gap"), o.at("gap"));
        const uint64_t frameSize = 2 + uint64_t{kZoneRecordSize} * image.zones.size() + image.zoneGap.size();
        image.zoneHeader = ZoneHeader{o.num<uint32_t>("frameSize").value_or(static_cast<uint32_t>(frameSize)),
                                      o.num<uint16_t>("zoneCount").value_or(static_cast<uint16_t>(image.zones.size()))};
    }

    if (events) {
        const Obj& o = *events;
        bool declared = o.get("categories") != nullptr;
        eachElement(o, "categories", [&](const Json& j, const std::string& p) { image.categories.push_back(readCategoryEntry(j, p)); });
        if (!declared) {  // one entry per category, in order of first appearance
            std::vector<uint32_t> counts(128, 0);
            for (const Event& e : image.events)
                if (counts[e.category()]++ == 0) image.categories.push_back(uint32_t{e.category()} << 24);
            for (uint32_t& entry : image.categories) entry |= counts[entry >> 24] & 0xFFFFFF;
        }
        const uint32_t n = static_cast<uint32_t>(image.categories.size());
        uint32_t sum = 0, lastSample = 0;
        for (uint32_t entry : image.categories) sum += entry & 0xFFFFFF;
        for (const Event& e : image.events) lastSample = std::max(lastSample, e.samplePosition);
        const uint32_t bodySize = o.num<uint32_t>("eventBodySize").value_or(kEventRecordSize * static_cast<uint32_t>(image.events.size()));
        if (!partial || o.get("eventBodySize")) image.eventBodySize = bodySize;

        EventHeader h;
        h.frameSize = o.num<uint32_t>("frameSize").value_or(36 + 4 * n + bodySize);
        h.headerSize = o.num<uint32_t>("headerSize").value_or(28 + 4 * n);
        h.sampleRate = o.num<uint32_t>("sampleRate").value_or(44100);
        h.totalSamples = o.num<uint32_t>("totalSamples").value_or(lastSample);
        h.effectiveStart = o.num<uint32_t>("effectiveStart").value_or(0);
        h.effectiveEnd = o.num<uint32_t>("effectiveEnd").value_or(h.totalSamples);
        h.channelCount = o.num<uint8_t>("channelCount").value_or(2);
        h.bitsPerSample = o.num<uint8_t>("bitsPerSample").value_or(16);
        h.categoryCount = o.num<uint16_t>("categoryCount").value_or(static_cast<uint16_t>(n));
        h.masterTune = o.num<uint32_t>("masterTune").value_or(440);
        h.totalEventCount = o.num<uint32_t>("totalEventCount").value_or(sum);
        image.eventHeader = h;
    }

    image.trailing = hexBytes(top.get("trailing"), top.at("trailing"));
    if (const Json* hj = section("mainHeader")) {
        const Obj o(*hj, top.at("mainHeader"),
                    {"signature", "engineId", "applicationId", "version", "level", "totalFrameSize"});
        MainHeader h;
        h.signature = idBytes(o, "signature", "KVMF");
        h.engineId = idBytes(o, "engineId", "KVEL");
        h.applicationId = idBytes(o, "applicationId", "KVEL");
        h.version = o.num<uint16_t>("version").value_or(0x0100);
        h.level = o.num<uint16_t>("level").value_or(0x1000);
        image.mainHeader = h;
        const auto total = o.num<uint32_t>("totalFrameSize");
        image.mainHeader->totalFrameSize = total ? *total : static_cast<uint32_t>(writeImage(image).size() - kMainHeaderSize);
    }
    return image;
}

}  // namespace kvel_tool
