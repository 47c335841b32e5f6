#include "app/uredi_okna.h"

#include "platform/dialogs.h"
#include "platform/cause.h"
#include "platform/errors.h"
#include "platform/numtext.h"

namespace kolmo {

namespace {

std::optional<PointSet>& target(AppState& st, UrediKind kind)
{
    return kind == Uredi2 || st.pd == "1" ? st.vhi : st.vhv;
}

} // namespace

UrediWindow urediInitialize(AppState& st, UrediKind kind, const std::string& dat, const std::string& tip,
                            const std::string& pd)
{
    st.tip = tip;
    st.pd = kind == Uredi2 ? "1" : pd;
    st.C = Mat();
    st.C1 = Mat();
    const std::optional<PointSet>& set = target(st, kind);
    if (!set)
        throw platform::Bilingual<Error>("no points to arrange", "ni točk za urejanje");
    st.C = set->koo;
    return urediOpen(kind, dat, tip, st.C);
}

bool urediUpdate(AppState& st, UrediKind kind, const std::vector<int>& S, int kot)
{
    platform::BusyBracket busy;
    std::optional<PointSet>& set = target(st, kind);
    if (!set || !uveljavi(kind, st.tip, st.C, st.C1, S, kot))
        return false;
    set->koo = st.C1;
    return true;
}

} // namespace kolmo

namespace kolmo {
namespace {

constexpr ui::Rgb kWindowColour{1, 1, 0.7};
constexpr ui::Rgb kFrameColour{1, 1, 0.6};
constexpr ui::Rgb kApplyColour{1, 1, 0.5};

const char* handlerName(UrediKind kind)
{
    switch (kind) {
    case Uredi: return "uredi";
    case Uredi2d: return "uredi2D";
    case Uredi2: return "uredi2";
    }
    return "";
}

} // namespace

UrediOkna::UrediOkna(ui::Ui& ui, AppState& state) : ui_(ui), s_(state)
{
    for (UrediKind kind : {Uredi, Uredi2d, Uredi2})
        ui_.registerHandler(handlerName(kind), [this, kind](const std::optional<std::string>& a) { action(kind, a); });
}

UrediOkna::~UrediOkna()
{
    // The opener's hook must not outlive the controllers it calls.
    if (const ui::Handle w = window())
        ui_.window(w).onClosed = nullptr;
}

ui::Handle UrediOkna::open(UrediKind kind, const std::string& dat, const std::string& tip, const std::string& pd,
                           std::function<void()> closed)
{
    const UrediWindow w = urediInitialize(s_, kind, dat, tip, pd);
    if (const ui::Handle old = window())
        ui_.close(old);

    using ui::Kind;
    using ui::Align;
    const ui::Handle win = ui_.newWindow({.title = w.title, .tag = "slk", .color = kWindowColour, .width = 720,
                                          .height = 440});
    const auto add = [&](ui::Control c) { return ui_.addControl(win, std::move(c)); };
    const auto text = [&](ui::Position p, std::string t, ui::Rgb bg, bool bold = false,
                          Align align = Align::Left) {
        return add({.kind = Kind::Text, .position = p, .text = std::move(t), .background = bg, .align = align,
                    .bold = bold});
    };
    add({.kind = Kind::Frame, .position = {0.1, 0.88, 0.5, 0.1}, .background = kFrameColour});
    text({0.13, 0.9, 0.3, 0.05}, "Urejanje podatkov iz datoteke:", kFrameColour);
    text({0.4, 0.9, 0.15, 0.05}, w.dat, kFrameColour, true);
    add({.kind = Kind::Frame,
         .position = kind == Uredi2d ? ui::Position{0.65, 0.83, 0.25, 0.15} : ui::Position{0.65, 0.73, 0.25, 0.25},
         .background = kFrameColour});
    text({0.68, 0.9, 0.15, 0.05}, "Tip koordinat:", kFrameColour);
    text({0.68, 0.86, 0.15, 0.05}, w.typeText, kFrameColour, true);
    ui::Handle angle = 0;
    if (kind != Uredi2d) {
        const ui::Handle label = text({0.68, 0.81, 0.19, 0.04}, "Format zapisa kotov:", kFrameColour, false,
                                      Align::Center);
        ui_.control(label).visible = w.angleSelector;
        angle = add({.kind = Kind::Popup, .position = {0.68, 0.76, 0.19, 0.05}, .items = angleNotations(),
                     .value = w.anglePreset, .visible = w.angleSelector, .background = ui::kWhite});
    }
    text({0.1, 0.7, 0.3, 0.05}, "Podatki 1.vrstice v datoteki:", kWindowColour);
    text({0.1, 0.65, 0.8, 0.05}, w.firstRow, kWindowColour, true);
    text({0.1, 0.55, 0.3, 0.05}, "Razvrsti podatke v stolpcih:", kWindowColour);
    std::vector<ui::Handle> selectors;
    for (std::size_t i = 0; i < w.fields.size(); ++i) {
        const double left = 0.1 + 0.11 * static_cast<double>(i);
        const ui::Handle label = text({left, 0.51, 0.1, 0.04}, std::to_string(i + 1), kWindowColour, false,
                                      Align::Center);
        ui_.control(label).visible = w.visible[i];
        selectors.push_back(add({.kind = Kind::Popup, .position = {left, 0.46, 0.1, 0.05}, .items = w.fields,
                                 .value = w.preset[i], .visible = w.visible[i], .background = ui::kWhite}));
    }
    const std::string h = handlerName(kind);
    add({.kind = Kind::PushButton, .position = {0.15, 0.3, 0.15, 0.08}, .text = "UVELJAVI",
         .background = kApplyColour, .action = h + "('update')"});
    add({.kind = Kind::PushButton, .position = {0.4, 0.3, 0.15, 0.08}, .text = "POGLED",
         .action = h + "('prikaz')"});
    add({.kind = Kind::PushButton, .position = {0.75, 0.05, 0.2, 0.08}, .text = "Izhod", .action = "close"});

    auto& hndl = ui_.window(win).hndlList;
    hndl = selectors;
    hndl.push_back(angle);
    ui_.window(win).onClosed = std::move(closed);
    ui_.window(win).visible = true;
    window_ = win;
    kind_ = kind;
    return win;
}

void UrediOkna::closeFor(const std::string& pd)
{
    if (const ui::Handle w = window(); w != 0 && (s_.pd == pd || (kind_ == Uredi2 && pd == "1")))
        ui_.close(w);
}

void UrediOkna::action(UrediKind kind, const std::optional<std::string>& name)
{
    const ui::Handle win = ui_.current();
    // Only the open window of this kind holds C and C1 of the shared state.
    if (!name || win == 0 || win != window() || kind != kind_)
        return;
    const auto& hndl = ui_.window(win).hndlList;
    if (*name == "update") {
        std::vector<int> S;
        for (std::size_t i = 0; i + 1 < hndl.size(); ++i)
            S.push_back(ui_.control(hndl[i]).value);
        const int kot = hndl.back() != 0 ? ui_.control(hndl.back()).value : 1;
        if (!urediUpdate(s_, kind, S, kot))
            platform::dialogs().errorBox("Napaka pri urejanju podatkov!", "Napaka",
                                         "Stolpcev ni bilo mogoče razvrstiti ali kotov pretvoriti; "
                                         "podatki so ostali nespremenjeni.");
    } else if (*name == "prikaz") {
        platform::dialogs().messageBox(platform::matrixText(s_.C1), "");
    }
}

} // namespace kolmo
