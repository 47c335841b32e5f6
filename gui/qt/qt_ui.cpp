#include "qt/qt_ui.h"

#include "platform/dialogs.h"
#include "qt/plot_widget.h"
#include "qt/qt_dialogs.h"
#include "qt/qt_extras.h"
#include "plots/render/export.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QProgressBar>
#include <QTableView>
#include <QUrl>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace kolmo::qt {
namespace {

using ui::Handle;
using ui::Kind;

// A window opened with no preferred size in the model.
constexpr int kDefaultWidth = 640, kDefaultHeight = 480;
// Below this the scaled fonts stop shrinking: a tiny window clips its texts
// rather than showing unreadable ones.
constexpr int kSmallestFontPixels = 8;

QString qs(const std::string& s) { return QString::fromStdString(s); }

// '&' marks a keyboard shortcut in Qt's button and menu texts; the model's
// texts are shown as they are.
QString literal(const std::string& s) { return qs(s).replace(QLatin1Char('&'), QStringLiteral("&&")); }

QColor colour(const ui::Rgb& c)
{
    const auto part = [](double v) { return static_cast<float>(std::clamp(v, 0.0, 1.0)); };
    return QColor::fromRgbF(part(c[0]), part(c[1]), part(c[2]));
}

// The control's rectangle inside an inner area of `size`: edges rounded to
// whole pixels, so that neighbouring controls meet without gaps.
QRect placement(const ui::Position& p, QSize size)
{
    const double w = size.width(), h = size.height();
    const int x0 = static_cast<int>(std::lround(p.left * w));
    const int x1 = static_cast<int>(std::lround((p.left + p.width) * w));
    const int y0 = static_cast<int>(std::lround((1.0 - p.bottom - p.height) * h));
    const int y1 = static_cast<int>(std::lround((1.0 - p.bottom) * h));
    return {x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)};
}

Qt::Alignment horizontal(ui::Align a)
{
    switch (a) {
    case ui::Align::Left: return Qt::AlignLeft;
    case ui::Align::Right: return Qt::AlignRight;
    case ui::Align::Center: break;
    }
    return Qt::AlignHCenter;
}

// One line sits in the middle of its label; several lines (a parameter
// display) start at the top, where the eye looks for the first one.
Qt::Alignment labelAlignment(const ui::Control& c)
{
    return horizontal(c.align) | (c.text.find('\n') != std::string::npos ? Qt::AlignTop : Qt::AlignVCenter);
}

QString buttonStyle(const QColor& bg, const QColor& fg)
{
    const auto mix = [](const QColor& a, const QColor& b, double t) {
        return QColor::fromRgbF(static_cast<float>(a.redF() * (1 - t) + b.redF() * t),
                                static_cast<float>(a.greenF() * (1 - t) + b.greenF() * t),
                                static_cast<float>(a.blueF() * (1 - t) + b.blueF() * t));
    };
    return QStringLiteral("QPushButton { background-color: %1; color: %2; border: 1px solid %3;"
                          " border-radius: 3px; padding: 0px 2px; }"
                          "QPushButton:hover { background-color: %4; }"
                          "QPushButton:pressed { background-color: %5; }"
                          "QPushButton:focus { border: 1px solid %6; }"
                          "QPushButton:disabled { color: %7; border-color: %8; }")
        .arg(bg.name(), fg.name(), bg.darker(160).name(), bg.lighter(110).name(), bg.darker(125).name(),
             mix(bg, QColor(Qt::black), 0.8).name(), mix(fg, bg, 0.55).name(), bg.darker(125).name());
}

// Colours go into the palette roles the Fusion style paints each kind of
// widget with.  Backgrounds hold in every colour group (a disabled button
// keeps its colour); texts only in the active ones, so a disabled control
// still shows its text greyed out.
void applyColours(QWidget* w, const ui::Control& c)
{
    QPalette p = w->palette();
    const QColor bg = colour(c.background), fg = colour(c.foreground);
    const auto text = [&](QPalette::ColorRole role) {
        p.setColor(QPalette::Active, role, fg);
        p.setColor(QPalette::Inactive, role, fg);
    };
    switch (c.kind) {
    case Kind::Frame:
    case Kind::Text:
    case Kind::RadioButton:
    case Kind::CheckBox:
        p.setColor(QPalette::Window, bg);
        text(QPalette::WindowText);
        // Buttons fill with the Button role; these boxes are flat labels.
        w->setBackgroundRole(QPalette::Window);
        w->setAutoFillBackground(true);
        break;
    case Kind::PushButton:
        p.setColor(QPalette::Button, bg);
        text(QPalette::ButtonText);
        // Fusion pales and desaturates a button's colour (a strong blue
        // comes out nearly white-blue), so the face is drawn from a style
        // sheet in the colour itself.
        w->setStyleSheet(buttonStyle(bg, fg));
        break;
    case Kind::Popup:
        p.setColor(QPalette::Button, bg);
        p.setColor(QPalette::Base, bg);
        text(QPalette::ButtonText);
        text(QPalette::Text);
        break;
    case Kind::Edit:
    case Kind::TextView:
        p.setColor(QPalette::Base, bg);
        text(QPalette::Text);
        break;
    case Kind::Graphic:
        // The figure paints its own background.
        break;
    case Kind::ProgressBar:
        p.setColor(QPalette::Base, bg);
        p.setColor(QPalette::Highlight, QColor::fromRgbF(0.2f, 0.6f, 0.4f));
        text(QPalette::Text);
        break;
    case Kind::Table:
        p.setColor(QPalette::Base, bg);
        text(QPalette::Text);
        break;
    }
    w->setPalette(p);
}

