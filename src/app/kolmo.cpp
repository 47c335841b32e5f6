#include "app/kolmo.h"

#include "app/izberi_par.h"
#include "app/izracun.h"
#include "app/mod_drz.h"
#include "app/mod_okna.h"
#include "app/pardb.h"
#include "app/prik_okna.h"
#include "app/shrani_par.h"
#include "app/uredi_okna.h"
#include "input/prebpro2d.h"
#include "input/prebpro3d1.h"
#include "input/prebsi.h"
#include "platform/cause.h"
#include "platform/cp1250.h"
#include "platform/numtext.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/textread.h"
#include "plots/prik_mre.h"
#include "plots/prik_obod.h"
#include "plots/prik_odst.h"

#include <algorithm>
#include <iterator>
#include <cstdlib>
#include <new>
#include <sstream>

namespace kolmo {
namespace {

using ui::Align;
using ui::Kind;
using ui::Position;
using ui::Rgb;

// The main window's colours.
constexpr Rgb ozadje{0.2, 0.8, 1.0}; // window background
constexpr Rgb okvir{0.2, 0.7, 1.0};  // frames, labels, radio buttons, check box
constexpr Rgb gumb{0.2, 0.6, 1.0};   // push buttons

// The coordinate type lists; an entry's position is its type code, blank
// entries keep the positions.
const std::vector<std::string> kFull{"D96/fi_la", "D96/TM", "D48/GK"};
const std::vector<std::string> kPlane{"D96/TM", "D48/GK"};
const std::vector<std::string> kD96{"D96/fi_la", "D96/TM"};
const std::vector<std::string> kD48Only{"", "", "D48/GK"};
const std::vector<std::string> kGeodeticOnly{"D96/fi_la"};
const std::vector<std::string> kTmOnly{"D96/TM"};
const std::vector<std::string> kTmAt2{"", "D96/TM"};

const std::string kResultsTooltip = "shrani rezultate izravnave v datoteko";

const ui::FilterTable kPointFilters{{"*.pod", "Podatki (*.pod)"},
                                    {"*.txt", "Besedilni dokumenti (*.txt)"},
                                    {"*.csv", "Točke CSV (*.csv)"},
                                    {"*.*", "Vse datoteke (*.*)"}};

// The value of the main window's start type list, under transformation type
// `metoda`, for points the conversion tool holds as its type `tip` on its
// ellipsoid `eli` (1 WGS-84 and 2 GRS-80 are D96, 3 Bessel is D48); 0 when
// the list has no such entry (Cartesian coordinates, D48 on the ellipsoid).
int startTypeOfTool(int metoda, int tip, int eli)
{
    const bool d48 = eli == 3, ellipsoidal = tip == 1, plane = tip == 3;
    switch (metoda) {
    case 1: return ellipsoidal && !d48 ? 1 : plane ? (d48 ? 3 : 2) : 0;
    case 2:
    case 3: return plane ? (d48 ? 2 : 1) : 0;
    case 4: return ellipsoidal && !d48 ? 1 : 0;
    case 5: return plane && !d48 ? 2 : 0;
    default: return 0;
    }
}

// Words of a command line, split at blanks (no quoting, no shell).
std::vector<std::string> commandWords(const std::string& command)
{
    std::vector<std::string> words;
    std::istringstream in(command);
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

} // namespace

Kolmo::Kolmo(ui::Ui& ui, AppState& state)
    : ui_(ui), s_(state), uredi_(std::make_unique<UrediOkna>(ui, state)),
      izberi_(std::make_unique<IzberiParOkno>(ui, state)), shrani_(std::make_unique<ShraniParOkno>(ui, state)),
      prik_(std::make_unique<PrikOkna>(ui)), modPret_(std::make_unique<ModPretOkno>(ui, state, *uredi_)),
      modIntg_(std::make_unique<ModIntgOkno>(ui, state, *prik_)),
      modDrz_(std::make_unique<ModDrzOkno>(ui, state))
{
    ui_.registerHandler("kolmo", [this](const std::optional<std::string>& a) { (*this)(a); });
    // The conversion tool reads into the shared start points: the main
    // window's start label and type then show what it holds, so that a
    // computation never takes the tool's points for the file named there.
    modPret_->onStartReplaced = [this](const ModPretOkno::Held& held) {
        if (mainWindow() == 0)
            return;
        ui::Control& label = ui_.control(handle(slot::VhDat1));
        // Points the main window has read since are not the tool's.
        if (!held.read && label.userData != held.path)
            return;
        label.text = held.name;
        label.userData = held.path;
        ui_.control(handle(slot::Ured1)).enabled = true;
        if (const int type = startTypeOfTool(value(slot::Meto), held.tip, held.eli); type > 0) {
            ui_.control(handle(slot::Tip1)).value = type;
            // The lists that follow the start type follow it here too.
            const ui::Handle current = ui_.current();
            ui_.fire(handle(slot::Tip1));
            ui_.setCurrent(current);
        }
    };
}

Kolmo::~Kolmo() = default;

const std::string& Kolmo::aboutText()
{
    static const std::string text =
        "Kolmo v3.00\n"
        "Transformacija koordinat med D48/GK in D96/TM (D96/fi_la):\n"
        "7-parametrična prostorska, 4- in 6-parametrična ravninska\n"
        "transformacija, pretvorbe D96 z geoidnimi višinami,\n"
        "baza transformacijskih parametrov.\n"
        "Rezultati v datotekah *.str (kodna stran Windows-1250).\n"
        "\n"
        "Modela geoida: izdelana iz SLO-VRP2016/Koper in SLO-VTP2024,\n"
        "© Geodetska uprava Republike Slovenije, CC BY 4.0\n"
        "(https://creativecommons.org/licenses/by/4.0/).\n"
        "Model trikotniške transformacije D48/GK ↔ D96/TM: virtualne\n"
        "vezne točke v4.0, © Geodetska uprava Republike Slovenije,\n"
        "CC BY 4.0.\n"
        "Meja države: Natural Earth, javna last.\n"
        "Viri podatkov: datoteka data/README.md.";
    return text;
}

ui::Handle Kolmo::mainWindow() const
{
    const ui::Handle w = ui_.findWindow("Kolmo v3.00");
    return w != 0 && ui_.window(w).hndlList.size() == slot::Count ? w : 0;
}

ui::Handle Kolmo::handle(int k) const
{
    return ui_.registered(mainWindow(), k);
}

int Kolmo::value(int k) const { return ui_.control(handle(k)).value; }

std::filesystem::path Kolmo::resultsFile() const
{
    if (mainWindow() == 0)
        return {};
    return ui_.control(handle(slot::IzDat)).userData;
}

void Kolmo::operator()(const std::optional<std::string>& action)
{
    const std::string a = action.value_or("initialize");
    if (a == "initialize") {
        initialize();
        return;
    }
    // Every other action works on the main window's controls.
    if (mainWindow() == 0)
        return;
    platform::BusyBracket busy;
    try {
        if (a == "oprogramu")
            oprogramu();
        else if (a == "Meto")
            meto();
        else if (a == "pvarnik")
            pvarnik();
        else if (a == "VhDat1")
            vhDat(1);
        else if (a == "PriVh1")
            priVh(1);
        else if (a == "uredi1")
            urediDatum(1);
        else if (a == "tip1")
            tip1();
        else if (a == "VhDat2")
            vhDat(2);
        else if (a == "drop1" || a == "drop2")
            dropped(a == "drop1" ? 1 : 2);
        else if (a == "tip2")
            tip2();
        else if (a == "PriVh2")
            priVh(2);
        else if (a == "uredi2")
            urediDatum(2);
        else if (a == "IzDat")
            izDat();
        else if (a == "T1" || a == "T2" || a == "T3")
            radio(slot::T1, a[1] - '0');
        else if (a == "izberi")
            izberi();
        else if (a == "V1" || a == "V2" || a == "V3")
            radio(slot::V1, a[1] - '0');
        else if (a == "PriIz")
            priIz();
        else if (a == "shrani")
            shrani();
        else if (a == "izracun")
            izracun();
        else if (a == "reset")
            reset();
        else if (a == "situacija" || a == "obod_rs" || a == "odstopanja")
            plot(a);
    } catch (const std::exception& e) {
        // What no action foresaw still ends in a box, never in a lost window.
        platform::errorBoxFor(e, "Nepričakovana napaka!", "Napaka");
    }
}

bool Kolmo::isAction(const std::string& name)
{
    static const char* const kActions[] = {
        "initialize", "oprogramu", "Meto",   "pvarnik", "VhDat1", "PriVh1", "uredi1",    "tip1",   "VhDat2",
        "drop1",      "drop2",     "tip2",   "PriVh2",  "uredi2", "IzDat",  "T1",        "T2",     "T3",
        "izberi",     "V1",        "V2",     "V3",      "PriIz",  "shrani", "izracun",   "reset",  "situacija",
        "obod_rs",    "odstopanja"};
    return std::find(std::begin(kActions), std::end(kActions), name) != std::end(kActions);
}

void Kolmo::openStartFile(const std::filesystem::path& file)
{
    if (mainWindow() == 0)
        return;
    platform::BusyBracket busy;
    const std::filesystem::path whole = std::filesystem::absolute(file).lexically_normal();
    loadPoints(1, {whole.filename().string(), whole.parent_path()});
}

void Kolmo::initialize()
{
    startFolder_ = std::filesystem::current_path();
    s_.vhi.reset();
    s_.vhv.reset();
    s_.PAR.resize(0);

    // A point file dropped on the window is the start file, on the end
    // group the end file (see the groups' frames).
    const ui::Handle win = ui_.newWindow({.title = "Kolmo v3.00", .color = ozadje, .width = 800, .height = 600,
                                          .dropAction = "kolmo('drop1')"});
    ui_.setCurrent(win);

    const ui::Handle orodja = ui_.addMenu(win, {.label = "Orodja"});
    ui_.addMenu(orodja, {.label = "Pretvorba koordinat", .action = "mod_pret"});
    ui_.addMenu(orodja, {.label = "Branje datotek Varnik", .action = "kolmo('pvarnik')"});
    ui_.addMenu(orodja, {.label = "Interpolacija modela geoida", .action = "mod_intg", .separator = true});
    ui_.addMenu(orodja, {.label = ModDrzOkno::kMenuLabel, .action = "mod_drz"});
    ui_.addMenu(orodja, {.label = "Izhod", .action = "close", .separator = true});
    const ui::Handle prikazi = ui_.addMenu(win, {.label = "Prikazi", .enabled = false});
    ui_.addMenu(prikazi, {.label = "Mreža točk", .action = "kolmo('situacija')"});
    ui_.addMenu(prikazi, {.label = "Lega mreže točk", .action = "kolmo('obod_rs')"});
    // What a surveyor judges a fit by: the residual vectors of the common points.
    ui_.addMenu(prikazi, {.label = "Odstopanja veznih točk", .action = "kolmo('odstopanja')"});
    ui_.addMenu(win, {.label = "O programu", .action = "kolmo('oprogramu')"});

    const auto add = [&](ui::Control c) { return ui_.addControl(win, std::move(c)); };
    const auto frame = [&](Position p, std::string dropAction = {}) {
        add({.kind = Kind::Frame, .position = p, .background = okvir, .dropAction = std::move(dropAction)});
    };
    const auto label = [&](Position p, std::string text, bool bold, Align align = Align::Center) {
        return add({.kind = Kind::Text, .position = p, .text = std::move(text), .background = okvir,
                    .align = align, .bold = bold});
    };
    const auto button = [&](Position p, std::string text, std::string tooltip, std::string action,
                            bool bold = false) {
        return add({.kind = Kind::PushButton, .position = p, .text = std::move(text), .background = gumb,
                    .bold = bold, .tooltip = std::move(tooltip), .action = std::move(action)});
    };
    const auto popup = [&](Position p, std::vector<std::string> items, int value, std::string tooltip,
                           std::string action = {}) {
        return add({.kind = Kind::Popup, .position = p, .items = std::move(items), .value = value,
                    .background = ui::kWhite, .tooltip = std::move(tooltip), .action = std::move(action)});
    };
    const auto radio = [&](Position p, std::string text, int value, std::string action) {
        return add({.kind = Kind::RadioButton, .position = p, .text = std::move(text), .value = value,
                    .background = okvir, .align = Align::Left, .action = std::move(action)});
    };

    frame({0.05, 0.86, 0.35, 0.12});                                                          // 1
    label({0.1, 0.92, 0.24, 0.05}, "Tip transformacije", true);                               // 2
    s_.t_tr.tip = 1;
    const ui::Handle meto = popup({0.1, 0.88, 0.24, 0.05},
                                  {"3R: 7-parametrična", "2R: 4-parametrična", "2R: 6-parametrična",
                                   "D96/fi_la -> D96/TM", "D96/TM -> D96/fi_la"},
                                  1, "", "kolmo('Meto')");                                    // 3
    frame({0.6, 0.86, 0.35, 0.12});                                                           // 4
    label({0.62, 0.92, 0.32, 0.05}, "Delovna mapa", true, Align::Left);                       // 5
    const ui::Handle pot = add({.kind = Kind::Text, .position = {0.62, 0.87, 0.3, 0.05},
                                .text = startFolder_.string(), .background = okvir, .align = Align::Left,
                                .tooltip = startFolder_.string()});                           // 6
    frame({0.05, 0.7, 0.62, 0.14}, "kolmo('drop1')");                                         // 7
    label({0.28, 0.77, 0.26, 0.05}, "Podatki - začetni datum", true);                         // 8
    button({0.08, 0.77, 0.18, 0.05}, "Datoteka", "odpri datoteko s podatki v začetnem datumu",
           "kolmo('VhDat1')");                                                                // 9
    const ui::Handle vhDat1 = label({0.08, 0.71, 0.15, 0.05}, "", false, Align::Left);        // 10
    button({0.22, 0.72, 0.04, 0.05}, "#", "prikaži koordinate v začetnem datumu", "kolmo('PriVh1')"); // 11
    const ui::Handle tip1 = popup({0.32, 0.72, 0.16, 0.05}, kFull, 1, "tip koordinat", "kolmo('tip1')"); // 12
    const ui::Handle ured1 = button({0.57, 0.73, 0.08, 0.08}, "Uredi",
                                    "uredi podatke po stolpcih in izberi zapis kotov", "kolmo('uredi1')"); // 13
    ui_.control(ured1).enabled = false;
    frame({0.05, 0.54, 0.62, 0.14}, "kolmo('drop2')");                                        // 14
    label({0.28, 0.61, 0.26, 0.05}, "Podatki - končni datum", true);                          // 15
    button({0.08, 0.61, 0.18, 0.05}, "Datoteka", "odpri datoteko s podatki v končnem datumu",
           "kolmo('VhDat2')");                                                                // 16
    const ui::Handle vhDat2 = label({0.08, 0.55, 0.15, 0.05}, "", false, Align::Left);        // 17
    button({0.22, 0.56, 0.04, 0.05}, "#", "prikaži koordinate v končnem datumu", "kolmo('PriVh2')"); // 18
    const ui::Handle tip2 = popup({0.32, 0.56, 0.16, 0.05}, kFull, 3, "tip koordinat", "kolmo('tip2')"); // 19
    const ui::Handle ured2 = button({0.57, 0.57, 0.08, 0.08}, "Uredi",
                                    "uredi podatke po stolpcih in izberi zapis kotov", "kolmo('uredi2')"); // 20
    ui_.control(ured2).enabled = false;
    frame({0.69, 0.54, 0.26, 0.3});                                                           // 21
    label({0.7, 0.77, 0.24, 0.05}, "Transf. koordinate", true);                               // 22
    const ui::Handle tip3 = popup({0.73, 0.72, 0.18, 0.05}, kD48Only, 3, "tip koordinat");    // 23
    label({0.7, 0.64, 0.24, 0.05}, "Zaporedje koord.", false);                                // 24
    const ui::Handle redXY = popup({0.75, 0.59, 0.14, 0.05}, {"x(n), y(e)", "y(e), x(n)"}, 1,
                                   "vrstni red koordinat");                                   // 25
    frame({0.69, 0.39, 0.26, 0.13});                                                          // 26
    label({0.72, 0.46, 0.2, 0.05}, "Rezultati", true);                                        // 27
    const ui::Handle izDat = button({0.73, 0.42, 0.18, 0.05}, "Datoteka", kResultsTooltip,
                                    "kolmo('IzDat')");                                        // 28
    frame({0.05, 0.18, 0.31, 0.34});                                                          // 29
    label({0.08, 0.45, 0.13, 0.05}, "Izračun", true);                                         // 30
    s_.t_tr.izr = 1;
    const ui::Handle t1 = radio({0.08, 0.4, 0.24, 0.05}, "parametrov in koordinat", 1, "kolmo('T1')"); // 31
    const ui::Handle t2 = radio({0.08, 0.34, 0.12, 0.05}, "koordinat", 0, "kolmo('T2')");     // 32
    const ui::Handle t3 = radio({0.08, 0.28, 0.22, 0.05}, "samo parametrov", 0, "kolmo('T3')"); // 33
    button({0.21, 0.34, 0.1, 0.05}, "Izberi par.", "izberi parametre iz baze", "kolmo('izberi')"); // 34
    const ui::Handle helm = add({.kind = Kind::CheckBox, .position = {0.08, 0.21, 0.25, 0.05},
                                 .text = "Helmertova transformacija", .value = 1, .background = okvir,
                                 .align = Align::Left});                                      // 35
    frame({0.38, 0.3, 0.29, 0.22});                                                           // 36
    label({0.4, 0.45, 0.25, 0.05}, "Višine v transformaciji", true);                          // 37
    s_.t_tr.vis = 1;
    const ui::Handle v1 = radio({0.41, 0.41, 0.24, 0.05}, "h=0, H=0 | H(tr)=h-N", 1, "kolmo('V1')"); // 38
    const ui::Handle v2 = radio({0.41, 0.36, 0.24, 0.05}, "h, H | H(tr)=h-N", 0, "kolmo('V2')");     // 39
    const ui::Handle v3 = radio({0.41, 0.31, 0.24, 0.05}, "h, H | H(tr)", 0, "kolmo('V3')");         // 40
    frame({0.38, 0.15, 0.29, 0.13});                                                          // 41
    label({0.39, 0.21, 0.27, 0.05}, "Višinski sistem", true);                                 // 42
    const ui::Handle visSis = popup({0.4, 0.17, 0.25, 0.05}, {"SVS2010 (Koper)", "SVS2000 (Trst)"}, 1,
                                    "visinski sistem");                                       // 43
    frame({0.69, 0.12, 0.26, 0.25});                                                          // 44
    label({0.73, 0.3, 0.18, 0.05}, "Po izračunu", true);                                      // 45
    button({0.73, 0.23, 0.18, 0.06}, "Prikaži rezultate", "prikazi datoteko z rezultati", "kolmo('PriIz')"); // 46
    button({0.73, 0.15, 0.18, 0.06}, "Shrani parametre", "shrani parametre v bazo", "kolmo('shrani')");   // 47
    button({0.4, 0.03, 0.2, 0.1}, "I Z R A Č U N A J",
           "izvede vse potrebne izracune, pripravi prikaze in zapise rezultate", "kolmo('izracun')", true); // 48
    button({0.05, 0.03, 0.15, 0.07}, "Ponastavi", "ponastavi vsa polja", "kolmo('reset')");   // 49
    button({0.8, 0.03, 0.15, 0.07}, "Izhod", "zakljuci z delom", "close");                    // 50

    std::vector<ui::Handle> hndl(slot::Count, 0);
    const auto put = [&](int k, ui::Handle h) { hndl[static_cast<std::size_t>(k - 1)] = h; };
    put(slot::Meto, meto);
    put(slot::VhDat1, vhDat1);
    put(slot::IzDat, izDat);
    put(slot::VhDat2, vhDat2);
    put(slot::Pot, pot);
    put(slot::Ured1, ured1);
    put(slot::Ured2, ured2);
    put(slot::Helm, helm);
    put(slot::Tip1, tip1);
    put(slot::Tip2, tip2);
    put(slot::T1, t1);
    put(slot::T2, t2);
    put(slot::T3, t3);
    put(slot::PrikMenu, prikazi);
    put(slot::Tip3, tip3);
    put(slot::V1, v1);
    put(slot::V2, v2);
    put(slot::V3, v3);
    put(slot::RedXY, redXY);
    put(slot::PrikMenu2, prikazi);
    put(slot::VisSis, visSis);
    ui_.window(win).hndlList = std::move(hndl);
    ui_.window(win).visible = true;
}

void Kolmo::oprogramu() { platform::dialogs().messageBox(aboutText(), "O programu"); }

void Kolmo::setList(int k, const std::vector<std::string>& items, int value, bool visible)
{
    ui::Control& c = ui_.control(handle(k));
    c.items = items;
    c.value = value;
    c.visible = visible;
}

void Kolmo::meto()
{
    s_.t_tr.tip = value(slot::Meto);
    switch (s_.t_tr.tip) {
    case 1:
        setList(slot::Tip1, kFull, 1);
        setList(slot::Tip2, kFull, 3);
        setList(slot::Tip3, kFull, 3);
        break;
    case 2:
    case 3:
        setList(slot::Tip1, kPlane, 1);
        setList(slot::Tip2, kPlane, 2);
        setList(slot::Tip3, kPlane, 2);
        break;
    case 4:
    case 5: {
        setList(slot::Tip1, s_.t_tr.tip == 4 ? kGeodeticOnly : kTmAt2, s_.t_tr.tip == 4 ? 1 : 2);
        ui::Control& end = ui_.control(handle(slot::Tip2));
        end.visible = false;
        end.value = 1;
        setList(slot::Tip3, s_.t_tr.tip == 4 ? kTmOnly : kGeodeticOnly, 1);
        break;
    }
    default:
        break;
    }
}

void Kolmo::chdir(const std::filesystem::path& folder)
{
    std::filesystem::current_path(folder);
    showWorkingFolder();
}

void Kolmo::showWorkingFolder()
{
    // A long path does not fit its label: the tooltip has it whole, and the
    // folder the program started in when that is another.
    ui::Control& pot = ui_.control(handle(slot::Pot));
    pot.text = std::filesystem::current_path().string();
    pot.tooltip = pot.text;
    if (std::filesystem::current_path() != startFolder_)
        pot.tooltip += "\nZačetna mapa: " + startFolder_.string();
}

void Kolmo::pvarnik()
{
    const int metoda = value(slot::Meto);
    const auto f = ui_.openFileDialog({{"*.pod;*.in", "Podatki (*.pod, *.in)"},
                                       {"*.txt", "Besedilni dokumenti (*.txt)"},
                                       {"*.*", "Vse datoteke (*.*)"}},
                                      "Odpri datoteko s podatki Varnik");
    if (!f)
        return;
    chdir(f->folder);
    try {
        if (metoda == 1) {
            Varnik3d v = prebpro3d1(f->path());
            s_.vhi = std::move(v.vhi);
            s_.vhv = std::move(v.vhv);
            s_.rez.emplace();
            s_.rez->tip = v.rezTip;
        } else {
            Varnik2d v = prebpro2d(f->path());
            s_.vhi = std::move(v.vhi);
            s_.vhv = std::move(v.vhv);
        }
    } catch (const std::exception& e) {
        platform::errorBoxFor(e, "Napaka v zapisu datoteke!", "Napaka pri branju datoteke");
        return;
    }
    uredi_->closeFor("1");
    uredi_->closeFor("2");
    const std::string label = f->name + " (Varnik)";
    for (int k : {slot::VhDat1, slot::VhDat2}) {
        ui_.control(handle(k)).text = label;
        ui_.control(handle(k)).userData = f->path().string();
    }
    if (metoda == 1) {
        ui::Control& a = ui_.control(handle(slot::Tip1));
        a.visible = true;
        a.value = s_.vhi->tip;
        ui::Control& b = ui_.control(handle(slot::Tip2));
        b.visible = true;
        b.value = s_.vhv->tip;
        setList(slot::Tip3, s_.vhv->tip < 3 ? kD96 : kD48Only, s_.rez->tip);
    } else {
        for (int k : {slot::Tip1, slot::Tip2, slot::Tip3})
            ui_.control(handle(k)).visible = false;
    }
    setResultsFile(std::filesystem::current_path() / varnikResultName(f->name));
}

void Kolmo::vhDat(int datum)
{
    const auto f = ui_.openFileDialog(kPointFilters, datum == 1 ? "Podatki - zacetni datum"
                                                                : "Podatki - koncni datum");
    if (f)
        loadPoints(datum, *f);
}

void Kolmo::dropped(int datum)
{
    const std::filesystem::path file = std::filesystem::absolute(ui_.droppedFile());
    if (file.empty() || !file.has_filename())
        return;
    loadPoints(datum, {file.filename().string(), file.parent_path()});
}

void Kolmo::loadPoints(int datum, const ui::FileChoice& f)
{
    // A file that cannot be read changes nothing: the points, the working
    // folder and the label stay those of the file read before, so that the
    // label, the report and the arrangement window never name a file whose
    // points are not held.
    PointSet p;
    try {
        p = prebsi(f.path());
    } catch (const std::exception& e) {
        platform::errorBoxFor(e, "Napacna oblika podatkov!", "Napaka pri branju datoteke");
        return;
    }
    chdir(f.folder);
    uredi_->closeFor(datum == 1 ? "1" : "2");
    // The label keeps the file the points came from, for the computation's
    // check that a report never replaces one of its inputs.
    ui_.control(handle(datum == 1 ? slot::VhDat1 : slot::VhDat2)).text = f.name;
    ui_.control(handle(datum == 1 ? slot::VhDat1 : slot::VhDat2)).userData = f.path().string();
    if (datum == 1) {
        s_.vhi = std::move(p);
        ui_.control(handle(slot::Ured1)).enabled = true;
        return;
    }
    s_.vhv = std::move(p);
    if (s_.t_tr.tip < 4)
        ui_.control(handle(slot::Ured2)).enabled = true;
    if (s_.t_tr.tip == 1) {
        ui::Control& end = ui_.control(handle(slot::Tip2));
        end.visible = true;
        end.value = 3;
    }
}

void Kolmo::priVh(int datum)
{
    const std::optional<PointSet>& p = datum == 1 ? s_.vhi : s_.vhv;
    if (!p) {
        platform::dialogs().errorBox(datum == 1 ? "Ni podatkov v zacetnem datumu!" : "Ni podatkov v koncnem datumu!",
                                     "Napaka");
        return;
    }
    openPointTable(ui_, *p, datum == 1 ? "Kolmo - Koordinate v začetnem datumu" : "Kolmo - Koordinate v končnem datumu");
}

void Kolmo::urediDatum(int datum)
{
    const std::string dat = ui_.control(handle(datum == 1 ? slot::VhDat1 : slot::VhDat2)).text;
    const std::string tip = std::to_string(value(datum == 1 ? slot::Tip1 : slot::Tip2));
    const std::string pd = datum == 1 ? "1" : "2";
    try {
        const UrediKind kind = s_.t_tr.tip == 2 || s_.t_tr.tip == 3 ? Uredi2d : Uredi;
        const int button = datum == 1 ? slot::Ured1 : slot::Ured2;
        // Greyed while its window is open, back when that closes with the
        // points still loaded.
        uredi_->open(kind, dat, tip, pd, [this, datum, button] {
            if (mainWindow() == 0)
                return;
            const bool loaded = datum == 1 ? s_.vhi.has_value() : s_.vhv.has_value() && s_.t_tr.tip < 4;
            ui_.control(handle(button)).enabled = loaded;
        });
        ui_.control(handle(button)).enabled = false;
    } catch (const std::exception& e) {
        platform::errorBoxFor(e, "Napaka pri urejanju podatkov!", "Napaka");
    }
}

void Kolmo::tip1()
{
    const int metoda = value(slot::Meto);
    if (metoda != 2 && metoda != 3)
        return;
    const int v = value(slot::Tip1) == 1 ? 2 : 1;
    setList(slot::Tip2, kPlane, v);
    setList(slot::Tip3, kPlane, v);
}

void Kolmo::tip2()
{
    const int metoda = value(slot::Meto);
    const int t2 = value(slot::Tip2);
    if (metoda == 1) {
        if (t2 < 3)
            setList(slot::Tip3, kD96, 2);
        else
            setList(slot::Tip3, kD48Only, 3);
    } else if (metoda == 2 || metoda == 3) {
        setList(slot::Tip3, kPlane, t2 == 1 ? 1 : 2);
    }
}

void Kolmo::izDat()
{
    const auto f = ui_.saveFileDialog({{"*.str", "Rezultati (*.str)"},
                                       {"*.txt", "Besedilni dokumenti (*.txt)"},
                                       {"*.*", "Vse datoteke (*.*)"}},
                                      "Shrani kot");
    if (!f)
        return;
    // The report goes where the user pointed, whatever the working folder.
    setResultsFile(f->path());
}

void Kolmo::radio(int first, int chosen)
{
    for (int k = 1; k <= 3; ++k)
        if (k != chosen)
            ui_.control(handle(first + k - 1)).value = 0;
    (first == slot::T1 ? s_.t_tr.izr : s_.t_tr.vis) = chosen;
}

void Kolmo::setResultsFile(const std::filesystem::path& file)
{
    // The button's own tooltip, and below it the file it writes.
    ui::Control& b = ui_.control(handle(slot::IzDat));
    b.userData = file.string();
    b.tooltip = kResultsTooltip;
    if (!file.empty()) {
        b.tooltip += '\n';
        b.tooltip += file.string();
    }
}

std::string Kolmo::parTip() const { return par_tip(value(slot::Meto), value(slot::Tip3)); }

void Kolmo::izberi()
{
    const int metoda = value(slot::Meto);
    if (metoda < 1 || metoda > 3)
        return;
    izberi_->open(parTip(), metoda == 1 ? 7 : metoda == 2 ? 4 : 6);
}

void Kolmo::shrani()
{
    const std::string tip = parTip();
    if (s_.PAR.size() == 0) {
        platform::dialogs().errorBox("Parametri se niso določeni/izbrani!", "Napaka");
        return;
    }
    shrani_->open(tip);
}

void Kolmo::priIz()
{
    const std::filesystem::path file = resultsFile();
    std::error_code ec;
    if (file.empty() || !std::filesystem::exists(file, ec)) {
        platform::dialogs().errorBox("Izberi izhodno datoteko!", "Napaka");
        return;
    }
    const char* editor = std::getenv(kEditorVariable);
    const std::vector<std::string> words = commandWords(editor ? editor : "");
    if (!words.empty()) {
        std::vector<std::string> args(words.begin() + 1, words.end());
        args.push_back(file.string());
        if (!ui_.startProgram(words.front(), args))
            platform::dialogs().errorBox("Napaka pri odpiranju urejevalnika besedil!", "Napaka",
                                         "Ukaza " + words.front() + " ni mogoče zagnati.");
        return;
    }
    try {
        openTextViewer(ui_, file);
    } catch (const std::exception& e) {
        platform::errorBoxFor(e, "Napaka pri odpiranju urejevalnika besedil!", "Napaka");
    }
}

void Kolmo::izracun()
{
    MainInputs in;
    in.data.a = platform::toCp1250(ui_.control(handle(slot::VhDat1)).text);
    in.data.b = platform::toCp1250(ui_.control(handle(slot::VhDat2)).text);
    in.workDir = std::filesystem::current_path();
    in.izhod = resultsFile().string();
    in.redXY = value(slot::RedXY);
    in.geoid = value(slot::VisSis);
    in.helm = value(slot::Helm);
    in.tip1 = value(slot::Tip1);
    in.tip2 = value(slot::Tip2);
    in.tip3 = value(slot::Tip3);
    for (int k : {slot::VhDat1, slot::VhDat2})
        if (const std::string& file = ui_.control(handle(k)).userData; !file.empty())
            in.inputs.emplace_back(file);
    const IzracunResult r = kolmo::izracun(s_, in);
    if (r.ok && r.enablePrikazi)
        ui_.menu(handle(slot::PrikMenu2)).enabled = true;
}

void Kolmo::reset()
{
    s_.vhi.reset();
    s_.vhv.reset();
    s_.rez.reset();
    uredi_->closeFor("1");
    uredi_->closeFor("2");
    ui_.control(handle(slot::Meto)).value = 1;
    s_.t_tr.tip = 1;
    for (int k : {slot::VhDat1, slot::VhDat2}) {
        ui_.control(handle(k)).text.clear();
        ui_.control(handle(k)).userData.clear();
    }
    setResultsFile({});
    chdir(startFolder_);
    ui_.control(handle(slot::Ured1)).enabled = false;
    ui_.control(handle(slot::Ured2)).enabled = false;
    ui_.control(handle(slot::Helm)).value = 1;
    s_.t_tr.helm = 1;
    setList(slot::Tip1, kFull, 1);
    setList(slot::Tip2, kFull, 3);
    setList(slot::Tip3, kD48Only, 3);
    for (int k = 0; k < 3; ++k) {
        ui_.control(handle(slot::T1 + k)).value = k == 0;
        ui_.control(handle(slot::V1 + k)).value = k == 0;
    }
    s_.t_tr.izr = 1;
    s_.t_tr.vis = 1;
    ui_.control(handle(slot::RedXY)).value = 1;
    ui_.menu(handle(slot::PrikMenu)).enabled = false;
}

void Kolmo::plot(const std::string& which)
{
    try {
        if (!s_.prik)
            throw platform::Bilingual<Error>("no plot record: compute parameters and coordinates first",
                                             "ni podatkov za prikaz: najprej izračunaj parametre in koordinate");
        prik_->open(which == "situacija" ? prik_mre(*s_.prik)
                    : which == "obod_rs" ? prik_obod(*s_.prik, loadMeja(s_.pot_prg))
                                         : prik_odst(*s_.prik));
    } catch (const std::exception& e) {
        platform::errorBoxFor(e, "Ne morem prikazati mreze tock!", "Premalo podatkov za prikaz");
    }
}

ui::Handle openTextViewer(ui::Ui& ui, const std::filesystem::path& file)
{
    const std::string text = platform::fromCp1250(platform::readFile(file));
    const ui::Handle win = ui.newWindow({.title = "Kolmo - " + file.filename().string(), .tag = "slk",
                                         .color = ui::kDefaultFace, .width = 900, .height = 700});
    ui.addControl(win, {.kind = Kind::TextView, .position = {0, 0.08, 1, 0.92}, .text = text,
                        .background = ui::kWhite, .align = Align::Left, .monospace = true});
    ui.addControl(win, {.kind = Kind::PushButton, .position = {0.84, 0.01, 0.14, 0.06}, .text = "Zapri",
                        .action = "close"});
    ui.window(win).visible = true;
    return win;
}

ui::Handle openPointTable(ui::Ui& ui, const PointSet& points, const std::string& title)
{
    // The table asks for the cells it shows; the points are kept once, as
    // numbers, and each cell is written when it comes into view.
    struct Source {
        Names ime;
        Mat koo;
        std::vector<int> decimals;
    };
    auto src = std::make_shared<Source>(Source{points.ime, points.koo, platform::matrixDecimals(points.koo)});
    auto rows = std::make_shared<ui::TableRows>();
    rows->headers.push_back("Točka");
    rows->numeric.push_back(false);
    for (Eigen::Index c = 0; c < src->koo.cols(); ++c) {
        rows->headers.push_back(std::to_string(c + 1));
        rows->numeric.push_back(true);
    }
    rows->rows = static_cast<std::size_t>(src->koo.rows());
    rows->cell = [src](std::size_t r, std::size_t c) -> std::string {
        if (c == 0)
            return r < src->ime.size() ? platform::fromCp1250(src->ime[r]) : std::string();
        char buf[64];
        const auto col = static_cast<Eigen::Index>(c - 1);
        std::snprintf(buf, sizeof buf, "%.*f", src->decimals[c - 1], src->koo(static_cast<Eigen::Index>(r), col));
        return buf;
    };
    const ui::Handle win = ui.newWindow({.title = title, .tag = "slk", .color = ui::kDefaultFace, .width = 640,
                                         .height = 600});
    ui.addControl(win, {.kind = Kind::Table, .position = {0, 0.09, 1, 0.91}, .background = ui::kWhite,
                        .monospace = true, .table = std::move(rows)});
    ui.addControl(win, {.kind = Kind::Text, .position = {0.02, 0.015, 0.5, 0.06},
                        .text = "Točk: " + std::to_string(points.koo.rows()), .align = Align::Left});
    ui.addControl(win, {.kind = Kind::PushButton, .position = {0.82, 0.015, 0.16, 0.06}, .text = "Zapri",
                        .action = "close"});
    ui.window(win).visible = true;
    return win;
}

} // namespace kolmo
