#include "app/prik_okna.h"

#include "platform/dialogs.h"
#include "plots/figure_graphic.h"
#include "plots/render/export.h"

#include <filesystem>
#include <new>

namespace kolmo {

PrikOkna::PrikOkna(ui::Ui& ui) : ui_(ui)
{
    for (const char* h : {"prik_mre", "prik_obod", "prik_odst", "prik_geoid"})
        ui_.registerHandler(h, [this](const std::optional<std::string>& a) { action(a); });
}

ui::Handle PrikOkna::open(plot::Figure figure)
{
    const ui::Handle win = ui_.newWindow({.title = figure.name, .tag = figure.tag,
                                          .color = {figure.color.r, figure.color.g, figure.color.b},
                                          .width = 900, .height = 700});
    // "Natisni" opens the print setup ("print -dsetup"); here it runs the
    // print action of the handler that the window's other items call.
    std::string owner;
    for (const plot::Menu& m : figure.menus)
        for (const plot::MenuItem& item : m.items)
            if (const auto call = ui::parseAction(item.action); call && owner.empty())
                owner = call->handler;
    for (const plot::Menu& m : figure.menus) {
        const std::string action = m.action != "print -dsetup" ? m.action
                                   : owner.empty()             ? std::string()
                                                               : owner + "('natisni')";
        const ui::Handle menu = ui_.addMenu(win, {.label = m.label, .action = action});
        for (const plot::MenuItem& item : m.items)
            ui_.addMenu(menu, {.label = item.label, .action = item.action, .separator = item.separator});
    }
    ui_.addControl(win, {.kind = ui::Kind::Graphic, .position = {0, 0, 1, 1}, .background = ui::kWhite,
                         .graphic = std::make_shared<plot::FigureGraphic>(std::move(figure))});
    ui_.window(win).visible = true;
    return win;
}

void PrikOkna::showNote(ui::Handle win, const std::string& text, const std::string& tooltip)
{
    // One note per window, in the plot's lower left corner, where the figure
    // leaves its margin (the axis label sits in the middle): the user sees
    // what was written without a box to close; the folder is the working
    // folder, the full path in the tooltip.
    for (ui::Handle h : ui_.window(win).controls)
        if (ui::Control& c = ui_.control(h); c.kind == ui::Kind::Text && c.userData == "note") {
            c.text = text;
            c.tooltip = tooltip;
            return;
        }
    ui_.addControl(win, {.kind = ui::Kind::Text, .position = {0, 0, 0.36, 0.035}, .text = text,
                         .background = ui::kWhite, .foreground = {0.25, 0.25, 0.25}, .align = ui::Align::Left,
                         .tooltip = tooltip, .userData = "note"});
}

void PrikOkna::action(const std::optional<std::string>& name)
{
    const ui::Handle win = ui_.current();
    if (!name || win == 0 || !ui_.isWindow(win))
        return;
    const plot::FigureGraphic* g = nullptr;
    for (ui::Handle h : ui_.window(win).controls)
        if (const auto& c = ui_.control(h); c.kind == ui::Kind::Graphic)
            g = dynamic_cast<const plot::FigureGraphic*>(c.graphic.get());
    if (!g)
        return;
    if (*name == "natisni") {
        ui_.printGraphic(win);
        return;
    }
    const auto format = plot::parseFormat(*name);
    if (!format || g->figure.exportName.empty())
        return;
    platform::BusyBracket busy;
    const std::filesystem::path file = plot::exportFileName(g->figure.exportName, *format);
    const std::filesystem::path path = std::filesystem::current_path() / file;
    try {
        plot::exportFigure(g->figure, path, *format);
        showNote(win, "Zapisano: " + file.string(), path.string());
    } catch (const std::exception& e) {
        platform::errorBoxFor(e, "Slike ni mogoce zapisati!", "Napaka pri izvozu");
    }
}

} // namespace kolmo
