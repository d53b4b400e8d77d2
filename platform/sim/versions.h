// The Windows versions a machine can run, with what GetVersionExA reports on each.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct VersionInfo {
    std::string name;  // the short name a person or scenario uses: "win98se"
    uint32_t platform_id;
    uint32_t major;
    uint32_t minor;
    uint32_t build;   // as GetVersionExA reports it: on the 9x family the high word carries major.minor
    std::string csd;  // service-pack text
    bool nt_family() const { return platform_id == 2; }
};

// win95, win98, win98se, winme, nt4, win2k, winxp, win2003, vista.
const std::vector<VersionInfo>& KnownVersions();
std::optional<VersionInfo> FindVersion(std::string_view name);
// "win95, win98, ..." for messages.
std::string KnownVersionNames();

}  // namespace sim
