// The scenario runner's own rules: a malformed scenario is refused with its file, line and field before
// anything runs, and a scenario's expectations report each difference from the run.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/errors.h"
#include "sim/machine.h"
#include "sim/registry.h"
#include "sim/scenario/run.h"

namespace {

using sim::scenario::LoadScenario;

std::string MediaFolder(const std::string& medium) {
    std::string here = __FILE__;
    return here.substr(0, here.rfind('/')) + "/../media/" + medium;
}

// A scenario folder of its own for each case, under the host's temporary folder.
struct ScenarioFolder {
    std::string path;
    ScenarioFolder() {
        char name[] = "/tmp/scenario_test_XXXXXX";
        path = mkdtemp(name);
    }
    ~ScenarioFolder() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(path + "/" + name, std::ios::binary) << text;
        return path + "/" + name;
    }
    std::string file() const { return path + "/scenario.json"; }
};

// A machine that installs from the chip package's CD; each case changes one line.
std::string Scenario(const std::string& machine_extra = "", const std::string& rest = "") {
    return "{\n"
           "  \"machine\": {\n"
           "    \"windows\": \"win98se\",\n"
           "    \"drives\": [{\"letter\": \"D\", \"medium\": \"" +
           MediaFolder("chip") +
           "\"}],\n"
           "    \"mixers\": {\"new_after_reenumerate_ms\": 2000}" +
           machine_extra +
           "\n"
           "  },\n"
           "  \"script\": [{\"at_ms\": 1000, \"click\": \"Install\"}, "
           "{\"when_shown\": \"Restarting Windows\", \"restart\": false}]" +
           rest +
           "\n"
           "}\n";
}

std::string Refusal(const ScenarioFolder& folder) {
    try {
        sim::scenario::Scenario s = LoadScenario(folder.path);
        sim::scenario::RunScenario(s);
    } catch (const sim::InputError& e) {
        return e.what();
    }
    return "(accepted)";
}

