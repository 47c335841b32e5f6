// The file writers behind exportFigure: each draws a laid-out Scene and
// returns the whole file as bytes (the caller writes it into place).
//
// Rasters (PNG, TIFF, JPEG) and PDF are drawn by cairo; PNG and PDF are
// cairo's own encoders (PDF keeps texts as text with the font embedded),
// TIFF (LZW-compressed RGB) and JPEG (quality 92) encode cairo's image with
// libtiff and libjpeg.  SVG, EPS and EMF are written here, each small:
// SVG with texts as <text> elements; EPS (colour, level 2) with Helvetica
// re-encoded for Windows-1250 so Slovene letters show; EMF with
// MM_ANISOTROPIC mapping, 16-bit polylines and polygons, ellipses, and
// UTF-16 texts in Arial with their advance widths from the metrics table.
#pragma once

#include "plots/render/scene.h"

#include <string>

namespace kolmo::plot {

std::string writePng(const Scene& scene);
std::string writeTiff(const Scene& scene);
std::string writeJpeg(const Scene& scene);
std::string writePdf(const Scene& scene, const std::string& title);
std::string writeSvg(const Scene& scene, const std::string& title);
std::string writeEps(const Scene& scene, const std::string& title);
std::string writeEmf(const Scene& scene, const std::string& title);

} // namespace kolmo::plot
