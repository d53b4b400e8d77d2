// Modules: LoadLibraryA, GetProcAddress and FreeLibrary over the modules a test installs on the machine.
#include <cstdio>

#include "sim/api/kernel.h"
#include "sim/machine.h"

using namespace sim;

namespace {

HMODULE const kProgramModule = reinterpret_cast<HMODULE>(0x00400000);

// The module name LoadLibraryA looks for: the file name of the path, with ".DLL" when it has no extension
// (a trailing dot means "no extension, and add none").
std::string ModuleFileName(std::string path) {
    size_t slash = path.find_last_of("\\/");
    if (slash != std::string::npos) path = path.substr(slash + 1);
    if (!path.empty() && path.back() == '.')
        path.pop_back();
    else if (path.find('.') == std::string::npos)
        path += ".DLL";
    return path;
}

// A module's handle is derived from its name, so it is the same in every process and every run.
HMODULE HandleOf(const std::string& name) {
    uint32_t hash = 2166136261u;
    for (char c : Upper(name)) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x10000000u + (hash % 0x6000u) * 0x10000u));
}

const Module* Loaded(HMODULE module) {
    Process& process = CurrentProcess();
    for (auto& [name, refs] : process.module_refs)
        if (refs > 0 && HandleOf(name) == module) return process.machine->FindModule(name);
    return nullptr;
}

}  // namespace

extern "C" {

HMODULE WINAPI LoadLibraryA(LPCSTR file_name) {
    Machine& machine = CurrentMachine();
    std::string name = ModuleFileName(file_name ? file_name : "");
    const Module* module = machine.FindModule(name);
    machine.Log("module", std::string("LoadLibraryA(\"") + (file_name ? file_name : "") + "\")" +
                              (module ? "" : " -> not found"));
    if (!module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    ++CurrentProcess().module_refs[module->name];
    return HandleOf(module->name);
}

BOOL WINAPI FreeLibrary(HMODULE module) {
    const Module* loaded = Loaded(module);
    if (!loaded) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    --CurrentProcess().module_refs[loaded->name];
    CurrentMachine().Log("module", "FreeLibrary(" + loaded->name + ")");
    return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR proc_name) {
    const Module* loaded = Loaded(module);
    if (!loaded) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // Imports by ordinal (a "name" whose high word is zero) are not offered by the machine's modules.
    bool by_ordinal = (reinterpret_cast<uintptr_t>(proc_name) >> 16) == 0;
    auto it = by_ordinal ? loaded->exports.end() : loaded->exports.find(proc_name);
    if (it == loaded->exports.end()) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return it->second;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR module_name) {
    if (!module_name) return kProgramModule;
    std::string name = ModuleFileName(module_name);
    Process& process = CurrentProcess();
    auto it = process.module_refs.find(name);
    if (it != process.module_refs.end() && it->second > 0) return HandleOf(it->first);
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR file_name, DWORD size) {
    Process& process = CurrentProcess();
    std::string path;
    if (!module || module == kProgramModule) {
        path = process.program.exe_path;
    } else if (const Module* loaded = Loaded(module)) {
        path = loaded->name;
    } else {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (size == 0) return 0;
    CopyCut(file_name, size, path);
    // Windows hands back a cut, NUL-terminated name and the buffer size when the name does not fit.
    if (path.size() >= size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    return static_cast<DWORD>(path.size());
}

}  // extern "C"
