#include "sim/registry.h"

namespace sim {
Registry::Registry(Machine& machine) : machine_(machine) {}
Registry::~Registry() = default;
void Registry::ImportRegText(const std::string&, const std::string&) {}
void Registry::ImportRegFile(const std::string&) {}
std::string Registry::ExportRegText(const std::string&) const {
    return "REGEDIT4\n";
}
}  // namespace sim
