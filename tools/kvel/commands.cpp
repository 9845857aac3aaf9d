#include "commands.h"

#include <iomanip>
#include <iostream>
#include <sstream>

#include "check_report.h"
#include "file_io.h"
#include "json_layout.h"
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
        if (!file.records.empty() || !file.reason.empty()) progress.clear();
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

int runDump(const DumpCommand&, std::istream&, std::ostream&, std::ostream& err) {
    err << "kvel: dump is not built yet\n";
    return 3;
}

int runPack(const PackCommand&, std::istream&, std::ostream&, std::ostream& err) {
    err << "kvel: pack is not built yet\n";
    return 3;
}

}  // namespace kvel_tool
