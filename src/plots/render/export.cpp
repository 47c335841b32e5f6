#include "plots/render/export.h"

#include "plots/render/layout.h"
#include "plots/render/writers.h"

#include "platform/errors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <unistd.h>

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

[[noreturn]] void fail(const std::filesystem::path& file, const char* what, int err)
{
    throw FileError(file.string() + ": " + what + ": " + std::strerror(err));
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

void replaceFile(const std::filesystem::path& file, std::string_view bytes)
{
    const std::filesystem::path dir = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    // A name of our own in the target's folder, so the rename stays on one file system.
    std::random_device rd;
    std::filesystem::path tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        std::string name(1, '.');
        name += file.filename().string();
        name += '.';
        name += std::to_string(rd() % 1000000000u);
        name += ".tmp";
        tmp = dir / name;
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            fail(file, "cannot create a temporary file", errno);
    }
    if (fd < 0)
        fail(file, "cannot create a temporary file", EEXIST);
    const auto abandon = [&](const char* what) {
        const int err = errno;
        ::close(fd);
        ::unlink(tmp.c_str());
        fail(file, what, err);
    };
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            abandon("cannot write");
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0)
        abandon("cannot flush");
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        fail(file, "cannot write", err);
    }
    if (::rename(tmp.c_str(), file.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        fail(file, "cannot replace the file", err);
    }
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
    replaceFile(file, bytes);
}

void exportFigure(const Figure& fig, const std::filesystem::path& file, Format format, int width, int height)
{
    if (width < 16 || height < 16 || width > 20000 || height > 20000)
        throw Error("plot size must be 16 to 20000 pixels");
    const Scene scene = layout(fig, width, height, defaultPxPerPt(width, height));
    exportScene(scene, fig.name, file, format);
}

} // namespace kolmo::plot
