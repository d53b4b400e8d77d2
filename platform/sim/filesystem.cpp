#include "sim/filesystem.h"

namespace sim {
FileSystem::FileSystem(Machine& machine) : machine_(machine) {}
FileSystem::~FileSystem() = default;
std::optional<std::string> FileSystem::ReadFile(const std::string&) const {
    return std::nullopt;
}
void FileSystem::WriteFile(const std::string&, const std::string&) {}
}  // namespace sim