QFont fixedFont()
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFont app = QApplication::font();
    if (app.pointSizeF() > 0)
        f.setPointSizeF(app.pointSizeF());
    else if (app.pixelSize() > 0)
        f.setPixelSize(app.pixelSize());
    return f;
}

// The font of a control at `pixels` (0: the application's size).  A text
// view keeps the application's size: a bigger viewer is for more columns,
// not bigger ones.
QFont controlFont(const ui::Control& c, int pixels)
{
    QFont f = c.monospace || c.kind == Kind::TextView ? fixedFont() : QApplication::font();
    f.setBold(c.bold);
    if (pixels > 0 && c.kind != Kind::TextView)
        f.setPixelSize(pixels);
    return f;
}

// The largest font, from the window's `pixels` down to three quarters of
// it, at which the control's text fits into `width` x `height` pixels.  The
// layouts were drawn for the narrow fonts of another desktop; the wider
// fonts here would otherwise clip a few labels or run under a neighbour.
int fittingFont(const ui::Control& c, const QWidget* w, int pixels, int height, int width)
{
    if (c.text.empty())
        return pixels;
    int room = width;
    switch (c.kind) {
    case Kind::Text:
        room -= 3 + 1; // the label's indent on its aligned side
        break;
    case Kind::PushButton:
        room -= 2 * (1 + 2) + 2; // border and padding of the button's style sheet
        break;
    case Kind::RadioButton:
        room -= w->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, w) +
                w->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, w) + 2;
        break;
    case Kind::CheckBox:
        room -= w->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w) +
                w->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w) + 2;
        break;
    default:
        return pixels;
    }
    const QStringList lines = qs(c.text).split(QLatin1Char('\n'));
    const int smallest = std::max(kSmallestFontPixels, static_cast<int>(std::lround(pixels * 0.75)));
    for (int p = pixels; p > smallest; --p) {
        const QFontMetrics fm(controlFont(c, p));
        int widest = 0;
        for (const QString& l : lines)
            widest = std::max(widest, fm.horizontalAdvance(l));
        const int tall = lines.size() == 1 ? fm.height() : static_cast<int>(lines.size()) * fm.lineSpacing();
        if (widest <= room && tall <= height)
            return p;
    }
    return smallest;
}

// A one-line text longer than its room even at the smallest font (a folder's
// path) loses its middle, "/home/ana/…/ljubljana", rather than its end, and
// shows itself whole in the tooltip unless the control has a tooltip of its
// own.
void elideLabel(QLabel* label, const ui::Control& c, int width)
{
    const QString full = qs(c.text);
    QString shown = full;
    const int room = width - 3 - 1 - 2; // the indent on the aligned side and the frame
    if (!full.contains(QLatin1Char('\n')) && room > 0) {
        const QFontMetrics fm(label->font());
        if (fm.horizontalAdvance(full) > room)
            shown = fm.elidedText(full, Qt::ElideMiddle, room);
    }
    if (label->text() != shown)
        label->setText(shown);
    const QString tip = c.tooltip.empty() && shown != full ? full : qs(c.tooltip);
    if (label->toolTip() != tip)
        label->setToolTip(tip);
}

// The one local file a drag carries, or an empty string.
QString draggedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile())
        return {};
    return data->urls().front().toLocalFile();
}

// A window showing a plot, whose size is remembered.
bool isPlotWindow(const ui::Ui& ui, Handle win)
{
    if (!ui.isWindow(win))
        return false;
    const auto& controls = ui.window(win).controls;
    return std::any_of(controls.begin(), controls.end(),
                       [&](Handle c) { return ui.control(c).kind == Kind::Graphic; });
}

