// The machine's drives, folders and files. (Contract for the rest of the simulator; the file system's owner
// fills in the rest.)
#pragma once

#include <optional>
#include <string>

namespace sim {

class Machine;

class FileSystem {
  public:
    explicit FileSystem(Machine& machine);
    ~FileSystem();

    // Whole-file access for tests and tools, by absolute Windows path ("C:\\WINDOWS\\WIN.INI").
    std::optional<std::string> ReadFile(const std::string& path) const;
    void WriteFile(const std::string& path, const std::string& contents);  // creates missing folders

  private:
    Machine& machine_;
};

}  // namespace sim
