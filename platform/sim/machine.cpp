#include "sim/machine.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "sim/filesystem.h"
#include "sim/registry.h"
#include "sim/resources.h"

namespace sim {

namespace {

typedef int (*ImageEntry)(HINSTANCE instance, LPSTR args, int show);
constexpr int kShowDefault = 10;  // SW_SHOWDEFAULT
HINSTANCE const kImageBase = reinterpret_cast<HINSTANCE>(0x00400000);

// What the CRT hands WinMain: the command line after the program name and the blanks that follow it.
std::string ArgumentsOf(const std::string& command_line) {
    size_t i = 0;
    if (i < command_line.size() && command_line[i] == '"') {
        ++i;
        while (i < command_line.size() && command_line[i] != '"') ++i;
        if (i < command_line.size()) ++i;
    } else {
        while (i < command_line.size() && command_line[i] != ' ' && command_line[i] != '\t') ++i;
    }
    while (i < command_line.size() && (command_line[i] == ' ' || command_line[i] == '\t')) ++i;
    return command_line.substr(i);
}

// Runs a compiled image as the body of the process's main thread.
DWORD RunImage(Process& process) {
    void* image = dlopen(process.program.image.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!image) throw std::runtime_error("cannot load the image " + process.program.image + ": " + dlerror());
    process.image_handle = image;
    process.resources = LoadImageResources(image, process.program.image);
    auto entry = reinterpret_cast<ImageEntry>(dlsym(image, "SimImageMain"));
    if (!entry) throw std::runtime_error("the image " + process.program.image + " has no SimImageMain");
    std::string args = ArgumentsOf(process.command_line);
    std::vector<char> buffer(args.begin(), args.end());
    buffer.push_back('\0');
    return static_cast<DWORD>(entry(kImageBase, buffer.data(), kShowDefault));
}

}  // namespace

std::string ImagePath(const std::string& program_name) {
    std::string folder;
    if (const char* dir = std::getenv("SIM_IMAGE_DIR")) {
        folder = dir;
    } else {
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(&ImagePath), &info) && info.dli_fname) {
            folder = info.dli_fname;
            size_t slash = folder.rfind('/');
            folder = slash == std::string::npos ? "." : folder.substr(0, slash);
        }
    }
    return folder + "/" + program_name + ".exe.so";
}

std::string Process::name() const {
    size_t slash = program.exe_path.find_last_of("\\/");
    return slash == std::string::npos ? program.exe_path : program.exe_path.substr(slash + 1);
}

Machine::Machine(const VersionInfo& version)
    : version_(version),
      scheduler_(*this),
      registry_(std::make_unique<Registry>(*this)),
      files_(std::make_unique<FileSystem>(*this)) {
    // The tray program starts, shows its icons and goes on running; here it simply starts and ends.
    Program tray;
    tray.exe_path = files_->SystemDir() + "\\SysTray.exe";
    tray.native = [] { return DWORD{0}; };
    InstallProgram("SysTray.exe", tray);
}

Machine::Machine(std::string_view version_name)
    : Machine([&] {
          std::optional<VersionInfo> version = FindVersion(version_name);
          if (!version)
              throw std::invalid_argument("unknown Windows version \"" + std::string(version_name) +
                                          "\" (known: " + KnownVersionNames() + ")");
          return *version;
      }()) {}

Machine::~Machine() {
    scheduler_.Shutdown();
    ReapEndedProcesses();
}

void Machine::Log(std::string category, std::string text) {
    Thread* thread = scheduler_.current();
    trace_.Add(now_ms(), thread ? thread->id : 0, std::move(category), std::move(text));
}

Process& Machine::Start(Program program, std::string command_line, std::string current_dir) {
    processes_.push_back(std::make_unique<Process>());
    Process& process = *processes_.back();
    process.id = scheduler_.NextId();
    process.machine = this;
    process.program = std::move(program);
    process.command_line = std::move(command_line);
    if (current_dir.empty() || current_dir.back() != '\\') current_dir += '\\';
    process.current_dir = std::move(current_dir);
    Log("process", "start " + process.name() + " (" + process.command_line + ")");
    scheduler_.Spawn(process, "main", [&process] {
        DWORD code = process.program.native ? process.program.native() : RunImage(process);
        process.machine->EndProcess(process, code);
    });
    return process;
}

