// Error boxes, message boxes and the busy pointer of the desktop program.
//
// Both boxes return at once: they are shown without a modal loop, so the
// action that raised one finishes and the windows stay usable while the box
// is open.  A message whose text is a table (columns aligned with blanks,
// such as a point list or the matrix of an arrangement window) or too long
// for a box opens in a scrollable fixed-pitch text box instead, where the
// columns stay aligned and every line can be reached.
#pragma once

#include "platform/dialogs.h"

#include <QPointer>
#include <QWidget>

class QFileDialog;
class QFileInfo;
class QModelIndex;

#include <string_view>
#include <vector>

namespace kolmo::qt {

class QtDialogs : public platform::Dialogs {
public:
    QtDialogs() = default;
    ~QtDialogs() override;
    QtDialogs(const QtDialogs&) = delete;
    QtDialogs& operator=(const QtDialogs&) = delete;

    using Dialogs::errorBox;
    void errorBox(std::string_view message, std::string_view title, std::string_view details) override;
    void messageBox(std::string_view text, std::string_view title) override;
    // The wait pointer over every window of the program; nested brackets
    // each switch it on and off once.
    void setBusy(bool busy) override;
    void console(std::string_view text) override;

    // The boxes still open, oldest first.
    std::vector<QWidget*> openBoxes() const;

    // Whether a message text goes to the scrollable fixed-pitch box.
    static bool isTableText(std::string_view text);

private:
    void keep(QWidget* box);

    std::vector<QPointer<QWidget>> boxes_;
    int busy_ = 0;
};

// Widens the columns of Qt's own file dialog that open cut short: the places
// list, and the size, type and date of the detail view, whose name column
// takes the rest.
// The columns are written in the program's locale (QLocale's default,
// Slovene), not the session's, and Kolmo's point files named as such.
void fitFileDialog(QFileDialog& dialog);

// Kolmo's MIME type of its point files (*.pod), registered by the package.
inline constexpr const char* kPointFileMime = "application/x-kolmo-points";

// The type of a file as the file dialogs show it.
QString fileTypeText(const QFileInfo& info);

// What the file dialog's detail view shows in a size, type or date cell of
// Qt's file system model; a null text for any other cell.
QString fileColumnText(const QModelIndex& index);

} // namespace kolmo::qt
