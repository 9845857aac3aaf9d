#include "dump_text.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "kvmf_names.h"

namespace kvel_tool {
namespace {

template <class... Args>
std::string format(const char* fmt, Args... args) {
    char buf[256];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

std::string idText(const std::array<uint8_t, 4>& b) {
    std::string s = "\"";
    for (uint8_t c : b) s += c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c)) : format("\\x%02x", c);
    return s + "\"";
}

std::string categoryText(uint8_t category) {
    if (const Named* n = findByNumber(kCategories, category)) return n->text;
    if (category == 24 || category == 25 || category == 32) return format("category %u", category);
    if (category >= 112 && category <= 126) return format("user %u", category);
    return format("invalid %u", category);
}

std::string positionText(uint32_t p) { return p == kNoPosition ? "-" : std::to_string(p); }

// The time of the event at an event position, when the position names one.
std::string eventTime(const Image& image, uint32_t position) {
    if (!image.eventHeader || position % kEventRecordSize || position / kEventRecordSize >= image.events.size())
        return "?";
    return sampleTime(image.events[position / kEventRecordSize].samplePosition, image.eventHeader->sampleRate);
}

std::string range(uint32_t from, uint32_t to) {
    if (from == kNoPosition && to == kNoPosition) return "-";
    return positionText(from) + ".." + positionText(to);
}

void mainHeader(std::ostream& out, const MainHeader& h, uint64_t fileSize) {
    out << "Main header\n"
        << "  signature          " << idText(h.signature) << '\n'
        << "  engine ID          " << idText(h.engineId) << '\n'
        << "  application ID     " << idText(h.applicationId) << '\n'
        << "  version            " << format("0x%04x", h.version) << '\n'
        << "  level              " << format("0x%04x", h.level) << '\n'
        << "  total frame size   " << h.totalFrameSize;
    if (uint64_t{h.totalFrameSize} + kMainHeaderSize != fileSize)
        out << "  (the file holds " << (fileSize >= kMainHeaderSize ? fileSize - kMainHeaderSize : 0)
            << " bytes after the header)";
    out << "\n\n";
}

void zones(std::ostream& out, const Image& image) {
    const ZoneHeader& z = *image.zoneHeader;
    out << "Zone sub-frame at offset " << kMainHeaderSize << "\n"
        << "  frame size         " << z.frameSize << '\n'
        << "  zone count         " << z.zoneCount << '\n';
    if (image.zones.size() < z.zoneCount && !image.stop)
        out << "  (records " << image.zones.size() << " to " << z.zoneCount - 1
            << " would lie inside the event sub-frame and are not shown)\n";
    if (!image.zones.empty()) {
        out << '\n'
            << format("  %4s  %6s  %10s  %6s  %10s  %7s  %5s  %4s  %4s  %5s  %-13s  %s\n", "zone", "start", "time",
                      "end", "time", "tempo", "meter", "bars", "key", "scale", "fade in", "fade out");
        for (const Zone& zone : image.zones) {
            const std::string meter = format("%u/%u", zone.meterNumerator, zone.meterDenominator);
            const uint16_t key = zone.key & 0x7F;
            const std::string keyText = (key == 0x7F ? std::string("none") : std::to_string(key)) +
                                        (zone.key & 0x80 ? "*" : "");
            out << format("  %4u  %6s  %10s  %6s  %10s  %7.2f  %5s  %4u  %4s  %5u  %-13s  %s\n", zone.zoneNumber,
                          positionText(zone.zoneStartPosition).c_str(),
                          eventTime(image, zone.zoneStartPosition).c_str(),
                          positionText(zone.zoneEndPosition).c_str(), eventTime(image, zone.zoneEndPosition).c_str(),
                          static_cast<double>(zone.bpm()), meter.c_str(), zone.barCount, keyText.c_str(),
                          (zone.key >> 8) & 0x3,
                          range(zone.fadeInStartPosition, zone.fadeInEndPosition).c_str(),
                          range(zone.fadeOutStartPosition, zone.fadeOutEndPosition).c_str());
            bool reserved = zone.reserved0 != 0;
            for (uint32_t r : zone.reserved) reserved = reserved || r != 0;
            if (reserved || (zone.key & 0xFC00)) out << "        (reserved bits are set in this record)\n";
        }
        out << "  (positions are event positions; * marks the key flag)\n";
    }
    if (!image.zoneGap.empty()) out << "  " << image.zoneGap.size() << " bytes follow the records\n";
    out << '\n';
}

void eventHeader(std::ostream& out, const Image& image) {
    const EventHeader& h = *image.eventHeader;
    out << "Event sub-frame at offset " << eventSubFrameOffset(image) << "\n"
        << "  frame size         " << h.frameSize << '\n'
        << "  header size        " << h.headerSize << '\n'
        << "  sample rate        " << h.sampleRate << " Hz\n"
        << "  total samples      " << h.totalSamples << "  (" << sampleTime(h.totalSamples, h.sampleRate) << ")\n"
        << "  effective start    " << h.effectiveStart << "  (" << sampleTime(h.effectiveStart, h.sampleRate) << ")\n"
        << "  effective end      " << h.effectiveEnd << "  (" << sampleTime(h.effectiveEnd, h.sampleRate) << ")\n"
        << "  channels           " << unsigned{h.channelCount} << '\n'
        << "  bits per sample    " << unsigned{h.bitsPerSample} << '\n'
        << "  master tune        " << (h.masterTune == 0xFFFFFFFF ? "not given" : std::to_string(h.masterTune) + " Hz")
        << '\n'
        << "  category count     " << h.categoryCount << '\n'
        << "  total event count  " << h.totalEventCount << "\n\n";

    out << "Categories\n";
    for (uint32_t entry : image.categories)
        out << format("  %-16s %8u%s\n", categoryText((entry >> 24) & 0x7F).c_str(), entry & 0xFFFFFF,
                      entry >> 31 ? "  [bit 31]" : "");
    if (image.categories.empty()) out << "  (none)\n";
    out << '\n';
}

void events(std::ostream& out, const Image& image, size_t first, size_t end) {
    const uint32_t body = *image.eventBodySize;
    out << "Events at offset " << firstEventOffset(image) << "\n  event body size    " << body;
    if (static_cast<int32_t>(body) <= 0)
        out << "  (not positive: no records)";
    else if (body % kEventRecordSize)
        out << "  (" << body % kEventRecordSize << " bytes beyond the last whole record)";
    out << "\n\n";
    if (image.events.empty()) return;
    const uint32_t rate = image.eventHeader->sampleRate;
    end = std::min(end, image.events.size());
    if (first > 0 || end < image.events.size())
        out << "  (events " << first << " up to " << end << " of " << image.events.size() << " shown)\n";
    out << format("  %5s  %8s  %-8s  %10s  %10s  %-16s  %s\n", "index", "position", "bar.beat", "sample", "time",
                  "category", "data");
    for (size_t i = first; i < end && out; ++i) {
        const Event& e = image.events[i];
        const std::string barBeat = e.bar() == kNoBar ? "-" : format("%u.%u", e.bar(), e.beat());
        out << format("  %5zu  %8zu  %-8s  %10u  %10s  %-16s  %s\n", i, i * kEventRecordSize, barBeat.c_str(),
                      e.samplePosition, sampleTime(e.samplePosition, rate).c_str(), categoryText(e.category()).c_str(),
                      describeEvent(e).c_str());
    }
    out << '\n';
}

}  // namespace

