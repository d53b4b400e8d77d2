// QviSystemInfo on a simulated machine: builds the machine the options describe, runs the probe with the
// command line, then prints HKEY_LOCAL_MACHINE as REGEDIT4 on standard output and, on standard error, what
// the probe sent to the debugger and appended to VornDump.txt.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "sim/directx.h"
#include "sim/errors.h"
#include "sim/filesystem.h"
#include "sim/machine.h"
#include "sim/registry.h"

namespace {

const char kUsage[] =
    "usage: QviSystemInfo --os NAME [--reg FILE.reg]... [--cwd DIR] [--no-ddraw | --ddraw-no-export |\n"
    "                     --ddraw-fails] [--no-filter-graph] [--] COMMAND_LINE...\n"
    "\n"
    "Runs the system information probe on a simulated Windows and prints the machine's HKEY_LOCAL_MACHINE.\n"
    "  --os NAME           the Windows version: %s\n"
    "  --reg FILE.reg      load a REGEDIT4 file into the registry first (repeatable)\n"
    "  --cwd DIR           the probe's current folder (default C:\\), where VornDump.txt is appended\n"
    "  --no-ddraw          DDRAW.DLL cannot be loaded\n"
    "  --ddraw-no-export   DDRAW.DLL has no DirectDrawCreate\n"
    "  --ddraw-fails       DirectDrawCreate fails\n"
    "  --no-filter-graph   the DirectShow filter graph class is not registered\n"
    "  COMMAND_LINE        the probe's command line: the key below HKEY_LOCAL_MACHINE, used as it stands\n"
    "                      (several arguments are joined with single spaces)\n";

struct Options {
    std::string os;
    std::vector<std::string> reg_files;
    std::string cwd = "C:\\";
    sim::DirectXOptions directx;
    std::string command_line;
};

int Usage(const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "QviSystemInfo: %s\n\n", problem.c_str());
    std::fprintf(problem.empty() ? stdout : stderr, kUsage, sim::KnownVersionNames().c_str());
    return problem.empty() ? 0 : 2;
}

bool Parse(int argc, char** argv, Options& options, std::string& problem) {
    bool rest = false;
    bool have_command_line = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 < argc) return argv[++i];
            problem = std::string(name) + " needs a value";
            return nullptr;
        };
        if (!rest && arg == "--") {
            rest = true;
        } else if (!rest && arg == "--os") {
            const char* v = value("--os");
            if (!v) return false;
            options.os = v;
        } else if (!rest && arg == "--reg") {
            const char* v = value("--reg");
            if (!v) return false;
            options.reg_files.push_back(v);
        } else if (!rest && arg == "--cwd") {
            const char* v = value("--cwd");
            if (!v) return false;
            options.cwd = v;
        } else if (!rest && arg == "--no-ddraw") {
            options.directx.ddraw_library = false;
        } else if (!rest && arg == "--ddraw-no-export") {
            options.directx.ddraw_create_export = false;
        } else if (!rest && arg == "--ddraw-fails") {
            options.directx.ddraw_create_result = static_cast<HRESULT>(0x887600FF);  // DDERR_GENERIC's family
        } else if (!rest && arg == "--no-filter-graph") {
            options.directx.filter_graph = false;
        } else if (!rest && arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
            problem = "unknown option " + arg;
            return false;
        } else {
            options.command_line += (have_command_line ? " " : "") + arg;
            have_command_line = true;
        }
    }
    if (options.os.empty()) {
        problem = "--os is required";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--") == 0)
            break;
        else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return Usage("");
    Options options;
    std::string problem;
    if (!Parse(argc, argv, options, problem)) return Usage(problem);
    std::optional<sim::VersionInfo> version = sim::FindVersion(options.os);
    if (!version) return Usage("unknown Windows version \"" + options.os + "\"");

    try {
        sim::Machine machine(*version);
        for (const std::string& file : options.reg_files) machine.registry().ImportRegFile(file);
        sim::InstallDirectX(machine, options.directx);

        sim::Program probe;
        probe.exe_path = "C:\\QVI\\QviSystemInfo.exe";
        probe.image = sim::ImagePath("QviSystemInfo");
        sim::Process& process =
            machine.Start(probe, "\"" + probe.exe_path + "\" " + options.command_line, options.cwd);
        sim::RunResult result = machine.Run();

        std::cout << machine.registry().ExportRegText("HKEY_LOCAL_MACHINE");
        for (const std::string& line : machine.debug_output) std::cerr << "debugger: " << line;
        std::string cwd = process.current_dir;
        if (std::optional<std::string> dump = machine.files().ReadFile(cwd + "VornDump.txt"))
            std::cerr << "VornDump.txt:\n" << *dump;
        if (result.deadlocked()) {
            std::cerr << result.deadlock << "\n";
            return 1;
        }
        if (!process.crash.empty()) {
            std::cerr << "QviSystemInfo: " << process.crash << "\n";
            return 1;
        }
        return 0;
    } catch (const sim::InputError& e) {
        std::fprintf(stderr, "QviSystemInfo: %s\n", e.what());
        return 2;
    }
}
