// A plot on the screen: the figure of a Graphic control laid out for the
// widget's size and drawn with QPainter, with the plot windows' mouse
// handling.
//
//   two-dimensional plots with zoom on: the wheel zooms about the pointer,
//     dragging with the left button pans, a double click goes back to the
//     limits the plot was built with;
//   three-dimensional plots: dragging turns the view (azimuth, elevation),
//     a double click goes back to the first view.
//
// The changed limits and angles are written into the figure itself, so an
// export from the window's menu writes what the user sees.
#pragma once

#include "plots/figure_graphic.h"
#include "plots/render/layout.h"

#include <QPoint>
#include <QWidget>

#include <memory>

class QPainter;

namespace kolmo::qt {

// Draws a laid-out scene with QPainter (screen, printer).
void paintScene(QPainter& painter, const plot::Scene& scene);

// Lays `figure` out on a page of `size` pixels and draws it.
void paintFigure(QPainter& painter, const plot::Figure& figure, QSizeF size);

class PlotWidget : public QWidget {
public:
    explicit PlotWidget(QWidget* parent);
    void setGraphic(std::shared_ptr<plot::FigureGraphic> g);
    const std::shared_ptr<plot::FigureGraphic>& graphic() const { return graphic_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void wheelEvent(QWheelEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    // The data point under a widget position, by the last layout's box.
    bool toData(QPointF p, double& x, double& y) const;

    std::shared_ptr<plot::FigureGraphic> graphic_;
    plot::LayoutInfo info_;
    bool dragging_ = false;
    QPointF last_;
};

} // namespace kolmo::qt
