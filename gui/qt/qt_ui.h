// The window model drawn with Qt 6 Widgets.
//
// Every model window becomes a top-level widget: its menu bar built from the
// model's menus, and below it an inner area in which every control sits at
// its fractions (left, bottom, width, height; origin bottom left) and scales
// with the window.  Controls made later lie on top of earlier ones.
//
// The model stays the master.  After every change of the model (the
// `changed()` hook schedules it; a user's action runs it when the action
// returns) `sync()` brings the widgets in line: windows new in the model get
// widgets, changed properties are applied, windows gone from the model are
// destroyed.  A user's edit goes the other way: it is written into the model
// first (list position, button or box state, edit text) and then the
// control's action fires by name.
//
// Fonts grow and shrink with the window, in proportion to its preferred size
// in the model, so that texts keep fitting the controls they were laid out
// for; the text of a report viewer keeps its size.
#pragma once

#include "platform/ui.h"

#include <QPointer>
#include <QWidget>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class QAction;
class QMenuBar;
class QObject;

namespace kolmo::qt {

class Remembered;

class QtUi : public ui::Ui {
public:
    QtUi();
    ~QtUi() override;
    QtUi(const QtUi&) = delete;
    QtUi& operator=(const QtUi&) = delete;

    std::optional<ui::FileChoice> openFileDialog(const ui::FilterTable& filters, const std::string& title) override;
    std::optional<ui::FileChoice> saveFileDialog(const ui::FilterTable& filters, const std::string& title) override;
    bool printGraphic(ui::Handle window) override;

    // Brings the widgets in line with the model now.
    void sync();

    // Runs when the model's last window has closed (the desktop program
    // quits there).  Not called while no window was ever open.
    std::function<void()> onLastWindowClosed;

    // The widgets drawn for the model, nullptr for a handle not drawn (yet).
    QWidget* windowWidget(ui::Handle window) const;
    // The area below the menu bar in which the window's controls are placed.
    QWidget* innerArea(ui::Handle window) const;
    QWidget* controlWidget(ui::Handle control) const;
    QMenuBar* menuBar(ui::Handle window) const;
    // The menu-bar entry (a top-level menu) or the item of a menu.
    QAction* menuAction(ui::Handle menu) const;

    // What the program keeps from one run to the next (the file dialogs'
    // last folder, the plot windows' sizes); keeps nothing until told where
    // (Remembered::use).
    Remembered& remembered() { return *remembered_; }

    // A file dropped at `pos` of the window's inner area, as a drop event
    // gives it: the model's drop target takes it.  False when none does.
    bool userDrop(ui::Handle window, QPoint pos, const QString& file);
    bool acceptsDrop(ui::Handle window, QPoint pos) const;

    // Qt's own file dialogs are used when no desktop session could provide
    // its dialogs (under Xvfb, offscreen, a bare X server): the same dialog
    // every time, and one that xdotool can drive.
    static bool useQtFileDialogs();
    // The name filters of a filter table, as the file dialog takes them;
    // each shows the table's description.
    static QStringList nameFilters(const ui::FilterTable& filters);

protected:
    void changed() override;
    void wake() override;

private:
    struct ControlView;
    struct View;

    std::optional<ui::FileChoice> fileDialog(const ui::FilterTable& filters, const std::string& title, bool save);
    void userFire(ui::Handle h);
    void syncWindow(ui::Handle h, View& v);
    void syncMenus(ui::Handle h, View& v);
    void syncControl(ui::Handle h, ControlView& cv, bool fresh);
    void markButtons(View& v);
    QWidget* makeControl(ui::Handle h, ui::Kind kind, QWidget* parent);
    void place(View& v);
    void destroyView(View& v);

    std::map<ui::Handle, std::unique_ptr<View>> views_;
    std::vector<QPointer<QWidget>> doomed_; // closed windows awaiting deletion
    std::unique_ptr<QObject> context_; // receiver of the deferred syncs
    std::unique_ptr<Remembered> remembered_;
    QString lastFolder_; // of the file dialogs, this run
    bool syncQueued_ = false;
    bool syncing_ = false;
    int firing_ = 0;
    bool hadWindows_ = false;
};

} // namespace kolmo::qt
