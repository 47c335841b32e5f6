// kolmo: the main window's controller.
//
// `Kolmo` registers the action handler "kolmo" with the window model; the
// main window's controls and menu items call it as "kolmo('VhDat1')",
// "kolmo('izracun')" and so on.  Called without an action (or with
// "initialize") it builds the main window; with any other name it runs that
// action on the current main window and returns.  An unknown name does
// nothing.  The handler keeps nothing between calls beyond AppState and the
// window's controls.
//
// It also owns the controllers of the secondary windows it opens (the
// arrangement windows, the parameter windows and the report viewer), so one
// object wires the whole desktop program to a model.
//
// The working folder is the process's current folder.  `AppState::pot_prg` is
// the program folder that holds the data files (geoid models, border,
// parameter database); the folder the program was started in is remembered
// separately, for the "Delovna mapa" label and "reset".
#pragma once

#include "app/appstate.h"
#include "platform/ui.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kolmo {

class UrediOkna;
class IzberiParOkno;
class ShraniParOkno;
class ModPretOkno;
class ModIntgOkno;
class ModDrzOkno;
struct PointSet;
class PrikOkna;

// Registry slots of the main window (`hndlList`, counted from 1).
namespace slot {
inline constexpr int Meto = 1, VhDat1 = 2, IzDat = 3, VhDat2 = 4, Pot = 5, Ured1 = 6, Ured2 = 7, Helm = 9,
                     Tip1 = 10, Tip2 = 11, T1 = 16, T2 = 17, T3 = 18, PrikMenu = 19, Tip3 = 20, V1 = 22, V2 = 23,
                     V3 = 24, RedXY = 25, PrikMenu2 = 26, VisSis = 27, Count = 27;
}

class Kolmo {
public:
    Kolmo(ui::Ui& ui, AppState& state);
    ~Kolmo();
    Kolmo(const Kolmo&) = delete;
    Kolmo& operator=(const Kolmo&) = delete;

    // kolmo(action): "initialize" when there is no action.
    void operator()(const std::optional<std::string>& action = std::nullopt);

    // Whether `name` is one of the actions above ("initialize" included).
    static bool isAction(const std::string& name);
    // Reads a point file as the start file, as "Datoteka" of the start group
    // does with the file chosen (a failure shows its box).
    void openStartFile(const std::filesystem::path& file);

    // The main window, 0 before "initialize" or after it was closed.
    ui::Handle mainWindow() const;
    // The control (or menu) in registry slot `k` of the main window.
    ui::Handle handle(int k) const;

    // The results file the computation writes and "PriIz" opens; empty when
    // none was chosen.
    std::filesystem::path resultsFile() const;

    // The national migration tool window's controller.
    ModDrzOkno& drzavna() { return *modDrz_; }

    // The About text ("O programu").
    static const std::string& aboutText();

    // Name of the environment variable with the command of an external text
    // editor for "PriIz"; without it the report opens in Kolmo's own viewer.
    static constexpr const char* kEditorVariable = "KOLMO_EDITOR";

private:
    void initialize();
    void oprogramu();
    void meto();
    void pvarnik();
    void vhDat(int datum);
    void dropped(int datum);
    void loadPoints(int datum, const ui::FileChoice& file);
    void setResultsFile(const std::filesystem::path& file);
    void priVh(int datum);
    void urediDatum(int datum);
    void tip1();
    void tip2();
    void izDat();
    void radio(int first, int chosen);
    void izberi();
    void priIz();
    void shrani();
    void izracun();
    void reset();
    void plot(const std::string& which);

    void setList(int k, const std::vector<std::string>& items, int value, bool visible = true);
    int value(int k) const;
    std::string parTip() const;
    void chdir(const std::filesystem::path& folder);
    void showWorkingFolder();

    ui::Ui& ui_;
    AppState& s_;
    std::filesystem::path startFolder_;
    std::unique_ptr<UrediOkna> uredi_;
    std::unique_ptr<IzberiParOkno> izberi_;
    std::unique_ptr<ShraniParOkno> shrani_;
    std::unique_ptr<PrikOkna> prik_;
    std::unique_ptr<ModPretOkno> modPret_;
    std::unique_ptr<ModIntgOkno> modIntg_;
    std::unique_ptr<ModDrzOkno> modDrz_;
};

// Opens Kolmo's own read-only viewer of a text file (a report) in a window of
// its own; the file's bytes are taken as Windows-1250.  Throws FileError when
// the file cannot be read.
ui::Handle openTextViewer(ui::Ui& ui, const std::filesystem::path& file);

// Opens a window with the points in a scrollable table (name, then the
// columns of `koo`, each with the decimals of the point display), filled as
// the user scrolls: a million points open at once.
ui::Handle openPointTable(ui::Ui& ui, const PointSet& points, const std::string& title);

} // namespace kolmo
