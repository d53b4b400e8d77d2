// An installation on a simulated machine for the tests of the worker's device work: a medium with one driver
// package, the Run key, a watch on the progress list, and readers of what the run did.
#pragma once

#include <string>
#include <vector>

#include "setup_machine.h"
#include "sim/audio_component.h"

namespace setup_test {

inline const char kRunKey[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline const char kStagingFolder[] = "C:\\Program Files\\Korvane\\WIN_ME";
inline const char kSpeakerValue[] = "Korvane Speaker Configuration";
inline const char kMixerValue[] = "Korvane Mixer";

enum class Package { kChip, kCodec };

inline std::vector<std::string> PackageInfs(Package package) {
    if (package == Package::kChip) return {"QVAUDIO.INF", "QVAUDIO1.INF"};
    std::vector<std::string> infs = {"QVUDA.INF"};
    for (int i = 1; i <= 9; ++i) infs.push_back("QVUDA" + std::to_string(i) + ".INF");
    return infs;
}

// The medium's driver folder "WIN_ME\drv", which the staging picks on every Windows version when the medium
// has no folder of the version's own; with mixer, the mixer program too.
inline void PutDriverMedium(SetupMachine& m, Package package, bool mixer = false) {
    const std::string folder = "D:\\WIN_ME\\drv\\";
    for (const std::string& inf : PackageInfs(package))
        m.machine.files().WriteFile(folder + inf,
                                    "[Version]\r\nSignature=\"$CHICAGO$\"\r\n; " + inf + "\r\n");
    m.machine.files().WriteFile(folder + (package == Package::kChip ? "qvaudio.cat" : "qvuda.cat"),
                                "catalog");
    m.machine.files().WriteFile(folder + "Setup.exe", "MZ");
    if (mixer) m.machine.files().WriteFile(folder + "Mixer.dat", "MZ mixer");
}

inline void AddRunKey(SetupMachine& m) {
    m.machine.registry().ImportRegText(std::string("REGEDIT4\n\n[") + kRunKey + "]\n", "run.reg");
}

// The text of a Run value, or "(none)". The NT family stores the terminating zero the 9x family leaves out.
inline std::string RunValue(SetupMachine& m, const std::string& name) {
    auto value = m.machine.registry().GetValue(kRunKey, name);
    if (!value) return "(none)";
    std::string text(value->data.begin(), value->data.end());
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

// The progress list as it was at each change, sampled between the timer's ticks while the window is open.
struct LineWatch {
    std::vector<std::vector<std::string>> history;
    std::vector<uint64_t> times_ms;  // when each entry of history was first seen
    const std::vector<std::string>& last() const {
        static const std::vector<std::string> none;
        return history.empty() ? none : history.back();
    }
    // When the last line first read text, or -1.
    int64_t TimeLastLineWas(const std::string& text) const {
        for (size_t i = 0; i < history.size(); ++i)
            if (!history[i].empty() && history[i].back() == text) return static_cast<int64_t>(times_ms[i]);
        return -1;
    }
    // The lines after the three intro lines and the blank one Install adds.
    std::vector<std::string> AfterIntro() const {
        const std::vector<std::string>& lines = last();
        return lines.size() > 4 ? std::vector<std::string>(lines.begin() + 4, lines.end())
                                : std::vector<std::string>{};
    }
};

inline void WatchLines(SetupMachine& m, LineWatch& watch, uint64_t until_ms) {
    for (uint64_t t = 50; t < until_ms; t += 100)
        m.machine.scheduler().At(t, [&m, &watch] {
            if (!m.MainWindow()) return;
            std::vector<std::string> lines = m.ProgressLines();
            if (!watch.history.empty() && watch.history.back() == lines) return;
            watch.history.push_back(lines);
            watch.times_ms.push_back(m.machine.now_ms());
        });
}

// The transcript texts of a category that contain text, in order.
inline std::vector<std::string> LinesWith(SetupMachine& m, const std::string& category,
                                          const std::string& text) {
    std::vector<std::string> found;
    for (const std::string& line : m.machine.trace().Lines(category))
        if (line.find(text) != std::string::npos) found.push_back(line);
    return found;
}

// The position of the first event of the category containing text in the transcript, or -1.
inline int IndexOf(SetupMachine& m, const std::string& category, const std::string& text) {
    const auto& events = m.machine.trace().events();
    for (size_t i = 0; i < events.size(); ++i)
        if (events[i].category == category && events[i].text.find(text) != std::string::npos)
            return static_cast<int>(i);
    return -1;
}

}  // namespace setup_test
