#include "commands.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "check_pipeline.h"
#include "check_report.h"
#include "file_io.h"
#include "dump_text.h"
#include "image_json.h"
#include "json_layout.h"
#include "kvmf_image.h"
#include "messages.h"
#include "path_text.h"
#include "progress.h"

namespace kvel_tool {
namespace {

// Runs of at least this many files show progress at a terminal.
constexpr size_t kProgressThreshold = 20;

int status(ExitStatus s) { return static_cast<int>(s); }

// After freeing a large block glibc raises its thresholds for returning
// memory to the system, and freed memory then stays resident: a run's peak
// would grow with the variety of its files, not with the largest. Fixed
// thresholds keep it at what the largest file needs.
void keepHeapFlat() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024);
#endif
}

}  // namespace

int runCheck(const CheckCommand& cmd, std::istream& in, std::ostream& out, std::ostream& err) {
    // Standard input may be read on a worker thread: reading must not flush
    // the report, which only this thread writes.
    in.tie(nullptr);
    keepHeapFlat();
    std::ifstream listFile;
    std::istream* list = nullptr;
    if (!cmd.filesFrom.empty()) {
        if (cmd.filesFrom == "-") {
            list = &in;
        } else {
            listFile.open(cmd.filesFrom, std::ios::binary);
            if (!listFile) {
                err << "kvel: cannot read " << escapePath(cmd.filesFrom) << ": " << std::strerror(errno) << '\n';
                return status(ExitStatus::NotLoaded);
            }
            list = &listFile;
        }
    }
    InputWalk walk(cmd.paths, list, cmd.nulSeparated);
    walk.onEmptyDirectory = [&err](const std::string& dir) {
        err << "kvel: " << escapePath(dir) << ": no .kvmf file found\n";
    };
    CheckReport report(out, cmd.format, cmd.quiet, cmd.color, cmd.options);
    report.begin();
    Progress progress(cmd.progress && stderrIsTerminal(), kProgressThreshold);
    const bool printsLines = cmd.format == Format::Text && !cmd.quiet;
    bool written = true;
    checkInOrder(walk, cmd.jobs, cmd.options, in, [&](const FileResult& file) {
        if (printsLines && (!file.records.empty() || !file.reason.empty())) progress.clear();
        written = report.add(file);
        progress.update(static_cast<size_t>(report.totals().files));
        return written;
    });
    progress.clear();
    if (written) written = report.finish();
    // A failed write is reported by the caller, which knows the reason.
    return status(written ? report.status() : ExitStatus::NotLoaded);
}

bool parseCodes(const std::vector<std::string>& texts, std::vector<int32_t>& codes) {
    for (const std::string& text : texts) {
        int32_t code = 0;
        const char* end = text.data() + text.size();
        const auto parsed = std::from_chars(text.data(), end, code);
        if (text.empty() || parsed.ec != std::errc() || parsed.ptr != end) return false;
        codes.push_back(code > 0 ? -code : code);
    }
    std::sort(codes.begin(), codes.end());
    return true;
}

bool parseEventRange(const std::string& text, EventRange& range) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    auto bound = [](const char* from, const char* to, size_t& value) {
        if (from == to) return true;
        const auto parsed = std::from_chars(from, to, value);
        return parsed.ec == std::errc() && parsed.ptr == to;
    };
    return bound(text.data(), text.data() + colon, range.from) &&
           bound(text.data() + colon + 1, text.data() + text.size(), range.to);
}

int runCodes(Format format, std::ostream& out) {
    if (format == Format::Json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const Message& m : messages())
            list.push_back({{"id", m.id}, {"code", -m.id}, {"severity", severityOf(-m.id)}, {"text", m.text}});
        writeJson(out, {{"schemaVersion", 1}, {"messages", std::move(list)}});
        return 0;
    }
    out << "   code  severity  text\n";
    for (const Message& m : messages())
        out << std::setw(7) << -m.id << "  " << std::left << std::setw(8) << severityOf(-m.id) << std::right << "  "
            << m.text << '\n';
    return 0;
}

namespace {

std::optional<Bytes> readInput(const std::string& path, std::istream& in, std::ostream& err) {
    std::string error;
    auto bytes = path == "-" ? readStream(in, error) : readFile(path, error);
    if (!bytes) err << "kvel: cannot read " << (path == "-" ? "standard input" : path) << ": " << error << '\n';
    return bytes;
}

// nlohmann's messages start with "[json.exception.parse_error.101] ".
std::string plainMessage(const std::string& what) {
    const size_t bracket = what.find("] ");
    return what.rfind("[json.exception", 0) == 0 && bracket != std::string::npos ? what.substr(bracket + 2) : what;
}

}  // namespace

int runDump(const DumpCommand& cmd, std::istream& in, std::ostream& out, std::ostream& err) {
    const std::optional<Bytes> bytes = readInput(cmd.path, in, err);
    if (!bytes) return status(ExitStatus::NotLoaded);
    const std::string shown = cmd.path == "-" ? "<stdin>" : escapePath(cmd.path);
    const Image image = parseImage(*bytes);
    if (cmd.format == Format::Json)
        writeJson(out, imageToJson(image, shown, bytes->size()));
    else
        dumpText(out, image, shown, bytes->size(), cmd.events.from, cmd.events.to);
    out.flush();
    if (image.stop) {
        err << "kvel: " << shown << ": stopped at offset " << image.stop->offset << ": " << image.stop->reason << '\n';
        return status(ExitStatus::Failed);
    }
    return status(ExitStatus::Ok);
}

int runPack(const PackCommand& cmd, std::istream& in, std::ostream& out, std::ostream& err) {
    const std::optional<Bytes> text = readInput(cmd.input, in, err);
    if (!text) return status(ExitStatus::NotLoaded);
    const std::string shown = cmd.input == "-" ? "<stdin>" : cmd.input;
    Bytes bytes;
    try {
        bytes = writeImage(imageFromJson(Json::parse(text->begin(), text->end())));
    } catch (const Json::exception& e) {
        err << "kvel: " << shown << ": " << plainMessage(e.what()) << '\n';
        return status(ExitStatus::NotLoaded);
    } catch (const JsonInputError& e) {
        err << "kvel: " << shown << ": " << e.what() << '\n';
        return status(ExitStatus::NotLoaded);
    }
    if (cmd.output == "-") {
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        return status(out ? ExitStatus::Ok : ExitStatus::NotLoaded);
    }
    std::string error;
    if (!writeFile(cmd.output, bytes, error)) {
        err << "kvel: cannot write " << cmd.output << ": " << error << '\n';
        return status(ExitStatus::NotLoaded);
    }
    return status(ExitStatus::Ok);
}

}  // namespace kvel_tool
