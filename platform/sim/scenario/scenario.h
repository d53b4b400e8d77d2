// A scenario: a folder that describes a machine, what the user does on it and, optionally, what should come
// of it. The folder holds scenario.json and any number of .reg files, imported in name order as the
// machine's starting registry. scenarios/README.md describes the format field by field.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/api/files.h"
#include "sim/audio_component.h"
#include "sim/devices.h"
#include "sim/versions.h"

namespace sim::scenario {

struct DriveSpec {
    char letter = 'D';
    UINT type = DRIVE_CDROM;
    std::string host_folder;  // absolute; empty: no medium (or an empty disk)
    std::string label;
    bool write_protected = false;
};

// A file on the machine before the story starts.
struct FileSpec {
    std::string path;  // a Windows path
    std::string data;
    int line = 0;
};

// Another program's window on the desktop.
struct WindowSpec {
    std::string class_name;
    std::string title;
    int boot = 1;
    uint64_t open_ms = 0;                   // after the boot began
    std::optional<uint64_t> close_ms;       // closes by itself then
    bool closes_when_asked = true;          // WM_CLOSE ends the program
    std::optional<uint64_t> hung_until_ms;  // retrieves no messages from its opening until then
};

// One thing the user does.
struct Action {
    enum class Kind { ClickControl, ClickPoint, Speakers, RestartAnswer, Key, RestartWindows };
    Kind kind = Kind::ClickControl;
    int boot = 1;
    std::optional<uint64_t> at_ms;  // after the boot began; or when a window appears:
    std::string when_title;         // the title of a top-level window being shown
    std::string when_class;         // and its class, when given
    std::string when_phase;         // or when the restart prompt or the speaker view appears
    uint64_t after_ms = 500;        // how long after it appeared the user acts
    std::string window_title;       // the window acted on; empty: the one that appeared, else Setup's
    int control_id = 0;             // ClickControl
    int x = 0, y = 0;               // ClickPoint, in the window's client coordinates
    int speakers = 0;               // Speakers: 2, 4 or 6
    bool restart = false;           // RestartAnswer
    unsigned virtual_key = 0;       // Key
    std::string text;               // how the transcript tells it: "clicks Install"
    int line = 0;                   // in scenario.json
};

struct RegistryExpectation {
    std::string key;
    std::optional<std::string> value;  // none: the key itself
    bool present = true;
    std::optional<std::string> text;  // the value's text
    std::optional<uint32_t> number;   // or its DWORD
    int line = 0;
};

struct FileExpectation {
    std::string path;
    bool present = true;
    std::optional<std::string> contains;
    int line = 0;
};

struct Expectations {
    std::optional<std::string> path;
    std::optional<std::vector<std::string>> phases;
    std::optional<std::vector<std::string>> progress;
    std::optional<int> restarts;  // restart requests
    std::optional<int> boots;
    std::optional<uint32_t> speaker_mode;               // the driver component's at the end
    std::optional<std::vector<int64_t>> exit_statuses;  // of Setup's processes, in order
    bool deadlock = false;
    std::map<std::string, std::optional<std::string>> run_entries;  // by name; none: absent
    std::vector<RegistryExpectation> registry;
    std::vector<FileExpectation> files;
    bool any = false;  // the scenario states an expectation
};

struct Scenario {
    std::string folder;  // the host folder
    std::string file;    // its scenario.json
    std::string title;
    VersionInfo version;
    LANGID language = 0x409;
    UINT code_page = 1252;
    int desktop_width = 1024, desktop_height = 768;
    std::vector<DriveSpec> drives;
    DeviceOptions devices;
    std::optional<AudioComponentOptions> component;  // none: no driver component on the machine
    std::vector<std::string> reg_files;              // host paths, in import order
    std::vector<FileSpec> files;
    std::vector<WindowSpec> windows;
    std::string program = "D:\\SETUP.EXE";  // what the user starts on the first boot
    int program_line = 1;
    std::string arguments;
    std::string current_dir = "C:\\WINDOWS\\";
    uint64_t start_ms = 0;
    std::vector<Action> script;
    std::vector<int> message_box_answers;  // IDOK, IDYES, ... in order
    int restart_limit = 3;
    uint64_t boot_limit_ms = 300000;  // the longest a boot may run in virtual time
    Expectations expect;
};

// Reads the scenario in a host folder; a malformed scenario throws InputError naming the file, line and
// field, and nothing runs.
Scenario LoadScenario(const std::string& folder);

}  // namespace sim::scenario