// A top-level window: its close box closes the window in the model, and a
// file dragged over it goes to the model's drop target under the pointer.
class TopWindow : public QWidget {
public:
    std::function<void()> onClose;
    std::function<bool(QPoint)> canDrop;             // position in the window
    std::function<void(QPoint, const QString&)> onDrop;

    TopWindow() { setAcceptDrops(true); }

protected:
    void closeEvent(QCloseEvent* e) override
    {
        e->accept();
        if (onClose)
            onClose();
    }
    void dragEnterEvent(QDragEnterEvent* e) override { judge(e); }
    void dragMoveEvent(QDragMoveEvent* e) override { judge(e); }
    void dropEvent(QDropEvent* e) override
    {
        const QString file = draggedFile(e->mimeData());
        if (file.isEmpty() || !onDrop) {
            e->ignore();
            return;
        }
        e->acceptProposedAction();
        onDrop(e->position().toPoint(), file);
    }

private:
    void judge(QDropEvent* e)
    {
        if (!draggedFile(e->mimeData()).isEmpty() && canDrop && canDrop(e->position().toPoint()))
            e->acceptProposedAction();
        else
            e->ignore();
    }
};

// The area below the menu bar; every resize places the controls anew.
class InnerArea : public QWidget {
public:
    using QWidget::QWidget;
    std::function<void()> onResize;

protected:
    void resizeEvent(QResizeEvent* e) override
    {
        QWidget::resizeEvent(e);
        if (onResize)
            onResize();
    }
};

// Files matched by a glob of the filter table.  "*.*" is the table's way of
// saying every file, also one without an extension.
QString globs(const std::string& pattern)
{
    QStringList out;
    for (const QString& g : qs(pattern).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString t = g.trimmed();
        if (!t.isEmpty())
            out << (t == QLatin1String("*.*") ? QStringLiteral("*") : t);
    }
    return out.join(QLatin1Char(' '));
}

// The extension of a filter's first glob ("*.str" -> "str"); empty when
// it names no single extension ("*.*", "*").
QString extension(const std::string& pattern)
{
    const QString first = globs(pattern).section(QLatin1Char(' '), 0, 0);
    const QString ext = first.startsWith(QLatin1String("*.")) ? first.mid(2) : QString();
    return ext.contains(QLatin1Char('*')) || ext.contains(QLatin1Char('?')) || ext.contains(QLatin1Char('['))
               ? QString()
               : ext;
}

std::filesystem::path localPath(const QString& s) { return std::filesystem::path(QFile::encodeName(s).toStdString()); }

} // namespace

struct QtUi::ControlView {
    QPointer<QWidget> widget;
    ui::Control shown; // the properties last applied
    // The font last applied: pixel size, bold, fixed pitch.
    int fontPixels = -1;
    bool fontBold = false, fontMonospace = false;
};

struct QtUi::View {
    Handle handle = 0;
    QPointer<TopWindow> top;
    QVBoxLayout* layout = nullptr;
    InnerArea* inner = nullptr;
    QPointer<QMenuBar> bar;
    std::string menuShape;
    std::map<Handle, QPointer<QAction>> menuActions;
    std::map<Handle, ControlView> controls;
    ui::Window shown;
    bool fresh = true;
    bool everShown = false;
    int fontPixels = 0;
};

QtUi::QtUi() : context_(std::make_unique<QObject>()), remembered_(std::make_unique<Remembered>()) {}

QtUi::~QtUi()
{
    // Works still running post to context_: they end first.
    joinBackground();
    context_.reset(); // no more deferred syncs
    for (auto& [h, v] : views_) {
        if (v->top) {
            v->top->onClose = nullptr;
            delete v->top.data();
        }
    }
    views_.clear();
    for (const QPointer<QWidget>& w : doomed_)
        delete w.data();
}

void QtUi::changed()
{
    // While a user's action runs, the widgets wait for it to finish: the
    // action may be building a window.  userFire() syncs afterwards.
    if (firing_ > 0 || syncQueued_ || syncing_ || !context_)
        return;
    syncQueued_ = true;
    QMetaObject::invokeMethod(
        context_.get(), [this] {
            if (syncQueued_)
                sync();
        },
        Qt::QueuedConnection);
}

void QtUi::wake()
{
    // From a work's thread: the posted tasks run on the GUI thread, in the
    // event loop, as a user's action would.
    QMetaObject::invokeMethod(
        context_.get(), [this] {
            ++firing_;
            runPosted();
            --firing_;
            if (firing_ == 0)
                sync();
        },
        Qt::QueuedConnection);
}

