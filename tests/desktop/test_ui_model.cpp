// The window model: handles, actions by name, closing, program start.
#include "platform/ui.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace kolmo::ui {
namespace {

TEST(UiModel, ActionTextsAreParsedStrictly)
{
    EXPECT_EQ(parseAction("kolmo('izracun')")->handler, "kolmo");
    EXPECT_EQ(*parseAction("kolmo('izracun')")->argument, "izracun");
    EXPECT_EQ(*parseAction("uredi2D('update')")->argument, "update");
    EXPECT_FALSE(parseAction("kolmo")->argument.has_value());
    EXPECT_EQ(parseAction("close")->handler, "close");
    EXPECT_EQ(*parseAction("kolmo('')")->argument, "");
    for (const char* bad : {"", "kolmo(", "kolmo('a'", "kolmo(a)", "kolmo('a'b')", "ko lmo", "kolmo('a');x"})
        EXPECT_FALSE(parseAction(bad).has_value()) << bad;
}

TEST(UiModel, ControlsAndMenusShareTheHandlesOfTheirWindowAndGoWithIt)
{
    HeadlessUi ui;
    const Handle w = ui.newWindow({.title = "A"});
    const Handle c = ui.addControl(w, {.kind = Kind::PushButton, .text = "OK"});
    const Handle m = ui.addMenu(w, {.label = "Orodja"});
    const Handle item = ui.addMenu(m, {.label = "Izhod", .action = "close"});
    EXPECT_EQ(ui.windowOf(c), w);
    EXPECT_EQ(ui.windowOf(item), w);
    EXPECT_EQ(ui.window(w).controls, std::vector<Handle>{c});
    EXPECT_EQ(ui.menu(m).items, std::vector<Handle>{item});
    EXPECT_EQ(ui.findWindow("A"), w);

    // "close" from a menu item closes the window of the item, and every
    // handle of that window stops being valid.
    ui.fire(item);
    EXPECT_FALSE(ui.exists(w));
    EXPECT_FALSE(ui.exists(c));
    EXPECT_FALSE(ui.exists(item));
    EXPECT_THROW(ui.control(c), std::out_of_range);
    EXPECT_EQ(ui.findWindow("A"), 0);
    // Handles are never reused.
    EXPECT_GT(ui.newWindow({}), item);
}

TEST(UiModel, FiringRunsTheNamedHandlerWithItsWindowCurrent)
{
    HeadlessUi ui;
    std::vector<std::string> calls;
    Handle seenCurrent = 0;
    ui.registerHandler("kolmo", [&](const std::optional<std::string>& a) {
        calls.push_back(a.value_or("<none>"));
        seenCurrent = ui.current();
    });
    const Handle w1 = ui.newWindow({});
    const Handle w2 = ui.newWindow({});
    const Handle b = ui.addControl(w2, {.kind = Kind::PushButton, .action = "kolmo('izracun')"});
    const Handle unknown = ui.addControl(w1, {.kind = Kind::PushButton, .action = "nobody('x')"});
    const Handle silent = ui.addControl(w1, {.kind = Kind::Popup});
    const auto before = ui.revision();
    ui.fire(b);
    ui.fire(unknown);
    ui.fire(silent);
    EXPECT_TRUE(ui.run("kolmo", w1));
    EXPECT_EQ(calls, (std::vector<std::string>{"izracun", "<none>"}));
    EXPECT_EQ(seenCurrent, w1);
    EXPECT_GT(ui.revision(), before);
}

TEST(UiModel, ProgramsStartWithoutAShell)
{
    // The argument reaches the program as one word: nothing after ";" runs.
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("kolmo-spawn-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path victim = dir / "x.str";
    std::ofstream(victim) << "keep";
    const fs::path out = dir / "args.txt";
    const std::string name = "a; rm " + victim.string();
    ASSERT_TRUE(spawnDetached("/bin/sh", {"-c", "printf '%s' \"$1\" > \"$2\"", "sh", name, out.string()}));
    for (int i = 0; i < 200 && !(fs::exists(out) && fs::file_size(out) > 0); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(out);
    std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(got, name);
    EXPECT_TRUE(fs::exists(victim));
    EXPECT_FALSE(spawnDetached("/nonexistent/editor", {"a"}));
    EXPECT_FALSE(spawnDetached("kolmo-no-such-program-on-path", {}));
    fs::remove_all(dir);
}

} // namespace
} // namespace kolmo::ui
