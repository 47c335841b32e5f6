#include "qt/qt_dialogs.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHeaderView>
#include <QLocale>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <iostream>

namespace kolmo::qt {
namespace {

// More lines than this and a plain box would outgrow the screen.
constexpr int kMaxBoxLines = 25;

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QFont fixedFont()
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (QApplication::font().pointSizeF() > 0)
        f.setPointSizeF(QApplication::font().pointSizeF());
    return f;
}

// A read-only text in a fixed-pitch font, sized to its contents up to most
// of the screen, scrollable beyond that.
QDialog* textBox(const QString& text, const QString& title)
{
    auto* box = new QDialog;
    box->setWindowTitle(title);
    auto* layout = new QVBoxLayout(box);
    auto* view = new QPlainTextEdit(box);
    view->setReadOnly(true);
    view->setUndoRedoEnabled(false);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setFont(fixedFont());
    view->setPlainText(text);
    layout->addWidget(view);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, box, &QDialog::accept);
    layout->addWidget(buttons);

    const QFontMetrics fm(view->font());
    int widest = 0;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines)
        widest = std::max(widest, fm.horizontalAdvance(line));
    const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                          : QRect(0, 0, 1024, 768);
    const int chrome = 2 * view->frameWidth() + 2 * static_cast<int>(view->document()->documentMargin()) + 24;
    const int width = std::clamp(widest + chrome + layout->contentsMargins().left() + layout->contentsMargins().right(),
                                 320, screen.width() * 4 / 5);
    const int height = std::clamp(static_cast<int>(lines.size()) * fm.lineSpacing() + chrome +
                                      buttons->sizeHint().height() + 3 * layout->spacing() +
                                      layout->contentsMargins().top() + layout->contentsMargins().bottom(),
                                  160, screen.height() * 4 / 5);
    box->resize(width, height);
    return box;
}

QRect screenArea()
{
    return QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                            : QRect(0, 0, 1024, 768);
}

// A message box as narrow as its message would break the details, which name
// a file by its whole path, over many lines: the box gets the width of their
// longest line, within reason.
void widenForDetails(QMessageBox& box, const QString& details)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    const QFontMetrics fm(box.font());
    int widest = 0;
    for (const QString& line : details.split(QLatin1Char('\n')))
        widest = std::max(widest, fm.horizontalAdvance(line));
    const int width = std::clamp(widest + 4 * fm.averageCharWidth(), 360, screenArea().width() * 3 / 5);
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

} // namespace

QString fileTypeText(const QFileInfo& info)
{
    if (info.isDir())
        return QStringLiteral("Mapa");
    const QMimeDatabase mime;
    const QMimeType type = mime.mimeTypeForFile(info);
    // Kolmo's point files, by the MIME type the package registers
    // (gui/kolmo-mime.xml); before the system knows it, by their extension.
    if (type.name() == QLatin1String(kPointFileMime) ||
        info.suffix().compare(QLatin1String("pod"), Qt::CaseInsensitive) == 0)
        return type.name() == QLatin1String(kPointFileMime) && !type.comment().isEmpty()
                   ? type.comment()
                   : QStringLiteral("Datoteka točk Kolmo");
    return type.comment().isEmpty() ? type.name() : type.comment();
}

// Qt's file system model writes sizes and dates in the system's locale (in a
// session without a Slovene one: "802 bytes", "8 Dec 2026") and folders as
// "Folder"; the dialog's columns are written again in the program's locale.
class FileColumns : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString text = fileColumnText(index);
        if (!text.isNull())
            option->text = text;
    }
};

QString fileColumnText(const QModelIndex& index)
{
    const auto* model = qobject_cast<const QFileSystemModel*>(index.model());
    if (!model || index.column() < 1 || index.column() > 3)
        return {};
    const QFileInfo info = model->fileInfo(index);
    const QLocale locale;
    switch (index.column()) {
    case 1:
        return info.isDir() ? QString(QLatin1String("")) : locale.formattedDataSize(info.size());
    case 2:
        return fileTypeText(info);
    default:
        return locale.toString(info.lastModified(), QLocale::ShortFormat);
    }
}