bool QtUi::acceptsDrop(Handle win, QPoint pos) const
{
    const QWidget* inner = innerArea(win);
    if (!inner || inner->width() <= 0 || inner->height() <= 0)
        return false;
    return dropTarget(win, pos.x() / double(inner->width()), 1.0 - pos.y() / double(inner->height())) != 0;
}

bool QtUi::userDrop(Handle win, QPoint pos, const QString& file)
{
    const QWidget* inner = innerArea(win);
    if (!inner || inner->width() <= 0 || inner->height() <= 0)
        return false;
    ++firing_;
    bool taken = false;
    try {
        taken = dropFile(win, pos.x() / double(inner->width()), 1.0 - pos.y() / double(inner->height()),
                         localPath(file));
    } catch (const std::exception& e) {
        platform::dialogs().errorBox("Nepričakovana napaka!", "Napaka", e.what());
    }
    --firing_;
    if (firing_ == 0)
        sync();
    return taken;
}

void QtUi::userFire(Handle h)
{
    ++firing_;
    try {
        fire(h);
    } catch (const std::exception& e) {
        // An action that lets an exception out still ends in a box, never
        // in a lost program.
        platform::errorBoxFor(e, "Nepričakovana napaka!", "Napaka");
    }
    --firing_;
    if (firing_ == 0)
        sync();
}

void QtUi::sync()
{
    if (syncing_)
        return;
    syncing_ = true;
    syncQueued_ = false;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{syncing_};

    for (auto it = views_.begin(); it != views_.end();) {
        if (!isWindow(it->first)) {
            destroyView(*it->second);
            it = views_.erase(it);
        } else {
            ++it;
        }
    }
    const std::vector<Handle> open = windows();
    for (Handle h : open) {
        auto& v = views_[h];
        if (!v) {
            v = std::make_unique<View>();
            v->handle = h;
        }
        syncWindow(h, *v);
    }
    if (!open.empty()) {
        hadWindows_ = true;
    } else if (hadWindows_) {
        hadWindows_ = false;
        if (onLastWindowClosed)
            onLastWindowClosed();
    }
}

void QtUi::destroyView(View& v)
{
    if (!v.top)
        return;
    v.top->onClose = nullptr;
    v.inner->onResize = nullptr;
    v.top->hide();
    // Later: the window may be the sender of the signal whose action closed it.
    v.top->deleteLater();
    doomed_.erase(std::remove_if(doomed_.begin(), doomed_.end(), [](const QPointer<QWidget>& w) { return !w; }),
                  doomed_.end());
    doomed_.emplace_back(v.top.data());
}

void QtUi::syncWindow(Handle h, View& v)
{
    const ui::Window& w = window(h);
    if (v.fresh) {
        v.top = new TopWindow;
        v.layout = new QVBoxLayout(v.top);
        v.layout->setContentsMargins(0, 0, 0, 0);
        v.layout->setSpacing(0);
        v.inner = new InnerArea(v.top);
        v.inner->setAutoFillBackground(true);
        v.layout->addWidget(v.inner);
        v.inner->onResize = [this, h] {
            if (const auto it = views_.find(h); it != views_.end()) {
                place(*it->second);
                // A plot window opens next time at the size the user gave it.
                if (it->second->everShown && isPlotWindow(*this, h))
                    remembered_->setWindowSize(qs(window(h).title), it->second->top->size());
            }
        };
        v.top->onClose = [this, h] {
            if (isWindow(h))
                close(h);
        };
        v.top->canDrop = [this, h](QPoint p) {
            const auto it = views_.find(h);
            return isWindow(h) && it != views_.end() && acceptsDrop(h, it->second->inner->mapFrom(it->second->top, p));
        };
        v.top->onDrop = [this, h](QPoint p, const QString& file) {
            const auto it = views_.find(h);
            if (isWindow(h) && it != views_.end())
                userDrop(h, it->second->inner->mapFrom(it->second->top.data(), p), file);
        };
    }
    if (v.fresh || w.title != v.shown.title)
        v.top->setWindowTitle(qs(w.title));
    if (v.fresh || w.color != v.shown.color) {
        for (QWidget* area : {static_cast<QWidget*>(v.top), static_cast<QWidget*>(v.inner)}) {
            QPalette p = area->palette();
            p.setColor(QPalette::Window, colour(w.color));
            area->setPalette(p);
        }
    }
    syncMenus(h, v);

    bool added = false;
    for (Handle c : w.controls) {
        auto [it, isNew] = v.controls.try_emplace(c);
        if (isNew) {
            it->second.widget = makeControl(c, control(c).kind, v.inner);
            added = true;
        }
        syncControl(c, it->second, isNew);
    }
    if (added) {
        // Creation order is stacking order: later controls lie on top.
        for (Handle c : w.controls)
            v.controls[c].widget->raise();
    }
    markButtons(v);
    place(v);

    if (v.fresh || w.visible != v.shown.visible) {
        if (w.visible) {
            if (!v.everShown) {
                const int width = w.width > 0 ? w.width : kDefaultWidth;
                const int height = w.height > 0 ? w.height : kDefaultHeight;
                v.top->resize(width, height + (v.bar ? v.bar->sizeHint().height() : 0));
                if (isPlotWindow(*this, h))
                    if (const auto size = remembered_->windowSize(qs(w.title)))
                        v.top->resize(*size);
                v.everShown = true;
            }
            v.top->show();
            place(v);
        } else {
            v.top->hide();
        }
    }
    v.shown = w;
    v.fresh = false;
}

