// The removal of earlier releases' INF files, called as the worker calls it, on machines whose INF folders
// hold the files each case needs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "scan/legacy_cleanup.h"
#include "setup_machine.h"

namespace setup_test {
namespace {

const char kInf[] = "C:\\WINDOWS\\INF\\";
const char kOther[] = "C:\\WINDOWS\\INF\\OTHER\\";

std::string Strings(const std::string& lines) {
    return "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n[Strings]\r\n" + lines;
}

// The twin a precompiled INF has: the same path ending in PNF.
std::string Twin(const std::string& path) {
    return path.substr(0, path.size() - 3) + "PNF";
}

// Windows keeps the case a folder was made in ("inf" on some systems); paths compare in capitals.
std::vector<std::string> Upper(std::vector<std::string> paths) {
    for (std::string& path : paths)
        for (char& ch : path) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return paths;
}

// Runs the cleanup; the paths it deleted, in order, in capitals.
std::vector<std::string> Clean(sim::Machine& machine) {
    sim::RunResult result = machine.RunCode([] { RemoveLegacyDrivers(); });
    EXPECT_FALSE(result.deadlocked()) << result.deadlock;
    std::vector<std::string> deleted;
    for (const std::string& line : machine.trace().Lines("file"))
        if (line.rfind("delete ", 0) == 0) deleted.push_back(line.substr(7));
    return Upper(deleted);
}

TEST(LegacyCleanup, RecognisesTheMakersInfFilesByTheirStrings) {
    struct Case {
        const char* name;
        std::string contents;
        bool deleted;
    };
    const std::string long_tail(80, 'x');
    const Case cases[] = {
        {"a quoted QVUDA wave name", Strings("QVUDA.Wave.szPname=\"QVI6620/V3DX PCI Audio Device\"\r\n"),
         true},
        {"a legacy description beginning with the maker alone",
         Strings("SSC-Legacy.DeviceDesc=Korvane Legacy Audio\r\n"), true},
        {"a WDM wave name that is the word itself", Strings("WDM_QVPCI.Wave.szPname=QVAUDIO\r\n"), true},
        {"the older chip", Strings("QVUDA.Wave.szPname=QVI6610 Audio\r\n"), true},
        {"the third key matches when the first two do not",
         Strings("SSC-Legacy.DeviceDesc=Other Audio\r\nWDM_QVPCI.Wave.szPname=Other\r\n"
                 "QVUDA.Wave.szPname=QVAUDIO 2\r\n"),
         true},
        {"section and key names in any case", "[strings]\r\nqvuda.wave.szpname=QVI6620\r\n", true},
        {"a value longer than 63 characters", Strings("SSC-Legacy.DeviceDesc=Korvane " + long_tail + "\r\n"),
         true},
        {"blanks before an unquoted value are not part of it",
         Strings("QVUDA.Wave.szPname=   QVI6620 Audio\r\n"), true},
        {"the word in lower case", Strings("QVUDA.Wave.szPname=\"qvi6620/V3DX PCI Audio Device\"\r\n"),
         false},
        {"the maker's name in capitals", Strings("SSC-Legacy.DeviceDesc=KORVANE Audio\r\n"), false},
        {"a quoted blank before the word",
         Strings("QVUDA.Wave.szPname=\" QVI6620/V3DX PCI Audio Device\"\r\n"), false},
        {"the word cut short", Strings("QVUDA.Wave.szPname=QVI662\r\n"), false},
        {"the word under another key", Strings("DeviceDesc=\"QVI6620/V3DX PCI Audio Device\"\r\n"), false},
        {"the key outside the Strings section", "[Version]\r\nQVUDA.Wave.szPname=QVI6620\r\n", false},
        {"another maker's device", Strings("QVUDA.Wave.szPname=\"Other PCI Audio Device\"\r\n"), false},
        {"an empty file", "", false},
    };
    sim::Machine machine("win98se");
    std::vector<std::string> paths;
    for (size_t i = 0; i < std::size(cases); ++i) {
        std::string path = std::string(kOther) + "CASE" + std::to_string(i) + ".INF";
        machine.files().WriteFile(path, cases[i].contents);
        machine.files().WriteFile(Twin(path), "precompiled");
        paths.push_back(path);
    }
    Clean(machine);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(machine.files().Exists(paths[i]), !cases[i].deleted);
        EXPECT_EQ(machine.files().Exists(Twin(paths[i])), !cases[i].deleted);
    }
}

TEST(LegacyCleanup, DeletesReadOnlyFilesAndMissingTwinsAreNoObstacle) {
    sim::Machine machine("winxp");
    const std::string read_only = std::string(kOther) + "OLDDRV.INF";
    const std::string without_twin = std::string(kOther) + "OLDCODEC.INF";
    machine.files().WriteFile(read_only, Strings("QVUDA.Wave.szPname=\"QVI6620/V3DX PCI Audio Device\"\r\n"));
    machine.files().WriteFile(Twin(read_only), "precompiled");
    machine.files().SetAttributes(read_only, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    machine.files().SetAttributes(Twin(read_only), FILE_ATTRIBUTE_READONLY);
    machine.files().WriteFile(without_twin, Strings("SSC-Legacy.DeviceDesc=Korvane Codec\r\n"));
    // NTFS lists the folder sorted.
    EXPECT_EQ(Clean(machine), Upper({without_twin, read_only, Twin(read_only)}));
}

// INF\OTHER may hold long file names: a path of 259 characters, the longest Windows opens, is examined and
// deleted whole, twin included.
TEST(LegacyCleanup, ComposesThePathsOfLongNamesWhole) {
    sim::Machine machine("winxp");
    const std::string head = "Korvane Audio Driver ", tail = " old.INF";
    const std::string name =
        head + std::string(MAX_PATH - 1 - std::strlen(kOther) - head.size() - tail.size(), 'x') + tail;
    const std::string path = std::string(kOther) + name;
    ASSERT_EQ(path.size(), static_cast<size_t>(MAX_PATH - 1));
    machine.files().WriteFile(path, Strings("WDM_QVPCI.Wave.szPname=QVI6620\r\n"));
    machine.files().WriteFile(Twin(path), "precompiled");
    const std::string kept = std::string(kOther) + std::string(200, 'k') + ".INF";
    machine.files().WriteFile(kept, Strings("WDM_QVPCI.Wave.szPname=Other\r\n"));
    EXPECT_EQ(Clean(machine), Upper({path, Twin(path)}));
    EXPECT_TRUE(machine.files().Exists(kept));
}

// Which files each pass meets, told by the order of the deletions: INF\OTHER first, or the INF folder's OEM
// files in its place when it holds no INF file; then the QV files; then the OEM files again.
TEST(LegacyCleanup, RunsItsPassesInOrder) {
    const std::string legacy = Strings("QVUDA.Wave.szPname=QVI6620\r\n");
    const std::string other = Strings("QVUDA.Wave.szPname=Other\r\n");
    struct File {
        std::string path;
        std::string contents;
    };
    struct Case {
        const char* name;
        std::vector<File> files;  // made in this order, which is the FAT listing order
        std::vector<std::string> deleted;
    };
    const Case cases[] = {
        {"INF\\OTHER holds INF files: the OEM files wait for the third pass",
         {{std::string(kInf) + "OEM1.INF", legacy},
          {std::string(kInf) + "QVAUDIO.INF", legacy},
          {std::string(kOther) + "KORV.INF", legacy},
          {std::string(kOther) + "PLAIN.INF", other},
          {std::string(kInf) + "OEM2.INF", other}},
         {std::string(kOther) + "KORV.INF", std::string(kInf) + "QVAUDIO.INF",
          std::string(kInf) + "OEM1.INF"}},
        {"INF\\OTHER holds only other files: the OEM files come first",
         {{std::string(kInf) + "QVAUDIO.INF", legacy},
          {std::string(kInf) + "OEM1.INF", legacy},
          {std::string(kInf) + "oem7.inf", legacy},
          {std::string(kOther) + "README.TXT", legacy}},
         {std::string(kInf) + "OEM1.INF", std::string(kInf) + "oem7.inf", std::string(kInf) + "QVAUDIO.INF"}},
        {"no INF\\OTHER folder",
         {{std::string(kInf) + "qv2.inf", legacy}, {std::string(kInf) + "OEM3.INF", legacy}},
         {std::string(kInf) + "OEM3.INF", std::string(kInf) + "qv2.inf"}},
        {"files of the INF folder that no mask names stay",
         {{std::string(kInf) + "KORVANE.INF", legacy},
          {std::string(kInf) + "MACHINE.INF", legacy},
          {std::string(kOther) + "OTHER.INF", other}},
         {}},
        {"no INF folder at all", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Machine machine("win98se");
        for (const File& f : c.files) machine.files().WriteFile(f.path, f.contents);
        EXPECT_EQ(Clean(machine), Upper(c.deleted));
        for (const File& f : c.files) {
            bool deleted = std::find(c.deleted.begin(), c.deleted.end(), f.path) != c.deleted.end();
            EXPECT_EQ(machine.files().Exists(f.path), !deleted) << f.path;
        }
    }
}

// The twin is the path with P, N and F as its last three letters, whatever the case of the INF's name.
TEST(LegacyCleanup, DeletesTheTwinByItsCapitalLetters) {
    sim::Machine machine("win98se");
    const std::string path = std::string(kInf) + "oem4.inf";
    machine.files().WriteFile(path, Strings("QVUDA.Wave.szPname=QVI6620\r\n"));
    machine.files().WriteFile(std::string(kInf) + "oem4.pnf", "precompiled");
    EXPECT_EQ(Clean(machine), Upper({path, std::string(kInf) + "oem4.pnf"}));
}

}  // namespace
}  // namespace setup_test
