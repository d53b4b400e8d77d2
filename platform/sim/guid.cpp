#include "sim/guid.h"

#include <cstdio>

namespace sim {

std::string GuidText(const GUID& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
                  g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                  g.Data4[7]);
    return text;
}

std::optional<GUID> ParseGuid(const std::string& text) {
    unsigned d1, d2, d3, b[8];
    char end;
    if (text.size() != 38 ||
        std::sscanf(text.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}%c", &d1, &d2, &d3, &b[0], &b[1],
                    &b[2], &b[3], &b[4], &b[5], &b[6], &b[7], &end) != 11)
        return std::nullopt;
    GUID g{d1, static_cast<WORD>(d2), static_cast<WORD>(d3), {}};
    for (int i = 0; i < 8; ++i) g.Data4[i] = static_cast<BYTE>(b[i]);
    return g;
}

}  // namespace sim
