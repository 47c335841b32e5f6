// kolmo: the desktop program.  The main window's controller on the Qt
// renderer of the window model, with real boxes and file dialogs.
//
//   kolmo            opens the main window
//   kolmo <action>   runs kolmo('<action>') instead of "initialize"; with no
//                    window open afterwards the program ends at once
#include "app/appstate.h"
#include "app/kolmo.h"
#include "qt/qt_dialogs.h"
#include "qt/qt_extras.h"
#include "qt/qt_ui.h"
#include "qt/translation.h"

#include <QApplication>
#include <QIcon>
#include <QStringList>

#include <filesystem>
#include <optional>
#include <string>

namespace {

// The program folder's data files (geoid models, border, parameter
// database) lie in data/ beside the executable, in the build and installed.
std::filesystem::path programDataDir()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return std::filesystem::current_path() / "data";
    return exe.parent_path() / "data";
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setApplicationName(QStringLiteral("Kolmo"));
    QApplication::setApplicationVersion(QStringLiteral("3.00"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kolmo"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/kolmo/kolmo.png")));
    // Qt's own texts (file dialogs, message box buttons) and the causes under
    // the error boxes' details in Slovene, before the first window.
    kolmo::qt::installSlovene(app);
    // The model decides when the program ends: when its last window closes,
    // whatever boxes are still open.
    QApplication::setQuitOnLastWindowClosed(false);

    kolmo::qt::QtDialogs dialogs;
    const kolmo::platform::ScopedDialogs useDialogs(dialogs);
    kolmo::qt::QtUi ui;
    ui.onLastWindowClosed = [] { QCoreApplication::quit(); };
    // The file dialogs' last folder and the plot windows' sizes, from one
    // run to the next (~/.config/Kolmo/kolmo.conf).
    ui.remembered().use({});

    kolmo::AppState state;
    state.pot_prg = programDataDir();
    kolmo::Kolmo controller(ui, state);

    // QApplication has taken its own options (-style, -platform, ...) out.
    const QStringList args = QCoreApplication::arguments();
    if (args.size() > 1)
        controller(args.at(1).toStdString());
    else
        controller();
    ui.sync();
    if (ui.windows().empty())
        return 0;
    return QApplication::exec();
}
