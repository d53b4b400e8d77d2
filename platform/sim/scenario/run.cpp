// The story of a scenario: the user starts the program, the script acts, Windows restarts when asked and
// logs on again, until nothing is left to run or the restart limit is reached; then what came of it.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <set>

#include "res/resource.h"
#include "sim/audio_component.h"
#include "sim/devices.h"
#include "sim/filesystem.h"
#include "sim/registry.h"
#include "sim/resources.h"
#include "sim/scenario/run.h"
#include "sim/windows.h"

namespace sim::scenario {

void StartWindowPrograms(Machine& machine, const Scenario& s, int boot);  // machine_build.cpp
// The machine's restarts (restart.cpp).
bool RestartPending(Machine& machine);
void Restart(Machine& machine);
int Boots(Machine& machine);
int RestartRequests(Machine& machine);

namespace {

const char kRunKey[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const uint64_t kSecondClickMs = 300;  // between a choice and the OK that confirms it

bool IsSetup(const Process& process) {
    return !process.program.image.empty() && process.program.image == ImagePath("Setup");
}

bool HasChild(const Window& window, int id) {
    for (const Window* child : window.children)
        if (child->id == id && !child->destroyed) return true;
    return false;
}

bool IsRestartPrompt(const Window& w) {
    return w.class_name == "#32770" && HasChild(w, IDC_RESTART_NOW) && HasChild(w, IDC_RESTART_LATER);
}

bool IsSetupMainWindow(const Window& w) {
    return w.class_name == "#32770" && w.text == "Setup" && !w.owner;
}

// What the script's runner keeps while the story runs.
struct Story {
    const Scenario& scenario;
    Machine& machine;
    int boot = 1;  // 0 while a restart is under way: no step acts then
    std::vector<bool> done;
    std::vector<std::pair<size_t, std::string>> marks;  // phases seen as they happened, by transcript index
    std::set<HWND> seen_main_windows;

    bool over = false;  // the story has ended: windows shown from now on are none of its business

    Story(const Scenario& s, Machine& m) : scenario(s), machine(m), done(s.script.size(), false) {}

    void Mark(const std::string& phase) { marks.push_back({machine.trace().events().size(), phase}); }

    Window* FindTopLevel(const std::function<bool(const Window&)>& match) {
        for (Window* w : UI(machine).TopLevel())
            if (w->visible() && match(*w)) return w;
        return nullptr;
    }

    Window* Target(const Action& a, HWND appeared) {
        UserInterface& ui = UI(machine);
        if (!a.window_title.empty())
            return FindTopLevel([&](const Window& w) { return w.text == a.window_title; });
        if (appeared) return ui.Find(appeared);
        if (a.kind == Action::Kind::RestartAnswer) return FindTopLevel(IsRestartPrompt);
        return FindTopLevel(IsSetupMainWindow);
    }

    void Perform(const Action& a, HWND appeared) {
        if (boot != a.boot) return;
        Window* target = Target(a, appeared);
        std::string where = "line " + std::to_string(a.line) + ": the user " + a.text;
        if (!target) {
            machine.Log("script", where + ", but there is no such window");
            return;
        }
        machine.Log("script", where + " in " + target->Describe());
        HWND handle = target->handle;
        switch (a.kind) {
            case Action::Kind::ClickControl:
                return UserClickControl(machine, handle, a.control_id);
            case Action::Kind::ClickPoint:
                return UserClick(machine, handle, POINT{a.x, a.y});
            case Action::Kind::Key:
                return UserPressKey(machine, handle, a.virtual_key);
            case Action::Kind::Speakers:
                return ChooseSpeakers(handle, a);
            case Action::Kind::RestartAnswer:
                return AnswerRestart(handle, a);
            case Action::Kind::RestartWindows:
                return;  // the story loop carries it out
        }
    }

    // The speaker view's areas, in the main window's client coordinates, and its OK area.
    void ChooseSpeakers(HWND window, const Action& a) {
        int y = a.speakers == 2 ? 80 : a.speakers == 4 ? 112 : 142;
        UserClick(machine, window, POINT{200, y});
        int boot_now = boot;
        machine.scheduler().At(machine.now_ms() + kSecondClickMs, [this, window, boot_now] {
            if (boot == boot_now && UI(machine).Find(window)) UserClick(machine, window, POINT{550, 387});
        });
    }

    void AnswerRestart(HWND prompt, const Action& a) {
        UserClickControl(machine, prompt, a.restart ? IDC_RESTART_NOW : IDC_RESTART_LATER);
        int boot_now = boot;
        machine.scheduler().At(machine.now_ms() + kSecondClickMs, [this, prompt, boot_now] {
            if (boot == boot_now && UI(machine).Find(prompt)) UserClickControl(machine, prompt, IDOK);
        });
    }

    // The step of this boot in which the user restarts Windows, if any.
    const Action* UserRestart() const {
        for (const Action& a : scenario.script)
            if (a.boot == boot && a.kind == Action::Kind::RestartWindows) return &a;
        return nullptr;
    }

    void ScheduleTimedSteps(uint64_t boot_start_ms) {
        for (const Action& a : scenario.script)
            if (a.boot == boot && a.at_ms && a.kind != Action::Kind::RestartWindows)
                machine.scheduler().At(boot_start_ms + *a.at_ms, [this, &a] { Perform(a, nullptr); });
    }

    // Called on the thread that shows the window: the user acts later, from outside.
    void Shown(Window& w) {
        if (over || w.is_child()) return;
        std::string phase = PhaseOf(w);
        if (!phase.empty()) Mark(phase);
        for (size_t i = 0; i < scenario.script.size(); ++i) {
            const Action& a = scenario.script[i];
            if (done[i] || a.at_ms || a.boot != boot) continue;
            if (!a.when_phase.empty() && a.when_phase != phase) continue;
            if (!a.when_title.empty() && a.when_title != w.text) continue;
            if (!a.when_class.empty() && a.when_class != w.class_name) continue;
            done[i] = true;
            HWND handle = w.handle;
            machine.scheduler().At(machine.now_ms() + a.after_ms, [this, &a, handle] { Perform(a, handle); });
        }
    }

    // The phase of the story a window of Setup tells when it first appears, or "".
    std::string PhaseOf(Window& w) {
        Process* process = w.thread ? w.thread->process : nullptr;
        if (!process || !IsSetup(*process)) return "";
        if (IsRestartPrompt(w)) return "restart prompt";
        if (!IsSetupMainWindow(w) || !seen_main_windows.insert(w.handle).second) return "";
        bool speaker = process->command_line.find("/SPEAKER") != std::string::npos ||
                       process->command_line.find("/speaker") != std::string::npos;
        return speaker ? "speaker view" : "install view";
    }
};

void StartSetup(Machine& machine, const Scenario& s) {
    Program setup;
    setup.exe_path = s.program;
    setup.image = ImagePath("Setup");
    std::string command_line = "\"" + s.program + "\"" + (s.arguments.empty() ? "" : " " + s.arguments);
    machine.Start(setup, command_line, s.current_dir);
}

std::map<DWORD, const Process*> ProcessesByThread(Machine& machine) {
    std::map<DWORD, const Process*> by_thread;
    for (const auto& thread : machine.scheduler().threads()) by_thread[thread->id] = thread->process;
    return by_thread;
}

// The texts of the progress lines that tell the worker's phases, in the machine's language.
std::map<std::string, std::string> PhaseLines(Machine& machine) {
    static const std::pair<UINT, const char*> kPhases[] = {{105, "Started"},
                                                           {106, "CopyingFiles"},
                                                           {107, "RefreshingHardware"},
                                                           {108, "WaitingForDriver"},
                                                           {109, "Finished"}};
    std::map<std::string, std::string> lines;
    for (const auto& process : machine.processes()) {
        if (!IsSetup(*process) || !process->resources) continue;
        for (const auto& [id, phase] : kPhases)
            if (auto text = FindString(*process->resources, id, machine.ui_language))
                lines[ToAnsi(*text, machine.code_page)] = phase;
        break;
    }
    return lines;
}

std::string Quoted(const std::string& text) {
    size_t first = text.find('"'), last = text.rfind('"');
    return first == std::string::npos || last <= first ? text : text.substr(first + 1, last - first - 1);
}

// The phases and progress lines, read from the transcript with the marks the window watch made.
void ReadStory(Machine& machine, const Story& story, Outcome& o) {
    std::map<DWORD, const Process*> by_thread = ProcessesByThread(machine);
    std::map<std::string, std::string> phase_of = PhaseLines(machine);
    const auto& events = machine.trace().events();
    std::map<const Process*, std::vector<std::string>> lists;  // each Setup's progress list
    size_t mark = 0;
    o.phases.push_back("boot 1");
    for (size_t i = 0; i <= events.size(); ++i) {
        for (; mark < story.marks.size() && story.marks[mark].first <= i; ++mark)
            o.phases.push_back(story.marks[mark].second);
        if (i == events.size()) break;
        const TraceEvent& e = events[i];
        const Process* process = by_thread.count(e.thread_id) ? by_thread[e.thread_id] : nullptr;
        if (e.category == "session" && e.text.rfind("boot ", 0) == 0)
            o.phases.push_back(e.text.substr(0, e.text.find(':')));
        if (e.category == "session" && e.text.find("asks Windows to end the session") != std::string::npos)
            o.phases.push_back("restart requested");
        if (e.category == "list" && process && IsSetup(*process)) {
            // "line N" adds a line at index N: the lines from N on were deleted before (the line of dots
            // grows by being deleted and added again).
            std::string line = Quoted(e.text);
            size_t index = std::strtoul(e.text.c_str() + 5, nullptr, 10);
            std::vector<std::string>& lines = lists[process];
            if (index < lines.size()) lines.resize(index);
            lines.push_back(line);
            if (phase_of.count(line)) o.phases.push_back(phase_of[line]);
        }
    }
    for (const auto& process : machine.processes())
        for (const std::string& line : lists[process.get()])
            o.progress.push_back(
                ToUtf8(FromAnsi(line, machine.code_page)));  // as the scenario file spells it
}

// The way the installation went: the driver package staged, and what the device services did.
std::string PathTaken(Machine& machine, const Outcome& o) {
    bool started = false, finished = false;
    for (const std::string& p : o.phases) {
        started |= p == "Started";
        finished |= p == "Finished";
    }
    if (!started) return "no installation";
    FileSystem& files = machine.files();
    std::string path = files.Exists("C:\\Program Files\\Korvane\\WIN_ME\\qvaudio.cat") ? "chip"
                       : files.Exists("C:\\Program Files\\Korvane\\WIN_ME\\qvuda.cat") ? "codec"
                                                                                       : "no package";
    const DeviceState& devices = Devices(machine);
    for (const DriverUpdate& u : devices.driver_updates)
        path += u.result == DriverResult::Installed                  ? ", update"
                : u.result == DriverResult::InstalledRestartRequired ? ", update needs restart"
                                                                     : ", update failed";
    for (const MachineDevice& d : devices.devices)
        if (d.removed) path += ", controller removed";
    if (!devices.oem_infs.empty()) path += ", OEM INF";
    if (o.run_entries.count("Korvane Mixer")) path += ", new mixer";
    if (!finished) path += ", stopped before Done";
    return path;
}

void ReadProcesses(Machine& machine, Outcome& o) {
    // A process belongs to the boot during which it started: count the boots in the transcript up to it.
    int boot = 1;
    size_t next = 0;
    const auto& events = machine.trace().events();
    for (const auto& process : machine.processes()) {
        std::string start = "start " + process->name() + " (" + process->command_line + ")";
        for (; next < events.size(); ++next) {
            const TraceEvent& e = events[next];
            if (e.category == "session" && e.text.rfind("boot ", 0) == 0) boot = std::stoi(e.text.substr(5));
            if (e.category == "process" && e.text == start) break;
        }
        ProcessRecord r;
        r.boot = boot;
        r.program = process->name();
        r.setup = IsSetup(*process);
        r.command_line = process->command_line;
        r.exit_status = process->exit_code;
        r.crash = process->crash;
        o.processes.push_back(r);
    }
}

void ReadRunEntries(Machine& machine, Outcome& o) {
    Registry& registry = machine.registry();
    if (!registry.KeyExists(kRunKey)) return;
    for (const std::string& name : registry.ValueNames(kRunKey))
        if (auto value = registry.GetValue(kRunKey, name)) o.run_entries[name] = value->text().value_or("");
}

}  // namespace

Run RunScenario(const Scenario& s) {
    auto real_start = std::chrono::steady_clock::now();
    Run run;
    run.machine = BuildMachine(s);
    Machine& machine = *run.machine;
    // The machine outlives this call; its observer holds the story and is told when the story is over.
    auto story_holder = std::make_shared<Story>(s, machine);
    Story& story = *story_holder;
    UI(machine).WhenShown([story_holder](Window& w) { story_holder->Shown(w); });
    StartWindowPrograms(machine, s, 1);
    story.ScheduleTimedSteps(0);
    machine.scheduler().At(s.start_ms, [&machine, &s] { StartSetup(machine, s); });
    Outcome& o = run.outcome;
    for (;;) {
        uint64_t boot_start_ms = machine.now_ms();
        uint64_t until_ms = boot_start_ms + s.boot_limit_ms;
        const Action* user_restart = story.UserRestart();
        if (user_restart) {
            // An action at the time moves the machine there even when every program waits for input.
            until_ms = std::min(until_ms, boot_start_ms + *user_restart->at_ms);
            machine.scheduler().At(until_ms, [] {});
        }
        RunResult result = machine.Run(until_ms);
        if (result.deadlocked()) {
            o.deadlock = result.deadlock;
            break;
        }
        if (!RestartPending(machine) && !user_restart) break;
        if (Boots(machine) > s.restart_limit) {
            o.restart_limit_reached = true;
            break;
        }
        if (user_restart && !RestartPending(machine))
            machine.Log("script",
                        "line " + std::to_string(user_restart->line) + ": the user restarts Windows");
        story.boot = 0;
        Restart(machine);
        story.boot = Boots(machine);
        StartWindowPrograms(machine, s, story.boot);
        story.ScheduleTimedSteps(machine.now_ms());
    }
    story.over = true;
    o.restart_requests = RestartRequests(machine);
    o.boots = Boots(machine);
    // The story's time is that of the last thing that happened, not of the user's idle wait after it.
    const auto& events = machine.trace().events();
    o.virtual_ms = events.empty() ? 0 : events.back().time_ms;
    ReadRunEntries(machine, o);
    ReadStory(machine, story, o);
    ReadProcesses(machine, o);
    o.path = PathTaken(machine, o);
    if (s.component) o.speaker_mode = AudioComponent(machine).speaker_mode;
    o.real_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - real_start).count();
    return run;
}

}  // namespace sim::scenario
