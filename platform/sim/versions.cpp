#include "sim/versions.h"

namespace sim {

const std::vector<VersionInfo>& KnownVersions() {
    // What each system reports. The 9x family carries major and minor in the high word of the build number.
    static const std::vector<VersionInfo> versions = {
        {"win95", 1, 4, 0, 0x040003B6, ""},         {"win98", 1, 4, 10, 0x040A07CE, " "},
        {"win98se", 1, 4, 10, 0x040A08AE, " A "},   {"winme", 1, 4, 90, 0x045A0BB8, " "},
        {"nt4", 2, 4, 0, 1381, "Service Pack 6"},   {"win2k", 2, 5, 0, 2195, "Service Pack 4"},
        {"winxp", 2, 5, 1, 2600, "Service Pack 3"}, {"win2003", 2, 5, 2, 3790, "Service Pack 2"},
        {"vista", 2, 6, 0, 6002, "Service Pack 2"},
    };
    return versions;
}

std::optional<VersionInfo> FindVersion(std::string_view name) {
    for (const VersionInfo& v : KnownVersions())
        if (v.name == name) return v;
    return std::nullopt;
}

std::string KnownVersionNames() {
    std::string names;
    for (const VersionInfo& v : KnownVersions()) names += (names.empty() ? "" : ", ") + v.name;
    return names;
}

}  // namespace sim
