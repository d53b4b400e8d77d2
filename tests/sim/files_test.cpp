// The machine's drives, folders and files as programs see them through the Windows and CRT calls: paths,
// attributes, copies, a read-only CD, searches and masks, 8.3 names, text-mode streams, drive strings,
// faults. Each call starts with the last error set to a marker, so a test sees both the result and whether
// (and how) the call set the error.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "sim/errors.h"
#include "sim/filesystem.h"
#include "sim/machine.h"
#include "win32api.h"

namespace {

constexpr DWORD kMarker = 0xdeadbeef;
constexpr DWORD kReadOnly = FILE_ATTRIBUTE_READONLY;
constexpr DWORD kDir = FILE_ATTRIBUTE_DIRECTORY;
constexpr DWORD kArchive = FILE_ATTRIBUTE_ARCHIVE;

std::string DataDir() {
    std::string here = __FILE__;
    return here.substr(0, here.rfind('/')) + "/data";
}
std::string CdFolder() {
    return DataDir() + "/cd_korvane";
}

// A host folder of its own for a test, removed at the end.
struct HostFolder {
    std::filesystem::path path;
    HostFolder() {
        static int count = 0;
        path = std::filesystem::temp_directory_path() /
               ("sim_files_" + std::to_string(getpid()) + "_" + std::to_string(++count));
        std::filesystem::create_directories(path);
    }
    ~HostFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string str() const { return path.string(); }
};

std::string HostRead(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A call's result and the last error it left, from a marker.
template <class F>
auto Call(F f) {
    SetLastError(kMarker);
    auto result = f();
    return std::make_pair(result, GetLastError());
}
using Outcome = std::pair<BOOL, DWORD>;
Outcome Ok() {
    return {TRUE, kMarker};
}
Outcome Err(DWORD error) {
    return {FALSE, error};
}

std::vector<std::string> FindAll(const char* pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern, &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(find, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(find));
    return names;
}

std::string ShortPath(const char* path) {
    char buffer[MAX_PATH];
    DWORD length = GetShortPathNameA(path, buffer, sizeof buffer);
    return length && length < sizeof buffer ? std::string(buffer, length)
                                            : "<" + std::to_string(GetLastError()) + ">";
}

std::string ReadStream(const char* path, const char* mode) {
    crt::FILE* file = crt::fopen(path, mode);
    if (!file) return "<none>";
    std::string text;
    char buffer[7];  // small, so lines come in pieces
    while (crt::fgets(buffer, sizeof buffer, file)) text += buffer;
    crt::fclose(file);
    return text;
}

// --- Standard folders ---

TEST(FilesStandardFolders, NamedAfterTheVersionAndPresent) {
    struct Case {
        const char* version;
        const char* windows;
        const char* system;
    } cases[] = {
        {"win95", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"},   {"win98se", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"},
        {"winme", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"},   {"nt4", "C:\\WINNT", "C:\\WINNT\\SYSTEM32"},
        {"win2k", "C:\\WINNT", "C:\\WINNT\\SYSTEM32"},     {"winxp", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM32"},
        {"vista", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM32"},
    };
    for (const Case& c : cases) {
        sim::Machine m(c.version);
        m.RunCode([&] {
            char buffer[MAX_PATH];
            EXPECT_EQ(GetWindowsDirectoryA(buffer, MAX_PATH), strlen(c.windows)) << c.version;
            EXPECT_STREQ(buffer, c.windows);
            EXPECT_EQ(GetSystemDirectoryA(buffer, MAX_PATH), strlen(c.system)) << c.version;
            EXPECT_STREQ(buffer, c.system);
            EXPECT_EQ(GetFileAttributesA(c.windows), kDir) << c.version;
            EXPECT_EQ(GetFileAttributesA(c.system), kDir) << c.version;
            EXPECT_EQ(GetFileAttributesA("C:\\Program Files"), kDir) << c.version;
        });
    }
}

TEST(FilesStandardFolders, TooSmallABufferGetsTheSizeWithTheNulAndStaysAsItWas) {
    sim::Machine m("win98se");
    m.RunCode([] {
        UINT needed = GetWindowsDirectoryA(nullptr, 0);
        EXPECT_EQ(needed, sizeof "C:\\WINDOWS");
        char buffer[MAX_PATH] = "foo";
        EXPECT_EQ(GetWindowsDirectoryA(buffer, needed - 1), needed);
        EXPECT_STREQ(buffer, "foo");
        EXPECT_EQ(GetWindowsDirectoryA(buffer, needed), needed - 1);
        EXPECT_STREQ(buffer, "C:\\WINDOWS");
        EXPECT_EQ(GetSystemDirectoryA(buffer, 1), sizeof "C:\\WINDOWS\\SYSTEM");
        EXPECT_STREQ(buffer, "C:\\WINDOWS");
    });
}

// --- Paths ---

struct PathCase {
    std::string path;
    DWORD attributes;  // or INVALID_FILE_ATTRIBUTES with the error
    DWORD error;
};

void ExpectAttributes(const std::vector<PathCase>& cases) {
    for (const PathCase& c : cases) {
        auto [attributes, error] = Call([&] { return GetFileAttributesA(c.path.c_str()); });
        EXPECT_EQ(attributes, c.attributes) << "\"" << c.path << "\"";
        EXPECT_EQ(error, c.attributes == INVALID_FILE_ATTRIBUTES ? c.error : kMarker)
            << "\"" << c.path << "\"";
    }
}

void SetUpPathMachine(sim::Machine& m) {
    m.files().WriteFile("C:\\WINDOWS\\WIN.INI", "[windows]\r\n");
    m.files().AddDrive('D', DRIVE_FIXED, "DATA");
    m.files().WriteFile("D:\\DATA\\X.TXT", "x");
    m.files().WriteFile("C:\\" + std::string(200, 'A') + "\\" + std::string(55, 'B'), "deep");
}

TEST(FilesPaths, ResolveAsTheNtFamilyDoes) {
    sim::Machine m("winxp");
    SetUpPathMachine(m);
    const DWORD none = INVALID_FILE_ATTRIBUTES;
    std::string deep = "C:\\" + std::string(200, 'A') + "\\";
    m.RunCode(
        [&] {
            ExpectAttributes({
                {"C:\\WINDOWS\\WIN.INI", kArchive, 0},
                {"win.ini", kArchive, 0},  // relative to the current folder C:\WINDOWS
                {"SYSTEM32", kDir, 0},
                {".\\WIN.INI", kArchive, 0},
                {"..\\WINDOWS\\WIN.INI", kArchive, 0},
                {"..\\..\\..\\WINDOWS\\win.ini", kArchive, 0},  // ".." stops at the root
                {"\\windows\\WIN.INI", kArchive, 0},            // the current drive's root
                {"C:/WINDOWS//WIN.INI", kArchive, 0},           // forward and doubled separators
                {"c:win.ini", kArchive, 0},                     // the current folder of the current drive
                {"D:DATA\\X.TXT", kArchive, 0},                 // another drive: from its root
                {"C:\\WINDOWS\\WIN.INI.", kArchive, 0},         // the last name loses trailing dots
                {"C:\\WINDOWS\\WIN.INI . ", kArchive, 0},       // and blanks
                {"C:\\WINDOWS.\\WIN.INI", kArchive, 0},         // a folder on the way loses one dot
                {"C:\\WINDOWS..\\WIN.INI", none, ERROR_PATH_NOT_FOUND},             // but only one
                {"C:\\WINDOWS \\WIN.INI", none, ERROR_PATH_NOT_FOUND},              // and no blank
                {"C:\\", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | kDir, 0},  // an NTFS root
                {"C:", kDir, 0},  // the current folder of C:
                {"C:\\WINDOWS\\", kDir, 0},
                {"C:\\WINDOWS\\WIN.INI\\", none, ERROR_INVALID_NAME},
                {"C:\\WINDOWS\\NOPE.INI", none, ERROR_FILE_NOT_FOUND},
                {"C:\\NOPE\\WIN.INI", none, ERROR_PATH_NOT_FOUND},
                {"C:\\WINDOWS\\WIN.INI\\X", none, ERROR_PATH_NOT_FOUND},  // a file is no folder
                {"Q:\\X", none, ERROR_PATH_NOT_FOUND},                    // no such drive
                {"", none, ERROR_PATH_NOT_FOUND},
                {"C:\\WIN?.INI", none, ERROR_INVALID_NAME},
                {"C:\\WINDOWS\\*", none, ERROR_INVALID_NAME},
                {"C:\\a<b", none, ERROR_INVALID_NAME},
                {"C:\\a>b", none, ERROR_INVALID_NAME},
                {"C:\\a|b", none, ERROR_INVALID_NAME},
                {"C:\\a\"b", none, ERROR_INVALID_NAME},
                {"C:\\a:b", none, ERROR_INVALID_NAME},
                {"C:\\a\x01"
                 "b",
                 none, ERROR_INVALID_NAME},
                {"1:\\x", none, ERROR_INVALID_NAME},
                {"C:\\" + std::string(256, 'x'), none, ERROR_INVALID_NAME},  // a name of more than 255
                {"\\\\server\\share\\x", none, ERROR_PATH_NOT_FOUND},
                {deep + std::string(55, 'B'), kArchive, 0},                       // 259 characters
                {deep + std::string(56, 'B'), none, ERROR_PATH_NOT_FOUND},        // MAX_PATH
                {deep + std::string(57, 'B'), none, ERROR_FILENAME_EXCED_RANGE},  // more than MAX_PATH
                {deep + std::string(900, 'B'), none, ERROR_FILENAME_EXCED_RANGE},
                {"C:\\PROGRA~1", kDir, 0},  // an 8.3 alias names the entry too
            });
            auto [attributes, error] = Call([] { return GetFileAttributesA(nullptr); });
            EXPECT_EQ(attributes, none);
            EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
        },
        "C:\\WINDOWS\\");
}

TEST(FilesPaths, The9xFamilyTrimsEveryComponent) {
    sim::Machine m("win98se");
    SetUpPathMachine(m);
    m.RunCode([] {
        ExpectAttributes({
            {"C:\\WINDOWS.\\WIN.INI", kArchive, 0},
            {"C:\\WINDOWS..\\WIN.INI", kArchive, 0},
            {"C:\\WINDOWS \\WIN.INI", kArchive, 0},
            {"C:\\WINDOWS\\WIN.INI..", kArchive, 0},
            {"C:\\", kDir, 0},  // a FAT root is just a folder
        });
    });
}

TEST(FilesPaths, RelativeNamesCountTheCurrentFolderTowardsMaxPath) {
    sim::Machine m("winxp");
    SetUpPathMachine(m);
    std::string deep = "C:\\" + std::string(200, 'A') + "\\";
    m.RunCode(
        [] {
            ExpectAttributes({
                {std::string(55, 'B'), kArchive, 0},
                {std::string(56, 'B'), INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
            });
        },
        deep);
}

TEST(FilesPaths, CurrentFolderKeepsTheCallersSpelling) {
    sim::Machine m("winxp");
    m.files().AddDrive('D', DRIVE_FIXED);
    m.files().WriteFile("C:\\WINDOWS\\WIN.INI", "");
    m.RunCode([] {
        char buffer[MAX_PATH];
        EXPECT_EQ(Call([] { return SetCurrentDirectoryA("program files\\"); }), Ok());
        EXPECT_EQ(GetCurrentDirectoryA(MAX_PATH, buffer), strlen("C:\\program files"));
        EXPECT_STREQ(buffer, "C:\\program files");
        // "C:" is where C: already is; another drive's is its root.
        EXPECT_EQ(Call([] { return SetCurrentDirectoryA("C:"); }), Ok());
        GetCurrentDirectoryA(MAX_PATH, buffer);
        EXPECT_STREQ(buffer, "C:\\program files");
        EXPECT_EQ(Call([] { return SetCurrentDirectoryA("D:"); }), Ok());
        GetCurrentDirectoryA(MAX_PATH, buffer);
        EXPECT_STREQ(buffer, "D:\\");
        EXPECT_EQ(Call([] { return SetCurrentDirectoryA("\\some_dummy_dir"); }), Err(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(Call([] { return SetCurrentDirectoryA("\\some_dummy\\subdir"); }),
                  Err(ERROR_PATH_NOT_FOUND));
        EXPECT_EQ(Call([] { return SetCurrentDirectoryA("C:\\WINDOWS\\WIN.INI"); }), Err(ERROR_DIRECTORY));
        EXPECT_EQ(Call([] { return SetCurrentDirectoryA(nullptr); }), Err(ERROR_INVALID_PARAMETER));
        // Too small a buffer: the size with the NUL, and the buffer as it was.
        std::strcpy(buffer, "aaaaaaa");
        EXPECT_EQ(GetCurrentDirectoryA(3, buffer), 4u);
        EXPECT_STREQ(buffer, "aaaaaaa");
        EXPECT_EQ(GetCurrentDirectoryA(4, buffer), 3u);
        EXPECT_STREQ(buffer, "D:\\");
    });
}

// --- Folders, attributes, deletion ---

TEST(FilesFolders, CreateDirectoryGivesWindowsErrors) {
    sim::Machine m("winxp");
    m.files().WriteFile("C:\\FILE.TXT", "");
    m.RunCode(
        [] {
            auto create = [](const char* path) {
                return Call([=] { return CreateDirectoryA(path, nullptr); });
            };
            EXPECT_EQ(create("."), Err(ERROR_ALREADY_EXISTS));
            EXPECT_EQ(create(".."), Err(ERROR_ALREADY_EXISTS));
            EXPECT_EQ(create("C:\\"), Err(ERROR_ALREADY_EXISTS));
            EXPECT_EQ(create("C:"), Err(ERROR_ALREADY_EXISTS));
            EXPECT_EQ(create(""), Err(ERROR_PATH_NOT_FOUND));
            EXPECT_EQ(create(nullptr), Err(ERROR_PATH_NOT_FOUND));
            EXPECT_EQ(create("C:\\New?"), Err(ERROR_INVALID_NAME));
            EXPECT_EQ(create("C:\\New*"), Err(ERROR_INVALID_NAME));
            EXPECT_EQ(create("C:\\Missing\\New"), Err(ERROR_PATH_NOT_FOUND));
            EXPECT_EQ(create("C:\\FILE.TXT"), Err(ERROR_ALREADY_EXISTS));
            EXPECT_EQ(create("C:\\Korvane."), Ok());  // made without the dot
            EXPECT_EQ(GetFileAttributesA("C:\\Korvane"), kDir);
            EXPECT_EQ(create("c:\\KORVANE"), Err(ERROR_ALREADY_EXISTS));
            // A folder must leave room for an 8.3 name: 248 characters at most.
            EXPECT_EQ(create(("C:\\" + std::string(245, 'x')).c_str()), Ok());
            EXPECT_EQ(create(("C:\\" + std::string(246, 'y')).c_str()), Err(ERROR_FILENAME_EXCED_RANGE));
            EXPECT_EQ(create(("C:\\Missing\\" + std::string(240, 'y')).c_str()),
                      Err(ERROR_FILENAME_EXCED_RANGE));
        },
        "C:\\WINDOWS\\");
    std::vector<std::string> log = m.trace().Lines("file");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "mkdir C:\\Korvane");
}

TEST(FilesFolders, RemoveDirectoryRefusesWhatWindowsRefuses) {
    sim::Machine m("winxp");
    m.files().WriteFile("C:\\Full\\A.TXT", "a");
    m.files().CreateFolder("C:\\Empty");
    m.files().CreateFolder("C:\\Kept");
    m.files().CreateFolder("C:\\Here");
    m.RunCode(
        [] {
            auto remove = [](const char* path) { return Call([=] { return RemoveDirectoryA(path); }); };
            EXPECT_EQ(remove("C:\\Full"), Err(ERROR_DIR_NOT_EMPTY));
            EXPECT_EQ(remove("C:\\Nope"), Err(ERROR_FILE_NOT_FOUND));
            EXPECT_EQ(remove("C:\\Nope\\Deeper"), Err(ERROR_PATH_NOT_FOUND));
            EXPECT_EQ(remove("C:\\Full\\A.TXT"), Err(ERROR_DIRECTORY));
            EXPECT_EQ(remove("C:\\Here"), Err(ERROR_SHARING_VIOLATION));  // the current folder
            EXPECT_EQ(remove("C:\\"), Err(ERROR_ACCESS_DENIED));
            EXPECT_TRUE(SetFileAttributesA("C:\\Kept", FILE_ATTRIBUTE_READONLY));
            EXPECT_EQ(remove("C:\\Kept"), Err(ERROR_ACCESS_DENIED));
            EXPECT_EQ(remove("C:\\Empty"), Ok());
            EXPECT_EQ(GetFileAttributesA("C:\\Empty"), INVALID_FILE_ATTRIBUTES);
        },
        "C:\\Here\\");
    EXPECT_EQ(m.trace().Lines("file").back(), "rmdir C:\\Empty");
}

TEST(FilesFolders, AttributesAreStoredAsWindowsStoresThem) {
    sim::Machine m("winxp");
    m.files().WriteFile("C:\\Dir\\A.TXT", "a");
    m.RunCode([] {
        EXPECT_EQ(GetFileAttributesA("C:\\Dir\\A.TXT"), kArchive);
        EXPECT_EQ(
            Call([] { return SetFileAttributesA("C:\\Dir\\A.TXT", kReadOnly | FILE_ATTRIBUTE_HIDDEN); }),
            Ok());
        EXPECT_EQ(GetFileAttributesA("C:\\Dir\\A.TXT"), kReadOnly | FILE_ATTRIBUTE_HIDDEN);
        // NORMAL alone clears them all; the directory bit cannot be set on a file nor cleared from a folder.
        EXPECT_TRUE(SetFileAttributesA("C:\\Dir\\A.TXT", FILE_ATTRIBUTE_NORMAL));
        EXPECT_EQ(GetFileAttributesA("C:\\Dir\\A.TXT"), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
        EXPECT_TRUE(SetFileAttributesA("C:\\Dir\\A.TXT", kDir | FILE_ATTRIBUTE_SYSTEM));
        EXPECT_EQ(GetFileAttributesA("C:\\Dir\\A.TXT"), static_cast<DWORD>(FILE_ATTRIBUTE_SYSTEM));
        EXPECT_TRUE(SetFileAttributesA("C:\\Dir", FILE_ATTRIBUTE_HIDDEN));
        EXPECT_EQ(GetFileAttributesA("C:\\Dir"), kDir | FILE_ATTRIBUTE_HIDDEN);
        EXPECT_EQ(Call([] { return SetFileAttributesA("C:\\Dir\\B.TXT", 0); }), Err(ERROR_FILE_NOT_FOUND));
    });
    EXPECT_EQ(m.trace().Lines("file")[0], "attrib C:\\Dir\\A.TXT READONLY|HIDDEN");
}

TEST(FilesFolders, DeleteFileRefusesFoldersReadOnlyAndOpenFiles) {
    sim::Machine m("winxp");
    m.files().WriteFile("C:\\A.TXT", "a");
    m.files().WriteFile("C:\\RO.TXT", "r");
    m.files().SetAttributes("C:\\RO.TXT", kReadOnly);
    m.RunCode([] {
        auto remove = [](const char* path) { return Call([=] { return DeleteFileA(path); }); };
        EXPECT_EQ(remove("C:\\NOPE.TXT"), Err(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(remove("C:\\NOPE\\A.TXT"), Err(ERROR_PATH_NOT_FOUND));
        EXPECT_EQ(remove("C:\\WINDOWS"), Err(ERROR_ACCESS_DENIED));
        EXPECT_EQ(remove("C:\\RO.TXT"), Err(ERROR_ACCESS_DENIED));
        crt::FILE* open = crt::fopen("C:\\A.TXT", "r");
        ASSERT_NE(open, nullptr);
        EXPECT_EQ(remove("C:\\A.TXT"), Err(ERROR_SHARING_VIOLATION));
        crt::fclose(open);
        EXPECT_EQ(remove("c:\\a.txt"), Ok());
        EXPECT_EQ(GetFileAttributesA("C:\\A.TXT"), INVALID_FILE_ATTRIBUTES);
    });
    EXPECT_EQ(m.trace().Lines("file"), std::vector<std::string>{"delete C:\\A.TXT"});
}

// --- Copies ---

TEST(FilesCopy, OverwritesUnlessAskedNotTo) {
    sim::Machine m("winxp");
    m.files().WriteFile("C:\\Src.txt", "new contents");
    m.files().WriteFile("C:\\Dst.txt", "old");
    m.files().WriteFile("C:\\RO.TXT", "ro");
    m.files().SetAttributes("C:\\RO.TXT", kReadOnly);
    m.files().WriteFile("C:\\HID.TXT", "hid");
    m.files().SetAttributes("C:\\HID.TXT", FILE_ATTRIBUTE_HIDDEN);
    m.RunCode([] {
        auto copy = [](const char* from, const char* to, BOOL fail_if_exists) {
            return Call([=] { return CopyFileA(from, to, fail_if_exists); });
        };
        EXPECT_EQ(copy("C:\\Nope.txt", "C:\\X.txt", FALSE), Err(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(copy("C:\\Nope\\A.txt", "C:\\X.txt", FALSE), Err(ERROR_PATH_NOT_FOUND));
        EXPECT_EQ(copy("C:\\WINDOWS", "C:\\X.txt", FALSE), Err(ERROR_ACCESS_DENIED));
        EXPECT_EQ(copy("C:\\Src.txt", "C:\\Nope\\X.txt", FALSE), Err(ERROR_PATH_NOT_FOUND));
        EXPECT_EQ(copy("C:\\Src.txt", "C:\\Dst.txt", TRUE), Err(ERROR_FILE_EXISTS));
        EXPECT_EQ(copy("C:\\Src.txt", "C:\\WINDOWS", FALSE), Err(ERROR_ACCESS_DENIED));
        EXPECT_EQ(copy("C:\\Src.txt", "C:\\RO.TXT", FALSE), Err(ERROR_ACCESS_DENIED));
        EXPECT_EQ(copy("C:\\Src.txt", "C:\\HID.TXT", FALSE), Err(ERROR_ACCESS_DENIED));
        EXPECT_EQ(copy("C:\\Src.txt", "c:\\SRC.TXT", FALSE), Err(ERROR_SHARING_VIOLATION));  // itself
        EXPECT_EQ(copy("C:\\Src.txt", "C:\\Dst.txt", FALSE), Ok());
        EXPECT_EQ(copy("C:\\Src.txt", "C:\\New.txt", TRUE), Ok());
        // A read-only source makes a read-only copy.
        EXPECT_TRUE(SetFileAttributesA("C:\\Src.txt", kReadOnly));
        EXPECT_EQ(copy("C:\\Src.txt", "C:\\Copy.txt", FALSE), Ok());
        EXPECT_EQ(GetFileAttributesA("C:\\Copy.txt"), kReadOnly | kArchive);
    });
    EXPECT_EQ(m.files().ReadFile("C:\\Dst.txt"), "new contents");
    EXPECT_EQ(m.files().ReadFile("C:\\New.txt"), "new contents");
    EXPECT_EQ(m.files().ReadFile("C:\\RO.TXT"), "ro");
    EXPECT_EQ(m.files().ReadFile("C:\\HID.TXT"), "hid");
    std::vector<std::string> log = m.trace().Lines("file");
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "copy C:\\Src.txt -> C:\\Dst.txt");
    EXPECT_EQ(log[1], "copy C:\\Src.txt -> C:\\New.txt");
}

TEST(FilesCopy, OntoItselfThe9xFamilySaysTheFileExists) {
    sim::Machine m("winme");
    m.files().WriteFile("C:\\A.TXT", "a");
    m.RunCode([] {
        EXPECT_EQ(Call([] { return CopyFileA("C:\\A.TXT", "C:\\A.TXT", FALSE); }), Err(ERROR_FILE_EXISTS));
    });
}

// --- The CD ---

TEST(FilesCdRom, IsReadOnlyAndItsFilesArriveReadOnly) {
    sim::Machine m("winme");
    m.files().AddCdRomDrive('D', CdFolder(), "KORVANE");
    m.files().WriteFile("C:\\LOCAL.TXT", "local");
    m.RunCode([] {
        EXPECT_EQ(GetDriveTypeA("D:\\"), static_cast<UINT>(DRIVE_CDROM));
        EXPECT_EQ(GetFileAttributesA("D:\\WIN_ME\\QVAUDIO.INF"), kReadOnly);
        EXPECT_EQ(GetFileAttributesA("D:\\WIN_ME"), kReadOnly | kDir);
        std::vector<std::pair<std::function<BOOL()>, Outcome>> attempts = {
            {[] { return CreateDirectoryA("D:\\NEW", nullptr); }, Err(ERROR_ACCESS_DENIED)},
            {[] { return CreateDirectoryA("D:\\WIN_ME", nullptr); }, Err(ERROR_ACCESS_DENIED)},
            {[] { return CreateDirectoryA("D:\\NO\\NEW", nullptr); }, Err(ERROR_ACCESS_DENIED)},
            {[] { return DeleteFileA("D:\\README.TXT"); }, Err(ERROR_ACCESS_DENIED)},
            {[] { return DeleteFileA("D:\\NOPE.TXT"); }, Err(ERROR_FILE_NOT_FOUND)},
            {[] { return RemoveDirectoryA("D:\\WIN2K"); }, Err(ERROR_ACCESS_DENIED)},
            {[] { return SetFileAttributesA("D:\\README.TXT", FILE_ATTRIBUTE_NORMAL); },
             Err(ERROR_ACCESS_DENIED)},
            {[] { return CopyFileA("C:\\LOCAL.TXT", "D:\\LOCAL.TXT", FALSE); }, Err(ERROR_ACCESS_DENIED)},
            {[] { return CopyFileA("C:\\LOCAL.TXT", "D:\\README.TXT", FALSE); }, Err(ERROR_ACCESS_DENIED)},
            {[] { return CopyFileA("C:\\LOCAL.TXT", "D:\\NO\\X.TXT", FALSE); }, Err(ERROR_PATH_NOT_FOUND)},
            {[] { return CopyFileA("C:\\LOCAL.TXT", "D:\\NO\\X.TXT", TRUE); }, Err(ERROR_ACCESS_DENIED)},
            {[] { return BOOL(crt::fopen("D:\\README.TXT", "w") != nullptr); }, Err(ERROR_ACCESS_DENIED)},
            {[] { return BOOL(crt::fopen("D:\\NEW.TXT", "a") != nullptr); }, Err(ERROR_ACCESS_DENIED)},
            {[] { return BOOL(crt::fopen("D:\\README.TXT", "r+") != nullptr); }, Err(ERROR_ACCESS_DENIED)},
        };
        for (size_t i = 0; i < attempts.size(); ++i)
            EXPECT_EQ(Call(attempts[i].first), attempts[i].second) << i;
        EXPECT_EQ(ReadStream("D:\\README.TXT", "r"), "Korvane audio drivers\nSee WIN_ME or WIN2K.\n");
        // The installer's copy: the file arrives read-only, like its source.
        EXPECT_TRUE(CreateDirectoryA("C:\\Program Files\\Korvane", nullptr));
        EXPECT_TRUE(CreateDirectoryA("C:\\Program Files\\Korvane\\WIN_ME", nullptr));
        EXPECT_EQ(Call([] {
                      return CopyFileA("D:\\WIN_ME\\QVAUDIO.INF",
                                       "C:\\Program Files\\Korvane\\WIN_ME\\QVAUDIO.INF", TRUE);
                  }),
                  Ok());
        EXPECT_EQ(GetFileAttributesA("C:\\Program Files\\Korvane\\WIN_ME\\QVAUDIO.INF"),
                  kReadOnly | kArchive);
        EXPECT_EQ(Call([] { return DeleteFileA("C:\\Program Files\\Korvane\\WIN_ME\\QVAUDIO.INF"); }),
                  Err(ERROR_ACCESS_DENIED));
    });
    EXPECT_EQ(m.files().ReadFile("D:\\README.TXT"), "Korvane audio drivers\r\nSee WIN_ME or WIN2K.\r\n");
    EXPECT_FALSE(m.files().Exists("D:\\NEW"));
    EXPECT_EQ(m.trace().Lines("file"),
              (std::vector<std::string>{
                  "mkdir C:\\Program Files\\Korvane", "mkdir C:\\Program Files\\Korvane\\WIN_ME",
                  "copy D:\\WIN_ME\\QVAUDIO.INF -> C:\\Program Files\\Korvane\\WIN_ME\\QVAUDIO.INF"}));
}

TEST(FilesCdRom, AnEmptyDriveIsNotReadyAndAMissingHostFolderIsNamed) {
    sim::Machine m("winxp");
    m.files().AddCdRomDrive('E', "");
    EXPECT_THROW(m.files().AddCdRomDrive('F', DataDir() + "/no_such_cd"), sim::InputError);
    try {
        m.files().AddCdRomDrive('F', DataDir() + "/no_such_cd");
    } catch (const sim::InputError& error) {
        EXPECT_NE(std::string(error.what()).find("no_such_cd"), std::string::npos) << error.what();
    }
    EXPECT_EQ(m.files().FindDrive('F'), nullptr);
    m.RunCode([] {
        EXPECT_EQ(GetDriveTypeA("E:\\"), static_cast<UINT>(DRIVE_CDROM));
        EXPECT_EQ(Call([] { return GetFileAttributesA("E:\\SETUP.EXE"); }),
                  std::make_pair(INVALID_FILE_ATTRIBUTES, static_cast<DWORD>(ERROR_NOT_READY)));
        EXPECT_EQ(Call([] { return SetCurrentDirectoryA("E:\\"); }), Err(ERROR_NOT_READY));
    });
    m.files().InsertMedium('E', CdFolder(), "KORVANE");
    m.RunCode([] { EXPECT_EQ(GetFileAttributesA("E:\\SETUP.EXE"), kReadOnly); });
}

TEST(FilesCdRom, AWriteProtectedDiskSaysSo) {
    sim::Machine m("win98se");
    m.files().AddDrive('A', DRIVE_REMOVABLE).write_protected = true;
    m.files().WriteFile("A:\\DISK1.TXT", "disk 1");
    m.RunCode([] {
        EXPECT_EQ(Call([] { return CreateDirectoryA("A:\\NEW", nullptr); }), Err(ERROR_WRITE_PROTECT));
        EXPECT_EQ(Call([] { return DeleteFileA("A:\\DISK1.TXT"); }), Err(ERROR_WRITE_PROTECT));
        EXPECT_EQ(Call([] { return CopyFileA("A:\\DISK1.TXT", "A:\\DISK2.TXT", FALSE); }),
                  Err(ERROR_WRITE_PROTECT));
        EXPECT_EQ(GetFileAttributesA("A:\\DISK1.TXT"), kArchive);  // a floppy's files are not read-only
    });
}

// --- Searches ---

void MakeSearchFolder(sim::Machine& m) {
    for (const char* name : {"b.txt", "A.TXT", "Setup.information", "readme"})
        m.files().WriteFile(std::string("C:\\F\\") + name, name);
    m.files().CreateFolder("C:\\F\\sub");
}

TEST(FilesFind, ListsDotsFirstThenTheFolderInItsFileSystemsOrder) {
    struct Case {
        const char* version;
        std::vector<std::string> names;
    } cases[] = {
        {"winxp", {".", "..", "A.TXT", "b.txt", "readme", "Setup.information", "sub"}},    // NTFS: sorted
        {"win98se", {".", "..", "b.txt", "A.TXT", "Setup.information", "readme", "sub"}},  // FAT: as made
    };
    for (const Case& c : cases) {
        sim::Machine m(c.version);
        MakeSearchFolder(m);
        m.RunCode([&] {
            EXPECT_EQ(FindAll("C:\\F\\*"), c.names) << c.version;
            EXPECT_EQ(FindAll("C:\\F\\*.*"), c.names) << c.version;
            std::vector<std::string> root = FindAll("C:\\*");
            EXPECT_EQ(std::count(root.begin(), root.end(), "."), 0) << c.version;
            EXPECT_EQ(std::count(root.begin(), root.end(), ".."), 0) << c.version;
        });
    }
}

TEST(FilesFind, FailsAsWindowsDoesAndCleansUp) {
    sim::Machine m("winxp");
    MakeSearchFolder(m);
    m.RunCode([] {
        size_t handles = sim::CurrentProcess().handles.open_count();
        WIN32_FIND_DATAA data;
        auto first = [&](const char* pattern) {
            return Call([&] { return FindFirstFileA(pattern, &data); });
        };
        const auto none = [](DWORD error) { return std::make_pair(INVALID_HANDLE_VALUE, error); };
        EXPECT_EQ(first("C:\\"), none(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(first("C:\\F\\"), none(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(first("C:\\Nope\\"), none(ERROR_PATH_NOT_FOUND));
        EXPECT_EQ(first("C:\\Nope\\*.*"), none(ERROR_PATH_NOT_FOUND));
        EXPECT_EQ(first("C:\\F\\*.zip"), none(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(first("C:\\F\\A.TXT\\*"), none(ERROR_PATH_NOT_FOUND));
        EXPECT_EQ(first("C:\\F*\\*"), none(ERROR_INVALID_NAME));
        EXPECT_EQ(first(""), none(ERROR_PATH_NOT_FOUND));
        EXPECT_EQ(Call([] { return FindFirstFileA("C:\\F\\*", nullptr); }), none(ERROR_NOACCESS));

        HANDLE find = FindFirstFileA("C:\\F\\setup.*", &data);
        ASSERT_NE(find, INVALID_HANDLE_VALUE);
        EXPECT_STREQ(data.cFileName, "Setup.information");
        EXPECT_STREQ(data.cAlternateFileName, "SETUP~1.INF");
        EXPECT_EQ(data.nFileSizeLow, strlen("Setup.information"));
        EXPECT_EQ(data.dwFileAttributes, kArchive);
        EXPECT_EQ(Call([&] { return FindNextFileA(find, &data); }), Err(ERROR_NO_MORE_FILES));
        EXPECT_EQ(Call([&] { return FindClose(find); }), Ok());
        EXPECT_EQ(Call([&] { return FindClose(find); }), Err(ERROR_INVALID_HANDLE));
        EXPECT_EQ(Call([&] { return FindNextFileA(find, &data); }), Err(ERROR_INVALID_HANDLE));
        EXPECT_EQ(sim::CurrentProcess().handles.open_count(), handles);

        find = FindFirstFileA("C:\\F\\.", &data);  // the folder itself
        ASSERT_NE(find, INVALID_HANDLE_VALUE);
        EXPECT_STREQ(data.cFileName, "F");
        EXPECT_EQ(data.dwFileAttributes, kDir);
        FindClose(find);
    });
}

TEST(FilesFind, AMaskAlsoMatchesTheShortName) {
    sim::Machine m("winxp");
    MakeSearchFolder(m);
    m.files().WriteFile("C:\\F\\.information", "");  // no extension at all: its 8.3 name is INFORM~1
    m.RunCode([] {
        EXPECT_EQ(FindAll("C:\\F\\*.INF"), std::vector<std::string>{"Setup.information"});
        EXPECT_EQ(FindAll("C:\\F\\SETUP~1.INF"), std::vector<std::string>{"Setup.information"});
        EXPECT_EQ(FindAll("C:\\F\\*."),
                  (std::vector<std::string>{".information", "readme", "sub"}));  // INFORM~1
        EXPECT_EQ(FindAll("C:\\F\\?.txt"), (std::vector<std::string>{"A.TXT", "b.txt"}));
    });
}

// kernel32 rewrites DOS wildcards before the file system matches: "*.*" is "*", '?' may match nothing before
// a dot or the end, ".*" matches no extension at all, and '*' before a dot cannot swallow the last dot.
TEST(FilesMask, MatchesAsWindowsDoes) {
    struct Case {
        const char* mask;
        const char* name;
        bool matches;
    } cases[] = {
        {"*", "anything.txt", true},
        {"*", ".", true},
        {"*.*", "readme", true},
        {"*.*", "a.b", true},
        {"*.*.", "readme", true},
        {"*.", "readme", true},
        {"*.", "a.txt", false},
        {"*.", "a.b.c", false},
        {"*.txt", "a.txt", true},
        {"*.TXT", "a.txt", true},
        {"*.txt", "a.b.txt", true},
        {"*.txt", "a.txt.bak", false},
        {"*.txt", "atxt", false},
        {"a*", "ABC", true},
        {"a*", "bca", false},
        {"*a*", "bab", true},
        {"**", "x", true},
        {"?", "a", true},
        {"?", "ab", false},
        {"a?", "a", true},
        {"a?.txt", "a.txt", true},
        {"a?.txt", "ab.txt", true},
        {"a?.txt", "abc.txt", false},
        {"??????.txt", "abc.txt", true},
        {"a.*", "a", true},
        {"a.*", "a.txt", true},
        {"a.*", "ab", false},
        {"*.?", "a.b", true},
        {"*.?", "a", true},
        {"*.?", "a.bc", false},
        {"a*.*", "abc", true},
        {"a*.*", "xbc", false},
        {"f*.f*", "f.f", true},
        {"setup.inf", "SETUP.INF", true},
        {"setup.inf", "setup.information", false},
        {"*.inf", "setup.information", false},  // the long name alone; FindFirstFileA tries the 8.3 name too
        {"*.inf", "SETUP~1.INF", true},
        {"*.inf", ".information", false},
        {"", "a", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sim::MatchesMask(c.mask, c.name), c.matches)
            << "\"" << c.mask << "\" vs \"" << c.name << "\"";
}

// --- 8.3 names ---

TEST(FilesShortNames, AreMadeAsWindowsMakesThem) {
    struct Case {
        const char* name;
        const char* short_name;
    } cases[] = {
        {"Program Files", "PROGRA~1"},
        {"Korvane Audio Setup.information", "KORVAN~1.INF"},
        {"setup.information", "SETUP~1.INF"},
        {".information", "INFORM~1"},  // a leading dot starts no extension
        {"my.file.name.txt", "MYFILE~1.TXT"},
        {"a+b=c[1].txt", "A_B_C_~1.TXT"},
        {"photo.jpeg", "PHOTO~1.JPE"},
        {"ab cd", "ABCD~1"},
    };
    auto none = [](const std::string&) { return false; };
    for (const Case& c : cases) EXPECT_EQ(sim::MakeShortName(c.name, none), c.short_name) << c.name;
    auto first_nine = [](const std::string& name) { return name.find("~10") == std::string::npos; };
    EXPECT_EQ(sim::MakeShortName("Program Files", first_nine), "PROGR~10");
    for (const char* name : {"WIN_ME", "readme.txt", "PROGRA~1", "A", "12345678.123"})
        EXPECT_TRUE(sim::IsShortName(name)) << name;
    for (const char* name :
         {"Program Files", "a.b.c", "toolongname.txt", "a.jpeg", ".txt", "a b", "a+b", "a.", ""})
        EXPECT_FALSE(sim::IsShortName(name)) << name;
}

TEST(FilesShortNames, GetShortPathNameOnEachFamily) {
    struct Case {
        const char* version;
        const char* short_path;
    } cases[] = {
        {"winme", "C:\\PROGRA~1\\KORVANE\\WIN_ME"},  // FAT answers the 8.3 entries it holds
        {"winxp", "C:\\PROGRA~1\\Korvane\\WIN_ME"},  // NT keeps what is already 8.3
    };
    for (const Case& c : cases) {
        sim::Machine m(c.version);
        m.files().CreateFolder("C:\\Program Files\\Korvane\\WIN_ME");
        m.RunCode([&] {
            EXPECT_EQ(ShortPath("C:\\Program Files\\Korvane\\WIN_ME"), c.short_path) << c.version;
            EXPECT_EQ(GetFileAttributesA(c.short_path), kDir) << c.version;
        });
    }
}

TEST(FilesShortNames, TailsCountUpInCreationOrder) {
    sim::Machine m("winxp");
    m.files().CreateFolder("C:\\Program Data");
    m.files().CreateFolder("C:\\Programs And Stuff");
    m.RunCode([] {
        EXPECT_EQ(ShortPath("C:\\Program Files"), "C:\\PROGRA~1");  // made first, with the machine
        EXPECT_EQ(ShortPath("C:\\Program Data"), "C:\\PROGRA~2");
        EXPECT_EQ(ShortPath("C:\\Programs And Stuff"), "C:\\PROGRA~3");
        EXPECT_TRUE(CreateDirectoryA("C:\\Programs", nullptr));  // 8.3 already: no alias on NTFS
        EXPECT_EQ(ShortPath("C:\\programs"), "C:\\programs");
        EXPECT_TRUE(RemoveDirectoryA("C:\\Program Data"));
        EXPECT_TRUE(CreateDirectoryA("C:\\Program Cache", nullptr));  // takes the freed tail
        EXPECT_EQ(ShortPath("C:\\Program Cache"), "C:\\PROGRA~2");
    });
}

TEST(FilesShortNames, KeepsRelativePartsAndFollowsBufferRules) {
    sim::Machine m("winxp");
    m.files().CreateFolder("C:\\Program Files\\Korvane Audio");
    m.RunCode([] {
        EXPECT_EQ(ShortPath("Program Files\\Korvane Audio\\"), "PROGRA~1\\KORVAN~1\\");
        EXPECT_EQ(ShortPath(".\\Program Files/..\\Program Files"), ".\\PROGRA~1/..\\PROGRA~1");
        EXPECT_EQ(Call([] { return GetShortPathNameA("C:\\Program Files\\Nope", nullptr, 0); }),
                  std::make_pair(DWORD{0}, static_cast<DWORD>(ERROR_FILE_NOT_FOUND)));
        EXPECT_EQ(Call([] { return GetShortPathNameA("C:\\Nope\\Nope", nullptr, 0); }),
                  std::make_pair(DWORD{0}, static_cast<DWORD>(ERROR_PATH_NOT_FOUND)));
        EXPECT_EQ(Call([] { return GetShortPathNameA(nullptr, nullptr, 0); }),
                  std::make_pair(DWORD{0}, static_cast<DWORD>(ERROR_INVALID_PARAMETER)));
        EXPECT_EQ(Call([] { return GetShortPathNameA("C:\\Program*", nullptr, 0); }),
                  std::make_pair(DWORD{0}, static_cast<DWORD>(ERROR_INVALID_NAME)));
        char buffer[MAX_PATH] = "untouched";
        const char* path = "C:\\Program Files\\Korvane Audio";
        EXPECT_EQ(GetShortPathNameA(path, nullptr, 0), sizeof "C:\\PROGRA~1\\KORVAN~1");
        EXPECT_EQ(GetShortPathNameA(path, buffer, 5), sizeof "C:\\PROGRA~1\\KORVAN~1");
        EXPECT_STREQ(buffer, "untouched");
        std::strcpy(buffer, path);  // the same buffer in and out
        EXPECT_EQ(GetShortPathNameA(buffer, buffer, sizeof buffer), strlen("C:\\PROGRA~1\\KORVAN~1"));
        EXPECT_STREQ(buffer, "C:\\PROGRA~1\\KORVAN~1");
    });
}

TEST(FilesShortNames, Nt4ShortensWhatExistsAndCopiesTheRest) {
    sim::Machine m("nt4");
    m.RunCode([] {
        EXPECT_EQ(ShortPath("C:\\Program Files\\Not There\\x.txt"), "C:\\PROGRA~1\\Not There\\x.txt");
    });
}

// --- CRT streams and searches ---

TEST(FilesCrt, TextModeWritesCrLfAndReadsItBack) {
    sim::Machine m("win98se");
    m.RunCode([] {
        crt::FILE* file = crt::fopen("C:\\LOG.TXT", "w");
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(crt::fputs("one\ntwo\n", file), 0);
        EXPECT_EQ(crt::fwrite("3\n", 1, 2, file), 2u);
        EXPECT_EQ(crt::fclose(file), 0);
        EXPECT_EQ(ReadStream("C:\\LOG.TXT", "r"), "one\ntwo\n3\n");
        EXPECT_EQ(ReadStream("C:\\LOG.TXT", "rb"), "one\r\ntwo\r\n3\r\n");
        file = crt::fopen("C:\\LOG.TXT", "at");
        EXPECT_EQ(crt::fputs("four\n", file), 0);
        crt::fclose(file);
        file = crt::fopen("C:\\BIN.DAT", "wb");
        EXPECT_EQ(crt::fwrite("a\nb\0c", 1, 5, file), 5u);
        crt::fclose(file);
        // Reading: a line at a time within the buffer; an empty string for a buffer of one.
        file = crt::fopen("C:\\LOG.TXT", "rt");
        char line[4];
        EXPECT_EQ(crt::fgets(line, 1, file), line);
        EXPECT_STREQ(line, "");
        EXPECT_EQ(crt::fgets(line, sizeof line, file), line);
        EXPECT_STREQ(line, "one");
        EXPECT_EQ(crt::fgets(line, sizeof line, file), line);
        EXPECT_STREQ(line, "\n");
        char rest[64] = {};
        EXPECT_EQ(crt::fread(rest, 1, sizeof rest, file), strlen("two\n3\nfour\n"));
        EXPECT_STREQ(rest, "two\n3\nfour\n");
        EXPECT_EQ(crt::fgets(line, sizeof line, file), nullptr);
        crt::fclose(file);
    });
    EXPECT_EQ(m.files().ReadFile("C:\\LOG.TXT"), "one\r\ntwo\r\n3\r\nfour\r\n");
    EXPECT_EQ(m.files().ReadFile("C:\\BIN.DAT"), std::string("a\nb\0c", 5));
    EXPECT_EQ(m.trace().Lines("file"),
              (std::vector<std::string>{"create C:\\LOG.TXT", "write C:\\LOG.TXT (10 bytes)",
                                        "append C:\\LOG.TXT (5 bytes)", "create C:\\BIN.DAT",
                                        "write C:\\BIN.DAT (5 bytes)"}));
}

TEST(FilesCrt, ModesOpenAsTheCrtDoes) {
    sim::Machine m("winxp");
    m.files().WriteFile("C:\\DATA.TXT", "abcdef\r\n\x1Atail");
    m.files().WriteFile("C:\\RO.TXT", "ro");
    m.files().SetAttributes("C:\\RO.TXT", kReadOnly);
    m.files().WriteFile("C:\\HIDDEN.TXT", "h");
    m.files().SetAttributes("C:\\HIDDEN.TXT", FILE_ATTRIBUTE_HIDDEN);
    m.RunCode([] {
        EXPECT_EQ(ReadStream("C:\\DATA.TXT", "r"), "abcdef\n");  // Ctrl-Z ends a text-mode read
        auto open = [](const char* path, const char* mode) {
            return Call([=] {
                crt::FILE* file = crt::fopen(path, mode);
                if (file) crt::fclose(file);
                return BOOL(file != nullptr);
            });
        };
        EXPECT_EQ(open("C:\\NOPE.TXT", "r"), Err(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(open("C:\\NOPE.TXT", "r+"), Err(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(open("C:\\NOPE\\A.TXT", "w"), Err(ERROR_PATH_NOT_FOUND));
        EXPECT_EQ(open("C:\\WINDOWS", "r"), Err(ERROR_ACCESS_DENIED));
        EXPECT_EQ(open("C:\\RO.TXT", "r"), Ok());
        EXPECT_EQ(open("C:\\RO.TXT", "w"), Err(ERROR_ACCESS_DENIED));
        EXPECT_EQ(open("C:\\RO.TXT", "a"), Err(ERROR_ACCESS_DENIED));
        EXPECT_EQ(open("C:\\RO.TXT", "r+b"), Err(ERROR_ACCESS_DENIED));
        EXPECT_EQ(open("C:\\HIDDEN.TXT", "w"),
                  Err(ERROR_ACCESS_DENIED));  // CREATE_ALWAYS meets a hidden file
        EXPECT_EQ(open("C:\\HIDDEN.TXT", "a"), Ok());
        for (const char* mode : {"", "x", "rw", "rbt", "r++", "wt+b", "r,ccs=UTF-8"})
            EXPECT_EQ(open("C:\\DATA.TXT", mode), Err(ERROR_INVALID_PARAMETER)) << mode;
        for (const char* mode : {"wbc", "an", "rb+", "r+t"})
            EXPECT_EQ(open("C:\\NEW.TXT", mode), Ok()) << mode;

        // "r+" writes over, "w" truncates; a read-only stream does not write, a write-only one does not read.
        crt::FILE* file = crt::fopen("C:\\DATA.TXT", "r+b");
        EXPECT_EQ(crt::fputs("XY", file), 0);
        crt::fclose(file);
        EXPECT_EQ(ReadStream("C:\\DATA.TXT", "rb").substr(0, 6), "XYcdef");
        file = crt::fopen("C:\\DATA.TXT", "r");
        EXPECT_EQ(crt::fputs("no", file), -1);
        EXPECT_EQ(crt::fclose(file), -1);  // the error shows at the close
        file = crt::fopen("C:\\DATA.TXT", "w");
        char buffer[8];
        EXPECT_EQ(crt::fgets(buffer, sizeof buffer, file), nullptr);
        crt::fclose(file);
        EXPECT_EQ(ReadStream("C:\\DATA.TXT", "rb"), "");
        EXPECT_EQ(crt::fclose(nullptr), -1);
        EXPECT_EQ(crt::fclose(reinterpret_cast<crt::FILE*>(0x1234)), -1);
        EXPECT_EQ(crt::fputs("x", nullptr), -1);
    });
}

TEST(FilesCrt, FindFirstReportsCrtAttributes) {
    sim::Machine m("winxp");
    MakeSearchFolder(m);
    m.files().SetAttributes("C:\\F\\b.txt", kReadOnly);
    m.files().SetAttributes("C:\\F\\readme", 0);
    m.RunCode([] {
        crt::_finddata_t data;
        EXPECT_EQ(crt::_findfirst("C:\\F\\*.zip", &data), -1);
        intptr_t search = crt::_findfirst("C:\\F\\*", &data);
        ASSERT_NE(search, -1);
        std::vector<std::pair<std::string, unsigned>> seen;
        do seen.emplace_back(data.name, data.attrib);
        while (crt::_findnext(search, &data) == 0);
        EXPECT_EQ(crt::_findclose(search), 0);
        EXPECT_EQ(crt::_findclose(search), -1);
        EXPECT_EQ(seen,
                  (std::vector<std::pair<std::string, unsigned>>{{".", _A_SUBDIR},
                                                                 {"..", _A_SUBDIR | _A_HIDDEN | _A_SYSTEM},
                                                                 {"A.TXT", _A_ARCH},
                                                                 {"b.txt", _A_RDONLY},
                                                                 {"readme", _A_NORMAL},
                                                                 {"Setup.information", _A_ARCH},
                                                                 {"sub", _A_SUBDIR}}));
        search = crt::_findfirst("C:\\F\\A.TXT", &data);
        EXPECT_EQ(data.size, 5u);
        EXPECT_EQ(data.time_write, 1041379200);  // the machine's clock starts on 2003-01-01
        crt::_findclose(search);
    });
}

// --- Drives ---

TEST(FilesDrives, LogicalDriveStringsFollowTheSizeRules) {
    sim::Machine m("winxp");
    m.RunCode([] { EXPECT_EQ(GetLogicalDriveStringsA(0, nullptr), 5u); });
    m.files().AddCdRomDrive('D', CdFolder());
    m.RunCode([] {
        char buffer[16];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(GetLogicalDriveStringsA(8, buffer), 9u);
        EXPECT_EQ(buffer[0], 'x');
        EXPECT_EQ(GetLogicalDriveStringsA(9, buffer), 8u);
        EXPECT_EQ(std::string(buffer, 9), std::string("C:\\\0D:\\\0\0", 9));
    });
}

TEST(FilesDrives, DriveTypes) {
    sim::Machine m("winxp");
    m.files().AddCdRomDrive('D', CdFolder());
    m.files().AddDrive('A', DRIVE_REMOVABLE);
    m.RunCode([] {
        struct Case {
            const char* root;
            UINT type;
        } cases[] = {
            {"C:\\", DRIVE_FIXED},
            {"C:", DRIVE_FIXED},
            {"c:/", DRIVE_FIXED},
            {"D:\\", DRIVE_CDROM},
            {"A:\\", DRIVE_REMOVABLE},
            {"Q:\\", DRIVE_NO_ROOT_DIR},
            {"C", DRIVE_NO_ROOT_DIR},
            {"C?", DRIVE_NO_ROOT_DIR},
            {"?", DRIVE_NO_ROOT_DIR},
            {"", DRIVE_NO_ROOT_DIR},
            {"C:\\WINDOWS\\", DRIVE_NO_ROOT_DIR},
            {"\\", DRIVE_FIXED},
            {nullptr, DRIVE_FIXED},
        };
        for (const Case& c : cases) EXPECT_EQ(GetDriveTypeA(c.root), c.type) << (c.root ? c.root : "NULL");
    });
    EXPECT_THROW(m.files().AddDrive('D', DRIVE_FIXED), sim::InputError);
}

// --- Faults ---

TEST(FilesFaults, ACopyToAChosenDestinationFails) {
    sim::Machine m("winme");
    m.files().AddCdRomDrive('D', CdFolder());
    m.files().CreateFolder("C:\\Program Files\\Korvane");
    m.files().faults().copy_fails["c:\\program files\\korvane\\qvaudio.sys"] = ERROR_SHARING_VIOLATION;
    m.RunCode([] {
        EXPECT_EQ(Call([] {
                      return CopyFileA("D:\\WIN_ME\\QVAUDIO.INF", "C:\\Program Files\\Korvane\\QVAUDIO.INF",
                                       FALSE);
                  }),
                  Ok());
        EXPECT_EQ(Call([] {
                      return CopyFileA("D:\\WIN_ME\\QVAUDIO.SYS", "C:\\Program Files\\Korvane\\QVAUDIO.SYS",
                                       FALSE);
                  }),
                  Err(ERROR_SHARING_VIOLATION));
    });
    EXPECT_FALSE(m.files().Exists("C:\\Program Files\\Korvane\\QVAUDIO.SYS"));
}

TEST(FilesFaults, AFullDiskRefusesWritesUntilThereIsRoom) {
    sim::Machine m("winxp");
    m.files().WriteFile("C:\\BIG.TXT", std::string(20, 'b'));
    m.files().WriteFile("C:\\SMALL.TXT", "12345");
    m.files().faults().free_bytes['C'] = 10;
    m.RunCode([] {
        EXPECT_EQ(Call([] { return CopyFileA("C:\\BIG.TXT", "C:\\BIG2.TXT", FALSE); }), Err(ERROR_DISK_FULL));
        EXPECT_EQ(Call([] { return CopyFileA("C:\\SMALL.TXT", "C:\\SMALL2.TXT", FALSE); }), Ok());  // 5 left
        crt::FILE* file = crt::fopen("C:\\LOG.TXT", "wb");
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(Call([&] { return crt::fputs("123456", file); }),
                  std::make_pair(-1, DWORD{ERROR_DISK_FULL}));
        EXPECT_EQ(crt::fputs("12345", file), 0);  // just fits
        EXPECT_EQ(crt::fwrite("x", 1, 1, file), 0u);
        crt::fclose(file);
        EXPECT_TRUE(DeleteFileA("C:\\BIG.TXT"));  // room again
        EXPECT_TRUE(CopyFileA("C:\\SMALL.TXT", "C:\\SMALL3.TXT", FALSE));
    });
    EXPECT_EQ(m.files().ReadFile("C:\\LOG.TXT"), "12345");
    EXPECT_FALSE(m.files().Exists("C:\\BIG2.TXT"));
    EXPECT_EQ(m.files().faults().free_bytes['C'], 15u);
}

// --- Set-up ---

TEST(FilesSetup, ImportAndExportRoundTripByteForByte) {
    sim::Machine m("winxp");
    m.files().ImportHostFolder(CdFolder(), "C:\\Imported\\CD");
    EXPECT_EQ(m.files().Attributes("C:\\Imported\\CD\\WIN_ME\\QVAUDIO.SYS"), kArchive);
    EXPECT_EQ(m.files().ShortName("C:\\Imported\\CD\\Long Folder Name"), "LONGFO~1");
    EXPECT_EQ(m.files().List("C:\\Imported\\CD"),
              (std::vector<std::string>{"Long Folder Name", "README.TXT", "SETUP.EXE", "WIN2K", "WIN_ME"}));
    HostFolder out;
    m.files().ExportToHost("C:\\Imported\\CD", out.str());
    for (const char* file : {"README.TXT", "SETUP.EXE", "WIN_ME/QVAUDIO.INF", "WIN_ME/QVAUDIO.SYS",
                             "WIN2K/QVAUDIO.INF", "Long Folder Name/setup.information"})
        EXPECT_EQ(HostRead(out.path / file), HostRead(std::filesystem::path(CdFolder()) / file)) << file;
    m.files().AddCdRomDrive('D', CdFolder());
    HostFolder drive;
    m.files().ExportToHost("D:\\", drive.str());
    EXPECT_EQ(HostRead(drive.path / "WIN_ME/QVAUDIO.INF"), HostRead(out.path / "WIN_ME/QVAUDIO.INF"));
}

TEST(FilesSetup, BadInputIsRefusedByName) {
    sim::Machine m("winxp");
    auto message = [](const std::function<void()>& call) {
        try {
            call();
        } catch (const sim::InputError& error) {
            return std::string(error.what());
        }
        return std::string("<no error>");
    };
    EXPECT_NE(
        message([&] { m.files().ImportHostFolder("/no/such/folder", "C:\\X"); }).find("/no/such/folder"),
        std::string::npos);
    EXPECT_NE(message([&] { m.files().WriteFile("relative\\A.TXT", ""); }).find("relative"),
              std::string::npos);
    EXPECT_NE(message([&] { m.files().WriteFile("C:\\A?.TXT", ""); }).find("A?.TXT"), std::string::npos);
    EXPECT_NE(message([&] { m.files().WriteFile("Q:\\A.TXT", ""); }).find("Q:"), std::string::npos);
    HostFolder twins;
    std::ofstream(twins.path / "a.txt") << "1";
    std::ofstream(twins.path / "A.TXT") << "2";
    EXPECT_NE(
        message([&] { m.files().ImportHostFolder(twins.str(), "C:\\Twins"); }).find("same Windows name"),
        std::string::npos);
    // Questions get "nothing there", whatever the path, so the platform may ask them with a program's path.
    EXPECT_EQ(m.files().ReadFile("C:\\WINDOWS\\NOPE.INI"), std::nullopt);
    EXPECT_EQ(m.files().ReadFile("C:\\A?.TXT"), std::nullopt);
    EXPECT_FALSE(m.files().Exists("relative\\A.TXT"));
    EXPECT_EQ(m.files().Attributes("Q:\\"), std::nullopt);
}

TEST(FilesSetup, SameMachineSameTranscript) {
    auto run = [] {
        sim::Machine m("win98se");
        m.files().AddCdRomDrive('D', CdFolder());
        m.RunCode([] {
            CreateDirectoryA("C:\\Program Files\\Korvane", nullptr);
            CopyFileA("D:\\WIN_ME\\QVAUDIO.INF", "C:\\Program Files\\Korvane\\QVAUDIO.INF", FALSE);
            crt::FILE* log = crt::fopen("C:\\Program Files\\Korvane\\setup.log", "a");
            crt::fputs("installed\n", log);
            crt::fclose(log);
        });
        return m.trace().Hash();
    };
    EXPECT_EQ(run(), run());
}

}  // namespace
