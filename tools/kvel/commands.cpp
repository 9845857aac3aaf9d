#include "commands.h"

#include <iomanip>
#include <iostream>
#include <sstream>

#include "check_report.h"
#include "file_io.h"
#include "dump_text.h"
#include "image_json.h"
#include "json_layout.h"
#include "kvmf_image.h"
#include "messages.h"
#include "progress.h"

namespace kvel_tool {
namespace {

// Runs of at least this many files show progress at a terminal.
constexpr size_t kProgressThreshold = 20;

int status(ExitStatus s) { return static_cast<int>(s); }

}  // namespace

int runCheck(const CheckCommand& cmd, std::istream& in, std::ostream& out, std::ostream& err) {
    Expansion expansion = expandPaths(cmd.paths);
    CheckReport report(out, cmd.format == Format::Json, cmd.quiet, cmd.options);
    for (const std::string& problem : expansion.problems) {
        err << "kvel: " << problem << '\n';
        report.addUnreadable();
    }
    Progress progress(cmd.progress && stderrIsTerminal() && expansion.inputs.size() >= kProgressThreshold,
                      expansion.inputs.size());
    auto readStdin = [&in](std::string& error) { return readStream(in, error); };
    for (size_t i = 0; i < expansion.inputs.size(); ++i) {
        FileResult file = checkFile(expansion.inputs[i], cmd.options, readStdin);
        const bool printsLines = cmd.format == Format::Text && !cmd.quiet;
        if (printsLines && (!file.records.empty() || !file.reason.empty())) progress.clear();
        report.add(file);
        progress.update(i + 1);
    }
    progress.clear();
    report.finish();
    return status(report.status());
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
    const std::string shown = cmd.path == "-" ? "<stdin>" : cmd.path;
    const Image image = parseImage(*bytes);
    if (cmd.format == Format::Json)
        writeJson(out, imageToJson(image, shown, bytes->size()));
    else
        dumpText(out, image, shown, bytes->size());
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
