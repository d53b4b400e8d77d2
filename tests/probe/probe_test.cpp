// QviSystemInfo on simulated machines: the nine values for each system, the DirectX probes on Windows 98 SE,
// and command lines that name no usable key.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "sim/directx.h"
#include "sim/filesystem.h"
#include "sim/machine.h"
#include "sim/registry.h"
#include "win32api.h"

namespace {

const char kKey[] = "Software\\Korvane\\SysInfo";
const std::vector<std::string> kValueNames = {"OSVER_95", "OSVER_98", "OSVER_SE", "OSVER_ME", "OSVER_NT",
                                              "OSVER_2K", "OSVER_XP", "DirectX",  "DXMedia"};

void CreateKey(sim::Machine& machine, const std::string& path) {
    machine.RunCode([&] {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    });
}

// The probe's values in HKLM\path as "name=value" texts; a value that is missing reads "name=-".
std::string ReadValues(sim::Machine& machine, const std::string& path) {
    std::string values;
    machine.RunCode([&] {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
            values = "no key";
            return;
        }
        for (const std::string& name : kValueNames) {
            DWORD type = 0, data = 0, size = sizeof data;
            LONG status =
                RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
            values += (values.empty() ? "" : " ") + name + "=";
            if (status != ERROR_SUCCESS)
                values += "-";
            else if (type != REG_DWORD || size != 4)
                values += "bad type";
            else
                values += std::to_string(data);
        }
        RegCloseKey(key);
    });
    return values;
}

sim::Process& RunProbe(sim::Machine& machine, const std::string& command_line) {
    sim::Program probe;
    probe.exe_path = "D:\\QVI\\QviSystemInfo.exe";
    probe.image = sim::ImagePath("QviSystemInfo");
    sim::Process& process = machine.Start(probe, "\"D:\\QVI\\QviSystemInfo.exe\" " + command_line, "C:\\");
    sim::RunResult result = machine.Run();
    EXPECT_FALSE(result.deadlocked()) << result.deadlock;
    EXPECT_EQ(process.crash, "");
    return process;
}

std::string Expect(const char* osver, int directx, int dxmedia) {
    std::string values;
    for (size_t i = 0; i < 7; ++i)
        values += (i ? " " : "") + kValueNames[i] + "=" + (osver && kValueNames[i] == osver ? "1" : "0");
    return values + " DirectX=" + std::to_string(directx) + " DXMedia=" + std::to_string(dxmedia);
}

// Each system the machine can run, and a few it reports only when set by hand, classified.
TEST(Probe, ClassifiesEverySystem) {
    struct Case {
        const char* base;   // a known version whose numbers the case starts from
        int platform;       // -1: keep the base's
        int major, minor;   // -1: keep
        const char* csd;    // nullptr: keep
        const char* osver;  // the value set to 1, or nullptr for none
        int directx, dxmedia;
    };
    const Case cases[] = {
        {"win95", -1, -1, -1, nullptr, "OSVER_95", 0, 0},
        {"win95", -1, -1, -1, " B ", "OSVER_95", 0, 0},  // 4.0 is 95 whatever its service-pack text
        {"win98", -1, -1, -1, nullptr, "OSVER_98", 0, 0},
        {"win98", -1, -1, -1, "", "OSVER_98", 0, 0},
        {"win98se", -1, -1, -1, nullptr, "OSVER_SE", 1, 0},
        {"win98se", -1, -1, -1, "A", "OSVER_98", 0, 0},  // the 'A' must be the second character
        {"winme", -1, -1, -1, nullptr, "OSVER_ME", 0, 0},
        {"nt4", -1, -1, -1, nullptr, "OSVER_NT", 0, 0},
        {"nt4", -1, 3, 51, "Service Pack 5", "OSVER_NT", 0, 0},
        {"win2k", -1, -1, -1, nullptr, "OSVER_2K", 0, 0},
        {"winxp", -1, -1, -1, nullptr, "OSVER_XP", 0, 0},
        {"win2003", -1, -1, -1, nullptr, nullptr, 0, 0},
        {"vista", -1, -1, -1, nullptr, nullptr, 0, 0},
        {"win98", -1, 4, 20, nullptr, nullptr, 0, 0},  // 9x minor versions other than 0, 10, 90
        {"win98", -1, 5, 0, nullptr, nullptr, 0, 0},
        {"win98", 0, -1, -1, nullptr, nullptr, 0, 0},  // Win32s
    };
    for (const Case& c : cases) {
        sim::VersionInfo version = *sim::FindVersion(c.base);
        if (c.platform >= 0) version.platform_id = c.platform;
        if (c.major >= 0) version.major = c.major;
        if (c.minor >= 0) version.minor = c.minor;
        if (c.csd) version.csd = c.csd;
        SCOPED_TRACE(std::string(c.base) + " as " + std::to_string(version.platform_id) + " " +
                     std::to_string(version.major) + "." + std::to_string(version.minor) + " \"" +
                     version.csd + "\"");
        sim::Machine machine(version);
        sim::InstallDirectX(machine, {});
        CreateKey(machine, kKey);
        RunProbe(machine, kKey);
        EXPECT_EQ(ReadValues(machine, kKey), Expect(c.osver, c.directx, c.dxmedia));
    }
}

