// Reading scenario.json into a Scenario: each field is checked where it is read, so a fault names its line.
#include <sys/stat.h>

#include <algorithm>
#include <dirent.h>

#include <fstream>
#include <sstream>

#include "res/resource.h"
#include "sim/errors.h"
#include "sim/scenario/json_file.h"
#include "sim/scenario/scenario.h"

namespace sim::scenario {

namespace {

bool IsFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A host path as the scenario gives it: relative paths start at the scenario's folder.
std::string HostPath(const Scenario& s, const std::string& path) {
    return !path.empty() && path[0] == '/' ? path : s.folder + "/" + path;
}

template <class T>
T Choose(Object& o, const std::string& key, const std::vector<std::pair<std::string, T>>& choices,
         T fallback) {
    std::optional<std::string> text = o.String(key);
    if (!text) return fallback;
    std::string names;
    for (const auto& [name, value] : choices) {
        if (name == *text) return value;
        names += (names.empty() ? "" : ", ") + name;
    }
    o.Fail(key, "unknown value \"" + *text + "\" (known: " + names + ")");
}

void ReadVersion(Scenario& s, Object& m) {
    std::optional<std::string> name = m.String("windows");
    if (!name) m.FailHere("\"windows\" is required (" + KnownVersionNames() + ")");
    std::optional<VersionInfo> version = FindVersion(*name);
    if (!version)
        m.Fail("windows", "unknown Windows version \"" + *name + "\" (known: " + KnownVersionNames() + ")");
    s.version = *version;
}

void ReadLanguage(Scenario& s, Object& m) {
    struct Language {
        LANGID id;
        UINT code_page;
    };
    Language language = Choose<Language>(m, "language",
                                         {{"english", {0x409, 1252}},
                                          {"chinese", {0x404, 950}},
                                          {"japanese", {0x411, 932}},
                                          {"korean", {0x412, 949}}},
                                         {0x409, 1252});
    s.language = language.id;
    s.code_page = static_cast<UINT>(m.Int("code_page", 0, 65535, language.code_page));
    if (s.code_page != 1252 && s.code_page != 950 && s.code_page != 932 && s.code_page != 949)
        m.Fail("code_page", "the machine has code pages 1252, 950, 932 and 949");
    if (std::optional<Object> desktop = m.Child("desktop")) {
        s.desktop_width = static_cast<int>(desktop->Int("width", 320, 8192, s.desktop_width));
        s.desktop_height = static_cast<int>(desktop->Int("height", 200, 8192, s.desktop_height));
        desktop->Done();
    }
}

void ReadDrives(Scenario& s, Object& m) {
    for (Object& d : m.Children("drives")) {
        DriveSpec drive;
        std::optional<std::string> letter = d.String("letter");
        if (!letter || letter->size() != 1 || !std::isalpha(static_cast<unsigned char>((*letter)[0])) ||
            std::toupper((*letter)[0]) == 'C')
            d.Fail("letter", "a drive letter other than C is required (C: is the machine's own disk)");
        drive.letter = static_cast<char>(std::toupper((*letter)[0]));
        drive.type = Choose<UINT>(
            d, "type", {{"cdrom", DRIVE_CDROM}, {"removable", DRIVE_REMOVABLE}, {"fixed", DRIVE_FIXED}},
            DRIVE_CDROM);
        if (std::optional<std::string> medium = d.String("medium")) {
            drive.host_folder = HostPath(s, *medium);
            if (!IsFolder(drive.host_folder))
                d.Fail("medium",
                       "no folder " + drive.host_folder + " (a path relative to the scenario's folder)");
        }
        drive.label = d.String("label", "");
        drive.write_protected = d.Bool("write_protected", false);
        d.Done();
        for (const DriveSpec& other : s.drives)
            if (other.letter == drive.letter)
                d.Fail("letter", std::string("drive ") + drive.letter + ": twice");
        s.drives.push_back(drive);
    }
}

void ReadDevices(Scenario& s, Object& m) {
    for (Object& d : m.Children("devices")) {
        MachineDevice device;
        device.hardware_ids = d.Strings("hardware_ids");
        std::string first = device.hardware_ids.empty() ? "" : device.hardware_ids[0];
        device.instance_id = d.String("instance_id", first.empty() ? "" : first + "\\3&13C0B0C5&0&28");
        if (device.instance_id.empty()) d.FailHere("a device needs \"hardware_ids\" or an \"instance_id\"");
        device.class_guid = Choose<GUID>(d, "class",
                                         {{"media", kDevClassMedia},
                                          {"system", kDevClassSystem},
                                          {"cdrom", kDevClassCdrom},
                                          {"display", kDevClassDisplay},
                                          {"net", kDevClassNet}},
                                         kDevClassMedia);
        device.description = d.String("description", "");
        device.present = d.Bool("present", true);
        d.Done();
        s.devices.devices.push_back(device);
    }
    for (Object& u : m.Children("driver_updates")) {
        DriverPackage package;
        package.hardware_id = u.String("hardware_id", "");
        package.inf = u.String("inf", "");
        package.result = Choose<DriverResult>(u, "result",
                                              {{"installed", DriverResult::Installed},
                                               {"restart required", DriverResult::InstalledRestartRequired},
                                               {"failed", DriverResult::Failed}},
                                              DriverResult::Installed);
        package.error = static_cast<DWORD>(
            u.Int("error", 0, 0xFFFFFFFFll, package.result == DriverResult::Failed ? 0xE0000228 : 0));
        u.Done();
        s.devices.packages.push_back(package);
    }
    if (std::optional<Object> mixers = m.Child("mixers")) {
        s.devices.mixer_devices = static_cast<UINT>(mixers->Int("before", 0, 16, 0));
        if (auto ms = mixers->Int("new_after_update_ms", 0, 86400000)) s.devices.mixer_after_update_ms = *ms;
        if (auto ms = mixers->Int("new_after_reenumerate_ms", 0, 86400000))
            s.devices.mixer_after_reenumerate_ms = *ms;
        mixers->Done();
    }
}

void ReadComponent(Scenario& s, Object& m) {
    std::optional<Object> c = m.Child("component");
    if (!c) return;
    AudioComponentOptions options;
    if (c->Has("interfaces")) {
        options.interfaces.clear();
        const nlohmann::json* list = c->Raw("interfaces");
        if (!list->is_array()) c->Fail("interfaces", "expected a list of interface numbers 0 to 3");
        for (size_t i = 0; i < list->size(); ++i) {
            const nlohmann::json& n = (*list)[i];
            if (!n.is_number_integer() || n.get<int64_t>() < 0 || n.get<int64_t>() > 3)
                c->Fail("interfaces/" + std::to_string(i), "expected an interface number 0 to 3");
            options.interfaces.push_back(n.get<int>());
        }
    }
    options.creatable_from_attempt = static_cast<int>(c->Int("creatable_from_attempt", 1, 1000, 1));
    options.speaker_mode = static_cast<DWORD>(c->Int("speaker_mode", 0, 0xFFFFFFFFll, 2));
    options.channel_count = static_cast<DWORD>(c->Int("channel_count", 0, 8, 2));
    if (const nlohmann::json* info = c->Raw("hardware_info")) {
        // Two 32-bit words, kept little-endian as the driver hands them out.
        if (!info->is_array() || info->size() != 2 || !(*info)[0].is_number_unsigned() ||
            !(*info)[1].is_number_unsigned() || (*info)[0].get<uint64_t>() > 0xFFFFFFFFull ||
            (*info)[1].get<uint64_t>() > 0xFFFFFFFFull)
            c->Fail("hardware_info", "expected two 32-bit words [first, second]");
        for (int word = 0; word < 2; ++word)
            for (int byte = 0; byte < 4; ++byte)
                options.hardware_info[word * 4 + byte] =
                    static_cast<BYTE>((*info)[word].get<uint64_t>() >> (8 * byte));
    }
    c->Done();
    s.component = options;
}

void ReadWindows(Scenario& s, Object& m) {
    for (Object& w : m.Children("other_windows")) {
        WindowSpec window;
        std::optional<std::string> title = w.String("title");
        std::optional<std::string> class_name = w.String("class");
        if (!class_name || class_name->empty()) w.FailHere("a window needs its \"class\"");
        window.class_name = *class_name;
        window.title = title.value_or("");
        window.boot = static_cast<int>(w.Int("boot", 1, 100, 1));
        window.open_ms = static_cast<uint64_t>(w.Int("open_ms", 0, 86400000, 0));
        if (auto close = w.Int("close_ms", 0, 86400000)) {
            if (static_cast<uint64_t>(*close) <= window.open_ms)
                w.Fail("close_ms", "must come after open_ms");
            window.close_ms = static_cast<uint64_t>(*close);
        }
        window.closes_when_asked = w.Bool("closes_when_asked", true);
        if (auto hung = w.Int("hung_until_ms", 0, 86400000)) {
            if (static_cast<uint64_t>(*hung) <= window.open_ms)
                w.Fail("hung_until_ms", "must come after open_ms");
            window.hung_until_ms = static_cast<uint64_t>(*hung);
        }
        w.Done();
        s.windows.push_back(window);
    }
}

void ReadFiles(Scenario& s, Object& m) {
    for (Object& f : m.Children("files")) {
        FileSpec file;
        file.line = f.line();
        std::optional<std::string> path = f.String("path");
        if (!path) f.FailHere("a file needs its \"path\" (a Windows path: \"C:\\WINDOWS\\QVISETUP.INI\")");
        file.path = *path;
        std::optional<std::string> text = f.String("text");
        std::optional<std::string> host_file = f.String("host_file");
        if (text.has_value() == host_file.has_value())
            f.FailHere("a file has either \"text\" or a \"host_file\"");
        if (text) {
            file.data = *text;
        } else {
            std::ifstream in(HostPath(s, *host_file), std::ios::binary);
            if (!in) f.Fail("host_file", "cannot read " + HostPath(s, *host_file));
            std::ostringstream data;
            data << in.rdbuf();
            file.data = data.str();
        }
        f.Done();
        s.files.push_back(file);
    }
}

void ReadMachine(Scenario& s, Object& root) {
    std::optional<Object> m = root.Child("machine");
    if (!m) root.FailHere("\"machine\" is required");
    ReadVersion(s, *m);
    ReadLanguage(s, *m);
    ReadDrives(s, *m);
    ReadDevices(s, *m);
    ReadComponent(s, *m);
    ReadWindows(s, *m);
    ReadFiles(s, *m);
    m->Done();
}

void ReadStart(Scenario& s, Object& root) {
    s.program_line = root.line();
    std::optional<Object> start = root.Child("start");
    if (!start) return;
    s.program_line = start->LineOf("program");
    s.program = start->String("program", s.program);
    s.arguments = start->String("arguments", "");
    s.current_dir = start->String("folder", s.current_dir);
    s.start_ms = static_cast<uint64_t>(start->Int("at_ms", 0, 86400000, 0));
    start->Done();
}

void ReadLimits(Scenario& s, Object& root) {
    std::optional<Object> limits = root.Child("limits");
    if (!limits) return;
    s.restart_limit = static_cast<int>(limits->Int("restarts", 0, 20, s.restart_limit));
    s.boot_limit_ms = static_cast<uint64_t>(limits->Int("boot_ms", 1000, 86400000, s.boot_limit_ms));
    limits->Done();
}

}  // namespace

// The user's script and the expectations are read in script.cpp and expectations.cpp.
void ReadScript(Scenario& s, Object& root);
void ReadExpectations(Scenario& s, Object& root);

Scenario LoadScenario(const std::string& folder) {
    Scenario s;
    s.folder = folder;
    while (s.folder.size() > 1 && s.folder.back() == '/') s.folder.pop_back();
    if (!IsFolder(s.folder)) throw InputError(folder + ": no scenario folder");
    s.file = s.folder + "/scenario.json";
    JsonFile file = JsonFile::Read(s.file);
    Object root(file, file.root(), "");
    s.title = root.String("title", "");
    ReadMachine(s, root);
    ReadStart(s, root);
    ReadLimits(s, root);
    ReadScript(s, root);
    ReadExpectations(s, root);
    root.Done();

    // The registry files: every .reg file of the folder, in name order.
    if (DIR* dir = opendir(s.folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".reg") == 0)
                s.reg_files.push_back(s.folder + "/" + name);
        }
        closedir(dir);
    }
    std::sort(s.reg_files.begin(), s.reg_files.end());
    return s;
}

}  // namespace sim::scenario