void QtUi::syncMenus(Handle h, View& v)
{
    const ui::Window& w = window(h);
    // The menus' structure: rebuilt when it changes, labels and states are
    // updated in place.
    std::string shape;
    for (Handle m : w.menus) {
        shape += std::to_string(m) + '(';
        for (Handle i : menu(m).items)
            shape += std::to_string(i) + (menu(i).separator ? "s," : ",");
        shape += ')';
    }
    if (v.fresh || shape != v.menuShape) {
        v.menuShape = shape;
        v.menuActions.clear();
        if (v.bar) {
            // Later: the menu bar may hold the action that is running.
            v.bar->hide();
            v.bar->deleteLater();
            v.bar = nullptr;
        }
        v.layout->setMenuBar(nullptr);
        if (!w.menus.empty()) {
            auto* bar = new QMenuBar(v.top);
            for (Handle m : w.menus) {
                const ui::Menu& top = menu(m);
                QAction* a = nullptr;
                if (top.items.empty()) {
                    // A menu without items acts when clicked, like a button.
                    a = bar->addAction(QString());
                    QObject::connect(a, &QAction::triggered, context_.get(), [this, m] { userFire(m); });
                } else {
                    QMenu* sub = bar->addMenu(QString());
                    a = sub->menuAction();
                    for (Handle i : top.items) {
                        if (menu(i).separator)
                            sub->addSeparator();
                        QAction* item = sub->addAction(QString());
                        QObject::connect(item, &QAction::triggered, context_.get(), [this, i] { userFire(i); });
                        v.menuActions[i] = item;
                    }
                }
                v.menuActions[m] = a;
            }
            v.layout->setMenuBar(bar);
            v.bar = bar;
        }
    }
    // Keyboard mnemonics from the labels, each menu's own (Alt+O opens
    // "Orodja"); the model's texts stay as they are.
    std::map<Handle, QString> texts;
    const auto mark = [&](const std::vector<Handle>& level) {
        std::vector<std::string> labels;
        for (Handle m : level)
            labels.push_back(menu(m).label);
        const QStringList marked = withMnemonics(labels);
        for (std::size_t k = 0; k < level.size(); ++k)
            texts[level[k]] = marked[static_cast<qsizetype>(k)];
    };
    mark(w.menus);
    for (Handle m : w.menus)
        mark(menu(m).items);
    for (auto& [m, a] : v.menuActions) {
        if (!a || !isMenu(m))
            continue;
        const ui::Menu& mm = menu(m);
        const QString& text = texts[m];
        if (a->text() != text)
            a->setText(text);
        if (a->isEnabled() != mm.enabled)
            a->setEnabled(mm.enabled);
    }
}

void QtUi::markButtons(View& v)
{
    // Alt+letter presses a push button as it opens a menu: each button gets
    // a letter of its label that no menu of the bar and no other button has.
    QString taken;
    for (const auto& [m, a] : v.menuActions)
        if (a && isMenu(m) && std::find(window(v.handle).menus.begin(), window(v.handle).menus.end(), m) !=
                                  window(v.handle).menus.end())
            if (const QChar c = mnemonicOf(a->text()); !c.isNull())
                taken += c;
    std::vector<std::string> labels;
    std::vector<QPushButton*> buttons;
    for (Handle c : window(v.handle).controls) {
        const ui::Control& ctl = control(c);
        if (ctl.kind != Kind::PushButton || !ctl.visible || ctl.text.empty())
            continue;
        if (auto* b = qobject_cast<QPushButton*>(v.controls[c].widget.data())) {
            labels.push_back(ctl.text);
            buttons.push_back(b);
        }
    }
    const QStringList marked = withMnemonics(labels, taken);
    for (std::size_t k = 0; k < buttons.size(); ++k)
        if (buttons[k]->text() != marked[static_cast<qsizetype>(k)])
            buttons[k]->setText(marked[static_cast<qsizetype>(k)]);
}

