// The INF copies in the INF folders of the 98 family, pointed at the staging folder: the source-disk key of
// the package's disk rewritten and the catalog mapped to that disk. Each case runs Setup from the CD in D:,
// clicks Install and reads the INF copies afterwards.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "setup_machine.h"

namespace setup_test {
namespace {

const char kShortStaging[] = "C:\\PROGRA~1\\KORVANE\\WIN_ME";

std::string Inf(const std::string& disks, const std::string& files = "[SourceDisksFiles]\r\nqv.sys=1\r\n") {
    return "[Version]\r\nSignature=\"$CHICAGO$\"\r\nClass=MEDIA\r\n\r\n" + disks + "\r\n" + files +
           "\r\n[Strings]\r\nDiskDescription=\"Driver Disk\"\r\n";
}

// The sample chip medium on the 98 family: both INF files, in both INF folders, point at the staging folder;
// the staged INF files themselves keep naming the CD.
TEST(InfPatching, TheChipMediumsInfCopiesPointAtTheStagingFolder) {
    for (const char* version : {"win98", "win98se"}) {
        SCOPED_TRACE(version);
        SetupMachine m(version);
        m.InsertMedium("chip");
        m.RunInstallation();
        sim::FileSystem& fs = m.machine.files();
        for (const char* copy : {"INF\\QVAUDIO.INF", "INF\\QVAUDIO1.INF", "INF\\OTHER\\QVAUDIO.INF",
                                 "INF\\OTHER\\QVAUDIO1.INF"}) {
            SCOPED_TRACE(copy);
            std::string text = fs.ReadFile(fs.WindowsDir() + "\\" + copy).value_or("");
            EXPECT_EQ(ProfileValue(text, "SourceDisksNames", "200"),
                      "\"Korvane WDM Audio Driver Disk\",,," + std::string(kShortStaging));
            EXPECT_EQ(ProfileValue(text, "SourceDisksFiles", "qvaudio.cat"), "200");
            EXPECT_EQ(ProfileValue(text, "SourceDisksFiles", "qvaudio.sys"), "200");
            EXPECT_EQ(ProfileValue(text, "Strings", "KorvaneMfg"), "\"Korvane Audio\"");
        }
        std::string staged = fs.ReadFile("C:\\Program Files\\Korvane\\WIN_ME\\QVAUDIO.INF").value_or("");
        EXPECT_NE(ProfileValue(staged, "SourceDisksNames", "200"),
                  "\"Korvane WDM Audio Driver Disk\",,," + std::string(kShortStaging));
    }
}

// The codec medium's key "222" keeps the INF's own description token and maps the codec catalog.
TEST(InfPatching, TheCodecMediumsInfCopiesPointAtTheStagingFolder) {
    SetupMachine m("win98se");
    m.InsertMedium("codec");
    m.RunInstallation();
    sim::FileSystem& fs = m.machine.files();
    for (const char* copy : {"INF\\QVUDA.INF", "INF\\OTHER\\QVUDA1.INF"}) {
        SCOPED_TRACE(copy);
        std::string text = fs.ReadFile(fs.WindowsDir() + "\\" + copy).value_or("");
        EXPECT_EQ(ProfileValue(text, "SourceDisksNames", "222"),
                  "%DiskDescription%,,," + std::string(kShortStaging));
        EXPECT_EQ(ProfileValue(text, "SourceDisksFiles", "qvuda.cat"), "222");
        EXPECT_EQ(ProfileValue(text, "SourceDisksFiles", "qvaudio.cat"), std::nullopt);
    }
}

// Which key is rewritten and which catalog line is written, for the INF's source disks and the package the
// driver folder's catalog tells.
TEST(InfPatching, TheSourceDiskKeysAndThePackage) {
    struct Case {
        const char* name;
        std::string disks;    // the [SourceDisksNames] section, or none
        const char* catalog;  // the driver folder's catalog
        std::optional<std::string> key200, key222, chip_catalog, codec_catalog;
    };
    const std::string patched200 = "\"Korvane WDM Audio Driver Disk\",,," + std::string(kShortStaging);
    const std::string patched222 = "%DiskDescription%,,," + std::string(kShortStaging);
    const Case cases[] = {
        {"both keys: only 200", "[SourceDisksNames]\r\n200=\"Disk\",,,\\drv\r\n222=\"Other\",,,\\x\r\n",
         "qvaudio.cat", patched200, "\"Other\",,,\\x", "200", std::nullopt},
        {"200 empty, 222 set, chip", "[SourceDisksNames]\r\n200=\r\n222=%DiskDescription%,,,\\drv\r\n",
         "qvaudio.cat", "", patched222, "222", std::nullopt},
        {"222, codec", "[SourceDisksNames]\r\n222=%DiskDescription%,,,\\drv\r\n", "qvuda.cat", std::nullopt,
         patched222, std::nullopt, "222"},
        {"200, codec: still the chip catalog", "[SourceDisksNames]\r\n200=\"Disk\",,,\\drv\r\n", "qvuda.cat",
         patched200, std::nullopt, "200", std::nullopt},
        {"other keys only", "[SourceDisksNames]\r\n1=\"Disk\",,,\\drv\r\n", "qvaudio.cat", std::nullopt,
         std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupMachine m("win98se");
        m.machine.files().WriteFile("D:\\WDM\\QVTEST.INF", Inf(c.disks));
        m.machine.files().WriteFile(std::string("D:\\WDM\\") + c.catalog, "catalog");
        m.RunInstallation();
        sim::FileSystem& fs = m.machine.files();
        for (const char* folder : {"\\INF\\", "\\INF\\OTHER\\"}) {
            SCOPED_TRACE(folder);
            std::string text = fs.ReadFile(fs.WindowsDir() + folder + "QVTEST.INF").value_or("");
            EXPECT_EQ(ProfileValue(text, "SourceDisksNames", "200"), c.key200);
            EXPECT_EQ(ProfileValue(text, "SourceDisksNames", "222"), c.key222);
            EXPECT_EQ(ProfileValue(text, "SourceDisksFiles", "qvaudio.cat"), c.chip_catalog);
            EXPECT_EQ(ProfileValue(text, "SourceDisksFiles", "qvuda.cat"), c.codec_catalog);
        }
    }
}

// An INF without source disks, or one that is no INF at all to the profile reader, is copied unchanged.
TEST(InfPatching, AnInfWithoutTheKeysIsLeftAsItIs) {
    const std::string originals[] = {Inf(""), "not an INF file at all\r\n"};
    for (const std::string& original : originals) {
        SetupMachine m("win98");
        m.machine.files().WriteFile("D:\\WDM\\PLAIN.INF", original);
        m.RunInstallation();
        sim::FileSystem& fs = m.machine.files();
        EXPECT_EQ(fs.ReadFile(fs.WindowsDir() + "\\INF\\PLAIN.INF"), original);
        EXPECT_EQ(fs.ReadFile(fs.WindowsDir() + "\\INF\\OTHER\\PLAIN.INF"), original);
    }
}

// Away from the 98 family no INF copy is made in the INF folders, so none is patched; the staged INF keeps
// naming the CD.
TEST(InfPatching, OtherWindowsVersionsHaveNoCopiesToPatch) {
    for (const char* version : {"win95", "winme", "nt4", "win2k", "winxp"}) {
        SCOPED_TRACE(version);
        SetupMachine m(version);
        m.InsertMedium("chip");
        m.RunInstallation();
        sim::FileSystem& fs = m.machine.files();
        EXPECT_FALSE(fs.Exists(fs.WindowsDir() + "\\INF\\QVAUDIO.INF"));
        EXPECT_FALSE(fs.Exists(fs.WindowsDir() + "\\INF\\OTHER\\QVAUDIO.INF"));
        std::string staged = fs.ReadFile("C:\\Program Files\\Korvane\\WIN_ME\\QVAUDIO.INF").value_or("");
        EXPECT_EQ(ProfileValue(staged, "SourceDisksFiles", "qvaudio.cat"), "200");
        EXPECT_EQ(staged.find(kShortStaging), std::string::npos);
    }
}

}  // namespace
}  // namespace setup_test
