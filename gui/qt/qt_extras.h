// Pieces of the Qt renderer beyond the plain controls: the lazy table of a
// Table control, the keyboard mnemonics of the menus and the settings that
// the desktop program keeps from one run to the next.
#pragma once

#include "platform/ui.h"

#include <QAbstractTableModel>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QSettings;
class QTableView;
class QWidget;

namespace kolmo::qt {

// A table model over ui::TableRows: Qt asks for the cells of the rows in
// view, and only those are written.
class LazyTableModel : public QAbstractTableModel {
public:
    explicit LazyTableModel(QObject* parent = nullptr);
    void setRows(std::shared_ptr<const ui::TableRows> rows);
    const std::shared_ptr<const ui::TableRows>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::shared_ptr<const ui::TableRows> rows_;
};

// A read-only table view with fixed row heights (so that a million rows
// scroll without measuring any of them) over a LazyTableModel.
QTableView* makeTableView(QWidget* parent);
// Shows `rows` in a view made by makeTableView; the columns get the width
// of their header and of the first rows' cells.
void setTableRows(QTableView* view, std::shared_ptr<const ui::TableRows> rows);
// The columns' widths and the rows' height anew, for the view's font.
void fitTableColumns(QTableView* view);

// Menu labels with a keyboard mnemonic each ("&Orodja"), as Qt marks them:
// for every label the first letter not yet taken by an earlier label of the
// same menu, at the start of a word when there is one.  A label keeps its
// own '&' as a literal one.  Labels with no free letter get none.  The
// letters of `taken` (lower case) are not given: those of the menu bar when
// the labels are a window's push buttons.
QStringList withMnemonics(const std::vector<std::string>& labels, const QString& taken = {});

// The mnemonic letter of a marked label (lower case), a null QChar for none.
QChar mnemonicOf(const QString& marked);

// What the desktop program remembers between runs: the last folder of the
// file dialogs and the size of each plot window, by its title.  Backed by a
// QSettings (INI file); without one nothing is kept.
class Remembered {
public:
    Remembered();
    ~Remembered();
    Remembered(const Remembered&) = delete;
    Remembered& operator=(const Remembered&) = delete;

    // Keeps the settings in `file` (INI).  An empty name: the user's usual
    // place (~/.config/Kolmo/kolmo.ini).
    void use(const QString& file);
    bool active() const { return settings_ != nullptr; }

    QString lastFolder() const;
    void setLastFolder(const QString& folder);
    std::optional<QSize> windowSize(const QString& title) const;
    void setWindowSize(const QString& title, QSize size);
    void sync();

private:
    std::unique_ptr<QSettings> settings_;
};

} // namespace kolmo::qt
