// The machine's registry. (Contract for the rest of the simulator; the registry's owner fills in the rest.)
#pragma once

#include <string>

namespace sim {

class Machine;

class Registry {
  public:
    explicit Registry(Machine& machine);
    ~Registry();

    // Loads a REGEDIT4 text; a malformed text throws InputError naming source:line, and nothing of it is
    // loaded.
    void ImportRegText(const std::string& text, const std::string& source_name);
    void ImportRegFile(const std::string& host_path);
    // The tree below a root or key ("HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE\\Software\\X") as REGEDIT4
    // text.
    std::string ExportRegText(const std::string& key_path) const;

  private:
    Machine& machine_;
};

}  // namespace sim
