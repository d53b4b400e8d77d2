// Running a scenario: the machine built from it, the whole story across restarts, and what came of it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/machine.h"
#include "sim/scenario/scenario.h"

namespace sim::scenario {

struct ProcessRecord {
    int boot = 1;
    std::string program;  // the file name: "Setup.exe"
    bool setup = false;   // runs Setup's image
    std::string command_line;
    std::optional<uint32_t> exit_status;  // none: still running when the story ended
    std::string crash;
};

struct Outcome {
    std::string path;                   // the way the installation went, in a few words
    std::vector<std::string> phases;    // in order
    std::vector<std::string> progress;  // every line Setup added to its progress list, in order
    std::vector<ProcessRecord> processes;
    int restart_requests = 0;
    int boots = 1;
    bool restart_limit_reached = false;
    std::map<std::string, std::string> run_entries;  // the HKLM Run values at the end
    std::optional<uint32_t> speaker_mode;            // what the driver's component holds at the end, if any
    std::string deadlock;                            // the report, when the story ended in one
    uint64_t virtual_ms = 0;
    double real_s = 0;
};

struct Run {
    std::unique_ptr<Machine> machine;
    Outcome outcome;
};

// Builds the machine of the scenario (throws InputError for a .reg file or option it refuses, before
// anything runs).
std::unique_ptr<Machine> BuildMachine(const Scenario& scenario);
// Builds the machine and runs the story: the user starts the program, the script acts, and each restart
// Setup asks for is carried out, up to the scenario's limit.
Run RunScenario(const Scenario& scenario);

// The differences between what the scenario expects and what came of the run, each a line; empty: it
// passed.
std::vector<std::string> CheckExpectations(const Scenario& scenario, const Run& run);

// Output.
std::string Transcript(const Machine& machine);                     // a line an event, virtual time first
std::string SummaryJson(const Scenario& scenario, const Run& run);  // the summary, indented
// Writes transcript.txt, registry.reg, drives/<letter>/ and summary.json into the host folder.
void WriteOutput(const Scenario& scenario, const Run& run, const std::string& out_folder);

}  // namespace sim::scenario
