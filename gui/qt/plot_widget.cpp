#include "qt/plot_widget.h"

#include "plots/render/canvas.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace kolmo::qt {
namespace {

QColor colour(const plot::Rgb& c)
{
    const auto part = [](double v) { return static_cast<float>(std::clamp(v, 0.0, 1.0)); };
    return QColor::fromRgbF(part(c.r), part(c.g), part(c.b));
}

QPen pen(const plot::Pen& p)
{
    QPen q(colour(p.color));
    q.setWidthF(p.width);
    q.setJoinStyle(Qt::RoundJoin);
    q.setCapStyle(Qt::RoundCap);
    return q;
}

QPolygonF toPolygon(const std::vector<plot::Pt>& pts)
{
    QPolygonF q;
    q.reserve(static_cast<int>(pts.size()));
    for (const plot::Pt& p : pts)
        q.append(QPointF(p.x, p.y));
    return q;
}

// The four primitives of a scene onto a QPainter.  The layout measured the
// texts with Helvetica's widths, so the font is the Helvetica-metric sans of
// the system and a text is placed by its own measured width.
class PainterCanvas : public plot::Canvas {
public:
    explicit PainterCanvas(QPainter& p) : p_(p) {}

    void polyline(const plot::Polyline& l) override
    {
        p_.setPen(pen(l.pen));
        p_.setBrush(Qt::NoBrush);
        p_.drawPolyline(toPolygon(l.pts));
    }
    void polygon(const plot::Polygon& g) override
    {
        p_.setPen(g.edge ? pen(*g.edge) : QPen(Qt::NoPen));
        p_.setBrush(g.fill ? QBrush(colour(*g.fill)) : QBrush(Qt::NoBrush));
        p_.drawPolygon(toPolygon(g.pts));
    }
    void ellipse(const plot::Ellipse& e) override
    {
        p_.setPen(e.edge ? pen(*e.edge) : QPen(Qt::NoPen));
        p_.setBrush(e.fill ? QBrush(colour(*e.fill)) : QBrush(Qt::NoBrush));
        p_.drawEllipse(QPointF(e.c.x, e.c.y), e.rx, e.ry);
    }
    void text(const plot::Text& t) override
    {
        QFont f(QStringLiteral("Helvetica"));
        f.setStyleHint(QFont::SansSerif);
        f.setPixelSize(std::max(1, static_cast<int>(std::lround(t.size))));
        f.setBold(t.bold);
        const QString s = QString::fromStdString(t.text);
        const double w = QFontMetricsF(f).horizontalAdvance(s);
        const double dx = t.align == plot::HAlign::Left ? 0 : t.align == plot::HAlign::Center ? -w / 2 : -w;
        p_.save();
        p_.setFont(f);
        p_.setPen(colour(t.color));
        p_.translate(t.origin.x, t.origin.y);
        if (t.angle != 0)
            p_.rotate(-t.angle);
        p_.drawText(QPointF(dx, 0), s);
        p_.restore();
    }

private:
    QPainter& p_;
};

} // namespace

void paintScene(QPainter& painter, const plot::Scene& scene)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    PainterCanvas canvas(painter);
    plot::drawScene(scene, canvas);
}

void paintFigure(QPainter& painter, const plot::Figure& figure, QSizeF size)
{
    const plot::Scene scene =
        plot::layout(figure, size.width(), size.height(), plot::defaultPxPerPt(size.width(), size.height()));
    paintScene(painter, scene);
}

PlotWidget::PlotWidget(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    setFocusPolicy(Qt::StrongFocus);
}

void PlotWidget::setGraphic(std::shared_ptr<plot::FigureGraphic> g)
{
    graphic_ = std::move(g);
    update();
}

void PlotWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!graphic_) {
        painter.fillRect(rect(), Qt::white);
        return;
    }
    const QSizeF size = this->size();
    // Fonts as on a page of the export's width: the plot reads the same on
    // the screen as in the files.
    const plot::Scene scene = plot::layout(graphic_->figure, size.width(), size.height(),
                                           plot::defaultPxPerPt(size.width(), size.height()), &info_);
    paintScene(painter, scene);
}

bool PlotWidget::toData(QPointF p, double& x, double& y) const
{
    const plot::Rect& b = info_.box;
    if (!graphic_ || b.w <= 0 || b.h <= 0)
        return false;
    const auto& ax = graphic_->figure.axes;
    x = ax.x.lim[0] + (p.x() - b.x) / b.w * (ax.x.lim[1] - ax.x.lim[0]);
    y = ax.y.lim[1] - (p.y() - b.y) / b.h * (ax.y.lim[1] - ax.y.lim[0]);
    return true;
}

void PlotWidget::wheelEvent(QWheelEvent* e)
{
    if (!graphic_ || graphic_->figure.axes.threeD || !graphic_->figure.zoom)
        return;
    double x = 0, y = 0;
    if (!toData(e->position(), x, y))
        return;
    // One notch zooms by a quarter about the point under the pointer; both
    // axes alike, so a metre stays as long across as up.
    // The names and ticks are placed again by the next layout.
    plot::zoomAbout(graphic_->figure.axes, x, y, e->angleDelta().y() / 120.0);
    update();
    e->accept();
}

void PlotWidget::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && graphic_) {
        dragging_ = true;
        last_ = e->position();
        setCursor(graphic_->figure.axes.threeD ? Qt::SizeAllCursor : Qt::ClosedHandCursor);
    }
}

void PlotWidget::mouseMoveEvent(QMouseEvent* e)
{
    if (!dragging_ || !graphic_)
        return;
    const QPointF d = e->position() - last_;
    last_ = e->position();
    auto& ax = graphic_->figure.axes;
    if (ax.threeD) {
        ax.azimuth = std::remainder(ax.azimuth - d.x() * 0.5, 360.0);
        ax.elevation = std::clamp(ax.elevation + d.y() * 0.5, -90.0, 90.0);
    } else if (graphic_->figure.zoom && info_.box.w > 0 && info_.box.h > 0) {
        const double sx = (ax.x.lim[1] - ax.x.lim[0]) / info_.box.w;
        const double sy = (ax.y.lim[1] - ax.y.lim[0]) / info_.box.h;
        plot::pan(ax, -d.x() * sx, d.y() * sy);
    } else {
        return;
    }
    update();
}

void PlotWidget::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) {
        dragging_ = false;
        unsetCursor();
    }
}

void PlotWidget::mouseDoubleClickEvent(QMouseEvent*)
{
    if (!graphic_)
        return;
    auto& ax = graphic_->figure.axes;
    const auto& first = graphic_->initial.axes;
    ax.x.lim = first.x.lim;
    ax.y.lim = first.y.lim;
    ax.azimuth = first.azimuth;
    ax.elevation = first.elevation;
    update();
}

} // namespace kolmo::qt
