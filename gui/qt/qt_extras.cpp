#include "qt/qt_extras.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QSettings>
#include <QTableView>

#include <algorithm>
#include <set>

namespace kolmo::qt {

LazyTableModel::LazyTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void LazyTableModel::setRows(std::shared_ptr<const ui::TableRows> rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int LazyTableModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !rows_)
        return 0;
    return static_cast<int>(std::min<std::size_t>(rows_->rows, static_cast<std::size_t>(INT32_MAX)));
}

int LazyTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !rows_ ? 0 : static_cast<int>(rows_->headers.size());
}

QVariant LazyTableModel::data(const QModelIndex& index, int role) const
{
    if (!rows_ || !index.isValid() || index.row() < 0 || index.column() < 0)
        return {};
    const auto r = static_cast<std::size_t>(index.row()), c = static_cast<std::size_t>(index.column());
    if (r >= rows_->rows || c >= rows_->headers.size())
        return {};
    if (role == Qt::DisplayRole)
        return rows_->cell ? QString::fromStdString(rows_->cell(r, c)) : QString();
    if (role == Qt::TextAlignmentRole) {
        const bool numeric = c < rows_->numeric.size() && rows_->numeric[c];
        return QVariant::fromValue(Qt::Alignment((numeric ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    return {};
}

QVariant LazyTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (!rows_ || role != Qt::DisplayRole || section < 0)
        return {};
    if (orientation == Qt::Horizontal)
        return static_cast<std::size_t>(section) < rows_->headers.size()
                   ? QString::fromStdString(rows_->headers[static_cast<std::size_t>(section)])
                   : QVariant();
    return section + 1;
}

QTableView* makeTableView(QWidget* parent)
{
    auto* view = new QTableView(parent);
    auto* model = new LazyTableModel(view);
    view->setModel(model);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setAlternatingRowColors(true);
    view->setWordWrap(false);
    // Fixed heights: the view never measures rows it does not show.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view->horizontalHeader()->setStretchLastSection(false);
    return view;
}

void setTableRows(QTableView* view, std::shared_ptr<const ui::TableRows> rows)
{
    static_cast<LazyTableModel*>(view->model())->setRows(std::move(rows));
    fitTableColumns(view);
}

void fitTableColumns(QTableView* view)
{
    const auto& rows = static_cast<LazyTableModel*>(view->model())->rows();
    if (!rows)
        return;
    // Widths from the header and the first rows only: measuring every row
    // of a long list is what would keep it from opening at once.
    const QFontMetrics fm(view->font());
    const std::size_t sample = std::min<std::size_t>(rows->rows, 200);
    for (std::size_t c = 0; c < rows->headers.size(); ++c) {
        int width = fm.horizontalAdvance(QString::fromStdString(rows->headers[c]));
        for (std::size_t r = 0; r < sample && rows->cell; ++r)
            width = std::max(width, fm.horizontalAdvance(QString::fromStdString(rows->cell(r, c))));
        view->setColumnWidth(static_cast<int>(c), width + 2 * fm.averageCharWidth() + 8);
    }
    view->verticalHeader()->setDefaultSectionSize(fm.height() + 4);
}

QChar mnemonicOf(const QString& marked)
{
    for (qsizetype i = 0; i + 1 < marked.size(); ++i)
        if (marked.at(i) == QLatin1Char('&')) {
            if (marked.at(i + 1) != QLatin1Char('&'))
                return marked.at(i + 1).toLower();
            ++i;
        }
    return {};
}

QStringList withMnemonics(const std::vector<std::string>& labels, const QString& reserved)
{
    std::set<QChar> taken;
    for (const QChar c : reserved)
        taken.insert(c.toLower());
    QStringList out;
    for (const std::string& label : labels) {
        const QString text = QString::fromStdString(label);
        // Word starts first, then any letter or digit.
        int chosen = -1;
        for (int pass = 0; pass < 2 && chosen < 0; ++pass)
            for (int i = 0; i < text.size(); ++i) {
                const QChar ch = text.at(i);
                if (!ch.isLetterOrNumber() || taken.count(ch.toLower()))
                    continue;
                if (pass == 0 && i > 0 && text.at(i - 1).isLetterOrNumber())
                    continue;
                chosen = i;
                break;
            }
        QString marked;
        for (int i = 0; i < text.size(); ++i) {
            if (i == chosen)
                marked += QLatin1Char('&');
            marked += text.at(i);
            if (text.at(i) == QLatin1Char('&'))
                marked += QLatin1Char('&');
        }
        if (chosen >= 0)
            taken.insert(text.at(chosen).toLower());
        out << marked;
    }
    return out;
}

Remembered::Remembered() = default;
Remembered::~Remembered()
{
    if (settings_)
        settings_->sync();
}

void Remembered::use(const QString& file)
{
    if (file.isEmpty())
        settings_ = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Kolmo"),
                                                QStringLiteral("kolmo"));
    else
        settings_ = std::make_unique<QSettings>(file, QSettings::IniFormat);
}

QString Remembered::lastFolder() const
{
    return settings_ ? settings_->value(QStringLiteral("datoteke/zadnja_mapa")).toString() : QString();
}

void Remembered::setLastFolder(const QString& folder)
{
    if (settings_)
        settings_->setValue(QStringLiteral("datoteke/zadnja_mapa"), folder);
}

namespace {

// Titles hold '/' (QSettings' group separator) and letters that INI keys
// escape: the key is the title's UTF-8 bytes in hex.
QString sizeKey(const QString& title)
{
    return QStringLiteral("okna/") + QString::fromLatin1(title.toUtf8().toHex());
}

} // namespace

std::optional<QSize> Remembered::windowSize(const QString& title) const
{
    if (!settings_)
        return std::nullopt;
    const QSize s = settings_->value(sizeKey(title)).toSize();
    if (!s.isValid() || s.width() < 100 || s.height() < 100)
        return std::nullopt;
    return s;
}

void Remembered::setWindowSize(const QString& title, QSize size)
{
    if (settings_ && size.isValid())
        settings_->setValue(sizeKey(title), size);
}

void Remembered::sync()
{
    if (settings_)
        settings_->sync();
}

} // namespace kolmo::qt
