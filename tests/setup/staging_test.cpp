// The driver files staged by an installation: the driver folder chosen on the medium for each Windows version
// and medium layout, the copies into the staging folder, the system's source folder, the INF folders and the
// Windows folder, the DOS programs, the catalog and the mixer program. Each case runs Setup from the CD in
// D:, clicks Install and reads the machine's files afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "setup_machine.h"

namespace setup_test {
namespace {

const char kStaging[] = "C:\\Program Files\\Korvane\\WIN_ME\\";
const char kSetupKey[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Setup";

void SetSourcePath(SetupMachine& m, const std::string& folder) {
    std::string escaped;
    for (char c : folder) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    m.machine.registry().ImportRegText(
        std::string("REGEDIT4\n\n[") + kSetupKey + "]\n\"SourcePath\"=\"" + escaped + "\"\n", "setup.reg");
}

bool Listed(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string WindowsFile(SetupMachine& m, const std::string& rest) {
    return m.machine.files().WindowsDir() + "\\" + rest;
}

// Which folder of the sample media the staged driver came from: the staged INF is that folder's own.
TEST(Staging, TheSampleMediaGiveEachWindowsItsDriverFolder) {
    struct Case {
        const char* version;
        const char* medium;
        const char* folder;  // on D:
        const char* inf;
    };
    const Case cases[] = {
        {"win95", "chip", "WIN_ME\\drv", "QVAUDIO.INF"},  // no flag: the generic probes
        {"win98", "chip", "WIN_ME\\drv", "QVAUDIO.INF"},  // the first edition has no folder of its own
        {"win98se", "chip", "Win_98SE\\drv", "QVAUDIO.INF"},
        {"winme", "chip", "WIN_ME\\drv", "QVAUDIO.INF"},  // Win_ME finds WIN_ME
        {"nt4", "chip", "WIN_ME\\drv", "QVAUDIO.INF"},
        {"win2k", "chip", "WIN_ME\\drv", "QVAUDIO.INF"},  // no Win_2K on this medium
        {"winxp", "chip", "Win_XP\\drv", "QVAUDIO.INF"},
        {"win2003", "chip", "Win_XP\\drv", "QVAUDIO.INF"},
        {"win98se", "codec", "WDM", "QVUDA.INF"},
        {"winxp", "codec", "WDM", "QVUDA.INF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version) + " " + c.medium);
        SetupMachine m(c.version);
        m.InsertMedium(c.medium);
        m.RunInstallation();
        std::string folder = std::string("D:\\") + c.folder + "\\";
        EXPECT_EQ(m.machine.files().ReadFile(kStaging + std::string(c.inf)),
                  m.machine.files().ReadFile(folder + c.inf));
        // Every file of the folder is staged, the placeholder Setup.exe among them.
        for (const std::string& name : m.machine.files().List(folder))
            EXPECT_TRUE(m.machine.files().Exists(kStaging + name)) << name;
    }
}

// Media laid out on D: folder by folder; each driver folder holds a from.txt naming it, so the staged
// from.txt tells which folder was chosen ("" when the chosen folder does not exist and nothing is staged).
TEST(Staging, TheDriverFolderForEachLayout) {
    struct Case {
        const char* version;
        std::vector<std::string> folders;  // driver folders on D:; "." is the medium's root
        std::vector<std::string> empty;    // folders on D: with no "drv" below them
        const char* chosen;
    };
    const Case cases[] = {
        {"winxp", {"Win_XP\\drv", "W2K-ME\\drv"}, {}, "Win_XP\\drv"},
        {"winxp", {"WDM"}, {}, "WDM"},
        {"winxp", {"W2K-ME\\drv", "WIN_ME\\drv", "XP-2K-ME\\drv", "WDM", "Driver\\WDM"}, {}, "W2K-ME\\drv"},
        {"winxp", {"WIN_ME\\drv", "XP-2K-ME\\drv", "WDM", "Driver\\WDM"}, {}, "WIN_ME\\drv"},
        {"winxp", {"XP-2K-ME\\drv", "WDM", "Driver\\WDM", "."}, {}, "XP-2K-ME\\drv"},
        {"winxp", {"Driver\\WDM", "."}, {}, "Driver\\WDM"},
        {"winxp", {"."}, {}, "."},
        {"win2k", {"Win_2K\\drv", "Win_XP\\drv"}, {}, "Win_2K\\drv"},
        {"win2003", {"Win_2K\\drv", "Win_XP\\drv"}, {}, "Win_XP\\drv"},
        {"win98", {"Win_98SE\\drv", "WDM"}, {}, "WDM"},
        {"win98se", {"Win_98SE\\drv", "Win_ME\\drv"}, {}, "Win_98SE\\drv"},
        {"winme", {"win_me\\drv", "WDM"}, {}, "win_me\\drv"},
        {"win95", {"Win_98SE\\drv", "Win_XP\\drv", "WDM"}, {}, "WDM"},
        {"nt4", {"Win_2K\\drv", "Win_XP\\drv", "Driver\\WDM"}, {}, "Driver\\WDM"},
        // Only the parent of "drv" is probed: a parent without it stages nothing.
        {"winxp", {"WIN_ME\\drv", "WDM"}, {"W2K-ME"}, ""},
        {"winxp", {"WDM"}, {"Win_XP"}, ""},
    };
    for (const Case& c : cases) {
        std::string layout;
        for (const std::string& f : c.folders) layout += f + " ";
        SCOPED_TRACE(std::string(c.version) + ": " + layout);
        SetupMachine m(c.version);
        for (const std::string& f : c.folders)
            m.machine.files().WriteFile(f == "." ? "D:\\from.txt" : "D:\\" + f + "\\from.txt", f);
        for (const std::string& f : c.empty) m.machine.files().WriteFile("D:\\" + f + "\\readme.txt", f);
        m.RunInstallation();
        std::string staged = m.machine.files().ReadFile(kStaging + std::string("from.txt")).value_or("");
        EXPECT_EQ(staged, c.chosen);
    }
}

// Where each file of the driver folder goes, with a usable SourcePath. Only the 98 family gets copies in the
// INF folders; the Windows folder gets the settings files on every version.
TEST(Staging, EachFileGoesWhereItsNameSendsIt) {
    struct File {
        const char* name;
        bool source_path;
        bool inf_folders;  // on the 98 family
        bool windows;
    };
    const File files[] = {
        {"QVAUDIO.INF", true, true, false}, {"OEMSETUP.INF", false, true, false},
        {"Setup.exe", false, false, false}, {"mixer.ini", true, false, true},
        {"notes.INI", true, false, true},   {"Foo.Inf", true, false, false},
        {"readme.info", true, true, false}, {"qvaudio.sys", true, false, false},
        {"Custom.Ini", true, false, false}, {"usetup.dll", false, false, false},
    };
    const char* versions[] = {"win98", "win98se", "winme", "win2k", "winxp"};
    for (const char* version : versions) {
        SCOPED_TRACE(version);
        SetupMachine m(version);
        for (const File& f : files) m.machine.files().WriteFile(std::string("D:\\WDM\\") + f.name, f.name);
        m.machine.files().WriteFile("D:\\WDM\\sub\\inner.inf", "a subfolder's file");
        m.machine.files().CreateFolder("C:\\CABS");
        SetSourcePath(m, "C:\\CABS");
        m.RunInstallation();
        bool family98 = std::string(version) == "win98" || std::string(version) == "win98se";
        sim::FileSystem& fs = m.machine.files();
        std::vector<std::string> staged = fs.List(kStaging);
        std::vector<std::string> cabs = fs.List("C:\\CABS");
        for (const File& f : files) {
            SCOPED_TRACE(f.name);
            EXPECT_TRUE(Listed(staged, f.name));
            EXPECT_EQ(Listed(cabs, f.name), f.source_path);  // the name keeps its own case there
            EXPECT_EQ(fs.Exists(WindowsFile(m, std::string("INF\\") + f.name)), family98 && f.inf_folders);
            EXPECT_EQ(fs.Exists(WindowsFile(m, std::string("INF\\OTHER\\") + f.name)),
                      family98 && f.inf_folders);
            EXPECT_EQ(fs.Exists(WindowsFile(m, f.name)), f.windows);
        }
        // A subfolder of the driver folder is neither copied nor entered.
        EXPECT_FALSE(Listed(staged, "sub"));
        EXPECT_FALSE(fs.Exists(kStaging + std::string("inner.inf")));
        EXPECT_FALSE(fs.Exists("C:\\CABS\\inner.inf"));
    }
}

// The system's source folder is used only when the registry names a folder that exists.
TEST(Staging, TheSourcePathIsUsedWhenItsFolderExists) {
    struct Case {
        const char* name;
        const char* value;  // nullptr: no SourcePath value
        bool folder_made;
        bool used;
    };
    const Case cases[] = {
        {"no value", nullptr, true, false},
        {"a folder that is missing", "C:\\CABS", false, false},
        {"without a trailing backslash", "C:\\CABS", true, true},
        {"with a trailing backslash", "C:\\CABS\\", true, true},
        {"an empty value", "", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupMachine m("win98se");
        m.machine.files().WriteFile("D:\\WDM\\qvaudio.sys", "driver");
        if (c.folder_made) m.machine.files().CreateFolder("C:\\CABS");
        if (c.value) SetSourcePath(m, c.value);
        m.RunInstallation();
        EXPECT_EQ(m.machine.files().Exists("C:\\CABS\\qvaudio.sys"), c.used);
        EXPECT_TRUE(m.machine.files().Exists(kStaging + std::string("qvaudio.sys")));
        // Nothing is sent to INF\OTHER when no copy into the source folder failed.
        EXPECT_FALSE(m.machine.files().Exists(WindowsFile(m, "INF\\OTHER\\qvaudio.sys")));
    }
}

// One failing copy into the source folder ends its use: that file goes to INF\OTHER, later files go to
// neither place. The CD lists its files sorted, so the order is a.sys to e.sys.
TEST(Staging, AFailingCopyIntoTheSourceFolderEndsItsUse) {
    struct Case {
        const char* name;
        const char* source_path;
        std::vector<std::string> into_source;  // of a.sys to e.sys
        const char* redirected;
    };
    const Case cases[] = {
        {"the third copy fails", "C:\\CABS", {"a.sys", "b.sys"}, "c.sys"},
        {"the source folder on the CD itself", "D:\\CABS", {}, "a.sys"},
    };
    const std::vector<std::string> names = {"a.sys", "b.sys", "c.sys", "d.sys", "e.sys"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupMachine m("winxp");
        for (const std::string& name : names) m.machine.files().WriteFile("D:\\WDM\\" + name, name);
        m.machine.files().CreateFolder(c.source_path);
        m.machine.files().faults().copy_fails["C:\\CABS\\c.sys"] = ERROR_ACCESS_DENIED;
        SetSourcePath(m, c.source_path);
        m.RunInstallation();
        for (const std::string& name : names) {
            SCOPED_TRACE(name);
            bool into_source = Listed(c.into_source, name);
            EXPECT_EQ(m.machine.files().Exists(std::string(c.source_path) + "\\" + name), into_source);
            EXPECT_EQ(m.machine.files().Exists(WindowsFile(m, "INF\\OTHER\\" + name)), name == c.redirected);
            EXPECT_TRUE(m.machine.files().Exists(kStaging + name));
        }
    }
}

// A source folder whose path leaves no room for a file's name fails that copy as Windows would: the file is
// redirected to INF\OTHER, and nothing overflows.
TEST(Staging, ASourceFolderTooLongForTheNameCountsAsAFailedCopy) {
    SetupMachine m("winxp");
    std::string source_path = "C:\\" + std::string(245, 'S');
    m.machine.files().CreateFolder(source_path);
    m.machine.files().WriteFile("D:\\WDM\\a.sys", "short");
    m.machine.files().WriteFile("D:\\WDM\\b_name_too_long_for_it.sys", "long");
    m.machine.files().WriteFile("D:\\WDM\\c.sys", "after");
    SetSourcePath(m, source_path);
    m.RunInstallation();
    sim::FileSystem& fs = m.machine.files();
    EXPECT_TRUE(fs.Exists(source_path + "\\a.sys"));
    EXPECT_TRUE(fs.Exists(WindowsFile(m, "INF\\OTHER\\b_name_too_long_for_it.sys")));
    EXPECT_FALSE(fs.Exists(source_path + "\\c.sys"));
    EXPECT_TRUE(fs.Exists(kStaging + std::string("c.sys")));
}

// Files of a CD are read-only. The copies that are edited or used in place (the INF copies, the settings file
// in the Windows folder, the DOS programs) come out writable; the others keep the CD's attribute, and an
// earlier read-only copy is still replaced.
TEST(Staging, CopiesFromTheCdAndTheReadOnlyAttribute) {
    SetupMachine m("win98se");
    m.InsertMedium("chip");
    sim::FileSystem& fs = m.machine.files();
    const std::string earlier = kStaging + std::string("qvaudio.sys");
    fs.WriteFile(earlier, "an earlier release");
    fs.SetAttributes(earlier, FILE_ATTRIBUTE_READONLY);
    m.RunInstallation();
    struct Case {
        std::string path;
        bool read_only;
    };
    const Case cases[] = {
        {kStaging + std::string("QVAUDIO.INF"), true},
        {earlier, true},
        {WindowsFile(m, "INF\\CATALOG\\qvaudio.cat"), true},
        {WindowsFile(m, "NewMixer.exe"), true},
        {WindowsFile(m, "INF\\QVAUDIO.INF"), false},
        {WindowsFile(m, "INF\\OTHER\\QVAUDIO1.INF"), false},
        {WindowsFile(m, "mixer.ini"), false},
        {"C:\\Program Files\\Korvane\\DOS\\QVINIT.EXE", false},
        {"C:\\Program Files\\Korvane\\DOS\\DOSAPP\\QVPLAY.EXE", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::optional<DWORD> attributes = fs.Attributes(c.path);
        ASSERT_TRUE(attributes.has_value());
        EXPECT_EQ((*attributes & FILE_ATTRIBUTE_READONLY) != 0, c.read_only);
    }
    EXPECT_EQ(fs.ReadFile(earlier), fs.ReadFile("D:\\Win_98SE\\drv\\qvaudio.sys"));
}

// The DOS programs and their applications, each into its own folder; the DOSAPP folder is not copied as a
// file. A medium without them still gets the Program Files tree.
TEST(Staging, TheDosProgramsHaveTheirOwnFolders) {
    for (bool with_dos : {true, false}) {
        SCOPED_TRACE(with_dos ? "with Dosdrv" : "without Dosdrv");
        SetupMachine m("winxp");
        if (with_dos)
            m.InsertMedium("codec");
        else
            m.machine.files().WriteFile("D:\\WDM\\qvuda.sys", "driver");
        m.RunInstallation();
        sim::FileSystem& fs = m.machine.files();
        const std::string dos = "C:\\Program Files\\Korvane\\DOS";
        std::vector<std::string> expected_dos = {"DOSAPP"};
        std::vector<std::string> expected_app;
        if (with_dos) {
            expected_dos = {"DOSAPP", "QVDOS.SYS", "QVINIT.EXE", "README.TXT"};
            expected_app = {"QVMIXER.EXE", "QVPLAY.EXE"};
        }
        std::vector<std::string> listed = fs.List(dos);
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(listed, expected_dos);
        EXPECT_EQ(fs.List(dos + "\\DOSAPP"), expected_app);
        EXPECT_TRUE(fs.Exists(kStaging));
    }
}

// The catalog the driver folder holds goes to INF\CATALOG; the mixer program, shipped as Mixer.dat, becomes
// NewMixer.exe in the Windows folder.
TEST(Staging, TheCatalogAndTheMixerProgram) {
    struct Case {
        const char* name;
        std::vector<std::string> files;  // in D:\WDM
        const char* catalog;             // expected in INF\CATALOG, or ""
        bool mixer;
    };
    const Case cases[] = {
        {"chip", {"qvaudio.cat", "Mixer.dat"}, "qvaudio.cat", true},
        {"both catalogs", {"qvaudio.cat", "qvuda.cat"}, "qvaudio.cat", false},
        {"codec", {"qvuda.cat", "Mixer.dat"}, "qvuda.cat", true},
        {"no catalog", {"qvuda.sys"}, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupMachine m("winxp");
        for (const std::string& f : c.files) m.machine.files().WriteFile("D:\\WDM\\" + f, "content of " + f);
        m.RunInstallation();
        sim::FileSystem& fs = m.machine.files();
        std::vector<std::string> catalogs;
        for (const std::string& name : fs.List(WindowsFile(m, "INF\\CATALOG")))
            if (name == "qvaudio.cat" || name == "qvuda.cat") catalogs.push_back(name);
        EXPECT_EQ(catalogs, *c.catalog ? std::vector<std::string>{c.catalog} : std::vector<std::string>{});
        if (*c.catalog) {
            EXPECT_EQ(fs.ReadFile(WindowsFile(m, std::string("INF\\CATALOG\\") + c.catalog)),
                      "content of " + std::string(c.catalog));
        }
        EXPECT_EQ(fs.ReadFile(WindowsFile(m, "NewMixer.exe")),
                  c.mixer ? std::optional<std::string>("content of Mixer.dat") : std::nullopt);
    }
}

}  // namespace
}  // namespace setup_test
