// Profile (INI) files as programs read and edit them through the profile functions: values, quotes, blanks,
// case, comments, missing pieces, buffer sizes and listings, numbers, in-place edits, the file's location,
// and the file system's refusals. Each call starts with the last error set to a marker, so a test sees
// whether (and how) the call set it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/filesystem.h"
#include "sim/machine.h"
#include "win32api.h"

namespace {

using namespace std::string_literals;

constexpr DWORD kMarker = 0xdeadbeef;
const char kIni[] = "C:\\Work\\TEST.INI";

// A string read as a program reads it, with the count returned and the last error left.
struct Read {
    std::string text;
    DWORD count;
    DWORD error;
};

Read ReadString(const char* app, const char* key, const char* fallback, const char* file, DWORD size = 256) {
    std::vector<char> buffer(size + 1, 'X');
    SetLastError(kMarker);
    DWORD count = GetPrivateProfileStringA(app, key, fallback, buffer.data(), size, file);
    DWORD error = GetLastError();
    return {std::string(buffer.data(), std::min<size_t>(count, size)), count, error};
}

// The bytes a call put in a buffer of size bytes that held 'X's, up to two past the count it returned (as far
// as the buffer goes): a list's NULs, and whether the call wrote beyond them.
std::string Written(const std::vector<char>& buffer, DWORD count) {
    return std::string(buffer.data(), std::min<size_t>(buffer.size(), count + 2));
}

std::string ReadList(const char* app, const char* key, const char* file, DWORD size, DWORD* count) {
    std::vector<char> buffer(size, 'X');
    *count = GetPrivateProfileStringA(app, key, "default", buffer.data(), size, file);
    return Written(buffer, *count);
}

std::string ReadSection(const char* app, const char* file, DWORD size, DWORD* count, DWORD* error) {
    std::vector<char> buffer(size, 'X');
    SetLastError(kMarker);
    *count = GetPrivateProfileSectionA(app, buffer.data(), size, file);
    *error = GetLastError();
    return Written(buffer, *count);
}

std::vector<std::string> FileLines(sim::Machine& m) {
    return m.trace().Lines("file");
}

// A machine with the work folder every test writes in, which is also the programs' current folder.
struct ProfileMachine {
    sim::Machine machine;
    explicit ProfileMachine(const char* version = "winxp") : machine(version) {
        machine.files().CreateFolder("C:\\Work");
    }
    void Run(std::function<void()> body) { machine.RunCode(std::move(body), "C:\\Work\\"); }
    std::string File(const std::string& path = kIni) {
        return machine.files().ReadFile(path).value_or("<none>");
    }
};

// --- Reading values ---

// One file with the cases that matter to a reader, written with each kind of line end.
const char* const kReadingLines[] = {
    "orphan=before any section",  // belongs to no section
    "[Options]",
    "Plain=value",
    "  Spaced \t=  two  words \t ",
    "DoubleQuoted=  \" padded \"  ",
    "SingleQuoted='x'",
    "Mismatched=\"abc'",
    "OneQuote=\"",
    "Nested=\"a\"b\"",
    "Semicolon=a ; not a comment",
    ";Commented=yes",
    "  ; Indented=also a comment",
    "NoEquals",
    "Empty=",
    "Twice=first",
    "Twice=second",
    "Equals=a=b",
    "[ Spaced Section ]",
    "Key=in the spaced section",
    "[Options]",
    "Later=in a second Options section",
    "[Unclosed",
    "Key=in the unclosed section",
    "[Tail]text after the bracket",
    "Key=in the tail section",
};

std::string ReadingFile(const std::string& end) {
    std::string text;
    for (const char* line : kReadingLines) text += line + end;
    return text;
}

struct ValueCase {
    const char* app;
    const char* key;
    const char* fallback;
    std::string expected;
};

const ValueCase kValueCases[] = {
    {"Options", "Plain", "dflt", "value"},
    {"OPTIONS", "pLaIn", "dflt", "value"},        // names match in any case
    {"  Options ", " Plain  ", "dflt", "value"},  // a caller's names lose their spaces
    {"Options", "\tPlain", "dflt", "dflt"},       // but not their tabs
    {"Options", "Spaced", "dflt", "two  words"},  // blanks around names and values go, inner ones stay
    {"Options", "DoubleQuoted", "dflt", " padded "},
    {"Options", "SingleQuoted", "dflt", "x"},
    {"Options", "Mismatched", "dflt", "\"abc'"},  // quotes go only in a matching pair
    {"Options", "OneQuote", "dflt", "\""},
    {"Options", "Nested", "dflt", "a\"b"},  // only the outer pair
    {"Options", "Semicolon", "dflt", "a ; not a comment"},
    {"Options", "Commented", "dflt", "dflt"},
    {"Options", ";Commented", "dflt", "dflt"},
    {"Options", "Indented", "dflt", "dflt"},
    {"Options", "NoEquals", "dflt", "dflt"},  // a line without '=' is no key
    {"Options", "Empty", "dflt", ""},         // an empty value is a value
    {"Options", "Twice", "dflt", "first"},
    {"Options", "Equals", "dflt", "a=b"},
    {"Options", "Later", "dflt", "dflt"},  // only the first section of a name counts
    {"Options", "orphan", "dflt", "dflt"},
    {"", "orphan", "dflt", "dflt"},
    {"Spaced Section", "Key", "dflt", "in the spaced section"},
    {"Unclosed", "Key", "dflt", "in the unclosed section"},
    {"Tail", "Key", "dflt", "in the tail section"},
    {"Missing", "Plain", "dflt", "dflt"},
    {"Options", "Missing", "dflt   ", "dflt"},   // the default loses its trailing spaces
    {"Options", "Missing", "  lead", "  lead"},  // but not its leading ones
    {"Options", "Missing", "tab\t", "tab\t"},    // and only spaces
    {"Options", "Missing", nullptr, ""},
};

TEST(ProfileRead, ValuesWithEveryKindOfLineEnd) {
    for (const std::string& end : std::vector<std::string>{"\r\n", "\n", "\r"}) {
        ProfileMachine m;
        m.machine.files().WriteFile(kIni, ReadingFile(end));
        m.Run([&] {
            for (const ValueCase& c : kValueCases) {
                Read read = ReadString(c.app, c.key, c.fallback, kIni);
                std::string what = std::string("[") + c.app + "] " + c.key + " with line end " +
                                   std::to_string(end.size()) + (end == "\r" ? " (CR)" : "");
                EXPECT_EQ(read.text, c.expected) << what;
                EXPECT_EQ(read.count, c.expected.size()) << what;
                EXPECT_EQ(read.error, kMarker) << what;
            }
        });
    }
}

TEST(ProfileRead, DoubleByteNamesMatchByteForByte) {
    // In code page 932 0x83 0x5D is one character whose second byte is ']', and 0x83 0x41 and 0x83 0x61 are
    // two characters whose second bytes are the letters 'A' and 'a'.
    ProfileMachine m;
    m.machine.code_page = 932;
    m.machine.files().WriteFile(kIni, "[\x83\x5D]\r\nk=1\r\n[\x83\x61]\r\nk=2\r\n[x]\r\nk=\x83\x5D\r\n");
    m.Run([] {
        EXPECT_EQ(ReadString("\x83\x5D", "k", "dflt", kIni).text, "1");
        EXPECT_EQ(ReadString("\x83\x61", "k", "dflt", kIni).text, "2");
        EXPECT_EQ(ReadString("\x83\x41", "k", "dflt", kIni).text, "dflt");
        EXPECT_EQ(ReadString("X", "K", "dflt", kIni).text, "\x83\x5D");
    });
}

TEST(ProfileRead, TheFileComesFromTheWindowsFolderOrThePath) {
    ProfileMachine m("win2k");
    m.machine.files().WriteFile("C:\\WINNT\\SETUP.INI", "[s]\r\nk=windows folder\r\n");
    m.machine.files().WriteFile("C:\\Work\\SETUP.INI", "[s]\r\nk=work folder\r\n");
    m.machine.files().WriteFile("C:\\WINNT\\WIN.INI", "[s]\r\nk=win.ini\r\n");
    struct Case {
        const char* file;
        std::string expected;
        DWORD error;
    } cases[] = {
        {"setup.ini", "windows folder", kMarker},  // a name alone: the Windows folder, not the current one
        {".\\setup.ini", "work folder", kMarker},  // a path: like every program path
        {"C:\\Work\\setup.ini", "work folder", kMarker},
        {"C:setup.ini", "work folder", kMarker},  // the current folder of drive C:
        {"./setup.ini", "work folder", kMarker},
        {nullptr, "win.ini", kMarker},
        {"missing.ini", "dflt", ERROR_FILE_NOT_FOUND},
        {"C:\\Nowhere\\setup.ini", "dflt", ERROR_PATH_NOT_FOUND},
        {"", "dflt", ERROR_ACCESS_DENIED},  // the Windows folder itself
        {"C:\\Work", "dflt", ERROR_ACCESS_DENIED},
    };
    m.Run([&] {
        for (const Case& c : cases) {
            Read read = ReadString("s", "k", "dflt", c.file);
            const char* what = c.file ? c.file : "(null)";
            EXPECT_EQ(read.text, c.expected) << what;
            EXPECT_EQ(read.error, c.error) << what;
        }
    });
}

TEST(ProfileRead, ABufferTooSmallCutsTheStringToSizeLessOne) {
    struct Case {
        const char* key;
        DWORD size;
        std::string written;  // the buffer's bytes and the one after it
        DWORD count;
        DWORD error;
    } cases[] = {
        {"name", 6, "val1\0XX"s, 4, kMarker},
        {"name", 5, "val1\0X"s, 4, kMarker},  // the string and its NUL fit exactly
        {"name", 4, "val\0X"s, 3, ERROR_MORE_DATA},
        {"name", 1, "\0X"s, 0, ERROR_MORE_DATA},
        {"name", 0, "X"s, 0, kMarker},                  // nothing is written at all
        {"missing", 4, "def\0X"s, 3, ERROR_MORE_DATA},  // the default is cut the same way
    };
    ProfileMachine m;
    m.machine.files().WriteFile(kIni, "[s]\r\nname=val1\r\n");
    m.Run([&] {
        for (const Case& c : cases) {
            std::vector<char> buffer(c.size + 1, 'X');
            SetLastError(kMarker);
            DWORD count = GetPrivateProfileStringA("s", c.key, "default", buffer.data(), c.size, kIni);
            EXPECT_EQ(count, c.count) << c.key << " in " << c.size;
            EXPECT_EQ(std::string(buffer.data(), buffer.size()), c.written) << c.key << " in " << c.size;
            EXPECT_EQ(GetLastError(), c.error) << c.key << " in " << c.size;
        }
    });
}

// --- Listings ---

const char kListingFile[] =
    "[section1]\r\nname1=val1\r\nname2=\"val2\"\r\nname3\r\n;name9=comment\r\nname4=a\r\n[section2]\r\n";

TEST(ProfileList, NullNamesListSectionsAndKeysCutToSizeLessTwo) {
    struct Case {
        const char* app;
        DWORD size;
        std::string written;
        DWORD count;
    } cases[] = {
        {nullptr, 100, "section1\0section2\0\0X"s, 18},
        {nullptr, 20, "section1\0section2\0\0X"s, 18},
        // Windows cuts a list of section names that would fill the buffer exactly: the count is one less.
        {nullptr, 19, "section1\0section2\0\0"s, 17},
        {nullptr, 18, "section1\0section\0\0"s, 16},
        {nullptr, 16, "section1\0secti\0\0"s, 14},
        {nullptr, 2, "\0\0"s, 0},
        {nullptr, 1, "\0"s, 0},
        {"section1", 100, "name1\0name2\0name4\0\0X"s, 18},  // keys: not name3 (no '='), not the comment
        {"SECTION1", 19, "name1\0name2\0name4\0\0"s, 18},    // a list of keys may fill the buffer exactly
        {"section1", 16, "name1\0name2\0na\0\0"s, 14},
        {"section2", 100, "\0X"s, 0},  // a section without keys, or none at all: one NUL
        {"missing", 100, "\0X"s, 0},
    };
    ProfileMachine m;
    m.machine.files().WriteFile(kIni, kListingFile);
    m.Run([&] {
        for (const Case& c : cases) {
            DWORD count = 0;
            std::string written = ReadList(c.app, nullptr, kIni, c.size, &count);
            const char* what = c.app ? c.app : "(sections)";
            EXPECT_EQ(count, c.count) << what << " in " << c.size;
            EXPECT_EQ(written, c.written) << what << " in " << c.size;
        }
        DWORD count = 0;
        EXPECT_EQ(ReadList(nullptr, nullptr, "C:\\Work\\none.ini", 10, &count), "\0X"s);
        std::vector<char> buffer(30, 'X');
        EXPECT_EQ(GetPrivateProfileSectionNamesA(buffer.data(), 30, kIni), 18u);
        EXPECT_EQ(Written(buffer, 18), "section1\0section2\0\0X"s);
    });
}

TEST(ProfileList, DuplicatesAreListedAsOftenAsTheyAppear) {
    ProfileMachine m;
    m.machine.files().WriteFile(kIni, "[a]\r\nk=1\r\nk=2\r\n[b]\r\n[A]\r\nj=3\r\n");
    m.Run([] {
        DWORD count = 0;
        EXPECT_EQ(ReadList(nullptr, nullptr, kIni, 50, &count), "a\0b\0A\0\0X"s);
        EXPECT_EQ(ReadList("a", nullptr, kIni, 50, &count), "k\0k\0\0X"s);  // the first [a] only
    });
}

TEST(ProfileSection, ReadsTheLinesOfOneSection) {
    struct Case {
        const char* app;
        DWORD size;
        std::string written;
        DWORD count;
        DWORD error;
    } cases[] = {
        {"section1", 100, "name1=val1\0name2=\"val2\"\0name3\0name4=a\0\0X"s, 38, ERROR_SUCCESS},
        {"Section1", 24, "name1=val1\0name2=\"val2\0\0"s, 22, ERROR_MORE_DATA},  // quotes stay in the lines
        {"section2", 100, "\0X"s, 0, ERROR_SUCCESS},
        {"missing", 100, "\0X"s, 0, ERROR_SUCCESS},
        {"spaced", 100, "a=b c\0\0X"s, 6, ERROR_SUCCESS},  // blanks around names and values go
    };
    ProfileMachine m;
    m.machine.files().WriteFile(kIni, kListingFile + "[spaced]\r\n  a  =  b c \r\n\r\n"s);
    m.Run([&] {
        for (const Case& c : cases) {
            DWORD count = 0, error = 0;
            EXPECT_EQ(ReadSection(c.app, kIni, c.size, &count, &error), c.written)
                << c.app << " in " << c.size;
            EXPECT_EQ(count, c.count) << c.app << " in " << c.size;
            EXPECT_EQ(error, c.error) << c.app << " in " << c.size;
        }
        DWORD count = 0, error = 0;
        ReadSection("section1", "C:\\Work\\none.ini", 100, &count, &error);
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        ReadSection(nullptr, kIni, 100, &count, &error);
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    });
}

// --- Numbers ---

TEST(ProfileInt, ReadsTheNumberAValueStartsWith) {
    struct Case {
        const char* value;  // null: no such key
        UINT with_minus_one;
        UINT with_one;
    } cases[] = {
        {nullptr, 0xFFFFFFFFu, 1},
        {"", 0xFFFFFFFFu, 1},  // an empty value reads as the default
        {"-1", 0xFFFFFFFFu, 0xFFFFFFFFu},
        {"1", 1, 1},
        {"+1", 1, 1},
        {"  42  ", 42, 42},
        {"\"12\"", 12, 12},    // the quotes go before the number is read
        {"4294967296", 0, 0},  // 32 bits wrap
        {"4294967297", 1, 1},
        {"-4294967297", 0xFFFFFFFFu, 0xFFFFFFFFu},
        {"42A94967297", 42, 42},  // the digits it starts with
        {"1 2", 1, 1},
        {"B4294967297", 0, 0},  // no digits: 0, not the default
        {"yes", 0, 0},
        {"0x1F", 31, 31},
        {"0XfF", 255, 255},
        {"-0x10", 0xFFFFFFF0u, 0xFFFFFFF0u},
        {"0x", 0, 0},
        {"010", 10, 10},  // no octal
    };
    ProfileMachine m;
    m.Run([&] {
        for (const Case& c : cases) {
            std::string file =
                c.value ? "[Test]\r\nProfileInt=" + std::string(c.value) + "\r\n" : "[Test]\r\n";
            m.machine.files().WriteFile(kIni, file);
            const char* what = c.value ? c.value : "(no key)";
            EXPECT_EQ(GetPrivateProfileIntA("Test", "ProfileInt", -1, kIni), c.with_minus_one) << what;
            EXPECT_EQ(GetPrivateProfileIntA("test", "PROFILEINT", 1, kIni), c.with_one) << what;
        }
        EXPECT_EQ(GetPrivateProfileIntA("Other", "ProfileInt", 7, kIni), 7u);
        EXPECT_EQ(GetPrivateProfileIntA("Test", "ProfileInt", 7, "C:\\Work\\none.ini"), 7u);
        // A null name reads the first name of its list, which is seldom a number.
        EXPECT_EQ(GetPrivateProfileIntA("Test", nullptr, 7, kIni), 0u);
        EXPECT_EQ(GetPrivateProfileIntA("Other", nullptr, 7, kIni), 7u);
    });
}

// --- Writing ---

TEST(ProfileWrite, BuildsAndTrimsAFileStepByStep) {
    struct Step {
        const char* app;
        const char* key;
        const char* value;
        std::string file;
    } steps[] = {
        {"App1", "key1", "string1", "[App1]\r\nkey1=string1\r\n"},
        {"App1", "key2", "string2", "[App1]\r\nkey1=string1\r\nkey2=string2\r\n"},
        {"App2", "key3", "string3", "[App1]\r\nkey1=string1\r\nkey2=string2\r\n[App2]\r\nkey3=string3\r\n"},
        {"app1", "KEY3", "", "[App1]\r\nkey1=string1\r\nkey2=string2\r\nKEY3=\r\n[App2]\r\nkey3=string3\r\n"},
        {"App1", "key2", nullptr, "[App1]\r\nkey1=string1\r\nKEY3=\r\n[App2]\r\nkey3=string3\r\n"},
        {"App1", "key2", nullptr, "[App1]\r\nkey1=string1\r\nKEY3=\r\n[App2]\r\nkey3=string3\r\n"},
        {"App1", nullptr, "ignored", "[App2]\r\nkey3=string3\r\n"},
        {"App2", "key3", nullptr, "[App2]\r\n"},
        {"App2", nullptr, nullptr, ""},
    };
    ProfileMachine m;
    m.Run([&] {
        for (const Step& s : steps) {
            SetLastError(kMarker);
            EXPECT_TRUE(WritePrivateProfileStringA(s.app, s.key, s.value, kIni))
                << s.app << " " << (s.key ? s.key : "(null)") << " " << GetLastError();
            EXPECT_EQ(m.File(), s.file) << s.app << " " << (s.key ? s.key : "(null)");
        }
    });
    // One line for each write that changed the file; the repeated deletion changed nothing.
    EXPECT_EQ(FileLines(m.machine), (std::vector<std::string>{
                                        "profile write C:\\Work\\TEST.INI [App1] key1=string1",
                                        "profile write C:\\Work\\TEST.INI [App1] key2=string2",
                                        "profile write C:\\Work\\TEST.INI [App2] key3=string3",
                                        "profile write C:\\Work\\TEST.INI [app1] KEY3=",
                                        "profile write C:\\Work\\TEST.INI [App1] key2 (deleted)",
                                        "profile write C:\\Work\\TEST.INI [App1] (deleted)",
                                        "profile write C:\\Work\\TEST.INI [App2] key3 (deleted)",
                                        "profile write C:\\Work\\TEST.INI [App2] (deleted)",
                                    }));
}

TEST(ProfileWrite, EditsInPlaceKeepingEveryOtherLine) {
    // LF line ends, comments, blank lines, odd spacing and no line end at the end of the file.
    const std::string original =
        "; header\n[Drivers]\n  Audio = old  \nVideo=1\n\n; about Net\n[Net]\nCard=x";
    struct Step {
        const char* app;
        const char* key;
        const char* value;
        std::string file;
    } steps[] = {
        // The line is rewritten with the key as the file spells it; its line end stays.
        {"drivers", "AUDIO", "new", "; header\n[Drivers]\nAudio=new\nVideo=1\n\n; about Net\n[Net]\nCard=x"},
        // A new key goes after the section's last entry, before its blank line and the next section's
        // comment.
        {"Drivers", "Modem", "56k",
         "; header\n[Drivers]\nAudio=new\nVideo=1\nModem=56k\r\n\n; about Net\n[Net]\nCard=x"},
        // The last line gets a line end when a line comes after it.
        {"Net", "Speed", "10",
         "; header\n[Drivers]\nAudio=new\nVideo=1\nModem=56k\r\n\n; about "
         "Net\n[Net]\nCard=x\r\nSpeed=10\r\n"},
        {"New", "K", "V",
         "; header\n[Drivers]\nAudio=new\nVideo=1\nModem=56k\r\n\n; about Net\n[Net]\nCard=x\r\nSpeed=10\r\n"
         "[New]\r\nK=V\r\n"},
        // Names lose their spaces; the value is written as given.
        {" Drivers ", " Video ", " 2 ",
         "; header\n[Drivers]\nAudio=new\nVideo= 2 \nModem=56k\r\n\n; about "
         "Net\n[Net]\nCard=x\r\nSpeed=10\r\n"
         "[New]\r\nK=V\r\n"},
    };
    ProfileMachine m;
    m.machine.files().WriteFile(kIni, original);
    m.Run([&] {
        for (const Step& s : steps) {
            EXPECT_TRUE(WritePrivateProfileStringA(s.app, s.key, s.value, kIni)) << s.key;
            EXPECT_EQ(m.File(), s.file) << s.key;
        }
        EXPECT_EQ(ReadString("Drivers", "Video", "", kIni).text, "2");
    });
}

TEST(ProfileWrite, DeletingASectionKeepsItsComments) {
    ProfileMachine m;
    m.machine.files().WriteFile(kIni,
                                "[A]\r\n; note\r\nx=1\r\nloose line\r\n\r\n[B]\r\ny=2\r\n[A]\r\nz=3\r\n");
    m.Run([&] {
        EXPECT_TRUE(WritePrivateProfileStringA("a", nullptr, nullptr, kIni));
        EXPECT_EQ(m.File(), "; note\r\n[B]\r\ny=2\r\n[A]\r\nz=3\r\n");  // the first [A] only
        EXPECT_TRUE(WritePrivateProfileStringA("Missing", nullptr, nullptr, kIni));
        EXPECT_TRUE(WritePrivateProfileStringA("B", "missing", nullptr, kIni));
        EXPECT_EQ(m.File(), "; note\r\n[B]\r\ny=2\r\n[A]\r\nz=3\r\n");
    });
    EXPECT_EQ(FileLines(m.machine).size(), 1u);
}

TEST(ProfileWrite, AMissingFileIsMadeEvenByADeletion) {
    ProfileMachine m("win2k");
    m.Run([&] {
        SetLastError(kMarker);
        EXPECT_TRUE(WritePrivateProfileStringA("Need_To_InstallDriver", "InstallDX", "NO", "qvisetup.ini"));
        EXPECT_EQ(GetLastError(),
                  static_cast<DWORD>(ERROR_FILE_NOT_FOUND));  // Windows says what it did not find
        EXPECT_TRUE(WritePrivateProfileStringA("App", "key", nullptr, "C:\\Work\\empty.ini"));
    });
    EXPECT_EQ(m.File("C:\\WINNT\\qvisetup.ini"), "[Need_To_InstallDriver]\r\nInstallDX=NO\r\n");
    EXPECT_EQ(m.machine.files().Attributes("C:\\WINNT\\qvisetup.ini"), FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(m.File("C:\\Work\\empty.ini"), "");
    EXPECT_EQ(FileLines(m.machine),
              (std::vector<std::string>{
                  "profile write C:\\WINNT\\qvisetup.ini [Need_To_InstallDriver] InstallDX=NO",
                  "profile write C:\\Work\\empty.ini [App] key (deleted)",
              }));
}

// A host folder of its own for a CD, removed at the end.
struct HostFolder {
    std::filesystem::path path;
    HostFolder() {
        path = std::filesystem::temp_directory_path() / ("sim_profile_" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
    }
    ~HostFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

TEST(ProfileWrite, RefusalsLeaveTheFileAsItWas) {
    HostFolder cd_content;
    ProfileMachine m;
    sim::FileSystem& files = m.machine.files();
    files.AddCdRomDrive('D', cd_content.path.string());
    files.WriteFile("D:\\SETUP.INI", "[s]\r\nk=cd\r\n");
    files.AddDrive('A', DRIVE_REMOVABLE).write_protected = true;
    files.WriteFile("A:\\SETUP.INI", "[s]\r\nk=floppy\r\n");
    files.AddCdRomDrive('E', "");  // no disc
    files.WriteFile("C:\\Work\\LOCKED.INI", "[s]\r\nk=locked\r\n");
    files.SetAttributes("C:\\Work\\LOCKED.INI", FILE_ATTRIBUTE_READONLY);
    files.AddDrive('F', DRIVE_FIXED);
    files.WriteFile("F:\\FULL.INI", "[s]\r\nk=full\r\n");
    files.faults().free_bytes['F'] = 3;
    struct Case {
        const char* app;
        const char* file;
        DWORD error;
    } cases[] = {
        {"s", "C:\\Nowhere\\NEW.INI", ERROR_PATH_NOT_FOUND},
        {"s", "C:\\Work\\LOCKED.INI", ERROR_ACCESS_DENIED},
        {"s", "D:\\SETUP.INI", ERROR_ACCESS_DENIED},
        {"s", "D:\\NEW.INI", ERROR_ACCESS_DENIED},
        {"s", "D:\\Nowhere\\NEW.INI", ERROR_PATH_NOT_FOUND},
        {"s", "A:\\SETUP.INI", ERROR_WRITE_PROTECT},
        {"s", "E:\\SETUP.INI", ERROR_NOT_READY},
        {"s", "F:\\FULL.INI", ERROR_DISK_FULL},
        {"s", "C:\\Work", ERROR_ACCESS_DENIED},
        {"s", "", ERROR_ACCESS_DENIED},                        // the Windows folder itself
        {nullptr, "C:\\Work\\NEW.INI", ERROR_FILE_NOT_FOUND},  // a key without a section
    };
    m.Run([&] {
        for (const Case& c : cases) {
            SetLastError(kMarker);
            EXPECT_FALSE(WritePrivateProfileStringA(c.app, "k", "changed value", c.file)) << c.file;
            EXPECT_EQ(GetLastError(), c.error) << c.file;
        }
        EXPECT_EQ(ReadString("s", "k", "", "D:\\SETUP.INI").text, "cd");
    });
    EXPECT_FALSE(files.Exists("C:\\Nowhere"));
    EXPECT_FALSE(files.Exists("C:\\Work\\NEW.INI"));
    EXPECT_EQ(m.File("C:\\Work\\LOCKED.INI"), "[s]\r\nk=locked\r\n");
    EXPECT_EQ(m.File("A:\\SETUP.INI"), "[s]\r\nk=floppy\r\n");
    EXPECT_EQ(m.File("F:\\FULL.INI"), "[s]\r\nk=full\r\n");
    EXPECT_EQ(files.faults().free_bytes['F'], 3u);
    EXPECT_TRUE(FileLines(m.machine).empty());
}

TEST(ProfileWrite, WithEveryArgumentNullOnlyAnswersTheFlush) {
    for (const char* version : {"win98", "winxp"}) {
        ProfileMachine m(version);
        m.Run([&] {
            BOOL expected = std::string(version) == "winxp";
            EXPECT_EQ(WritePrivateProfileStringA(nullptr, nullptr, nullptr, kIni), expected) << version;
            EXPECT_EQ(WritePrivateProfileSectionA(nullptr, nullptr, kIni), expected) << version;
        });
        EXPECT_FALSE(m.machine.files().Exists(kIni));
    }
}

TEST(ProfileWriteSection, ReplacesTheLinesInPlace) {
    struct Step {
        const char* app;
        std::string strings;  // NUL-separated with a final NUL; empty: a null pointer
        std::string file;
    } steps[] = {
        // The new lines take the old ones' places; comments stay where they were.
        {"Files", "a=1\0b=2\0c=3\0\0"s, "[Files]\r\na=1\r\n; keep\r\nb=2\r\nc=3\r\n[Next]\r\nn=1\r\n"},
        {"files", "z=9\0\0"s, "[Files]\r\nz=9\r\n; keep\r\n[Next]\r\nn=1\r\n"},
        {"New", "p=1\0q\0\0"s, "[Files]\r\nz=9\r\n; keep\r\n[Next]\r\nn=1\r\n[New]\r\np=1\r\nq\r\n"},
        {"Next", ""s, "[Files]\r\nz=9\r\n; keep\r\n[New]\r\np=1\r\nq\r\n"},
    };
    ProfileMachine m;
    m.machine.files().WriteFile(kIni, "[Files]\r\nold1=x\r\n; keep\r\nold2=y\r\n[Next]\r\nn=1\r\n");
    m.Run([&] {
        for (const Step& s : steps) {
            const char* strings = s.strings.empty() ? nullptr : s.strings.c_str();
            EXPECT_TRUE(WritePrivateProfileSectionA(s.app, strings, kIni)) << s.app;
            EXPECT_EQ(m.File(), s.file) << s.app;
        }
        EXPECT_EQ(ReadString("New", "p", "", kIni).text, "1");
    });
    EXPECT_EQ(FileLines(m.machine).front(), "profile write C:\\Work\\TEST.INI [Files] (3 lines)");
}

}  // namespace