QWidget* QtUi::makeControl(Handle h, Kind kind, QWidget* parent)
{
    QObject* ctx = context_.get();
    switch (kind) {
    case Kind::Frame:
        return new QWidget(parent);
    case Kind::Text: {
        auto* l = new QLabel(parent);
        l->setTextFormat(Qt::PlainText);
        l->setIndent(3);
        return l;
    }
    case Kind::Edit: {
        auto* e = new QLineEdit(parent);
        // Every keystroke reaches the model; the action runs on Enter or
        // when the field is left after a change.
        QObject::connect(e, &QLineEdit::textEdited, ctx, [this, h](const QString& t) {
            if (!isControl(h))
                return;
            control(h).text = t.toStdString();
            touch();
        });
        QObject::connect(e, &QLineEdit::editingFinished, ctx, [this, h] {
            if (isControl(h))
                userFire(h);
        });
        return e;
    }
    case Kind::Popup: {
        auto* c = new QComboBox(parent);
        // activated: the user's choice only, never a change made by sync().
        QObject::connect(c, &QComboBox::activated, ctx, [this, h](int index) {
            if (!isControl(h))
                return;
            control(h).value = index + 1;
            userFire(h);
        });
        return c;
    }
    case Kind::PushButton: {
        auto* b = new QPushButton(parent);
        b->setAutoDefault(false);
        QObject::connect(b, &QPushButton::clicked, ctx, [this, h] {
            if (isControl(h))
                userFire(h);
        });
        return b;
    }
    case Kind::RadioButton:
    case Kind::CheckBox: {
        QAbstractButton* b = kind == Kind::CheckBox ? static_cast<QAbstractButton*>(new QCheckBox(parent))
                                                    : static_cast<QAbstractButton*>(new QRadioButton(parent));
        // A radio button toggles like a box; the window's action keeps its
        // group exclusive.
        b->setAutoExclusive(false);
        b->setCheckable(true);
        QObject::connect(b, &QAbstractButton::clicked, ctx, [this, h](bool checked) {
            if (!isControl(h))
                return;
            control(h).value = checked ? 1 : 0;
            userFire(h);
        });
        return b;
    }
    case Kind::Graphic:
        return new PlotWidget(parent);
    case Kind::ProgressBar: {
        auto* bar = new QProgressBar(parent);
        bar->setRange(0, 1000);
        bar->setTextVisible(false);
        return bar;
    }
    case Kind::Table:
        return makeTableView(parent);
    case Kind::TextView: {
        auto* t = new QPlainTextEdit(parent);
        t->setReadOnly(true);
        t->setUndoRedoEnabled(false);
        // Reports are columns aligned with blanks: never wrap them.
        t->setLineWrapMode(QPlainTextEdit::NoWrap);
        t->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        return t;
    }
    }
    return new QWidget(parent);
}

void QtUi::syncControl(Handle h, ControlView& cv, bool fresh)
{
    const ui::Control& c = control(h);
    const ui::Control& old = cv.shown;
    QWidget* w = cv.widget;
    if (!w)
        return;
    if (fresh || c.tooltip != old.tooltip)
        w->setToolTip(qs(c.tooltip));
    if (fresh || c.enabled != old.enabled)
        w->setEnabled(c.enabled);
    if (fresh || c.background != old.background || c.foreground != old.foreground)
        applyColours(w, c);

    const bool textChanged = fresh || c.text != old.text;
    switch (c.kind) {
    case Kind::Frame:
        break;
    case Kind::Text: {
        auto* l = static_cast<QLabel*>(w);
        if (textChanged)
            l->setText(qs(c.text));
        if (textChanged || c.align != old.align)
            l->setAlignment(labelAlignment(c));
        break;
    }
    case Kind::Edit: {
        auto* e = static_cast<QLineEdit*>(w);
        // Compared with the field itself: what the user typed is already in
        // the model and must not be set back (the cursor would jump).
        if (e->text() != qs(c.text))
            e->setText(qs(c.text));
        if (fresh || c.align != old.align)
            e->setAlignment(horizontal(c.align) | Qt::AlignVCenter);
        break;
    }
    case Kind::Popup: {
        auto* box = static_cast<QComboBox*>(w);
        if (fresh || c.items != old.items) {
            const QSignalBlocker block(box);
            box->clear();
            // Blank entries stay: a list's positions are its type codes.
            for (const std::string& item : c.items)
                box->addItem(qs(item));
            // The open list shows whole entries (names of parameter sets
            // run longer than the field).
            box->view()->setMinimumWidth(box->view()->sizeHintForColumn(0) + 2 * box->view()->frameWidth() +
                                         box->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, box));
        }
        const int index = c.value >= 1 && c.value <= box->count() ? c.value - 1 : -1;
        if (box->currentIndex() != index) {
            const QSignalBlocker block(box);
            box->setCurrentIndex(index);
        }
        break;
    }
    case Kind::PushButton:
        if (textChanged)
            static_cast<QPushButton*>(w)->setText(literal(c.text));
        break;
    case Kind::RadioButton:
    case Kind::CheckBox: {
        auto* b = static_cast<QAbstractButton*>(w);
        if (textChanged)
            b->setText(literal(c.text));
        if (b->isChecked() != (c.value != 0))
            b->setChecked(c.value != 0);
        break;
    }
    case Kind::TextView:
        if (textChanged)
            static_cast<QPlainTextEdit*>(w)->setPlainText(qs(c.text));
        break;
    case Kind::ProgressBar: {
        auto* bar = static_cast<QProgressBar*>(w);
        const int value = static_cast<int>(std::lround(std::clamp(c.fraction, 0.0, 1.0) * 1000));
        if (bar->value() != value)
            bar->setValue(value);
        break;
    }
    case Kind::Table: {
        auto* view = static_cast<QTableView*>(w);
        if (static_cast<LazyTableModel*>(view->model())->rows() != c.table)
            setTableRows(view, c.table);
        break;
    }
    case Kind::Graphic: {
        auto* plotWidget = static_cast<PlotWidget*>(w);
        const auto g = std::dynamic_pointer_cast<plot::FigureGraphic>(c.graphic);
        if (plotWidget->graphic() != g)
            plotWidget->setGraphic(g);
        break;
    }
    }
    if (fresh || c.visible != old.visible)
        w->setVisible(c.visible);
    cv.shown = c;
}

