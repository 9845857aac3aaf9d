// kvel: check KVMF files in bulk, show what is inside them, and build them
// from JSON.
#include <algorithm>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "KVELRead.h"
#include "check_report.h"
#include "commands.h"

namespace {

using kvel_tool::Format;

const char* kExitStatuses =
    "Exit status:\n"
    "  0  nothing failed\n"
    "  1  some file has an error (or a warning, with --warnings-as-errors);\n"
    "     for dump: the file ends before its own fields say it does\n"
    "  2  a file could not be read or loaded, or the JSON for pack is not usable\n"
    "  3  usage error\n";

Format toFormat(const std::string& name) { return name == "json" ? Format::Json : Format::Text; }

CLI::Option* addFormat(CLI::App* app, std::string& target, const std::string& description) {
    return app->add_option("--format", target, description)
        ->check(CLI::IsMember({"text", "json"}))
        ->type_name("FORMAT");
}

std::string versionText() {
    return std::string("kvel ") + KVEL_TOOL_VERSION + "\nKVELRead library " + KVEL_VERSION_STRING;
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
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
                         "or - for standard input")
        ->required();
    std::string checkFormat = "text";
    addFormat(checkApp, checkFormat, "Report format: text (default) or json");
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
    checkApp->footer(kExitStatuses);

    kvel_tool::DumpCommand dump;
    CLI::App* dumpApp = app.add_subcommand("dump", "Show every field of a file, broken files included");
    dumpApp->add_option("FILE", dump.path, "The file to dump, or - for standard input")->required();
    std::string dumpFormat = "text";
    addFormat(dumpApp, dumpFormat, "text (default): tables for people; json: every field and byte, for pack");
    dumpApp->footer(kExitStatuses);

    kvel_tool::PackCommand pack;
    CLI::App* packApp = app.add_subcommand("pack", "Build a KVMF file from JSON (as dump --format json writes it)");
    packApp->add_option("JSON", pack.input, "The JSON document, or - for standard input")->required();
    packApp->add_option("-o,--output", pack.output, "The file to write, or - for standard output")->required();
    packApp->footer(kExitStatuses);

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
    if (int status = parse(argc, argv); status >= 0) return status;

    if (helpApp->parsed()) {
        if (helpTopic.empty()) {
            std::cout << app.help();
            return 0;
        }
        for (CLI::App* sub : {checkApp, dumpApp, packApp, codesApp}) {
            if (sub->get_name() == helpTopic) {
                // Parsed as "kvel TOPIC --help", so that the usage line names kvel.
                app.clear();
                return parse(helpTopic + " --help", false);
            }
        }
        std::cerr << "kvel: no command '" << helpTopic << "'; the commands are check, dump, pack and codes\n";
        return static_cast<int>(kvel_tool::ExitStatus::Usage);
    }
    auto run = [&]() -> int {
        if (checkApp->parsed()) {
            if (std::count(check.paths.begin(), check.paths.end(), "-") > 1) {
                std::cerr << "kvel: standard input (-) can be checked only once\n";
                return static_cast<int>(kvel_tool::ExitStatus::Usage);
            }
            check.progress = !noProgress;
            check.format = toFormat(checkFormat);
            return kvel_tool::runCheck(check, std::cin, std::cout, std::cerr);
        }
        dump.format = toFormat(dumpFormat);
        if (dumpApp->parsed()) return kvel_tool::runDump(dump, std::cin, std::cout, std::cerr);
        if (packApp->parsed()) return kvel_tool::runPack(pack, std::cin, std::cout, std::cerr);
        return kvel_tool::runCodes(toFormat(codesFormat), std::cout);
    };
    // Nothing a file or a document holds should end in an unhandled
    // exception; this catches what is left, such as running out of memory.
    try {
        return run();
    } catch (const std::exception& e) {
        std::cerr << "kvel: " << e.what() << '\n';
        return static_cast<int>(kvel_tool::ExitStatus::NotLoaded);
    }
}
