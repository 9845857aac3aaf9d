// kvel: check KVMF files in bulk, show what is inside them, and build them
// from JSON.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

#include <CLI/CLI.hpp>

#include "KVELRead.h"
#include "check_report.h"
#include "commands.h"
#include "file_io.h"
#include "progress.h"

namespace {

using kvel_tool::Format;

const char* kExitStatuses =
    "Exit status:\n"
    "  0  nothing failed\n"
    "  1  some file has an error (or a warning, with --warnings-as-errors);\n"
    "     for dump: the file ends before its own fields say it does\n"
    "  2  a file could not be read or loaded, the JSON for pack is not usable,\n"
    "     or the output could not be written\n"
    "  3  usage error\n";

// Each command's help lists only the statuses it can end with.
const char* kCheckStatuses =
    "Exit status: 0 every file is valid; 1 some file is invalid; 2 some file or directory was not\n"
    "checked, or the report could not be written; 3 usage error.\n";
const char* kDumpStatuses =
    "Exit status: 0 shown; 1 the file ends before its own fields say it does; 2 the file could not\n"
    "be read or the output not written; 3 usage error.\n";
const char* kPackStatuses =
    "Exit status: 0 written; 2 the JSON is not usable or the file could not be written; 3 usage error.\n";

Format toFormat(const std::string& name) {
    if (name == "json") return Format::Json;
    if (name == "jsonl") return Format::Jsonl;
    if (name == "junit") return Format::Junit;
    return Format::Text;
}

CLI::Option* addFormat(CLI::App* app, std::string& target, const std::string& description,
                       std::vector<std::string> names = {"text", "json"}) {
    return app->add_option("--format", target, description)->check(CLI::IsMember(names))->type_name("FORMAT");
}

std::string versionText() {
    return std::string("kvel ") + KVEL_TOOL_VERSION + "\nKVELRead library " + KVEL_VERSION_STRING;
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const kvel_tool::OutputBuffer stdoutBuffer(std::cout, 1);
    CLI::App app{"Checks KVMF music-structure files, shows what is inside them, and builds them from JSON.", "kvel"};
    app.set_version_flag("--version", versionText(), "Print the tool's and the library's versions and exit");
    app.footer(std::string("\nRun 'kvel help COMMAND' for a command's options.\n\n") + kExitStatuses);
    app.require_subcommand(1);
    // The same options on every platform: on Windows too, /x is a path.
    app.allow_windows_style_options(false);

    kvel_tool::CheckCommand check;
    CLI::App* checkApp = app.add_subcommand("check", "Load and check files; print every problem and a summary");
    checkApp->add_option("PATH", check.paths,
                         "A .kvmf file (any name is checked), a directory (searched recursively for *.kvmf), "
                         "or - for standard input");
    std::string checkFormat = "text";
    addFormat(checkApp, checkFormat, "Report format: text (default), json, jsonl (a line per file) or junit (XML)",
              {"text", "json", "jsonl", "junit"});
    CLI::Option* filesFrom = checkApp->add_option("--files-from", check.filesFrom,
                                                  "Check the paths listed in FILE too, one a line (- for standard input)")
                                 ->type_name("FILE");
    checkApp->add_flag("-0,--null", check.nulSeparated, "The --files-from list is separated by NUL bytes")
        ->needs(filesFrom);
    check.jobs = std::max(1u, std::thread::hardware_concurrency());
    checkApp->add_option("-j,--jobs", check.jobs, "Check with N workers (default: one per CPU)")
        ->check(CLI::Range(1u, 1024u))
        ->type_name("N");
    std::vector<std::string> ignored;
    checkApp->add_option("--ignore", ignored, "Leave records with these codes out of the report and the verdict")
        ->delimiter(',')
        ->allow_extra_args(false)
        ->type_name("CODE[,CODE...]");
    std::string color = "auto";
    checkApp->add_option("--color", color, "Colour ERROR and WARNING: auto (at a terminal, unless NO_COLOR is set), "
                                           "always or never")
        ->check(CLI::IsMember({"auto", "always", "never"}))
        ->type_name("WHEN");
    checkApp->add_option("--max-size", check.options.maxSize,
                         "Standard input longer than this is not checked (default: the largest file the format "
                         "can describe, 4294967315 bytes)")
        ->type_name("BYTES");
    checkApp->add_flag("--no-warnings", check.options.noWarnings, "Hold back every warning; report errors only");
    checkApp->add_flag("--allow-user-categories", check.options.allowUserCategories,
                       "Accept the user categories 112 to 126 in the category table");
    checkApp->add_flag("--warnings-as-errors", check.options.warningsAsErrors,
                       "A file with a warning is invalid and makes the exit status 1");
    checkApp->add_flag("-q,--quiet", check.quiet, "Print the summary only (json: no per-file entries)");
    bool noProgress = false;
    checkApp->add_flag("--no-progress", noProgress,
                       "Never show the progress line (shown on standard error only when it is a terminal "
                       "and 20 or more files are checked)");
    checkApp->footer(kCheckStatuses);

    kvel_tool::DumpCommand dump;
    CLI::App* dumpApp = app.add_subcommand("dump", "Show every field of a file, broken files included");
    dumpApp->add_option("FILE", dump.path, "The file to dump, or - for standard input")->required();
    std::string dumpFormat = "text";
    addFormat(dumpApp, dumpFormat, "text (default): tables for people; json: every field and byte, for pack");
    std::string eventRange;
    dumpApp->add_option("--events", eventRange, "Show only events FROM up to but not including TO (text)")
        ->type_name("FROM:TO");
    dumpApp->footer(kDumpStatuses);

    kvel_tool::PackCommand pack;
    CLI::App* packApp = app.add_subcommand("pack", "Build a KVMF file from JSON (as dump --format json writes it)");
    packApp->add_option("JSON", pack.input, "The JSON document, or - for standard input")->required();
    packApp->add_option("-o,--output", pack.output, "The file to write, or - for standard output")->required();
    packApp->footer(kPackStatuses);

    std::string codesFormat = "text";
    CLI::App* codesApp = app.add_subcommand("codes", "List every message: code, severity and text");
    addFormat(codesApp, codesFormat, "text (default) or json");

    std::string helpTopic;
    CLI::App* helpApp = app.add_subcommand("help", "Show the help of kvel or of one command");
    helpApp->add_option("COMMAND", helpTopic, "check, dump, pack or codes");

    auto parse = [&](auto&&... args) -> int {
        try {
            app.parse(args...);
            return -1;
            } catch (const CLI::CallForHelp& e) {
            return app.exit(e);
        } catch (const CLI::CallForAllHelp& e) {
            return app.exit(e);
        } catch (const CLI::CallForVersion& e) {
            return app.exit(e);
        } catch (const CLI::ParseError& e) {
            std::cerr << "kvel: " << e.what() << "\nRun 'kvel --help' for usage.\n";
            return static_cast<int>(kvel_tool::ExitStatus::Usage);
        }
    };
    // A first word that is neither an option nor a command is named as such.
    const auto named = [&](const CLI::App* sub) { return sub->get_name() == argv[1]; };
    if (argc > 1 && argv[1][0] != '-' && app.get_subcommands(named).empty()) {
        std::cerr << "kvel: no command '" << argv[1] << "'\nRun 'kvel --help' for usage.\n";
        return static_cast<int>(kvel_tool::ExitStatus::Usage);
    }
    if (int status = parse(argc, argv); status >= 0) return status;

    if (helpApp->parsed()) {
        if (helpTopic.empty()) {
            std::cout << app.help();
            return 0;
        }
        for (CLI::App* sub : {checkApp, dumpApp, packApp, codesApp, helpApp}) {
            if (sub->get_name() == helpTopic) {
                // Parsed as "kvel TOPIC --help", so that the usage line names kvel.
                app.clear();
                return parse(helpTopic + " --help", false);
            }
        }
        std::cerr << "kvel: no command '" << helpTopic << "'; the commands are check, dump, pack, codes and help\n";
        return static_cast<int>(kvel_tool::ExitStatus::Usage);
    }
    auto run = [&]() -> int {
        if (checkApp->parsed()) {
            if (std::count(check.paths.begin(), check.paths.end(), "-") > 1) {
                std::cerr << "kvel: standard input (-) can be checked only once\n";
                return static_cast<int>(kvel_tool::ExitStatus::Usage);
            }
            if (check.paths.empty() && check.filesFrom.empty()) {
                std::cerr << "kvel: check needs a PATH or --files-from\nRun 'kvel help check' for usage.\n";
                return static_cast<int>(kvel_tool::ExitStatus::Usage);
            }
            if (check.filesFrom == "-" && std::count(check.paths.begin(), check.paths.end(), "-") > 0) {
                std::cerr << "kvel: standard input cannot be both checked and read as --files-from\n";
                return static_cast<int>(kvel_tool::ExitStatus::Usage);
            }
            if (!kvel_tool::parseCodes(ignored, check.options.ignore)) {
                std::cerr << "kvel: --ignore takes message codes, such as -2021 or 2021\n";
                return static_cast<int>(kvel_tool::ExitStatus::Usage);
            }
            const char* noColor = std::getenv("NO_COLOR");
            check.color = color == "always" ||
                          (color == "auto" && kvel_tool::stdoutIsTerminal() && !(noColor && *noColor));
            check.progress = !noProgress;
            check.format = toFormat(checkFormat);
            return kvel_tool::runCheck(check, std::cin, std::cout, std::cerr);
        }
        dump.format = toFormat(dumpFormat);
        if (!eventRange.empty() && !kvel_tool::parseEventRange(eventRange, dump.events)) {
            std::cerr << "kvel: --events takes FROM:TO, such as 100:200, 100: or :200\n";
            return static_cast<int>(kvel_tool::ExitStatus::Usage);
        }
        if (dumpApp->parsed()) return kvel_tool::runDump(dump, std::cin, std::cout, std::cerr);
        if (packApp->parsed()) return kvel_tool::runPack(pack, std::cin, std::cout, std::cerr);
        return kvel_tool::runCodes(toFormat(codesFormat), std::cout);
    };
    // Nothing a file or a document holds should end in an unhandled
    // exception; this catches what is left, such as running out of memory.
    try {
        const int status = run();
        if (!kvel_tool::reportWritten(std::cout, stdoutBuffer, std::cerr))
            return static_cast<int>(kvel_tool::ExitStatus::NotLoaded);
        return status;
    } catch (const std::exception& e) {
        std::cerr << "kvel: " << e.what() << '\n';
        return static_cast<int>(kvel_tool::ExitStatus::NotLoaded);
    }
}
