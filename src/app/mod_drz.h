// The national migration tool window: "Kolmo - Državna transformacija D48/GK ↔
// D96/TM", opened from the main window's menu "Orodja".  It moves a point file
// or a GIS dataset between D48/GK and D96/TM with the national triangle-based
// model or a stored 7-parameter set, optionally moving heights between SVS2000
// and SVS2010, through the same call as kolmo-cli's `migrate`.
//
// The window holds the input (a file dialog, or a file dropped on the window),
// of a GIS dataset the layer to move and whether a layer without a CRS is
// refused or taken to be in the start datum, the direction, the heights, the
// column order and the decimals of point files, the method and the output.  "Transformiraj" runs the migration off the GUI thread
// (Ui::runInBackground): the progress bar follows it, "Prekini" stops it and
// leaves no output, and its end is a box with the number of points or
// features written, of points left out and of warnings (all of which
// "Shrani opozorila" saves to a file), or the error box with the cause in
// Slovene.
// Closing the window while the work runs stops it as "Prekini" does.
//
// A parameter set is chosen as "Izberi par." chooses one in the main window:
// a selection window lists the sets of the direction in the 7-parameter
// database and shows the chosen one's parameters.  The tool keeps its choice
// to itself; the main window's parameters stay as they are.
#pragma once

#include "app/appstate.h"
#include "migrate/migrate.h"
#include "platform/ui.h"

#include <atomic>
#include <exception>
#include <vector>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kolmo {

// The work the window runs: kolmo::migrate, or a stand-in in tests.
using MigrateWork = std::function<MigrateSummary(const MigrateOptions&, const MigrateProgress&)>;

class ModDrzOkno {
public:
    ModDrzOkno(ui::Ui& ui, AppState& state, MigrateWork work = migrate);
    ~ModDrzOkno();
    ModDrzOkno(const ModDrzOkno&) = delete;
    ModDrzOkno& operator=(const ModDrzOkno&) = delete;

    static constexpr const char* kMenuLabel = "Državna transformacija D48/GK ↔ D96/TM";
    static constexpr const char* kTitle = "Kolmo - Državna transformacija D48/GK ↔ D96/TM";

    ui::Handle open();
    // The tool window, 0 when it is not open.
    ui::Handle window() const;
    void setWork(MigrateWork work) { work_ = std::move(work); }
    // Whether a migration runs now.
    bool running() const { return job_ != nullptr; }

    // Registry slots (from 1) of the window's hndlList.
    enum Slot {
        VhDat = 1, Smer, Vis, RedXY, Metoda, ParIme, IzDat, Napredek, Stanje, Transformiraj, Prekini,
        Sloj, BrezCrs, Natancnost, ShraniOpozorila
    };
    // Metoda: the national model or a stored set.
    enum Method { NationalModel = 1, StoredSet = 2 };

    // The options the window's controls give (input, output, direction, ...).
    MigrateOptions options() const;

private:
    struct Job;

    void action(const std::optional<std::string>& name);
    void setInput(const std::filesystem::path& file);
    void chooseOutput();
    void saveWarnings();
    void openParWindow();
    void parAction(const std::string& name);
    void transformiraj();
    void finish(const std::shared_ptr<Job>& job);
    ui::Control& slot(int k) const;

    ui::Ui& ui_;
    AppState& s_;
    MigrateWork work_;
    ui::Handle window_ = 0;
    ui::Handle parWindow_ = 0;
    AppState parState_; // the selection window's own datap and PAR
    std::shared_ptr<Job> job_;
    std::vector<std::string> warnings_; // of the last migration, for "Shrani opozorila"
    std::shared_ptr<int> alive_ = std::make_shared<int>(0); // posted tasks check it
};

// The text of the box at the end of a migration.
std::string migrateSummaryText(const MigrateSummary& summary, const std::filesystem::path& out);

// The cause of a failed migration in the causes' language (platform/cause.h):
// in Slovene, the migration's English phrases put in Slovene around the
// paths and names they carry.
std::string migrateCause(const std::exception& e);

} // namespace kolmo
