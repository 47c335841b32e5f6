// Encapsulated PostScript (level 2, colour), written by hand: a prolog of
// short procedures, then one line per primitive in page pixels under a
// transformation that turns pixels (y down) into points (y up).  Texts use
// Helvetica and Helvetica-Bold re-encoded with the Windows-1250 vector, as
// standard PostScript fonts know č, š, ž by name but ISOLatin1 has no code
// for them.
#include "plots/render/canvas.h"
#include "plots/render/fontmetrics.h"
#include "plots/render/numfmt.h"
#include "plots/render/writers.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace kolmo::plot {

namespace {

// PostScript string literal of Windows-1250 bytes.
void appendPsString(std::string& out, const std::string& utf8)
{
    out += '(';
    for (char32_t c : decodeUtf8(utf8)) {
        const unsigned char b = cp1250Code(c);
        if (b == '(' || b == ')' || b == '\\') {
            out += '\\';
            out += static_cast<char>(b);
        } else if (b >= 0x20 && b < 0x7F) {
            out += static_cast<char>(b);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", b);
            out += buf;
        }
    }
    out += ')';
}

class EpsCanvas final : public Canvas {
public:
    explicit EpsCanvas(std::string& out) : out_(out) {}

    void polyline(const Polyline& p) override
    {
        if (p.pts.size() < 2)
            return;
        path(p.pts);
        stroke(p.pen);
    }
    void polygon(const Polygon& p) override
    {
        if (p.pts.size() < 2)
            return;
        path(p.pts);
        out_ += " h";
        paint(p.fill, p.edge);
    }
    void ellipse(const Ellipse& e) override
    {
        num(e.c.x);
        num(e.c.y);
        num(e.rx);
        num(e.ry);
        out_ += "el";
        paint(e.fill, e.edge);
    }
    void text(const Text& t) override
    {
        if (t.text.empty())
            return;
        out_ += "gsave ";
        num(t.origin.x);
        num(t.origin.y);
        out_ += "translate ";
        if (t.angle != 0) {
            num(-t.angle);
            out_ += "rotate ";
        }
        colour(t.color);
        out_ += t.bold ? "F1 " : "F0 ";
        num(t.size);
        appendPsString(out_, t.text);
        out_ += t.align == HAlign::Left ? " tl\n" : t.align == HAlign::Center ? " tc\n" : " tr\n";
    }

private:
    void num(double v)
    {
        appendNumber(out_, v);
        out_ += ' ';
    }
    void colour(const Rgb& c)
    {
        appendNumber(out_, c.r, 3);
        out_ += ' ';
        appendNumber(out_, c.g, 3);
        out_ += ' ';
        appendNumber(out_, c.b, 3);
        out_ += ' ';
    }
    void path(const std::vector<Pt>& pts)
    {
        num(pts[0].x);
        num(pts[0].y);
        out_ += "m";
        for (std::size_t i = 1; i < pts.size(); ++i) {
            out_ += (i % 8 == 0) ? '\n' : ' ';
            num(pts[i].x);
            num(pts[i].y);
            out_ += "l";
        }
    }
    // Stroke state is kept between primitives; fills change the colour only
    // inside gsave ... grestore.
    void stroke(const Pen& pen)
    {
        if (!(pen.color == strokeColour_) || !haveStroke_) {
            out_ += ' ';
            colour(pen.color);
            out_ += "rg";
            strokeColour_ = pen.color;
        }
        if (pen.width != lineWidth_ || !haveStroke_) {
            out_ += ' ';
            num(pen.width);
            out_ += "lw";
            lineWidth_ = pen.width;
        }
        haveStroke_ = true;
        out_ += " S\n";
    }
    void paint(const std::optional<Rgb>& fill, const std::optional<Pen>& edge)
    {
        if (fill) {
            out_ += ' ';
            colour(*fill);
            out_ += edge ? "fp" : "f\n";
        }
        if (edge)
            stroke(*edge);
        else if (!fill)
            out_ += " np\n";
    }