TEST(ScenarioRefusals, EachNamesTheFileTheLineAndTheField) {
    struct Case {
        const char* name;
        std::string text;
        int line;
        std::string what;
    };
    const std::string chip = MediaFolder("chip");
    const Case cases[] = {
        {"not JSON", "{\n  \"machine\": {\n    \"windows\": \"win98se\",,\n  }\n}\n", 3,
         "not JSON: syntax error while parsing object key - unexpected ','; expected string literal"},
        {"unknown Windows version", "{\n  \"machine\": {\n    \"windows\": \"win99\"\n  }\n}\n", 3,
         "field \"machine.windows\": unknown Windows version \"win99\" (known: win95, win98, win98se, winme, "
         "nt4, win2k, winxp, win2003, vista)"},
        {"no Windows version", "{\"machine\": {}}", 1,
         "field \"machine\": \"windows\" is required (win95, win98, win98se, winme, nt4, win2k, winxp, "
         "win2003, "
         "vista)"},
        {"missing medium folder",
         "{\"machine\": {\"windows\": \"winxp\",\n \"drives\": [\n  {\"letter\": \"D\",\n   \"medium\": "
         "\"no/such\"}]}}",
         4,
         "field \"machine.drives[0].medium\": no folder {folder}/no/such (a path relative to the scenario's "
         "folder)"},
        {"a text for a number", Scenario().replace(Scenario().find("2000"), 4, "\"two s\""), 5,
         "field \"machine.mixers.new_after_reenumerate_ms\": expected a whole number, found a text"},
        {"a number out of range", Scenario(",\n    \"component\": {\"channel_count\": 9}"), 6,
         "field \"machine.component.channel_count\": 9 is outside 0 to 8"},
        {"a misspelt field", Scenario(",\n    \"mixer\": {}"), 6, "field \"machine.mixer\": unknown field"},
        {"an unknown button", Scenario().replace(Scenario().find("Install"), 7, "Instal"), 7,
         "field \"script[0].click\": unknown value \"Instal\" (known: Install, Exit, Eject CD, OK, Cancel)"},
        {"a step without a time",
         Scenario("", ",\n  \"expect\": {},\n  \"x\": 1")
             .replace(Scenario().find("\"at_ms\": 1000, "), 15, ""),
         7, "field \"script[0]\": a step needs at_ms or when_shown (a window's title)"},
        {"no program to start", Scenario().replace(Scenario().find(chip), chip.size(), "{folder}"), 1,
         "field \"start.program\": D:\\SETUP.EXE is not on the machine (is the medium there?)"},
        {"a file with a relative path",
         Scenario(",\n    \"files\": [{\"path\": \"C:x.ini\", \"text\": \"\"}]"), 6,
         "field \"machine.files\": \"C:x.ini\" is not an absolute Windows path"},
        {"a file with two contents",
         Scenario(",\n    \"files\": [{\"path\": \"C:\\\\x.ini\", \"text\": \"\", \"host_file\": \"x\"}]"), 6,
         "field \"machine.files[0]\": a file has either \"text\" or a \"host_file\""},
        {"an expectation of the wrong kind", Scenario("", ",\n  \"expect\": {\"phases\": \"Finished\"}"), 8,
         "field \"expect.phases\": expected a list of texts, found a text"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScenarioFolder folder;
        std::string text = c.text;
        for (size_t at; (at = text.find("{folder}")) != std::string::npos;) text.replace(at, 8, folder.path);
        folder.Write("scenario.json", text);
        std::string what = c.what;
        for (size_t at; (at = what.find("{folder}")) != std::string::npos;) what.replace(at, 8, folder.path);
        EXPECT_EQ(Refusal(folder), folder.file() + ":" + std::to_string(c.line) + ": " + what);
    }
}

// A .reg file of the folder is part of the machine: a malformed one is refused with its own line.
TEST(ScenarioRefusals, AMalformedRegistryFileStopsTheScenario) {
    ScenarioFolder folder;
    folder.Write("scenario.json", Scenario());
    std::string reg =
        folder.Write("base.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\X]\n\"A\"=dwrd:1\n");
    std::string refusal = Refusal(folder);
    EXPECT_EQ(refusal.rfind(reg + ":4: ", 0), 0u) << refusal;
}

TEST(ScenarioRefusals, NoFolderNoScenario) {
    EXPECT_THROW(LoadScenario("/nonexistent/scenario"), sim::InputError);
    ScenarioFolder folder;  // a folder without scenario.json
    EXPECT_EQ(Refusal(folder), folder.file() + ": cannot be read");
}

// Every expectation that does not hold is named, with the first place where a list parts from the run.
TEST(ScenarioExpectations, EachDifferenceIsReported) {
    ScenarioFolder folder;
    folder.Write("run.reg",
                 "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\n");
    folder.Write(
        "scenario.json",
        Scenario("",
                 ",\n"
                 "  \"expect\": {\n"
                 "    \"path\": \"codec\",\n"
                 "    \"phases\": [\"boot 1\", \"install view\", \"Started\", \"Finished\"],\n"
                 "    \"restarts\": 1,\n"
                 "    \"run_entries\": {\"Korvane Mixer\": null},\n"
                 "    \"registry\": [{\"key\": \"HKLM\\\\Software\\\\X\"}],\n"
                 "    \"files\": [{\"path\": \"C:\\\\WINDOWS\\\\mixer.ini\", \"contains\": \"nothing like "
                 "this\"},\n"
                 "              {\"path\": \"C:\\\\WINDOWS\\\\INF\\\\oem0.inf\", \"present\": false}]\n"
                 "  }"));
    sim::scenario::Scenario s = LoadScenario(folder.path);
    sim::scenario::Run run = sim::scenario::RunScenario(s);
    std::vector<std::string> differences = sim::scenario::CheckExpectations(s, run);
    const std::vector<std::string> expected = {
        "path: expected \"codec\", found \"chip, OEM INF, new mixer\"",
        "phases from entry 4: expected \"Finished\", found \"WaitingForDriver\"\n"
        "      expected [\"boot 1\", \"install view\", \"Started\", \"Finished\"]\n"
        "      found    [\"boot 1\", \"install view\", \"Started\", \"WaitingForDriver\", \"Finished\", "
        "\"restart prompt\"]",
        "restart requests: expected 1, found 0",
        "Run entry \"Korvane Mixer\": expected no entry, found \"C:\\WINDOWS\\NewMixer.exe /startup\"",
        "line 13: registry HKLM\\Software\\X: expected, missing",
        "line 14: file C:\\WINDOWS\\mixer.ini: does not contain \"nothing like this\"",
        "line 15: file C:\\WINDOWS\\INF\\oem0.inf: expected none, present",
    };
    EXPECT_EQ(differences, expected);
}

// What the user does lands on the windows it names: a step that waits for a window acts after it appears,
// and the story ends when nothing is left to run.
TEST(ScenarioScript, StepsActWhenTheirWindowAppears) {
    ScenarioFolder folder;
    folder.Write("scenario.json", Scenario().replace(Scenario().find("\"at_ms\": 1000"), 13,
                                                     "\"when_shown\": \"Setup\", \"after_ms\": 700"));
    sim::scenario::Scenario s = LoadScenario(folder.path);
    sim::scenario::Run run = sim::scenario::RunScenario(s);
    std::string transcript = sim::scenario::Transcript(*run.machine);
    size_t step = transcript.find("script    line 7: the user clicks Install in window \"Setup\" (#32770)\n");
    ASSERT_NE(step, std::string::npos) << transcript;
    EXPECT_EQ(transcript.substr(transcript.rfind('\n', step) + 1, 12), "     0.700 s") << transcript;
    EXPECT_EQ(run.outcome.progress.back(), "Done.");
    EXPECT_EQ(run.outcome.processes.at(0).exit_status, 0u);
    EXPECT_EQ(run.outcome.deadlock, "");
}

}  // namespace

