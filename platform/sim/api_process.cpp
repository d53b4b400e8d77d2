// Starting programs: WinExec over the programs the machine knows.
#include <string>

#include "sim/api/kernel.h"
#include "sim/filesystem.h"
#include "sim/machine.h"

using namespace sim;

namespace {

// The program a command line names: its first token, without quotes.
std::string ProgramOf(const std::string& command_line) {
    if (!command_line.empty() && command_line[0] == '"') {
        size_t end = command_line.find('"', 1);
        return command_line.substr(1, end == std::string::npos ? std::string::npos : end - 1);
    }
    return command_line.substr(0, command_line.find_first_of(" \t"));
}

}  // namespace

extern "C" UINT WINAPI WinExec(LPCSTR command_line, UINT) {
    Machine& machine = CurrentMachine();
    std::string command = command_line ? command_line : "";
    std::string program = ProgramOf(command);
    // WinExec's results: above 31 when started, ERROR_FILE_NOT_FOUND (2) for no such program,
    // ERROR_BAD_FORMAT (11) for a file that is no program the machine can run.
    UINT result = 2;
    if (const Program* known = machine.FindProgram(program)) {
        Program started = *known;
        if (program.find('\\') != std::string::npos) started.exe_path = program;
        machine.Start(started, command, CurrentProcess().current_dir);
        result = 33;
    } else if (program.find('\\') != std::string::npos && machine.files().Exists(program)) {
        result = 11;
    }
    machine.Log("process", "WinExec(\"" + command + "\") -> " + std::to_string(result));
    return result;
}
