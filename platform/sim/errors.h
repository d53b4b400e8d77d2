// Errors of the simulator's own inputs (scenario files, .reg files, folders): the message names the file and
// line.
#pragma once

#include <stdexcept>
#include <string>

namespace sim {

struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

inline InputError InputErrorAt(const std::string& file, int line, const std::string& what) {
    return InputError(file + ":" + std::to_string(line) + ": " + what);
}

}  // namespace sim
