// What a run leaves for a person: the transcript, the final registry and drives, and the summary.
#include <sys/stat.h>

#include <cstdio>
#include <fstream>

#include <nlohmann/json.hpp>

#include "sim/errors.h"
#include "sim/filesystem.h"
#include "sim/registry.h"
#include "sim/resources.h"
#include "sim/scenario/run.h"

namespace sim::scenario {

namespace {

// Who wrote a line: the program of the thread, or the machine and the user for the lines written outside
// any program.
std::map<DWORD, std::string> Writers(const Machine& machine) {
    std::map<DWORD, std::string> writers;
    for (const auto& thread : const_cast<Machine&>(machine).scheduler().threads())
        writers[thread->id] = thread->process ? thread->process->name() : "?";
    return writers;
}

void WriteText(const std::string& host_path, const std::string& text) {
    std::ofstream out(host_path, std::ios::binary);
    out << text;
    if (!out) throw InputError(host_path + ": cannot be written");
}

}  // namespace

std::string Transcript(const Machine& machine) {
    std::map<DWORD, std::string> writers = Writers(machine);
    std::string text;
    char stamp[96];
    for (const TraceEvent& e : const_cast<Machine&>(machine).trace().events()) {
        std::string who = e.thread_id == 0 ? "-" : writers.count(e.thread_id) ? writers[e.thread_id] : "?";
        std::string thread = e.thread_id == 0 ? "" : "t" + std::to_string(e.thread_id);
        std::snprintf(stamp, sizeof stamp, "%6llu.%03llu s  %-13s %-5s %-9s ",
                      static_cast<unsigned long long>(e.time_ms / 1000),
                      static_cast<unsigned long long>(e.time_ms % 1000), who.c_str(), thread.c_str(),
                      e.category.c_str());
        // Programs write in the machine's code page; the transcript is UTF-8 like the scenario files.
        text += stamp + ToUtf8(FromAnsi(e.text, machine.code_page)) + "\n";
    }
    return text;
}

std::string SummaryJson(const Scenario& s, const Run& run) {
    const Outcome& o = run.outcome;
    nlohmann::ordered_json j;
    j["scenario"] = s.folder;
    j["title"] = s.title;
    j["windows"] = s.version.name;
    j["path"] = o.path;
    j["phases"] = o.phases;
    j["progress"] = o.progress;
    nlohmann::ordered_json processes = nlohmann::ordered_json::array();
    for (const ProcessRecord& p : o.processes) {
        nlohmann::ordered_json r;
        r["boot"] = p.boot;
        r["program"] = p.program;
        r["command_line"] = p.command_line;
        r["exit_status"] = p.exit_status ? nlohmann::ordered_json(*p.exit_status) : nlohmann::ordered_json();
        if (!p.crash.empty()) r["crash"] = p.crash;
        processes.push_back(r);
    }
    j["processes"] = processes;
    j["restart_requests"] = o.restart_requests;
    j["boots"] = o.boots;
    j["restart_limit_reached"] = o.restart_limit_reached;
    j["run_entries"] = o.run_entries;
    j["speaker_mode"] = o.speaker_mode ? nlohmann::ordered_json(*o.speaker_mode) : nlohmann::ordered_json();
    j["deadlock"] = o.deadlock.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(o.deadlock);
    j["virtual_ms"] = o.virtual_ms;
    return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

void WriteOutput(const Scenario& s, const Run& run, const std::string& out) {
    mkdir(out.c_str(), 0777);
    Machine& machine = *run.machine;
    WriteText(out + "/transcript.txt", Transcript(machine));
    std::string reg = machine.registry().ExportRegText("HKEY_LOCAL_MACHINE");
    std::string users = machine.registry().ExportRegText("HKEY_USERS");
    WriteText(out + "/registry.reg", reg + users.substr(users.find('\n') + 1));
    mkdir((out + "/drives").c_str(), 0777);
    for (char letter : machine.files().DriveLetters()) {
        const Drive* drive = machine.files().FindDrive(letter);
        if (!drive || !drive->medium) continue;
        machine.files().ExportToHost(std::string(1, letter) + ":\\", out + "/drives/" + letter);
    }
    WriteText(out + "/summary.json", SummaryJson(s, run));
}

}  // namespace sim::scenario