// On 98 SE the DirectDraw probe always reports version 0, so "DirectX" is 1; "DXMedia" follows the filter
// graph.
TEST(Probe, DirectXProbesOnWindows98SE) {
    struct Case {
        const char* name;
        sim::DirectXOptions directx;
        int dxmedia;
        std::vector<std::string> debug_output;
        bool dumped;  // "Get DirectDrawCreate" appended to VornDump.txt
    };
    const HRESULT kFails = static_cast<HRESULT>(0x80004005);
    const Case cases[] = {
        {"all present", {true, true, S_OK, true}, 0, {}, true},
        {"no filter graph", {true, true, S_OK, false}, 1, {}, true},
        {"no DDRAW.DLL", {false, true, S_OK, true}, 0, {}, false},
        {"no DirectDrawCreate", {true, false, S_OK, false}, 1, {"Couldn't LoadLibrary DDraw\r\n"}, false},
        {"creation fails", {true, true, kFails, true}, 0, {"Couldn't create DDraw\r\n"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Machine machine("win98se");
        sim::InstallDirectX(machine, c.directx);
        CreateKey(machine, kKey);
        RunProbe(machine, kKey);
        EXPECT_EQ(ReadValues(machine, kKey), Expect("OSVER_SE", 1, c.dxmedia));
        EXPECT_EQ(machine.debug_output, c.debug_output);
        std::optional<std::string> dump = machine.files().ReadFile("C:\\VornDump.txt");
        EXPECT_EQ(dump.value_or("(none)"), c.dumped ? "Get DirectDrawCreate\r\n" : "(none)");
    }
}

// Each run appends a line to the dump in the current folder; the probe never creates the filter graph
// elsewhere.
TEST(Probe, EveryRunOn98SEAppendsToTheDump) {
    sim::Machine machine("win98se");
    sim::InstallDirectX(machine, {});
    CreateKey(machine, kKey);
    for (int run = 0; run < 3; ++run) RunProbe(machine, kKey);
    EXPECT_EQ(machine.files().ReadFile("C:\\VornDump.txt").value_or(""),
              "Get DirectDrawCreate\r\nGet DirectDrawCreate\r\nGet DirectDrawCreate\r\n");
}

TEST(Probe, OtherSystemsRunNoDirectXProbe) {
    sim::Machine machine("winxp");
    sim::InstallDirectX(machine, {});
    CreateKey(machine, kKey);
    RunProbe(machine, kKey);
    std::string transcript = machine.trace().Text();
    EXPECT_EQ(transcript.find("LoadLibraryA"), std::string::npos) << transcript;
    EXPECT_EQ(transcript.find("CoCreateInstance"), std::string::npos) << transcript;
}

// Command lines that name no existing key leave the registry as it was, whatever their bytes and length.
TEST(Probe, CommandLinesThatNameNoKeyWriteNothing) {
    const std::vector<std::string> command_lines = {
        "Software\\Korvane\\Missing",
        "\"Software\\Korvane\\SysInfo\"",        // quotes are part of the name
        "Software\\Korvane\\SysInfo   ",         // so are trailing blanks
        std::string(5000, 'K'),                  // longer than any key name
        "Software\\" + std::string(300, 'x'),    // one name over 255 characters
        "Software\\Korvane\\SysInfo\\\\Deeper",  // an empty name between two backslashes
    };
    for (const std::string& command_line : command_lines) {
        SCOPED_TRACE(command_line.substr(0, 60));
        sim::Machine machine("win98se");
        sim::InstallDirectX(machine, {});
        CreateKey(machine, kKey);
        std::string before = machine.registry().ExportRegText("HKEY_LOCAL_MACHINE");
        RunProbe(machine, command_line);
        EXPECT_EQ(machine.registry().ExportRegText("HKEY_LOCAL_MACHINE"), before);
    }
}

// The CRT hands over the text after the program name and its blanks; the rest is the key, trailing blanks
// too.
TEST(Probe, KeyNamesAreUsedAsTheyStand) {
    sim::Machine machine("winme");
    CreateKey(machine, "Software\\Korvane\\Sys Info ");
    RunProbe(machine, "   Software\\Korvane\\Sys Info ");
    EXPECT_EQ(ReadValues(machine, "Software\\Korvane\\Sys Info "), Expect("OSVER_ME", 0, 0));
}

// An empty command line names HKEY_LOCAL_MACHINE itself.
TEST(Probe, EmptyCommandLineWritesIntoTheRoot) {
    sim::Machine machine("win2k");
    RunProbe(machine, "");
    EXPECT_EQ(ReadValues(machine, ""), Expect("OSVER_2K", 0, 0));
}

}  // namespace
