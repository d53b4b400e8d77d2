// Setup on a simulated machine that a scenario folder describes: runs the whole story, restarts included,
// and prints the transcript or writes it with the final registry, drives and a summary. With --all, runs
// every scenario below a folder and prints a table; a scenario's expectations make it a regression test.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "sim/errors.h"
#include "sim/scenario/run.h"

#ifndef SETUP_DEFAULT_SCENARIO
#error "the build names the default scenario's folder"
#endif

namespace {

const char kUsage[] =
    "usage: Setup [--scenario DIR] [--out DIR] [-- COMMAND_LINE...]\n"
    "       Setup --all DIR [--out DIR]\n"
    "\n"
    "Runs Setup on the simulated machine a scenario folder describes (scenarios/README.md), the whole story\n"
    "with its restarts.\n"
    "  --scenario DIR  the scenario (default: " SETUP_DEFAULT_SCENARIO
    ")\n"
    "  --out DIR       write transcript.txt, registry.reg, drives/ and summary.json there; without it the\n"
    "                  transcript goes to standard output\n"
    "  --all DIR       run every scenario below DIR and print a table; with --out, each one's output goes\n"
    "                  to a folder of its name there\n"
    "  COMMAND_LINE    Setup's arguments, in place of the scenario's\n"
    "Exit status: 0 when every expectation held, 1 when one did not, 2 for a scenario that was refused.\n";

struct Options {
    std::string scenario = SETUP_DEFAULT_SCENARIO;
    std::string out;
    std::string all;
    std::optional<std::string> arguments;
};

int Usage(const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "Setup: %s\n\n", problem.c_str());
    std::fputs(kUsage, problem.empty() ? stdout : stderr);
    return problem.empty() ? 0 : 2;
}

bool Parse(int argc, char** argv, Options& o, std::string& problem) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--") {
            std::string rest;
            for (++i; i < argc; ++i) rest += (rest.empty() ? "" : " ") + std::string(argv[i]);
            o.arguments = rest;
            break;
        }
        bool takes_value = arg == "--scenario" || arg == "--out" || arg == "--all";
        if (!takes_value) {
            problem = "unknown argument " + arg;
            return false;
        }
        if (i + 1 >= argc) {
            problem = arg + " needs a folder";
            return false;
        }
        std::string value = argv[++i];
        (arg == "--scenario" ? o.scenario : arg == "--out" ? o.out : o.all) = value;
    }
    return true;
}

bool HasScenarioFile(const std::string& folder) {
    struct stat info;
    return stat((folder + "/scenario.json").c_str(), &info) == 0;
}

// The scenario folders below a folder, in name order.
void FindScenarios(const std::string& folder, std::vector<std::string>& found) {
    if (HasScenarioFile(folder)) found.push_back(folder);
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        struct stat info;
        std::string path = folder + "/" + name;
        if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) FindScenarios(path, found);
    }
}

void PrintDifferences(const std::string& name, const std::vector<std::string>& differences) {
    for (const std::string& d : differences) std::fprintf(stderr, "%s: %s\n", name.c_str(), d.c_str());
}

int RunOne(const Options& o) {
    try {
        sim::scenario::Scenario s = sim::scenario::LoadScenario(o.scenario);
        if (o.arguments) s.arguments = *o.arguments;
        sim::scenario::Run run = sim::scenario::RunScenario(s);
        if (o.out.empty())
            std::cout << sim::scenario::Transcript(*run.machine);
        else
            sim::scenario::WriteOutput(s, run, o.out);
        std::vector<std::string> differences = sim::scenario::CheckExpectations(s, run);
        PrintDifferences(o.scenario, differences);
        return differences.empty() ? 0 : 1;
    } catch (const sim::InputError& e) {
        std::fprintf(stderr, "Setup: scenario refused: %s\n", e.what());
        return 2;
    }
}

// The phases in a few characters each, for the table.
std::string ShortPhases(const std::vector<std::string>& phases) {
    static const std::pair<const char*, const char*> kShort[] = {
        {"install view", "view"},     {"Started", "1"},
        {"CopyingFiles", "2"},        {"RefreshingHardware", "3"},
        {"WaitingForDriver", "4"},    {"Finished", "8"},
        {"restart prompt", "prompt"}, {"restart requested", "restart"},
        {"speaker view", "speakers"}};
    std::string text;
    for (const std::string& p : phases) {
        std::string word = p.rfind("boot ", 0) == 0 ? "boot" + p.substr(5) : p;
        for (const auto& [name, abbreviation] : kShort)
            if (p == name) word = abbreviation;
        text += (text.empty() ? "" : " ") + word;
    }
    return text;
}

std::string RelativeName(const std::string& root, const std::string& folder) {
    if (folder == root) return folder.substr(folder.find_last_of('/') + 1);
    return folder.substr(root.size() + (root.back() == '/' ? 0 : 1));
}

int RunAll(const Options& o) {
    std::vector<std::string> folders;
    FindScenarios(o.all, folders);
    if (folders.empty()) {
        std::fprintf(stderr, "Setup: no scenario (scenario.json) below %s\n", o.all.c_str());
        return 2;
    }
    std::printf("%-28s %-8s %-52s %-7s %9s %7s  %s\n", "scenario", "windows", "path", "result", "virtual",
                "real", "phases");
    int failed = 0;
    for (const std::string& folder : folders) {
        std::string name = RelativeName(o.all, folder);
        try {
            sim::scenario::Scenario s = sim::scenario::LoadScenario(folder);
            sim::scenario::Run run = sim::scenario::RunScenario(s);
            if (!o.out.empty()) {
                mkdir(o.out.c_str(), 0777);
                std::string out = o.out + "/" + name;
                std::replace(out.begin() + static_cast<long>(o.out.size()) + 1, out.end(), '/', '_');
                sim::scenario::WriteOutput(s, run, out);
            }
            std::vector<std::string> differences = sim::scenario::CheckExpectations(s, run);
            const sim::scenario::Outcome& r = run.outcome;
            const char* result = differences.empty() ? (s.expect.any ? "pass" : "ran") : "FAIL";
            std::printf("%-28s %-8s %-52s %-7s %8.1fs %6.2fs  %s\n", name.c_str(), s.version.name.c_str(),
                        r.path.c_str(), result, static_cast<double>(r.virtual_ms) / 1000.0, r.real_s,
                        ShortPhases(r.phases).c_str());
            std::fflush(stdout);
            PrintDifferences(name, differences);
            failed += !differences.empty();
        } catch (const sim::InputError& e) {
            std::printf("%-28s %-8s %-52s %-7s\n", name.c_str(), "-", "-", "REFUSED");
            std::fprintf(stderr, "%s: scenario refused: %s\n", name.c_str(), e.what());
            ++failed;
        }
    }
    std::printf(
        "phases: view = install view, 1 Started, 2 CopyingFiles, 3 RefreshingHardware, 4 WaitingForDriver,"
        " 8 Finished\n%zu scenarios, %d failed\n",
        folders.size(), failed);
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return Usage("");
    Options options;
    std::string problem;
    if (!Parse(argc, argv, options, problem)) return Usage(problem);
    return options.all.empty() ? RunOne(options) : RunAll(options);
}
