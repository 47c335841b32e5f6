#include "plots/render/export.h"

#include "plots/render/layout.h"
#include "plots/render/writers.h"

#include "platform/errors.h"
#include "platform/files.h"

namespace kolmo::plot {

namespace {

struct FormatInfo {
    Format format;
    const char* name;
    const char* ext;
};
constexpr FormatInfo kFormats[] = {{Format::Png, "png", "png"},  {Format::Tiff, "tiff", "tif"},
                                   {Format::Jpeg, "jpeg", "jpg"}, {Format::Eps, "eps", "eps"},
                                   {Format::Emf, "emf", "emf"},   {Format::Svg, "svg", "svg"},
                                   {Format::Pdf, "pdf", "pdf"}};

const FormatInfo& info(Format f)
{
    for (const auto& i : kFormats)
        if (i.format == f)
            return i;
    return kFormats[0];
}

} // namespace

const char* formatName(Format f) { return info(f).name; }
const char* formatExtension(Format f) { return info(f).ext; }

std::optional<Format> parseFormat(std::string_view name)
{
    for (const auto& i : kFormats)
        if (name == i.name)
            return i.format;
    return std::nullopt;
}

std::string exportFileName(std::string_view base, Format f)
{
    return std::string(base) + "." + formatExtension(f);
}

void exportScene(const Scene& scene, const std::string& title, const std::filesystem::path& file, Format format)
{
    std::string bytes;
    switch (format) {
    case Format::Png: bytes = writePng(scene); break;
    case Format::Tiff: bytes = writeTiff(scene); break;
    case Format::Jpeg: bytes = writeJpeg(scene); break;
    case Format::Eps: bytes = writeEps(scene, title); break;
    case Format::Emf: bytes = writeEmf(scene, title); break;
    case Format::Svg: bytes = writeSvg(scene, title); break;
    case Format::Pdf: bytes = writePdf(scene, title); break;
    }
    platform::writeFileAtomic(file, bytes);
}

void exportFigure(const Figure& fig, const std::filesystem::path& file, Format format, int width, int height)
{
    if (width < 16 || height < 16 || width > 20000 || height > 20000)
        throw Error("plot size must be 16 to 20000 pixels");
    const Scene scene = layout(fig, width, height, defaultPxPerPt(width, height));
    exportScene(scene, fig.name, file, format);
}

} // namespace kolmo::plot
