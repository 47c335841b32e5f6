// SVG 1.1: one element per primitive, texts as <text> so names stay text.
#include "plots/render/canvas.h"
#include "plots/render/numfmt.h"
#include "plots/render/writers.h"

#include <algorithm>
#include <cmath>

namespace kolmo::plot {

namespace {

void appendEscaped(std::string& out, const std::string& s)
{
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default:
            // Control characters are not allowed in XML 1.0.
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
                out += ' ';
            else
                out += c;
        }
    }
}

void appendColour(std::string& out, const Rgb& c)
{
    static const char hex[] = "0123456789abcdef";
    out += '#';
    for (double v : {c.r, c.g, c.b}) {
        const int b = static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
        out += hex[b >> 4];
        out += hex[b & 15];
    }
}

class SvgCanvas final : public Canvas {
public:
    explicit SvgCanvas(std::string& out) : out_(out) {}

    void polyline(const Polyline& p) override
    {
        out_ += "<polyline fill=\"none\"";
        pen(p.pen);
        points(p.pts);
    }
    void polygon(const Polygon& p) override
    {
        out_ += "<polygon";
        paint(p.fill, p.edge);
        points(p.pts);
    }
    void ellipse(const Ellipse& e) override
    {
        out_ += e.rx == e.ry ? "<circle" : "<ellipse";
        paint(e.fill, e.edge);
        attr(" cx=\"", e.c.x);
        attr("\" cy=\"", e.c.y);
        if (e.rx == e.ry) {
            attr("\" r=\"", e.rx);
        } else {
            attr("\" rx=\"", e.rx);
            attr("\" ry=\"", e.ry);
        }
        out_ += "\"/>\n";
    }
    void text(const Text& t) override
    {
        out_ += "<text";
        attr(" x=\"", t.origin.x);
        attr("\" y=\"", t.origin.y);
        attr("\" font-size=\"", t.size);
        out_ += '"';
        if (t.bold)
            out_ += " font-weight=\"bold\"";
        if (t.align != HAlign::Left)
            out_ += t.align == HAlign::Center ? " text-anchor=\"middle\"" : " text-anchor=\"end\"";
        if (t.color != kBlack) {
            out_ += " fill=\"";
            appendColour(out_, t.color);
            out_ += '"';
        }
        if (t.angle != 0) {
            attr(" transform=\"rotate(", -t.angle);
            attr(" ", t.origin.x);
            attr(" ", t.origin.y);
            out_ += ")\"";
        }
        out_ += '>';
        appendEscaped(out_, t.text);
        out_ += "</text>\n";
    }

private:
    void attr(const char* head, double v)
    {
        out_ += head;
        appendNumber(out_, v);
    }
    void pen(const Pen& p)
    {
        out_ += " stroke=\"";
        appendColour(out_, p.color);
        attr("\" stroke-width=\"", p.width);
        out_ += '"';
    }
    void paint(const std::optional<Rgb>& fill, const std::optional<Pen>& edge)
    {
        out_ += " fill=\"";
        if (fill)
            appendColour(out_, *fill);
        else
            out_ += "none";
        out_ += '"';
        if (edge)
            pen(*edge);
    }
    void points(const std::vector<Pt>& pts)
    {
        out_ += " points=\"";
        for (std::size_t i = 0; i < pts.size(); ++i) {
            if (i)
                out_ += ' ';
            appendNumber(out_, pts[i].x);
            out_ += ',';
            appendNumber(out_, pts[i].y);
        }
        out_ += "\"/>\n";
    }

    std::string& out_;
};

} // namespace

std::string writeSvg(const Scene& scene, const std::string& title)
{
    std::string out;
    out.reserve(4096 + scene.items.size() * 80);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\"";
    // Physical size from the page's scale, so the drawing prints at its size.
    out += " width=\"";
    appendNumber(out, scene.width / scene.pxPerPt);
    out += "pt\" height=\"";
    appendNumber(out, scene.height / scene.pxPerPt);
    out += "pt\" viewBox=\"0 0 ";
    appendNumber(out, scene.width);
    out += ' ';
    appendNumber(out, scene.height);
    out += "\" stroke-linejoin=\"round\" stroke-linecap=\"round\""
           " font-family=\"Helvetica, Arial, 'Nimbus Sans', 'Liberation Sans', sans-serif\">\n<title>";
    appendEscaped(out, title);
    out += "</title>\n";
    SvgCanvas canvas(out);
    drawScene(scene, canvas);
    out += "</svg>\n";
    return out;
}

} // namespace kolmo::plot
