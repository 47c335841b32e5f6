// A desktop session without a screen: the main window's controller on the
// headless window model, boxes recorded, dialog answers scripted, and a
// program folder and working folders of its own under a temporary folder.
#pragma once

#include "app/kolmo.h"
#include "platform/dialogs.h"
#include "platform/ui.h"
#include "support/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace kolmo::test {

namespace fs = std::filesystem;

class Desktop : public ::testing::Test {
protected:
    platform::RecordingDialogs boxes;
    platform::ScopedDialogs scoped{boxes};
    ui::HeadlessUi ui;
    AppState s;
    std::unique_ptr<Kolmo> kolmo;
    fs::path root, start, work, oldCwd;

    void SetUp() override
    {
        oldCwd = fs::current_path();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root = fs::temp_directory_path() /
               (std::string("kolmo_desktop_") + info->name() + "_" + std::to_string(::getpid()));
        fs::remove_all(root);
        start = root / "start";
        work = root / "work";
        fs::create_directories(start);
        fs::create_directories(work);
        // The program folder is a copy: saving parameters must not touch the build's data.
        fs::copy(dataDir(), root / "prg", fs::copy_options::recursive);
        for (const char* f : {"d48_gk.pod", "d96_tm.pod", "d96_fila.pod", "d48_gk_2d.pod", "d96_tm_2d.pod"})
            fs::copy_file(examplesDir() / "local" / f, work / f);
        s.pot_prg = root / "prg";
        fs::current_path(start);
        kolmo = std::make_unique<Kolmo>(ui, s);
        (*kolmo)();
    }

    void TearDown() override
    {
        kolmo.reset();
        fs::current_path(oldCwd);
        fs::remove_all(root);
    }

    ui::Handle main() const { return kolmo->mainWindow(); }
    ui::Control& c(int slot) { return ui.control(kolmo->handle(slot)); }

    // The user clicks a control that carries this action of the main window.
    void act(const std::string& name) { ui.run("kolmo('" + name + "')", main()); }
    // The user picks entry `value` of a list (or sets a button) in a slot.
    void choose(int slot, int value)
    {
        c(slot).value = value;
        ui.fire(kolmo->handle(slot));
    }
    void answerOpen(const fs::path& file) { ui.openAnswers.push_back(ui::FileChoice{file.filename().string(), file.parent_path()}); }
    void answerSave(const fs::path& file) { ui.saveAnswers.push_back(ui::FileChoice{file.filename().string(), file.parent_path()}); }

    // Loads a point file through "Datoteka" of datum 1 or 2.
    void load(int datum, const fs::path& file)
    {
        answerOpen(file);
        act(datum == 1 ? "VhDat1" : "VhDat2");
    }

    const platform::Box& lastBox() const
    {
        static const platform::Box none{platform::Box::Message, "<no box>", ""};
        return boxes.boxes.empty() ? none : boxes.boxes.back();
    }
    static platform::Box error(const std::string& text, const std::string& title)
    {
        return {platform::Box::Error, text, title};
    }

    // A control of a window found by its text (the first one).
    ui::Handle byText(ui::Handle window, const std::string& text) const
    {
        for (ui::Handle h : ui.window(window).controls)
            if (ui.control(h).text == text)
                return h;
        return 0;
    }
    ui::Handle menuItem(const std::string& label) const
    {
        for (ui::Handle m : ui.window(main()).menus) {
            if (ui.menu(m).label == label)
                return m;
            for (ui::Handle i : ui.menu(m).items)
                if (ui.menu(i).label == label)
                    return i;
        }
        return 0;
    }

    static void write(const fs::path& file, const std::string& bytes)
    {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    static std::string read(const fs::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

} // namespace kolmo::test
