// Paths under the Windows folder: a backslash between the folder and the rest unless the folder already ends
// in one, and a path that would not fit its 260 characters refused rather than cut.
#include <gtest/gtest.h>

#include "app/paths.h"
#include "sim/filesystem.h"
#include "sim/machine.h"

namespace {

TEST(WindowsPath, JoinsTheWindowsFolderAndTheRest) {
    struct Case {
        const char* name;
        std::string windows;  // the Windows folder
        std::string rest;
        bool fits;
        std::string path;
    };
    const std::string long_folder = "C:\\" + std::string(240, 'W');
    const Case cases[] = {
        {"the usual folder", "C:\\WINDOWS", "mixerdef.ini", true, "C:\\WINDOWS\\mixerdef.ini"},
        {"a folder ending in a backslash gets no second one", "W:\\", "mixerdef.ini", true,
         "W:\\mixerdef.ini"},
        {"259 characters fit (243 + 1 + 15)", long_folder, std::string(15, 'x'), true,
         long_folder + "\\" + std::string(15, 'x')},
        {"260 do not", long_folder, std::string(16, 'x'), false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Machine machine("win98se");
        machine.files().SetWindowsDir(c.windows);
        const std::string& rest = c.rest;
        bool fits = false;
        std::string path;
        machine.RunCode([&] {
            char out[MAX_PATH];
            fits = WindowsPath(out, rest.c_str());
            path = out;
        });
        EXPECT_EQ(fits, c.fits);
        EXPECT_EQ(path, c.path);
    }
}

}  // namespace
