// Rasters and PDF through cairo.
#include "plots/render/canvas.h"
#include "plots/render/fontmetrics.h"
#include "plots/render/writers.h"

#include "platform/errors.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <jpeglib.h>
#include <tiffio.h>
#include <tiffio.hxx>

#include <cmath>
#include <csetjmp>
#include <memory>
#include <numbers>
#include <sstream>

namespace kolmo::plot {

namespace {

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length)
{
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

class CairoCanvas final : public Canvas {
public:
    // `gatherUpTo`: how many polygons or ellipses of one style may share a path.
    CairoCanvas(cairo_t* cr, int gatherUpTo) : cr_(cr), maxGathered_(std::max(1, gatherUpTo))
    {
        cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
        cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
        for (int b = 0; b < 2; ++b) {
            face_[b] = cairo_toy_font_face_create("Helvetica", CAIRO_FONT_SLANT_NORMAL,
                                                  b ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
            // A machine without a font of Helvetica's measure substitutes
            // another; its texts are then narrowed or widened to the widths
            // the layout counted on.
            cairo_set_font_face(cr_, face_[b]);
            cairo_set_font_size(cr_, 100);
            static constexpr const char* kProbe = "Kolmo 0123456789 x(N) y(E) tocke";
            cairo_text_extents_t ext;
            cairo_text_extents(cr_, kProbe, &ext);
            const double ours = textWidth(kProbe, 100, b != 0);
            stretch_[b] = ext.x_advance > 0 && std::abs(ext.x_advance / ours - 1) > 0.01 ? ours / ext.x_advance : 1;
        }
    }
    ~CairoCanvas() override
    {
        for (auto* f : face_)
            cairo_font_face_destroy(f);
    }
    CairoCanvas(const CairoCanvas&) = delete;
    CairoCanvas& operator=(const CairoCanvas&) = delete;

    void polyline(const Polyline& p) override
    {
        if (p.pts.size() < 2)
            return;
        flush();
        path(p.pts);
        stroke(p.pen);
    }
    // Polygons and ellipses of one style in a row (the markers of a series)
    // are gathered into one path and painted at once: a hundred thousand
    // markers are then two painting operations instead of two hundred
    // thousand, which matters most for PDF.  Where markers of a series
    // overlap, the outlines of the lower ones then show through the fills of
    // the upper ones.
    void polygon(const Polygon& p) override
    {
        if (p.pts.size() < 2)
            return;
        gather(p.fill, p.edge);
        cairo_move_to(cr_, p.pts[0].x, p.pts[0].y);
        for (std::size_t i = 1; i < p.pts.size(); ++i)
            cairo_line_to(cr_, p.pts[i].x, p.pts[i].y);
        cairo_close_path(cr_);
    }
    void ellipse(const Ellipse& e) override
    {
        gather(e.fill, e.edge);
        cairo_new_sub_path(cr_);
        if (e.rx == e.ry) {
            cairo_arc(cr_, e.c.x, e.c.y, e.rx, 0, 2 * std::numbers::pi);
        } else {
            cairo_save(cr_);
            cairo_translate(cr_, e.c.x, e.c.y);
            cairo_scale(cr_, std::max(e.rx, 1e-9), std::max(e.ry, 1e-9));
            cairo_arc(cr_, 0, 0, 1, 0, 2 * std::numbers::pi);
            cairo_restore(cr_);
        }
        cairo_close_path(cr_);
    }
    // Paints what has been gathered; call after the last item.
    void flush()
    {
        if (gathered_ == 0)
            return;
        paint(gatherFill_, gatherEdge_);
        gathered_ = 0;
    }
    void text(const Text& t) override
    {
        if (t.text.empty())
            return;
        flush();
        const int b = t.bold ? 1 : 0;
        const double w = textWidth(t.text, t.size, t.bold);
        const double x0 = t.align == HAlign::Left ? 0 : t.align == HAlign::Center ? -w / 2 : -w;
        cairo_set_source_rgb(cr_, t.color.r, t.color.g, t.color.b);
        if (t.angle == 0 && stretch_[b] == 1) {
            // The common case (every point name) without touching the
            // transformation: thousands of names stay cheap, above all in PDF.
            setFont(b, t.size);
            cairo_move_to(cr_, t.origin.x + x0, t.origin.y);
            cairo_show_text(cr_, t.text.c_str());
            return;
        }
        cairo_save(cr_);
        cairo_translate(cr_, t.origin.x, t.origin.y);
        if (t.angle != 0)
            cairo_rotate(cr_, -t.angle * std::numbers::pi / 180);
        if (stretch_[b] != 1)
            cairo_scale(cr_, stretch_[b], 1);
        fontSet_ = false; // the font matrix follows the transformation
        setFont(b, t.size);
        cairo_move_to(cr_, x0 / stretch_[b], 0);
        cairo_show_text(cr_, t.text.c_str());
        cairo_restore(cr_);
        fontSet_ = false;
    }

private:
    void gather(const std::optional<Rgb>& fill, const std::optional<Pen>& edge)
    {
        const auto samePen = [](const std::optional<Pen>& a, const std::optional<Pen>& b) {
            return a.has_value() == b.has_value() && (!a || (a->color == b->color && a->width == b->width));
        };
        if (gathered_ > 0 && (gathered_ >= maxGathered_ || fill != gatherFill_ || !samePen(edge, gatherEdge_)))
            flush();
        if (gathered_ == 0) {
            cairo_new_path(cr_);
            gatherFill_ = fill;
            gatherEdge_ = edge;
        }
        ++gathered_;
    }
    void setFont(int b, double size)
    {
        if (fontSet_ && b == fontBold_ && size == fontSize_)
            return;
        cairo_set_font_face(cr_, face_[b]);
        cairo_set_font_size(cr_, size);
        fontSet_ = true;
        fontBold_ = b;
        fontSize_ = size;
    }
    void path(const std::vector<Pt>& pts)
    {
        cairo_new_path(cr_);
        cairo_move_to(cr_, pts[0].x, pts[0].y);
        for (std::size_t i = 1; i < pts.size(); ++i)
            cairo_line_to(cr_, pts[i].x, pts[i].y);
    }
    void stroke(const Pen& pen)
    {
        cairo_set_source_rgb(cr_, pen.color.r, pen.color.g, pen.color.b);
        cairo_set_line_width(cr_, pen.width);
        cairo_stroke(cr_);
    }
    void paint(const std::optional<Rgb>& fill, const std::optional<Pen>& edge)
    {
        if (fill) {
            cairo_set_source_rgb(cr_, fill->r, fill->g, fill->b);
            if (edge)
                cairo_fill_preserve(cr_);
            else
                cairo_fill(cr_);
        }
        if (edge)
            stroke(*edge);
        cairo_new_path(cr_);
    }

    cairo_t* cr_;
    cairo_font_face_t* face_[2]{};
    double stretch_[2]{1, 1};
    int maxGathered_;
    int gathered_ = 0;
    std::optional<Rgb> gatherFill_;
    std::optional<Pen> gatherEdge_;
    bool fontSet_ = false;
    int fontBold_ = 0;
    double fontSize_ = 0;
};

// Into an image, one big path of overlapping markers scans slower than the
// markers one by one (100 000 markers and names: 1.0 s one by one, 2.2 s in
// paths of 128); into PDF every painting operation costs (2.0 s one by one,
// 1.1 s gathered).
constexpr int kGatherImage = 1, kGatherPdf = 20000;

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using ContextPtr = std::unique_ptr<cairo_t, ContextDeleter>;

void check(cairo_status_t st, const char* what)
{
    if (st != CAIRO_STATUS_SUCCESS)
        throw Error(std::string(what) + ": " + cairo_status_to_string(st));
}

int pixels(double v)
{
    const double r = std::round(v);
    if (!(r >= 1 && r <= 32767))
        throw Error("image size must be 1 to 32767 pixels");
    return static_cast<int>(r);
}

// The scene drawn into an RGB image of its size.
SurfacePtr rasterise(const Scene& scene)
{
    SurfacePtr s(cairo_image_surface_create(CAIRO_FORMAT_RGB24, pixels(scene.width), pixels(scene.height)));
    check(cairo_surface_status(s.get()), "image");
    {
        ContextPtr cr(cairo_create(s.get()));
        CairoCanvas canvas(cr.get(), kGatherImage);
        drawScene(scene, canvas);
        canvas.flush();
        check(cairo_status(cr.get()), "drawing");
    }
    cairo_surface_flush(s.get());
    return s;
}

// Rows of 8-bit RGB from cairo's native-endian xRGB words.
template <class Row>
void forEachRgbRow(cairo_surface_t* s, Row row)
{
    const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    const int stride = cairo_image_surface_get_stride(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    std::vector<unsigned char> rgb(static_cast<std::size_t>(w) * 3);
    for (int y = 0; y < h; ++y) {
        const auto* px = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t v = px[x];
            rgb[static_cast<std::size_t>(x) * 3] = static_cast<unsigned char>(v >> 16);
            rgb[static_cast<std::size_t>(x) * 3 + 1] = static_cast<unsigned char>(v >> 8);
            rgb[static_cast<std::size_t>(x) * 3 + 2] = static_cast<unsigned char>(v);
        }
        row(y, rgb.data());
    }
}

} // namespace

std::string writePng(const Scene& scene)
{
    SurfacePtr s = rasterise(scene);
    std::string out;
    check(cairo_surface_write_to_png_stream(s.get(), appendBytes, &out), "PNG");
    return out;
}

std::string writePdf(const Scene& scene, const std::string& title)
{
    std::string out;
    {
        SurfacePtr s(cairo_pdf_surface_create_for_stream(appendBytes, &out, scene.width / scene.pxPerPt,
                                                         scene.height / scene.pxPerPt));
        check(cairo_surface_status(s.get()), "PDF");
        cairo_pdf_surface_set_metadata(s.get(), CAIRO_PDF_METADATA_TITLE, title.c_str());
        cairo_pdf_surface_set_metadata(s.get(), CAIRO_PDF_METADATA_CREATOR, "Kolmo v3.00");
        ContextPtr cr(cairo_create(s.get()));
        cairo_scale(cr.get(), 1 / scene.pxPerPt, 1 / scene.pxPerPt);
        CairoCanvas canvas(cr.get(), kGatherPdf);
        drawScene(scene, canvas);
        canvas.flush();
        check(cairo_status(cr.get()), "PDF");
        cairo_show_page(cr.get());
        cr.reset();
        cairo_surface_finish(s.get());
        check(cairo_surface_status(s.get()), "PDF");
    }
    return out;
}

std::string writeTiff(const Scene& scene)
{
    SurfacePtr s = rasterise(scene);
    const int w = cairo_image_surface_get_width(s.get()), h = cairo_image_surface_get_height(s.get());
    std::ostringstream os;
    TIFF* tif = TIFFStreamOpen("image.tif", static_cast<std::ostream*>(&os));
    if (!tif)
        throw Error("TIFF: cannot start the image");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(w));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(h));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(scene.pxPerPt * 72));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(scene.pxPerPt * 72));
    bool ok = true;
    forEachRgbRow(s.get(), [&](int y, unsigned char* row) {
        if (ok && TIFFWriteScanline(tif, row, static_cast<std::uint32_t>(y), 0) < 0)
            ok = false;
    });
    TIFFClose(tif);
    if (!ok || !os)
        throw Error("TIFF: the image could not be encoded");
    return std::move(os).str();
}

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jpegFail(j_common_ptr c)
{
    auto* e = reinterpret_cast<JpegError*>(c->err);
    (*c->err->format_message)(c, e->message);
    std::longjmp(e->jump, 1);
}

