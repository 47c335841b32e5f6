#include "app/mod_drz.h"

#include "app/izberi_par.h"
#include "app/pardb.h"
#include "migrate/dataset_files.h"
#include "platform/cause.h"
#include "platform/dialogs.h"
#include "platform/files.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <new>
#include <regex>
#include <utility>

namespace kolmo {
namespace {

using ui::Align;
using ui::Kind;
using ui::Position;
using ui::Rgb;

constexpr Rgb kOzadje{0.2, 0.8, 0.6};
constexpr Rgb kOkvir{0.2, 0.7, 0.6};
constexpr Rgb kGumb{0.2, 0.6, 0.6};

const std::vector<std::string> kSmer{"D48/GK → D96/TM", "D96/TM → D48/GK"};
const std::vector<std::string> kVisine{"ohrani", "SVS2000 → SVS2010", "SVS2010 → SVS2000"};
const std::vector<std::string> kMetoda{"državni model (GURS, v4.0)", "3R: 7-parametrična iz baze"};
// A GIS layer whose file names no CRS: refused, or taken to be in the
// direction's start datum (the CLI's --assume-crs).
const std::vector<std::string> kBrezCrs{"zavrni", "privzemi začetni datum"};
// Decimals of the coordinates of a point file written (the CLI's --precision).
const std::vector<std::string> kNatancnost{"0 (m)", "1 (dm)", "2 (cm)", "3 (mm)", "4", "5", "6"};
constexpr int kDefaultPrecision = 3;

const ui::FilterTable kPointRows{{"*.pod", "Podatki (*.pod)"},
                                 {"*.txt", "Besedilni dokumenti (*.txt)"},
                                 {"*.csv", "Točke CSV (*.csv)"}};
const ui::FilterTable kGisRows{{"*.gpkg", "GeoPackage (*.gpkg)"},   {"*.shp", "Shapefile (*.shp)"},
                               {"*.geojson", "GeoJSON (*.geojson)"}, {"*.fgb", "FlatGeobuf (*.fgb)"},
                               {"*.gml", "GML (*.gml)"},             {"*.dxf", "DXF (*.dxf)"}};

ui::FilterTable inputFilters()
{
    ui::FilterTable t{{"*.pod;*.txt;*.csv;*.gpkg;*.shp;*.geojson;*.fgb;*.gml;*.dxf",
                       "Točke in sloji GIS (*.pod, *.txt, *.csv, *.gpkg, *.shp, *.geojson, *.fgb, *.gml, *.dxf)"}};
    t.insert(t.end(), kPointRows.begin(), kPointRows.end());
    t.insert(t.end(), kGisRows.begin(), kGisRows.end());
    t.emplace_back("*.*", "Vse datoteke (*.*)");
    return t;
}

// Point files are read as `transform` reads them; anything else is a dataset.
bool isPointFile(const std::filesystem::path& file)
{
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".pod" || ext == ".txt" || ext == ".csv";
}

// The save dialog offers the input's kind first: a point file is usually
// written as a point file, a layer as a layer.
ui::FilterTable outputFilters(const std::filesystem::path& input)
{
    const bool points = input.empty() || isPointFile(input);
    ui::FilterTable t = points ? kPointRows : kGisRows;
    const ui::FilterTable& rest = points ? kGisRows : kPointRows;
    t.insert(t.end(), rest.begin(), rest.end());
    t.emplace_back("*.*", "Vse datoteke (*.*)");
    return t;
}

} // namespace

struct ModDrzOkno::Job {
    std::atomic<bool> cancel{false};
    std::atomic<int> shown{-1}; // the progress last posted, in thousandths
    ui::Handle window = 0;
    MigrateOptions options;
    // Written by the work, read by `done` after it (runInBackground orders them).
    std::optional<MigrateSummary> summary;
    bool cancelled = false;
    std::exception_ptr error;
};

std::string migrateSummaryText(const MigrateSummary& summary, const std::filesystem::path& out)
{
    std::string t = "Transformacija je končana.\n";
    t += (summary.dataset ? "Zapisanih objektov: " : "Zapisanih točk: ") + std::to_string(summary.written) + '\n';
    // Points left out are counted as such, not only among the warnings.
    if (summary.leftOut > 0)
        t += "Izpuščenih točk (zunaj modela): " + std::to_string(summary.leftOut) + '\n';
    t += "Opozoril: " + std::to_string(summary.warnings.size());
    constexpr std::size_t kShown = 10;
    for (std::size_t k = 0; k < summary.warnings.size() && k < kShown; ++k)
        t += "\n- " + summary.warnings[k];
    if (summary.warnings.size() > kShown)
        t += "\n- ... in še " + std::to_string(summary.warnings.size() - kShown);
    if (summary.warnings.size() > kShown)
        t += "\n(vsa opozorila: \"Shrani opozorila\")";
    t += "\nIzhodna datoteka: " + out.string();
    return t;
}

std::string migrateCause(const std::exception& e)
{
    const platform::Language language = platform::causeLanguage();
    if (language != platform::Language::Slovene || dynamic_cast<const platform::Translated*>(&e))
        return platform::causeText(e, language);
    // The migration tells its causes in English (kolmo-cli's words); their
    // fixed phrases are put in Slovene around the paths, names and CRS
    // descriptions, which stay as they are.  A phrase not listed stays
    // English: the cause is still named.
    std::string t = e.what();
    static const std::pair<std::regex, const char*> kPhrases[] = {
        {std::regex(R"(cannot read (.+) as a GIS dataset)"), "$1 ni mogoče brati kot podatkov GIS"},
        {std::regex(R"(cannot create )"), "ni mogoče ustvariti "},
        {std::regex(R"(cannot write )"), "ni mogoče zapisati "},
        {std::regex(R"(File not found\. \()"), "Datoteke ni. ("},
        {std::regex(R"(: no point in the file)"), ": v datoteki ni nobene točke"},
        {std::regex(R"(: no layers to move)"), ": v datoteki ni slojev"},
        {std::regex(R"(: no layer )"), ": ni sloja "},
        {std::regex(R"(; its layers: )"), "; sloji v datoteki: "},
        {std::regex(R"(: no GIS format is written for the extension )"), ": ni zapisa GIS za končnico "},
        {std::regex(R"(; Kolmo writes )"), "; Kolmo zapiše "},
        {std::regex(R"( has no CRS; expected )"), " nima koordinatnega sistema; pričakovan je "},
        {std::regex(R"( \(a CRS can be assumed for it\))"), " (izberi \"Sloj brez CRS: privzemi začetni datum\")"},
        {std::regex(R"( is in the CRS )"), " je v koordinatnem sistemu "},
        {std::regex(R"(; expected )"), "; pričakovan je "},
        {std::regex(R"(^layer )"), "sloj "},
        {std::regex(R"(: layer )"), ": sloj "},
        {std::regex(R"(, layer )"), ", sloj "},
        {std::regex(R"(, geometry field )"), ", polje geometrije "},
        {std::regex(R"(, feature )"), ", objekt "},
        {std::regex(R"(point outside the model)"), "točka zunaj modela"},
        {std::regex(R"(, line (\d+)\))"), ", vrstica $1)"},
        {std::regex(R"(\) or EPSG:)"), ") ali EPSG:"},
    };
    for (const auto& [english, slovene] : kPhrases)
        t = std::regex_replace(t, english, slovene);
    return t;
}

ModDrzOkno::ModDrzOkno(ui::Ui& ui, AppState& state, MigrateWork work) : ui_(ui), s_(state), work_(std::move(work))
{
    ui_.registerHandler("mod_drz", [this](const std::optional<std::string>& a) { action(a); });
}

ModDrzOkno::~ModDrzOkno()
{
    // A work still running stops and writes nothing; what it posts finds
    // this window's controller gone.
    if (job_)
        job_->cancel = true;
}

ui::Handle ModDrzOkno::window() const { return window_ != 0 && ui_.isWindow(window_) ? window_ : 0; }

ui::Control& ModDrzOkno::slot(int k) const { return ui_.control(ui_.registered(window_, k)); }

ui::Handle ModDrzOkno::open()
{
    // One tool window at a time: it owns the work that may be running.
    if (const ui::Handle w = window()) {
        ui_.window(w).visible = true;
        return w;
    }
    // A work of a window closed meanwhile is stopped: its output was not
    // waited for.
    if (job_)
        job_->cancel = true;
    const ui::Handle win = ui_.newWindow({.title = kTitle, .tag = "slk", .color = kOzadje, .width = 640,
                                          .height = 540, .dropAction = "mod_drz('drop')"});
    const auto add = [&](ui::Control c) { return ui_.addControl(win, std::move(c)); };
    const auto frame = [&](Position p) { add({.kind = Kind::Frame, .position = p, .background = kOkvir}); };
    const auto text = [&](Position p, std::string t, Align align, bool bold = false) {
        return add({.kind = Kind::Text, .position = p, .text = std::move(t), .background = kOkvir, .align = align,
                    .bold = bold});
    };
    const auto button = [&](Position p, std::string t, std::string action, std::string tooltip, bool bold = false) {
        return add({.kind = Kind::PushButton, .position = p, .text = std::move(t), .background = kGumb,
                    .bold = bold, .tooltip = std::move(tooltip), .action = std::move(action)});
    };
    const auto popup = [&](Position p, std::vector<std::string> items, std::string tooltip, std::string action = {}) {
        return add({.kind = Kind::Popup, .position = p, .items = std::move(items), .value = 1,
                    .background = ui::kWhite, .tooltip = std::move(tooltip), .action = std::move(action)});
    };

    frame({0.05, 0.735, 0.9, 0.245});                                                           // 1
    text({0.3, 0.92, 0.4, 0.045}, "Vhodni podatki", Align::Center, true);                       // 2
    button({0.08, 0.87, 0.2, 0.045}, "Vh. datoteka", "mod_drz('VhDat')",
           "odpri točke ali sloj GIS (datoteko lahko tudi povlečeš na okno)");                  // 3
    const ui::Handle vhDat = text({0.08, 0.815, 0.84, 0.045}, "", Align::Left);                 // 4
    frame({0.05, 0.4, 0.9, 0.315});                                                            // 5
    text({0.3, 0.665, 0.4, 0.045}, "Transformacija", Align::Center, true);                      // 6
    text({0.06, 0.61, 0.18, 0.045}, "Smer", Align::Right);                                      // 7
    const ui::Handle smer = popup({0.26, 0.61, 0.25, 0.045}, kSmer, "smer transformacije",
                                  "mod_drz('smer')");                                           // 8
    text({0.53, 0.61, 0.12, 0.045}, "Višine", Align::Right);                                    // 9
    const ui::Handle vis = popup({0.67, 0.61, 0.25, 0.045}, kVisine, "višinski sistem");        // 10
    text({0.06, 0.555, 0.18, 0.045}, "Metoda", Align::Right);                                   // 11
    const ui::Handle metoda = popup({0.26, 0.555, 0.36, 0.045}, kMetoda, "model transformacije",
                                    "mod_drz('metoda')");                                       // 12
    button({0.67, 0.555, 0.14, 0.045}, "Izberi par.", "mod_drz('izberi')", "izberi parametre iz baze"); // 13
    const ui::Handle parIme = text({0.26, 0.505, 0.66, 0.045}, "", Align::Left);                 // 14
    text({0.06, 0.45, 0.18, 0.045}, "Zaporedje koord.", Align::Right);                           // 15
    const ui::Handle redXY = popup({0.26, 0.45, 0.2, 0.045}, {"x(n), y(e)", "y(e), x(n)"},
                                   "vrstni red koordinat v datotekah točk");                    // 16
    frame({0.05, 0.19, 0.9, 0.19});                                                              // 17
    text({0.3, 0.325, 0.4, 0.045}, "Rezultati", Align::Center, true);                          // 18
    button({0.08, 0.27, 0.2, 0.045}, "Izh. datoteka", "mod_drz('IzDat')",
           "izberi datoteko za zapis rezultatov");                                              // 19
    const ui::Handle izDat = text({0.08, 0.215, 0.84, 0.045}, "", Align::Left);                 // 20
    const ui::Handle napredek = add({.kind = Kind::ProgressBar, .position = {0.05, 0.135, 0.9, 0.03},
                                     .background = ui::kWhite});                                // 21
    const ui::Handle stanje = add({.kind = Kind::Text, .position = {0.05, 0.02, 0.28, 0.1}, .text = "",
                                   .background = kOzadje, .align = Align::Left});               // 22
    const ui::Handle transf = button({0.36, 0.02, 0.22, 0.08}, "Transformiraj", "mod_drz('transformiraj')",
                                     "izvede transformacijo in zapiše rezultate", true);        // 23
    const ui::Handle prekini = button({0.61, 0.02, 0.14, 0.08}, "Prekini", "mod_drz('prekini')",
                                      "prekini transformacijo; izhodna datoteka ostane nespremenjena"); // 24
    ui_.control(prekini).enabled = false;
    button({0.78, 0.02, 0.17, 0.08}, "Izhod", "mod_drz('izhod')", "zapri okno");               // 25
    // The GIS layer to move (empty: every layer) and what a layer without a
    // CRS is taken to be; the point files' decimals; the warnings of the last
    // run, saved whole.
    text({0.06, 0.76, 0.1, 0.045}, "Sloj", Align::Right);                                      // 26
    const ui::Handle sloj = add({.kind = Kind::Edit, .position = {0.17, 0.76, 0.25, 0.045},
                                 .background = ui::kWhite, .align = Align::Left,
                                 .tooltip = "ime sloja GIS, ki ga transformiraš; prazno: vsi sloji"}); // 27
    text({0.43, 0.76, 0.23, 0.045}, "Sloj brez CRS", Align::Right);                             // 28
    const ui::Handle brezCrs = popup({0.67, 0.76, 0.25, 0.045}, kBrezCrs,
                                     "sloj GIS brez zapisanega koordinatnega sistema: zavrni ga ali ga "
                                     "vzemi v začetnem datumu smeri");                          // 29
    text({0.47, 0.45, 0.19, 0.045}, "Decimalke", Align::Right);                                 // 30
    const ui::Handle natancnost = popup({0.67, 0.45, 0.25, 0.045}, kNatancnost,
                                        "število decimalk koordinat v zapisani datoteki točk"); // 31
    ui_.control(natancnost).value = kDefaultPrecision + 1;
    const ui::Handle opozorila = button({0.67, 0.27, 0.25, 0.045}, "Shrani opozorila", "mod_drz('opozorila')",
                                        "shrani vsa opozorila zadnje transformacije v datoteko"); // 32
    ui_.control(opozorila).enabled = false;

    ui_.window(win).hndlList = {vhDat, smer,   vis,    redXY,   metoda,  parIme,     izDat,     napredek,
                                stanje, transf, prekini, sloj, brezCrs, natancnost, opozorila};
    ui_.window(win).visible = true;
    window_ = win;
    return win;
}

MigrateOptions ModDrzOkno::options() const
{
    MigrateOptions o;
    o.in = slot(VhDat).userData;
    o.out = slot(IzDat).userData;
    o.from = slot(Smer).value == 2 ? MigrateFrom::Tm : MigrateFrom::Gk;
    o.order = slot(RedXY).value == 2 ? MigrateOrder::Yx : MigrateOrder::Xy;
    o.heights = slot(Vis).value == 2   ? MigrateHeights::Svs2000To2010
                : slot(Vis).value == 3 ? MigrateHeights::Svs2010To2000
                                       : MigrateHeights::Keep;
    if (slot(Metoda).value == StoredSet)
        o.paramsName = slot(ParIme).userData;
    o.layer = slot(Sloj).text;
    // Blanks typed around a layer's name are no part of it.
    o.layer.erase(0, o.layer.find_first_not_of(" \t"));
    o.layer.erase(o.layer.find_last_not_of(" \t") + 1);
    if (slot(BrezCrs).value == 2)
        o.assumeCrs = o.from == MigrateFrom::Gk ? "gk" : "tm";
    o.precision = std::clamp(slot(Natancnost).value - 1, 0, static_cast<int>(kNatancnost.size()) - 1);
    o.dataDir = s_.pot_prg;
    return o;
}

void ModDrzOkno::action(const std::optional<std::string>& name)
{
    if (!name) {
        open();
        return;
    }
    const ui::Handle win = ui_.current();
    if (win != 0 && win == parWindow_ && ui_.isWindow(win)) {
        parAction(*name);
        return;
    }
    if (win == 0 || win != window())
        return;
    try {
        if (*name == "VhDat") {
            const auto f = ui_.openFileDialog(inputFilters(), "Podatki");
            if (f)
                setInput(f->path());
        } else if (*name == "drop") {
            setInput(ui_.droppedFile());
        } else if (*name == "IzDat") {
            chooseOutput();
        } else if (*name == "smer") {
            // A stored set belongs to one direction: the other needs its own.
            slot(ParIme).text.clear();
            slot(ParIme).userData.clear();
        } else if (*name == "metoda") {
            if (slot(Metoda).value == StoredSet && slot(ParIme).userData.empty())
                openParWindow();
        } else if (*name == "izberi") {
            openParWindow();
        } else if (*name == "transformiraj") {
            transformiraj();
        } else if (*name == "prekini") {
            if (job_) {
                job_->cancel = true;
                slot(Stanje).text = "Prekinjam ...";
            }
        } else if (*name == "opozorila") {
            saveWarnings();
        } else if (*name == "izhod") {
            if (job_)
                job_->cancel = true;
            ui_.close(win);
        }
    } catch (const std::exception& e) {
        platform::errorBoxFor(e, "Nepričakovana napaka!", "Napaka");
    }
}

void ModDrzOkno::setInput(const std::filesystem::path& file)
{
    if (file.empty())
        return;
    const std::filesystem::path abs = std::filesystem::absolute(file);
    slot(VhDat).text = abs.string();
    slot(VhDat).tooltip = abs.string();
    slot(VhDat).userData = abs.string();
    // The points of a new input are not written yet.
    slot(Napredek).fraction = 0;
    slot(Stanje).text.clear();
}

void ModDrzOkno::saveWarnings()
{
    if (warnings_.empty())
        return;
    const auto f = ui_.saveFileDialog({{"*.txt", "Besedilni dokumenti (*.txt)"}, {"*.*", "Vse datoteke (*.*)"}},
                                      "Shrani opozorila");
    if (!f)
        return;
    std::string text;
    for (const std::string& w : warnings_)
        text += w + '\n';
    try {
        platform::writeFileAtomic(f->path(), text);
    } catch (const std::exception& e) {
        platform::errorBoxFor(e, platform::kWriteFailed, "Napaka");
    }
}

void ModDrzOkno::chooseOutput()
{
    const auto f = ui_.saveFileDialog(outputFilters(slot(VhDat).userData), "Shrani kot");
    if (!f)
        return;
    const std::string path = std::filesystem::absolute(f->path()).string();
    slot(IzDat).text = path;
    slot(IzDat).tooltip = path;
    slot(IzDat).userData = path;
}

// ---------------------------------------------------------------- parameters

void ModDrzOkno::openParWindow()
{
    if (parWindow_ != 0 && ui_.isWindow(parWindow_))
        ui_.close(parWindow_);
    parWindow_ = 0;
    // Into D96 the sets of direction "2", into D48 those of "1", as the main
    // window's database has them.
    const std::string tip = slot(Smer).value == 2 ? "1" : "2";
    parState_.pot_prg = s_.pot_prg;
    IzberiParWindow w;
    if (!izberi_par(parState_, tip, 7, w))
        return;

    const ui::Handle win = izberiParWindow(ui_, w, "mod_drz", "mod_drz('izberiSet')");
    parWindow_ = win;
    // The first set is shown at once, as the list shows it chosen.
    parAction("pars");
}

void ModDrzOkno::parAction(const std::string& name)
{
    const auto& hndl = ui_.window(parWindow_).hndlList;
    ui::Control& list = ui_.control(hndl[0]);
    if (name == "pars") {
        IzberiParWindow w;
        w.open = true;
        w.names = list.items;
        if (izberi_par_pars(parState_, w, list.value)) {
            ui_.control(hndl[1]).visible = true;
            ui_.control(hndl[2]).text = w.izPar;
            ui_.control(hndl[2]).visible = true;
        }
    } else if (name == "izberiSet") {
        const int k = list.value;
        const bool chosen = k >= 1 && static_cast<std::size_t>(k) <= list.items.size();
        const std::string setName = chosen ? list.items[static_cast<std::size_t>(k - 1)] : std::string();
        ui_.close(parWindow_);
        parWindow_ = 0;
        if (chosen && window() != 0) {
            slot(ParIme).text = "Parametri: " + setName;
            slot(ParIme).userData = setName;
            slot(Metoda).value = StoredSet;
        }
    } else if (name == "preklici") {
        ui_.close(parWindow_);
        parWindow_ = 0;
        if (window() != 0 && slot(ParIme).userData.empty())
            slot(Metoda).value = NationalModel;
    }
}

// ---------------------------------------------------------------- the work

void ModDrzOkno::transformiraj()
{
    if (job_)
        return;
    const MigrateOptions o = options();
    if (o.in.empty()) {
        platform::dialogs().errorBox("Izberi vhodno datoteko!", "Napaka");
        return;
    }
    if (o.out.empty()) {
        platform::dialogs().errorBox("Izberi izhodno datoteko!", "Napaka");
        return;
    }
    std::error_code ec;
    if (std::filesystem::equivalent(o.in, o.out, ec) || o.in.lexically_normal() == o.out.lexically_normal()) {
        platform::dialogs().errorBox(platform::kOutputIsInput, "Napaka", o.out.string());
        return;
    }
    if (slot(Metoda).value == StoredSet && o.paramsName.empty()) {
        platform::dialogs().errorBox("Izberi parametre!", "Ni parametrov");
        return;
    }

    auto job = std::make_shared<Job>();
    job->window = window_;
    job->options = o;
    job_ = job;
    slot(Transformiraj).enabled = false;
    slot(Prekini).enabled = true;
    slot(Napredek).fraction = 0;
    warnings_.clear();
    slot(ShraniOpozorila).enabled = false;
    slot(Stanje).text = "Transformacija teče ...";

    ui::Ui& ui = ui_;
    const std::weak_ptr<int> alive = alive_;
    MigrateWork work = work_;
    const auto run = [job, work, &ui] {
        MigrateProgress progress;
        progress.cancel = &job->cancel;
        progress.report = [job, &ui](double f) {
            const int thousandths = static_cast<int>(std::lround(std::clamp(f, 0.0, 1.0) * 1000));
            if (job->shown.exchange(thousandths) == thousandths)
                return;
            ui.post([job, &ui, f] {
                // A window closed while the work runs stops it.
                if (!ui.isWindow(job->window)) {
                    job->cancel = true;
                    return;
                }
                const ui::Handle bar = ui.registered(job->window, Napredek);
                ui.control(bar).fraction = std::clamp(f, 0.0, 1.0);
            });
        };
        try {
            job->summary = work(job->options, progress);
        } catch (const MigrateCancelled&) {
            job->cancelled = true;
        } catch (...) {
            job->error = std::current_exception();
        }
        // A work that saw the flag late still counts as stopped by it only
        // when it wrote nothing; one that finished reports its output.
    };
    ui_.runInBackground(run, [this, job, alive] {
        if (alive.expired())
            return;
        finish(job);
    });
}

void ModDrzOkno::finish(const std::shared_ptr<Job>& job)
{
    if (job_ == job)
        job_.reset();
    const bool open = window() != 0 && window_ == job->window;
    if (open) {
        slot(Transformiraj).enabled = true;
        slot(Prekini).enabled = false;
    }
    if (job->cancelled) {
        if (open) {
            slot(Napredek).fraction = 0;
            slot(Stanje).text = "Prekinjeno.";
        }
        return;
    }
    if (job->error) {
        if (open) {
            slot(Napredek).fraction = 0;
            slot(Stanje).text = "Napaka.";
        }
        try {
            std::rethrow_exception(job->error);
        } catch (const ParDbError& e) {
            platform::dialogs().errorBox(e.what(), kolmo::kParTitle, e.details());
        } catch (const std::bad_alloc& e) {
            platform::errorBoxFor(e, "Transformacija ni uspela!", "Napaka", job->options.in.string());
        } catch (const std::exception& e) {
            // The cause in the box itself, in Slovene; it names the file it
            // concerns, so the input's path goes under the details only when
            // it does not.
            const std::string cause = migrateCause(e);
            const std::string in = job->options.in.string(), out = job->options.out.string();
            const bool named = cause.find(in) != std::string::npos || cause.find(out) != std::string::npos;
            platform::dialogs().errorBox("Transformacija ni uspela!\n" + cause, "Napaka",
                                         named ? std::string() : "Vhodna datoteka: " + in);
        } catch (...) {
            platform::dialogs().errorBox("Nepričakovana napaka!", "Napaka");
        }
        return;
    }
    if (open) {
        slot(Napredek).fraction = 1;
        slot(Stanje).text = "Končano.";
        if (job->summary && job->summary->leftOut > 0)
            slot(Stanje).text += "\nIzpuščenih točk: " + std::to_string(job->summary->leftOut);
        if (job->summary) {
            warnings_ = job->summary->warnings;
            slot(ShraniOpozorila).enabled = !warnings_.empty();
        }
    }
    if (job->summary) {
        // The file as it was written (GDAL writes "a.SHP" as a.shp).
        const std::filesystem::path written =
            job->summary->dataset ? writtenFile(job->options.out) : job->options.out;
        platform::dialogs().messageBox(migrateSummaryText(*job->summary, written), "Državna transformacija");
    }
}

} // namespace kolmo
