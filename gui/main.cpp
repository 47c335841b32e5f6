// kolmo: the desktop program.  The main window's controller on the Qt
// renderer of the window model, with real boxes and file dialogs.
//
//   kolmo            opens the main window
//   kolmo FILE       opens it with FILE (a point file) read as the start file
//   kolmo <action>   runs kolmo('<action>') instead of "initialize"; with no
//                    window open afterwards the program ends at once
//   kolmo --help, kolmo --version   answer on the terminal
//   anything else    the usage on the standard error, exit status 2
//
// The program folder with the data files: platform/datadir.h.
#include "app/appstate.h"
#include "app/kolmo.h"
#include "platform/datadir.h"
#include "platform/files.h"
#include "qt/qt_dialogs.h"
#include "qt/qt_extras.h"
#include "qt/qt_ui.h"
#include "qt/translation.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QStringList>

#include <filesystem>
#include <iostream>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "Usage: kolmo [OPTION | FILE | ACTION]\n"
    "Kolmo v3.00 - the desktop program; its windows are in Slovene.\n"
    "\n"
    "Options:\n"
    "  -h, --help     Print this help message and exit\n"
    "  --version      Display program version information and exit\n"
    "\n"
    "With no argument the main window opens, with the folder the program was\n"
    "started in as its working folder.  A FILE (a point file: .pod, .txt, .csv) is\n"
    "read as the start file of the main window, its folder becoming the working\n"
    "folder.  An ACTION runs that action of the main window (as its menus do) in\n"
    "place of opening it; with no window left open the program ends at once.  The\n"
    "Qt options (-platform, -style, ...) are taken too.\n"
    "\n"
    "The batch form of the same computations is kolmo-cli.\n";

// Qt's own options that take no value: an argument list of just one of them
// is no unknown option.
bool isQtFlag(std::string_view arg)
{
    for (const char* flag : {"-reverse", "-nograb", "-dograb", "-sync", "-widgetcount"})
        if (arg == flag)
            return true;
    return arg.starts_with("-qmljsdebugger=");
}

int usageError(std::string_view arg)
{
    std::cerr << "kolmo: unknown argument '" << arg << "'\n\n" << kUsage;
    return 2;
}

// --help and --version, answered before Qt starts: they need no display.
bool answeredOnTerminal(int argc, char** argv)
{
    if (argc != 2)
        return false;
    const std::string_view arg = argv[1];
    if (arg == "-h" || arg == "--help")
        std::cout << kUsage;
    else if (arg == "--version")
        std::cout << "Kolmo v3.00\n";
    else
        return false;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (answeredOnTerminal(argc, argv))
        return 0;
    // A mistyped option is answered before any window (or display) is needed.
    if (argc == 2 && argv[1][0] == '-' && !isQtFlag(argv[1]))
        return usageError(argv[1]);
    // A session ended by a signal (logging out, a terminal closed) leaves no
    // half-written temporary file beside a results or export file.
    kolmo::platform::removeTemporariesOnSignals();
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
    // run to the next (~/.config/Kolmo/kolmo.ini).
    ui.remembered().use({});

    kolmo::AppState state;
    state.pot_prg = kolmo::platform::programDataDir();
    kolmo::Kolmo controller(ui, state);

    // QApplication has taken its own options (-style, -platform, ...) out.
    const QStringList args = QCoreApplication::arguments();
    if (args.size() > 2)
        return usageError(args.at(2).toStdString());
    const std::string arg = args.size() > 1 ? args.at(1).toStdString() : std::string();
    if (arg.empty()) {
        controller();
    } else if (kolmo::Kolmo::isAction(arg)) {
        controller(arg);
    } else if (QFileInfo(args.at(1)).isFile()) {
        controller();
        controller.openStartFile(std::filesystem::path(QFile::encodeName(args.at(1)).toStdString()));
    } else {
        return usageError(arg);
    }
    ui.sync();
    if (ui.windows().empty())
        return 0;
    return QApplication::exec();
}