void QtUi::place(View& v)
{
    if (!v.inner || !isWindow(v.handle))
        return;
    const QSize size = v.inner->size();
    if (!v.everShown || size.isEmpty())
        return;
    const ui::Window& w = window(v.handle);

    // The window's font follows its size against the size it was laid out for.
    const double prefW = w.width > 0 ? w.width : kDefaultWidth;
    const double prefH = w.height > 0 ? w.height : kDefaultHeight;
    const double scale = std::min(size.width() / prefW, size.height() / prefH);
    const int base = QFontInfo(QApplication::font()).pixelSize();
    v.fontPixels = std::max(kSmallestFontPixels, static_cast<int>(std::lround(base * scale)));

    std::vector<QRect> rects;
    rects.reserve(w.controls.size());
    for (Handle h : w.controls)
        rects.push_back(placement(control(h).position, size));
    for (std::size_t i = 0; i < w.controls.size(); ++i) {
        const Handle h = w.controls[i];
        ControlView& cv = v.controls[h];
        if (!cv.widget)
            continue;
        const ui::Control& c = control(h);
        const QRect& r = rects[i];
        cv.widget->setGeometry(r);

        // The part of a left-aligned text that later controls leave uncovered
        // on its line: there its text must fit.
        int visible = r.width();
        if (c.align == ui::Align::Left || c.kind == Kind::RadioButton || c.kind == Kind::CheckBox) {
            const int line = r.center().y();
            for (std::size_t j = i + 1; j < w.controls.size(); ++j) {
                const QRect& o = rects[j];
                if (control(w.controls[j]).visible && o.top() <= line && o.bottom() >= line && o.left() > r.left() &&
                    o.left() <= r.right())
                    visible = std::min(visible, o.left() - r.left());
            }
        }
        const int pixels = fittingFont(c, cv.widget, v.fontPixels, r.height(), visible);
        if (pixels != cv.fontPixels || c.bold != cv.fontBold || c.monospace != cv.fontMonospace) {
            cv.widget->setFont(controlFont(c, pixels));
            if (c.kind == Kind::Table)
                fitTableColumns(static_cast<QTableView*>(cv.widget.data()));
            cv.fontPixels = pixels;
            cv.fontBold = c.bold;
            cv.fontMonospace = c.monospace;
        }
        if (c.kind == Kind::Text)
            elideLabel(static_cast<QLabel*>(cv.widget.data()), c, visible);
    }
}

QWidget* QtUi::windowWidget(Handle window) const
{
    const auto it = views_.find(window);
    return it == views_.end() ? nullptr : it->second->top.data();
}

QWidget* QtUi::innerArea(Handle window) const
{
    const auto it = views_.find(window);
    return it == views_.end() || !it->second->top ? nullptr : it->second->inner;
}

QMenuBar* QtUi::menuBar(Handle window) const
{
    const auto it = views_.find(window);
    return it == views_.end() ? nullptr : it->second->bar.data();
}