RunResult Machine::Run(std::optional<uint64_t> until_ms) {
    return scheduler_.Run(until_ms);
}

RunResult Machine::RunCode(std::function<void()> body, std::string current_dir) {
    Program program;
    program.exe_path = "C:\\TEST.EXE";
    program.native = [body = std::move(body)] {
        body();
        return DWORD{0};
    };
    Start(std::move(program), "C:\\TEST.EXE", std::move(current_dir));
    return Run();
}

void Machine::EndProcess(Process& process, DWORD exit_code) {
    if (process.ended()) return;
    process.exit_code = exit_code;
    Log("process", "exit " + process.name() + " with status " + std::to_string(exit_code) +
                       (process.crash.empty() ? "" : " (" + process.crash + ")"));
    scheduler_.TerminateProcessThreads(process, scheduler_.current());
}

void Machine::ReapEndedProcesses() {
    for (auto& process : processes_) {
        bool all_finished = true;
        for (Thread* thread : process->threads) all_finished &= thread->state == Thread::State::Finished;
        if (!all_finished || process->reaped) continue;
        process->reaped = true;
        if (!process->ended()) EndProcess(*process, process->threads.back()->exit_code.value_or(0));
        for (auto& observer : process_end_observers_) observer(*process);
        process->handles.Clear();
        if (process->image_handle) {
            std::string path = process->program.image;
            dlclose(process->image_handle);
            process->image_handle = nullptr;
            // An image that stays loaded would carry its globals into the next run of the same program.
            if (void* still = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
                dlclose(still);
                std::fprintf(stderr, "sim: the image %s stayed loaded after its process ended\n",
                             path.c_str());
                std::abort();
            }
        }
    }
}

void Machine::InstallProgram(const std::string& name_or_path, Program program) {
    programs_[name_or_path] = std::move(program);
}

const Program* Machine::FindProgram(const std::string& name_or_path) const {
    auto it = programs_.find(name_or_path);
    if (it != programs_.end()) return &it->second;
    size_t slash = name_or_path.find_last_of("\\/");
    if (slash == std::string::npos) return nullptr;
    it = programs_.find(name_or_path.substr(slash + 1));
    // A program known by its file name alone runs from whatever folder the command names.
    return it != programs_.end() && it->first.find('\\') == std::string::npos ? &it->second : nullptr;
}

void Machine::InstallModule(Module module) {
    std::string name = module.name;
    modules_[name] = std::move(module);
}

const Module* Machine::FindModule(std::string_view name) const {
    auto it = modules_.find(name);
    return it == modules_.end() ? nullptr : &it->second;
}

void Machine::RegisterComClass(const CLSID& clsid, ComFactory factory) {
    UnregisterComClass(clsid);
    com_classes_.emplace_back(clsid, std::move(factory));
}

void Machine::UnregisterComClass(const CLSID& clsid) {
    for (auto it = com_classes_.begin(); it != com_classes_.end(); ++it)
        if (IsEqualGUID(it->first, clsid)) {
            com_classes_.erase(it);
            return;
        }
}

const ComFactory* Machine::FindComClass(const CLSID& clsid) const {
    for (auto& [id, factory] : com_classes_)
        if (IsEqualGUID(id, clsid)) return &factory;
    return nullptr;
}

Machine& Machine::Current() {
    return *CurrentProcess().machine;
}

Thread& CurrentThread() {
    Thread* thread = CurrentThreadOrNull();
    if (!thread) {
        std::fprintf(stderr, "sim: a Windows function was called outside a simulated thread\n");
        std::abort();
    }
    return *thread;
}

Process& CurrentProcess() {
    return *CurrentThread().process;
}

}  // namespace sim