namespace {

// After a restart Windows logs on and starts the Run entries the installation wrote: Setup's speaker start
// from the staging folder and the new mixer. A limit of no restarts ends the story at the first.
TEST(ScenarioRestarts, TheNextBootRunsTheRunEntriesUpToTheLimit) {
    for (int limit : {3, 0}) {
        SCOPED_TRACE(limit);
        ScenarioFolder folder;
        folder.Write("run.reg",
                     "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\n");
        folder.Write("scenario.json",
                     Scenario("", ",\n  \"limits\": {\"restarts\": " + std::to_string(limit) + "}")
                         .replace(Scenario().find("}]\n}"), 2,
                                  "},\n             {\"at_ms\": 30000, \"restart_windows\": true}]"));
        sim::scenario::Scenario s = LoadScenario(folder.path);
        sim::scenario::Run run = sim::scenario::RunScenario(s);
        const sim::scenario::Outcome& o = run.outcome;
        EXPECT_EQ(o.restart_limit_reached, limit == 0);
        std::vector<std::string> second_boot;
        for (const sim::scenario::ProcessRecord& p : o.processes)
            if (p.boot == 2) second_boot.push_back(p.command_line);
        if (limit == 0) {
            EXPECT_EQ(o.boots, 1);
            EXPECT_EQ(second_boot, std::vector<std::string>{});
            continue;
        }
        EXPECT_EQ(o.boots, 2);
        EXPECT_NE(std::find(o.phases.begin(), o.phases.end(), "boot 2"), o.phases.end());
        EXPECT_EQ(second_boot.at(0), "C:\\PROGRA~1\\KORVANE\\WIN_ME\\Setup.exe /SPEAKER");
        EXPECT_EQ(second_boot.at(1), "C:\\WINDOWS\\NewMixer.exe /startup");
        EXPECT_EQ(o.restart_requests, 0);  // the user restarted; no program asked
    }
}

}  // namespace

namespace {

std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What --out leaves: a registry that a machine reads back, the drives as folders and a summary.
TEST(ScenarioOutput, TheFilesAPersonAndAMachineReadBack) {
    ScenarioFolder folder;
    folder.Write("run.reg",
                 "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\n");
    folder.Write("scenario.json", Scenario());
    sim::scenario::Scenario s = LoadScenario(folder.path);
    sim::scenario::Run run = sim::scenario::RunScenario(s);
    std::string out = folder.path + "/out";
    sim::scenario::WriteOutput(s, run, out);

    sim::Machine machine("win98se");
    machine.registry().ImportRegFile(out + "/registry.reg");
    auto mixer = machine.registry().GetValue(
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Korvane Mixer");
    ASSERT_TRUE(mixer.has_value());
    EXPECT_EQ(mixer->text(), "C:\\WINDOWS\\NewMixer.exe /startup");
    EXPECT_EQ(ReadHostFile(out + "/drives/C/WINDOWS/NewMixer.exe"),
              ReadHostFile(MediaFolder("chip") + "/Win_98SE/drv/Mixer.dat"));
    EXPECT_NE(ReadHostFile(out + "/transcript.txt").find("list      line 7 \"Done.\""), std::string::npos);

    nlohmann::json summary = nlohmann::json::parse(ReadHostFile(out + "/summary.json"));
    EXPECT_EQ(summary["path"], "chip, OEM INF, new mixer");
    EXPECT_EQ(summary["phases"].back(), "restart prompt");
    EXPECT_EQ(summary["progress"].back(), "Done.");
    EXPECT_EQ(summary["processes"][0]["command_line"], "\"D:\\SETUP.EXE\"");
    EXPECT_EQ(summary["processes"][0]["exit_status"], 0);
    EXPECT_EQ(summary["restart_requests"], 0);
    EXPECT_EQ(summary["run_entries"]["Korvane Mixer"], "C:\\WINDOWS\\NewMixer.exe /startup");
    EXPECT_TRUE(summary["deadlock"].is_null());
}

}  // namespace