    std::string& out_;
    Rgb strokeColour_;
    double lineWidth_ = -1;
    bool haveStroke_ = false;
};

} // namespace

std::string writeEps(const Scene& scene, const std::string& title)
{
    const double wpt = scene.width / scene.pxPerPt, hpt = scene.height / scene.pxPerPt;
    std::string out;
    out.reserve(8192 + scene.items.size() * 60);
    char buf[256];
    out += "%!PS-Adobe-3.0 EPSF-3.0\n";
    std::snprintf(buf, sizeof buf, "%%%%BoundingBox: 0 0 %ld %ld\n%%%%HiResBoundingBox: 0 0 %.3f %.3f\n",
                  std::lround(std::ceil(wpt)), std::lround(std::ceil(hpt)), wpt, hpt);
    out += buf;
    // The comments are 7-bit text: Slovene letters lose their marks there.
    out += "%%Title: ";
    for (char32_t c : decodeUtf8(title)) {
        static const std::u32string from = U"čćšžđČĆŠŽĐ";
        static const char to[] = "ccszdCCSZD";
        const auto k = from.find(c);
        out += k != std::u32string::npos ? to[k] : (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    out += "\n%%Creator: Kolmo v3.00\n%%LanguageLevel: 2\n%%DocumentData: Clean7Bit\n"
           "%%DocumentNeededResources: font Helvetica Helvetica-Bold\n%%EndComments\n"
           "%%BeginProlog\n"
           "/KolmoDict 40 dict def KolmoDict begin\n"
           "/bd {bind def} bind def\n"
           "/m {moveto} bd /l {lineto} bd /h {closepath} bd /np {newpath} bd\n"
           "/rg {setrgbcolor} bd /lw {setlinewidth} bd /S {stroke} bd\n"
           "/f {gsave setrgbcolor fill grestore newpath} bd\n"
           "/fp {gsave setrgbcolor fill grestore} bd\n"
           "/el {matrix currentmatrix 5 1 roll 4 2 roll translate scale newpath 0 0 1 0 360 arc closepath"
           " setmatrix} bd\n"
           // text: r g b font size (string) t? -- drawn upright in the flipped page
           "/tx {selectfont 4 1 roll setrgbcolor 1 -1 scale} bd\n"
           "/tl {3 1 roll tx 0 0 moveto show grestore} bd\n"
           "/tc {3 1 roll tx dup stringwidth pop -2 div 0 moveto show grestore} bd\n"
           "/tr {3 1 roll tx dup stringwidth pop neg 0 moveto show grestore} bd\n"
           "/reencode {findfont dup length dict begin {1 index /FID ne {def} {pop pop} ifelse} forall\n"
           " /Encoding CP1250 def currentdict end definefont pop} bd\n"
           "/CP1250 [";
    {
        std::vector<const char*> names(256, ".notdef");
        for (const GlyphMetrics& g : cp1250Glyphs())
            names[g.code] = g.name;
        for (int i = 0; i < 256; ++i) {
            out += (i % 8 == 0) ? "\n" : " ";
            out += '/';
            out += names[static_cast<std::size_t>(i)];
        }
    }
    out += "\n] def\n"
           "/Helvetica-CP1250 /Helvetica reencode\n"
           "/Helvetica-Bold-CP1250 /Helvetica-Bold reencode\n"
           "/F0 /Helvetica-CP1250 def /F1 /Helvetica-Bold-CP1250 def\n"
           "end\n%%EndProlog\n%%BeginSetup\n%%EndSetup\n"
           "KolmoDict begin\ngsave\n1 setlinejoin 1 setlinecap\n";
    std::snprintf(buf, sizeof buf, "0 %.4f translate %.8f %.8f scale\n", hpt, 1 / scene.pxPerPt, -1 / scene.pxPerPt);
    out += buf;
    EpsCanvas canvas(out);
    drawScene(scene, canvas);
    out += "grestore\nend\nshowpage\n%%EOF\n";
    return out;
}

} // namespace kolmo::plot