QWidget* QtUi::controlWidget(Handle control) const
{
    if (!isControl(control))
        return nullptr;
    const auto it = views_.find(windowOf(control));
    if (it == views_.end())
        return nullptr;
    const auto c = it->second->controls.find(control);
    return c == it->second->controls.end() ? nullptr : c->second.widget.data();
}

QAction* QtUi::menuAction(Handle menu) const
{
    if (!isMenu(menu))
        return nullptr;
    const auto it = views_.find(windowOf(menu));
    if (it == views_.end())
        return nullptr;
    const auto a = it->second->menuActions.find(menu);
    return a == it->second->menuActions.end() ? nullptr : a->second.data();
}

bool QtUi::useQtFileDialogs()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return true;
    // A desktop session (GNOME, KDE, ...) names itself here; its platform
    // theme or portal provides the dialogs users know from other programs.
    return qEnvironmentVariableIsEmpty("XDG_CURRENT_DESKTOP");
}

QStringList QtUi::nameFilters(const ui::FilterTable& filters)
{
    // Qt reads the globs from the last parentheses of a filter; the table's
    // description goes before them and HideNameFilterDetails shows only it.
    // A description such as "Podatki (*.pod, *.in)" could not be read for
    // its globs itself.
    QStringList out;
    for (const auto& [pattern, description] : filters)
        out << qs(description) + QStringLiteral(" (") + globs(pattern) + QLatin1Char(')');
    return out;
}

std::optional<ui::FileChoice> QtUi::openFileDialog(const ui::FilterTable& filters, const std::string& title)
{
    return fileDialog(filters, title, false);
}

std::optional<ui::FileChoice> QtUi::saveFileDialog(const ui::FilterTable& filters, const std::string& title)
{
    return fileDialog(filters, title, true);
}

std::optional<ui::FileChoice> QtUi::fileDialog(const ui::FilterTable& filters, const std::string& title, bool save)
{
    // The folder of the last file chosen, in this run or an earlier one.
    QString folder = lastFolder_.isEmpty() ? remembered_->lastFolder() : lastFolder_;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::currentPath();
    QFileDialog dialog(windowWidget(current()), qs(title), folder);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog, useQtFileDialogs());
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    // Qt's own dialog opens small enough to cut its columns short.
    dialog.resize(dialog.sizeHint().expandedTo(QSize(760, 480)));
    fitFileDialog(dialog);
    const QStringList names = nameFilters(filters);
    if (!names.isEmpty())
        dialog.setNameFilters(names);
    if (save) {
        // A name typed without an extension gets the chosen filter's one
        // ("rezultati" -> "rezultati.str"), as users of the filter expect.
        // The dialog names a filter by its full text or, with the details
        // hidden, by the description alone.
        const auto suffixOf = [&filters, &names](const QString& filter) {
            for (std::size_t i = 0; i < filters.size(); ++i)
                if (filter == names[static_cast<qsizetype>(i)] || filter == qs(filters[i].second))
                    return extension(filters[i].first);
            return QString();
        };
        dialog.setDefaultSuffix(suffixOf(dialog.selectedNameFilter()));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, suffixOf](const QString& f) { dialog.setDefaultSuffix(suffixOf(f)); });
    }
    // The action's busy pointer does not belong over a dialog waiting for
    // the user.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int result = dialog.exec();
    QApplication::restoreOverrideCursor();
    if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QFileInfo chosen(dialog.selectedFiles().constFirst());
    lastFolder_ = chosen.absolutePath();
    remembered_->setLastFolder(lastFolder_);
    return ui::FileChoice{chosen.fileName().toStdString(), localPath(chosen.absolutePath())};
}

} // namespace kolmo::qt

namespace kolmo::qt {

bool QtUi::printGraphic(Handle win)
{
    std::shared_ptr<plot::FigureGraphic> g;
    if (isWindow(win))
        for (Handle h : window(win).controls)
            if (const auto& c = control(h); c.kind == Kind::Graphic && c.graphic)
                g = std::dynamic_pointer_cast<plot::FigureGraphic>(c.graphic);
    if (!g)
        return false;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(qs(g->figure.name));
    QPrintDialog dialog(&printer, windowWidget(win));
    dialog.setWindowTitle(QStringLiteral("Natisni"));
    // The busy pointer of the action must not hide the dialog's own.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    QApplication::restoreOverrideCursor();
    if (!accepted)
        return false;
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // The page is laid out at the export's size and scaled onto the paper,
    // keeping its proportions.
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    const double scale = std::min(page.width() / plot::kExportWidth, page.height() / plot::kExportHeight);
    painter.scale(scale, scale);
    paintFigure(painter, g->figure, QSizeF(plot::kExportWidth, plot::kExportHeight));
    return painter.end();
}

} // namespace kolmo::qt
