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
void fitFileDialog(QFileDialog& dialog);

} // namespace kolmo::qt