std::string sampleTime(uint32_t sample, uint32_t sampleRate) {
    if (sampleRate == 0) return "-";
    const uint64_t ms = uint64_t{sample} * 1000 / sampleRate;
    return format("%" PRIu64 ":%02" PRIu64 ".%03" PRIu64, ms / 60000, ms / 1000 % 60, ms % 1000);
}

std::string describeEvent(const Event& e) {
    const uint32_t data = e.data();
    std::string text;
    uint32_t shown = 0;
    switch (e.category()) {
        case 1: {
            const bool barStart = data & kBarStartBit, uncounted = data & kUncountedBit;
            text = barStart && uncounted ? "bar start, uncounted" : barStart ? "bar start" : uncounted ? "uncounted" : "-";
            shown = kBarStartBit | kUncountedBit;
            break;
        }
        case 8:
            text = format("chord 0x%02x flag %u", (data & kChordMask) >> 8, data & kSharpFlatMask);
            shown = kChordMask | kSharpFlatMask;
            break;
        case 9:
            text = format("tones 0x%05x flag %u", (data & kTonesMask) >> 5, data & kSharpFlatMask);
            shown = kTonesMask | kSharpFlatMask;
            break;
        case 16:
            text = format("melody 0x%03x", data & kMelodyMask);
            shown = kMelodyMask;
            break;
        case 47: {
            const uint8_t code = data & kOutlineCodeMask;
            const uint32_t zone = (data & kZoneNumberMask) >> 7;
            shown = kOutlineCodeMask;
            if (code == 1) {
                text = zone == kTerminatorZone ? "zone terminator" : format("zone %u", zone);
                shown |= kZoneNumberMask;
            } else if (const Named* n = findByNumber(kOutlineCodes, code)) {
                text = n->text;
            } else {
                text = format("invalid outline code %u", code);
            }
            break;
        }
        default: break;
    }
    if (data & ~shown) text += format("%sdata 0x%06x", text.empty() ? "" : " + ", data & ~shown);
    if (e.value >> 31) text += " [bit 31]";
    return text;
}

void dumpText(std::ostream& out, const Image& image, const std::string& path, uint64_t fileSize, size_t firstEvent,
              size_t endEvent) {
    out << path << ": " << fileSize << " bytes\n\n";
    if (image.mainHeader) mainHeader(out, *image.mainHeader, fileSize);
    if (image.zoneHeader) zones(out, image);
    if (image.eventHeader) eventHeader(out, image);
    if (image.eventBodySize) events(out, image, firstEvent, endEvent);
    if (image.stop) {
        out << "Stopped at offset " << image.stop->offset << ": " << image.stop->reason << ".\n";
        if (!image.trailing.empty()) out << image.trailing.size() << " bytes from there on are not shown.\n";
    } else if (!image.trailing.empty()) {
        out << image.trailing.size() << " bytes follow the last record.\n";
    }
}

}  // namespace kvel_tool
