// Export of a plot window's figure into a file, with no display needed.
//
// exportFigure lays the figure out on a page of width x height pixels
// (fonts and lines scaled to the page, see layout.h) and writes it in one of
// the formats of the "Izvozi" menu: PNG, TIFF, JPEG, EPS, EMF, and beyond it
// SVG and PDF.  The vector formats get the physical size of a figure 450
// points (15.9 cm) wide at the page's proportions.
//
// The file is replaced whole or not at all: it is written to a temporary
// file in the same folder, flushed to the disk and renamed over the target;
// on any failure the temporary file is removed and an existing file stays as
// it was.  Throws kolmo::FileError naming the file and the operating
// system's reason when it cannot be written, kolmo::Error when the figure
// cannot be drawn.
#pragma once

#include "plots/figure.h"
#include "plots/render/scene.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kolmo::plot {

enum class Format { Png, Tiff, Jpeg, Eps, Emf, Svg, Pdf };

inline constexpr Format kAllFormats[] = {Format::Png, Format::Tiff, Format::Jpeg, Format::Eps,
                                         Format::Emf, Format::Svg,  Format::Pdf};

// The word of the export action and of --plot-formats: png, tiff, jpeg, eps,
// emf, svg, pdf.
const char* formatName(Format f);
std::optional<Format> parseFormat(std::string_view name);

// The file extension of the fixed export names: png, tif, jpg, eps, emf, svg, pdf.
const char* formatExtension(Format f);

// `base`.ext, e.g. exportFileName("mreza", Format::Tiff) = "mreza.tif".
std::string exportFileName(std::string_view base, Format f);

inline constexpr int kExportWidth = 1200, kExportHeight = 900;

void exportFigure(const Figure& fig, const std::filesystem::path& file, Format format, int width = kExportWidth,
                  int height = kExportHeight);

// The same for a scene laid out already.
void exportScene(const Scene& scene, const std::string& title, const std::filesystem::path& file, Format format);

} // namespace kolmo::plot
