// Windows enhanced metafile, written record by record (little-endian, as
// the format is defined):
//   EMR_HEADER with the page's bounds in pixels and its frame in 0.01 mm,
//   MM_ANISOTROPIC mapping of logical units (a fixed number per pixel, so
//   16-bit coordinates keep sub-pixel precision) onto the page's pixels,
//   transparent text background, then per primitive the pen, brush and font
//   objects it needs (created when they change, the old one deleted) and
//   POLYLINE16, POLYGON16, ELLIPSE or EXTTEXTOUTW, and EMR_EOF.
// Texts are UTF-16 in Arial (Helvetica's measure) with the advance of every
// character from the metrics table, so Windows places each letter where the
// layout counted; the font's escapement turns them.  Nothing needs clipping
// records: the layout has clipped already.
#include "plots/render/canvas.h"
#include "plots/render/fontmetrics.h"
#include "plots/render/writers.h"

#include "platform/errors.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kolmo::plot {

namespace {

enum : std::uint32_t {
    EMR_HEADER = 1,
    EMR_EOF = 14,
    EMR_SETWINDOWEXTEX = 9,
    EMR_SETWINDOWORGEX = 10,
    EMR_SETVIEWPORTEXTEX = 11,
    EMR_SETVIEWPORTORGEX = 12,
    EMR_SETMAPMODE = 17,
    EMR_SETBKMODE = 18,
    EMR_SETTEXTALIGN = 22,
    EMR_SETTEXTCOLOR = 24,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_ELLIPSE = 42,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTW = 84,
    EMR_POLYGON16 = 86,
    EMR_POLYLINE16 = 87,
};
constexpr std::uint32_t MM_ANISOTROPIC = 8, TRANSPARENT = 1;
constexpr std::uint32_t TA_BASELINE = 24, TA_CENTER = 6, TA_RIGHT = 2;
constexpr std::uint32_t NULL_BRUSH = 0x80000005, NULL_PEN = 0x80000008;
constexpr std::uint32_t kPen = 1, kBrush = 2, kFont = 3; // object table slots

class Bytes {
public:
    void u32(std::uint32_t v)
    {
        for (int k = 0; k < 4; ++k)
            b_.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void i16(std::int16_t v)
    {
        const auto u = static_cast<std::uint16_t>(v);
        b_.push_back(static_cast<char>(u & 0xFF));
        b_.push_back(static_cast<char>(u >> 8));
    }
    void u16(std::uint16_t v) { i16(static_cast<std::int16_t>(v)); }
    void u8(std::uint8_t v) { b_.push_back(static_cast<char>(v)); }
    void f32(float v)
    {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        u32(u);
    }
    void pad4()
    {
        while (b_.size() % 4)
            b_.push_back(0);
    }
    void patch32(std::size_t at, std::uint32_t v)
    {
        for (int k = 0; k < 4; ++k)
            b_[at + static_cast<std::size_t>(k)] = static_cast<char>((v >> (8 * k)) & 0xFF);
    }
    std::size_t size() const { return b_.size(); }
    std::string& str() { return b_; }

private:
    std::string b_;
};

std::uint32_t colorref(const Rgb& c)
{
    const auto ch = [](double v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    return ch(c.r) | (ch(c.g) << 8) | (ch(c.b) << 16);
}

std::u16string utf16(const std::string& utf8)
{
    std::u16string out;
    for (char32_t c : decodeUtf8(utf8)) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

class EmfCanvas final : public Canvas {
public:
    EmfCanvas(Bytes& out, double unitsPerPx) : out_(out), k_(unitsPerPx) {}

    int records = 0;

    void polyline(const Polyline& p) override
    {
        if (p.pts.size() < 2)
            return;
        selectPen(p.pen);
        points(EMR_POLYLINE16, p.pts);
    }
    void polygon(const Polygon& p) override
    {
        if (p.pts.size() < 2)
            return;
        selectBrush(p.fill);
        if (p.edge)
            selectPen(*p.edge);
        else
            selectNullPen();
        points(EMR_POLYGON16, p.pts);
    }
    void ellipse(const Ellipse& e) override
    {
        selectBrush(e.fill);
        if (e.edge)
            selectPen(*e.edge);
        else
            selectNullPen();
        begin(EMR_ELLIPSE, 24);
        out_.i32(lu(e.c.x - e.rx));
        out_.i32(lu(e.c.y - e.ry));
        out_.i32(lu(e.c.x + e.rx));
        out_.i32(lu(e.c.y + e.ry));
    }
    void text(const Text& t) override
    {
        const std::u16string s = utf16(t.text);
        if (s.empty())
            return;
        selectFont(t);
        if (!textColourSet_ || !(t.color == textColour_)) {
            begin(EMR_SETTEXTCOLOR, 12);
            out_.u32(colorref(t.color));
            textColour_ = t.color;
            textColourSet_ = true;
        }
        const std::uint32_t align =
            TA_BASELINE | (t.align == HAlign::Center ? TA_CENTER : t.align == HAlign::Right ? TA_RIGHT : 0);
        if (align != textAlign_) {
            begin(EMR_SETTEXTALIGN, 12);
            out_.u32(align);
            textAlign_ = align;
        }
        // Advance of every UTF-16 unit in logical units (0 for the second
        // half of a surrogate pair).
        std::vector<std::int32_t> dx;
        dx.reserve(s.size());
        const double em = t.size * k_ / 1000.0;
        double acc = 0, placed = 0;
        for (char32_t c : decodeUtf8(t.text)) {
            acc += charWidth(c, t.bold) * em;
            const double next = std::round(acc);
            dx.push_back(static_cast<std::int32_t>(next - placed));
            placed = next;
            if (c >= 0x10000)
                dx.push_back(0);
        }
        const auto n = static_cast<std::uint32_t>(s.size());
        const std::uint32_t offString = 76;
        const std::uint32_t strBytes = (2 * n + 3) / 4 * 4;
        const std::uint32_t offDx = offString + strBytes;
        begin(EMR_EXTTEXTOUTW, offDx + 4 * n);
        // Bounds (device pixels), roughly the text's box; readers do not rely on it.
        const double w = placed / k_;
        const double x0 = t.origin.x - (t.align == HAlign::Center ? w / 2 : t.align == HAlign::Right ? w : 0);
        const double r = std::max(w, t.size);
        out_.i32(static_cast<std::int32_t>(std::floor(std::min(x0, t.origin.x - r))));
        out_.i32(static_cast<std::int32_t>(std::floor(t.origin.y - r)));
        out_.i32(static_cast<std::int32_t>(std::ceil(std::max(x0 + w, t.origin.x + r))));
        out_.i32(static_cast<std::int32_t>(std::ceil(t.origin.y + r)));
        out_.u32(1);  // GM_COMPATIBLE
        out_.f32(0);  // exScale
        out_.f32(0);  // eyScale
        out_.i32(lu(t.origin.x));
        out_.i32(lu(t.origin.y));
        out_.u32(n);
        out_.u32(offString);
        out_.u32(0);  // options
        for (int i = 0; i < 4; ++i)
            out_.i32(0); // no clipping or opaque rectangle
        out_.u32(offDx);
        for (char16_t c : s)
            out_.u16(static_cast<std::uint16_t>(c));
        out_.pad4();
        for (std::int32_t d : dx)
            out_.i32(d);
    }

    void begin(std::uint32_t type, std::uint32_t size)
    {
        out_.u32(type);
        out_.u32(size);
        ++records;
    }

private:
    std::int32_t lu(double px) const
    {
        return static_cast<std::int32_t>(std::lround(std::clamp(px * k_, -2147483000.0, 2147483000.0)));
    }
    std::int16_t lu16(double px) const
    {
        return static_cast<std::int16_t>(std::lround(std::clamp(px * k_, -32768.0, 32767.0)));
    }

    void points(std::uint32_t type, const std::vector<Pt>& pts)
    {
        // A record holds at most 2^16 - 1 points in practice for many readers;
        // a longer polyline goes out in pieces that share their end points.
        constexpr std::size_t kMax = 16000;
        if (pts.size() > kMax && type == EMR_POLYLINE16) {
            for (std::size_t a = 0; a + 1 < pts.size(); a += kMax - 1) {
                const std::size_t b = std::min(pts.size(), a + kMax);
                points(type, std::vector<Pt>(pts.begin() + static_cast<std::ptrdiff_t>(a),
                                             pts.begin() + static_cast<std::ptrdiff_t>(b)));
            }
            return;
        }
        const auto n = static_cast<std::uint32_t>(pts.size());
        begin(type, 28 + 4 * n);
        double x0 = pts[0].x, y0 = pts[0].y, x1 = x0, y1 = y0;
        for (const Pt& q : pts) {
            x0 = std::min(x0, q.x);
            y0 = std::min(y0, q.y);
            x1 = std::max(x1, q.x);
            y1 = std::max(y1, q.y);
        }
        out_.i32(static_cast<std::int32_t>(std::floor(x0)));
        out_.i32(static_cast<std::int32_t>(std::floor(y0)));
        out_.i32(static_cast<std::int32_t>(std::ceil(x1)));
        out_.i32(static_cast<std::int32_t>(std::ceil(y1)));
        out_.u32(n);
        for (const Pt& q : pts) {
            out_.i16(lu16(q.x));
            out_.i16(lu16(q.y));
        }
    }

    void select(std::uint32_t handle)
    {
        begin(EMR_SELECTOBJECT, 12);
        out_.u32(handle);
    }
    void remove(std::uint32_t slot)
    {
        begin(EMR_DELETEOBJECT, 12);
        out_.u32(slot);
    }

    void selectPen(const Pen& pen)
    {
        const auto width = static_cast<std::int32_t>(std::max<long>(1, std::lround(pen.width * k_)));
        if (penState_ == 1 && pen.color == penColour_ && width == penWidth_)
            return;
        if (penState_ == 1) {
            select(NULL_PEN);
            remove(kPen);
        }
        begin(EMR_CREATEPEN, 28);
        out_.u32(kPen);
        out_.u32(0); // PS_SOLID
        out_.i32(width);
        out_.i32(0);
        out_.u32(colorref(pen.color));
        select(kPen);
        penState_ = 1;
        penColour_ = pen.color;
        penWidth_ = width;
    }
    void selectNullPen()
    {
        if (penState_ == 2)
            return;
        select(NULL_PEN);
        if (penState_ == 1)
            remove(kPen);
        penState_ = 2;
    }
    void selectBrush(const std::optional<Rgb>& fill)
    {
        if (!fill) {
            if (brushState_ == 2)
                return;
            select(NULL_BRUSH);
            if (brushState_ == 1)
                remove(kBrush);
            brushState_ = 2;
            return;
        }
        if (brushState_ == 1 && *fill == brushColour_)
            return;
        if (brushState_ == 1) {
            select(NULL_BRUSH);
            remove(kBrush);
        }
        begin(EMR_CREATEBRUSHINDIRECT, 24);
        out_.u32(kBrush);
        out_.u32(0); // BS_SOLID
        out_.u32(colorref(*fill));
        out_.u32(0);
        select(kBrush);
        brushState_ = 1;
        brushColour_ = *fill;
    }
    void selectFont(const Text& t)
    {
        const auto height = static_cast<std::int32_t>(std::lround(t.size * k_));
        const auto esc = static_cast<std::int32_t>(std::lround(t.angle * 10));
        if (fontSet_ && height == fontHeight_ && esc == fontEsc_ && t.bold == fontBold_)
            return;
        if (fontSet_) {
            select(0x8000000D); // SYSTEM_FONT, so the old one can go
            remove(kFont);
        }
        begin(EMR_EXTCREATEFONTINDIRECTW, 104);
        out_.u32(kFont);
        out_.i32(-height); // negative: the em height
        out_.i32(0);
        out_.i32(esc);
        out_.i32(esc);
        out_.i32(t.bold ? 700 : 400);
        out_.u8(0);   // italic
        out_.u8(0);   // underline
        out_.u8(0);   // strike-out
        out_.u8(1);   // DEFAULT_CHARSET
        out_.u8(4);   // OUT_TT_PRECIS
        out_.u8(0);   // CLIP_DEFAULT_PRECIS
        out_.u8(4);   // ANTIALIASED_QUALITY
        out_.u8(0x22); // VARIABLE_PITCH | FF_SWISS
        const std::u16string face = u"Arial";
        for (int i = 0; i < 32; ++i)
            out_.u16(i < static_cast<int>(face.size()) ? static_cast<std::uint16_t>(face[static_cast<std::size_t>(i)]) : 0);
        select(kFont);
        fontSet_ = true;
        fontHeight_ = height;
        fontEsc_ = esc;
        fontBold_ = t.bold;
    }

    Bytes& out_;
    double k_;
    int penState_ = 0, brushState_ = 0; // 0 default, 1 ours, 2 null
    Rgb penColour_, brushColour_, textColour_;
    std::int32_t penWidth_ = 0;
    bool textColourSet_ = false;
    std::uint32_t textAlign_ = 0xFFFFFFFF;
    bool fontSet_ = false;
    std::int32_t fontHeight_ = 0, fontEsc_ = 0;
    bool fontBold_ = false;
};

} // namespace

std::string writeEmf(const Scene& scene, const std::string& title)
{
    const auto W = static_cast<std::int32_t>(std::lround(scene.width));
    const auto H = static_cast<std::int32_t>(std::lround(scene.height));
    if (W < 1 || H < 1 || W > 32000 || H > 32000)
        throw Error("EMF: page size must be 1 to 32000 pixels");
    // Logical units per pixel: as many as 16-bit coordinates allow, at most 16.
    const double k = std::clamp(std::floor(32000.0 / std::max(W, H)), 1.0, 16.0);
    const double mmW = scene.width / scene.pxPerPt * 25.4 / 72, mmH = scene.height / scene.pxPerPt * 25.4 / 72;

    Bytes out;
    // Header.
    std::u16string desc = u"Kolmo v3.00";
    desc.push_back(0);
    desc += utf16(title);
    desc.push_back(0);
    desc.push_back(0);
    const auto descBytes = static_cast<std::uint32_t>((desc.size() * 2 + 3) / 4 * 4);
    out.u32(EMR_HEADER);
    out.u32(108 + descBytes);
    out.i32(0); out.i32(0); out.i32(W - 1); out.i32(H - 1);                 // bounds, pixels
    out.i32(0); out.i32(0);
    out.i32(static_cast<std::int32_t>(std::lround(mmW * 100)));
    out.i32(static_cast<std::int32_t>(std::lround(mmH * 100)));           // frame, 0.01 mm
    out.u32(0x464D4520);                                                   // " EMF"
    out.u32(0x00010000);
    const std::size_t bytesAt = out.size();
    out.u32(0);                                                            // nBytes, patched
    out.u32(0);                                                            // nRecords, patched
    out.u16(4);                                                            // handles: 3 slots + 1
    out.u16(0);
    out.u32(static_cast<std::uint32_t>(desc.size()));
    out.u32(108);
    out.u32(0);                                                            // palette entries
    out.i32(W); out.i32(H);                                                // reference device, pixels
    out.i32(static_cast<std::int32_t>(std::lround(mmW)));
    out.i32(static_cast<std::int32_t>(std::lround(mmH)));                  // ... and millimetres
    out.u32(0); out.u32(0); out.u32(0);                                    // no pixel format, no OpenGL
    out.i32(static_cast<std::int32_t>(std::lround(mmW * 1000)));
    out.i32(static_cast<std::int32_t>(std::lround(mmH * 1000)));           // micrometres
    for (char16_t c : desc)
        out.u16(static_cast<std::uint16_t>(c));
    out.pad4();

    EmfCanvas canvas(out, k);
    canvas.records = 1;
    canvas.begin(EMR_SETMAPMODE, 12);
    out.u32(MM_ANISOTROPIC);
    canvas.begin(EMR_SETWINDOWORGEX, 16);
    out.i32(0); out.i32(0);
    canvas.begin(EMR_SETWINDOWEXTEX, 16);
    out.i32(static_cast<std::int32_t>(W * k)); out.i32(static_cast<std::int32_t>(H * k));
    canvas.begin(EMR_SETVIEWPORTORGEX, 16);
    out.i32(0); out.i32(0);
    canvas.begin(EMR_SETVIEWPORTEXTEX, 16);
    out.i32(W); out.i32(H);
    canvas.begin(EMR_SETBKMODE, 12);
    out.u32(TRANSPARENT);

    drawScene(scene, canvas);

    canvas.begin(EMR_EOF, 20);
    out.u32(0);  // palette entries
    out.u32(16); // offset of the (empty) palette
    out.u32(20); // size of this record, again
    out.patch32(bytesAt, static_cast<std::uint32_t>(out.size()));
    out.patch32(bytesAt + 4, static_cast<std::uint32_t>(canvas.records));
    return std::move(out.str());
}

} // namespace kolmo::plot