// libjpeg reports errors by longjmp: kept apart from anything with a destructor.
bool encodeJpeg(cairo_surface_t* s, double dpi, unsigned char* rgb, unsigned char** buf, unsigned long* size,
                char* message)
{
    jpeg_compress_struct c{};
    JpegError err{};
    c.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegFail;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&c);
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", err.message);
        return false;
    }
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, buf, size);
    c.image_width = static_cast<JDIMENSION>(cairo_image_surface_get_width(s));
    c.image_height = static_cast<JDIMENSION>(cairo_image_surface_get_height(s));
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 92, TRUE);
    c.density_unit = 1; // dots per inch
    c.X_density = c.Y_density = static_cast<UINT16>(std::lround(dpi));
    jpeg_start_compress(&c, TRUE);
    const int w = static_cast<int>(c.image_width);
    const int stride = cairo_image_surface_get_stride(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    while (c.next_scanline < c.image_height) {
        const auto* px = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(c.next_scanline) * stride);
        for (int x = 0; x < w; ++x) {
            rgb[static_cast<std::size_t>(x) * 3] = static_cast<unsigned char>(px[x] >> 16);
            rgb[static_cast<std::size_t>(x) * 3 + 1] = static_cast<unsigned char>(px[x] >> 8);
            rgb[static_cast<std::size_t>(x) * 3 + 2] = static_cast<unsigned char>(px[x]);
        }
        JSAMPROW row = rgb;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return true;
}

} // namespace

std::string writeJpeg(const Scene& scene)
{
    SurfacePtr s = rasterise(scene);
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    char message[JMSG_LENGTH_MAX] = {};
    std::vector<unsigned char> rgb(static_cast<std::size_t>(cairo_image_surface_get_width(s.get())) * 3);
    const bool ok = encodeJpeg(s.get(), scene.pxPerPt * 72, rgb.data(), &buf, &size, message);
    std::string out;
    if (buf) {
        if (ok)
            out.assign(reinterpret_cast<const char*>(buf), size);
        std::free(buf);
    }
    if (!ok)
        throw Error(std::string("JPEG: ") + message);
    return out;
}

} // namespace kolmo::plot
