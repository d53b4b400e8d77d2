// GUIDs as text: "{E436EBB3-524F-11CE-9F53-0020AF0BA770}".
#pragma once

#include <optional>
#include <string>

#include "sim/api/com.h"

namespace sim {

std::string GuidText(const GUID& guid);
std::optional<GUID> ParseGuid(const std::string& text);

}  // namespace sim
