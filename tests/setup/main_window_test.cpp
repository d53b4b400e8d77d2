// Setup's main window: its place, pictures, first lines, system menu, cursors and commands.
#include <gtest/gtest.h>

#include "setup_machine.h"
#include "sim/resources.h"

namespace setup_test {
namespace {

TEST(MainWindow, OpensCentredWithTheIntroLinesAndTheTimer) {
    struct Case {
        int width, height;
        LONG x, y;
    };
    const Case cases[] = {{1024, 768, 192, 144}, {800, 600, 80, 60}, {640, 480, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        SetupMachine m;
        m.ui().desktop_width = c.width;
        m.ui().desktop_height = c.height;
        m.Start();
        sim::RunResult result = m.RunFor(1000);
        ASSERT_FALSE(result.deadlocked()) << result.deadlock;
        sim::Window* main = m.MainWindow();
        ASSERT_NE(main, nullptr) << m.machine.trace().Text();
        EXPECT_TRUE(main->visible());
        EXPECT_EQ(main->rect.left, c.x);
        EXPECT_EQ(main->rect.top, c.y);
        EXPECT_EQ(main->rect.right - main->rect.left, 640);
        EXPECT_EQ(main->rect.bottom - main->rect.top, 480);
        EXPECT_EQ(m.ProgressLines(), (std::vector<std::string>{"The device driver will be installed now. ",
                                                               "It will take a few minutes to complete.",
                                                               "Please press [Install] to start ....."}));
        ASSERT_EQ(m.ui().timers.size(), 1u);
        EXPECT_EQ(m.ui().timers.begin()->second.period_ms, 100u);
    }
}

}  // namespace
}  // namespace setup_test

namespace setup_test {
namespace {

// The install view shows picture 129 when the maker's controller is present, 138 otherwise.
TEST(MainWindow, BackgroundTellsWhetherTheMakersControllerIsPresent) {
    struct Case {
        const char* name;
        std::vector<std::string> devices;
        WORD background;
    };
    const Case cases[] = {
        {"the maker's controller", {kOtherController, kOwnController}, 129},
        {"another controller only", {kOtherController}, 138},
        {"no devices", {}, 138},
        {"the ID in lower case", {"pci\\ven_5e1a&dev_0111&subsys_01115e1a"}, 138},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::DeviceOptions devices;
        for (const std::string& id : c.devices) devices.devices.push_back(SetupMachine::Controller(id));
        SetupMachine m("winxp", devices);
        m.Start();
        m.RunFor(500);
        sim::Window* background = m.Control(1010);
        ASSERT_NE(background, nullptr);
        sim::ImageDescription picture = sim::DescribeImage(m.machine, background->image);
        EXPECT_EQ(picture.resource_id(), c.background);
        EXPECT_EQ(picture.width, 640);
        EXPECT_EQ(picture.height, 480);
    }
}

// Windows 95 has no device-installation services: the search finds nothing, the window still opens.
TEST(MainWindow, OpensWithoutDeviceServices) {
    sim::DeviceOptions devices;
    devices.devices.push_back(SetupMachine::Controller(kOwnController));
    SetupMachine m("win95", devices);
    m.Start();
    m.RunFor(500);
    ASSERT_NE(m.Control(1010), nullptr);
    EXPECT_EQ(sim::DescribeImage(m.machine, m.Control(1010)->image).resource_id(), 138);
}

// The controls' places and the pictures of the speaker view hidden.
TEST(MainWindow, ControlsArePlacedAndTheSpeakerPicturesHidden) {
    SetupMachine m;
    m.Start();
    m.RunFor(500);
    struct Place {
        int id;
        RECT rect;
        bool visible;
    };
    const Place places[] = {
        {1001, {185, 125, 502, 255}, true},  {1002, {185, 270, 273, 302}, true},
        {1003, {300, 270, 388, 302}, true},  {1004, {415, 270, 503, 302}, true},
        {1009, {234, 166, 484, 341}, false}, {1011, {168, 73, 181, 87}, false},
        {1012, {138, 126, 272, 160}, false}, {1010, {0, 0, 640, 480}, true},
    };
    for (const Place& p : places) {
        SCOPED_TRACE(p.id);
        sim::Window* control = m.Control(p.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->rect.left, p.rect.left);
        EXPECT_EQ(control->rect.top, p.rect.top);
        EXPECT_EQ(control->rect.right, p.rect.right);
        EXPECT_EQ(control->rect.bottom, p.rect.bottom);
        EXPECT_EQ(control->visible(), p.visible);
    }
    EXPECT_NE(m.MainWindow()->icon_big, nullptr);
    EXPECT_EQ(m.MainWindow()->icon_big, m.MainWindow()->icon_small);
}

// System commands 16 to 31 open the About box; the window has no system-menu box, so no About item is added.
TEST(MainWindow, SystemCommandsSixteenToThirtyOneOpenTheAboutBox) {
    for (UINT command : {16u, 31u, 32u}) {
        SCOPED_TRACE(command);
        SetupMachine m;
        int about_boxes = 0;
        m.ui().WhenShown([&](sim::Window& w) {
            if (w.text != "About Setup") return;
            ++about_boxes;
            sim::UserPressKey(m.machine, w.handle, VK_ESCAPE);
        });
        m.Start();
        m.RunFor(500);
        sim::Post(m.machine, m.MainWindow()->handle, WM_SYSCOMMAND, command, 0);
        m.RunFor(500);
        EXPECT_EQ(about_boxes, command < 32 ? 1 : 0);
        EXPECT_NE(m.MainWindow(), nullptr);
        EXPECT_EQ(m.MainWindow()->system_menu, nullptr);
    }
}

}  // namespace
}  // namespace setup_test