void fitFileDialog(QFileDialog& dialog)
{
    const QFontMetrics fm(dialog.font());
    if (auto* splitter = dialog.findChild<QSplitter*>(QStringLiteral("splitter"))) {
        const int places = fm.horizontalAdvance(QStringLiteral("Računalnik")) + 8 * fm.averageCharWidth();
        splitter->setSizes({places, std::max(places, dialog.width() - places)});
    }
    auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!tree)
        return;
    QHeaderView* header = tree->header();
    if (header->count() < 4)
        return;
    // The widest texts the columns show: sizes and dates as the file system
    // model writes them, types as long as "Besedilni dokument".
    const QLocale locale;
    for (int k = 1; k < 4; ++k)
        tree->setItemDelegateForColumn(k, new FileColumns(tree));
    const int widths[] = {
        0,
        std::max(fm.horizontalAdvance(locale.formattedDataSize(1023)),
                 fm.horizontalAdvance(locale.formattedDataSize(999 * 1024 + 1023))),
        std::max(fm.horizontalAdvance(QStringLiteral("Besedilni dokument")),
                 fm.horizontalAdvance(QStringLiteral("Datoteka točk Kolmo"))),
        fm.horizontalAdvance(locale.toString(QDateTime(QDate(2026, 12, 28), QTime(23, 59, 59)), QLocale::ShortFormat)),
    };
    const int pad = 3 * fm.averageCharWidth();
    for (int k = 1; k < 4; ++k)
        header->resizeSection(k, std::max(header->sectionSizeHint(k), widths[k] + pad));
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    // The types come from the system's file types: their columns follow
    // what each folder shows once it is read.
    if (auto* model = dialog.findChild<QFileSystemModel*>())
        QObject::connect(model, &QFileSystemModel::directoryLoaded, tree, [tree] {
            for (int k = 1; k < 4; ++k) {
                const int before = tree->header()->sectionSize(k);
                tree->resizeColumnToContents(k);
                if (tree->header()->sectionSize(k) < before)
                    tree->header()->resizeSection(k, before);
            }
        });
}

QtDialogs::~QtDialogs()
{
    while (busy_ > 0)
        setBusy(false);
    for (const QPointer<QWidget>& b : boxes_)
        delete b.data();
}

void QtDialogs::keep(QWidget* box)
{
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    boxes_.erase(std::remove_if(boxes_.begin(), boxes_.end(), [](const QPointer<QWidget>& b) { return !b; }),
                 boxes_.end());
    boxes_.emplace_back(box);
    box->show();
    box->raise();
}

void QtDialogs::errorBox(std::string_view message, std::string_view title, std::string_view details)
{
    auto* box = new QMessageBox(QMessageBox::Critical, qs(title), qs(message), QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText);
    if (!details.empty()) {
        box->setDetailedText(qs(details));
        widenForDetails(*box, qs(details));
    }
    keep(box);
}

void QtDialogs::messageBox(std::string_view text, std::string_view title)
{
    if (isTableText(text)) {
        keep(textBox(qs(text), qs(title)));
        return;
    }
    auto* box = new QMessageBox(QMessageBox::NoIcon, qs(title), qs(text), QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText);
    keep(box);
}

void QtDialogs::setBusy(bool busy)
{
    if (busy) {
        ++busy_;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (busy_ > 0) {
        --busy_;
        QApplication::restoreOverrideCursor();
    }
}

void QtDialogs::console(std::string_view text) { std::cerr << text << std::flush; }

std::vector<QWidget*> QtDialogs::openBoxes() const
{
    std::vector<QWidget*> out;
    for (const QPointer<QWidget>& b : boxes_)
        if (b)
            out.push_back(b.data());
    return out;
}

bool QtDialogs::isTableText(std::string_view text)
{
    if (text.find("  ") != std::string_view::npos || text.find('\t') != std::string_view::npos)
        return true;
    return std::count(text.begin(), text.end(), '\n') >= kMaxBoxLines;
}

} // namespace kolmo::qt
