// Every export format of every plot, read back by a program that is not ours:
// ImageMagick decodes the rasters, Ghostscript renders the EPS, emf2svg
// converts the EMF, xmllint parses the SVG, poppler renders the PDF and
// extracts its text.  scripts/install-deps.sh installs all of them.
#include "platform/errors.h"
#include "plots.h"
#include "plots/prik_geoid.h"
#include "plots/prik_mre.h"
#include "plots/prik_obod.h"
#include "plots/prik_odst.h"
#include "plots/render/export.h"
#include "plots/render/layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>

using namespace kolmo;
using namespace kolmo::plot;
using test::run;

namespace {

struct Image {
    int w = 0, h = 0;
    long colours = 0;
    double mean = 1; // 1 for a white page

    bool blank() const { return colours < 2 || mean > 0.999; }
};

std::filesystem::path need(const std::string& name)
{
    const auto p = test::tool(name);
    if (p.empty())
        ADD_FAILURE() << name << " is missing: run scripts/install-deps.sh";
    return p;
}

Image identify(const std::filesystem::path& file)
{
    const auto r = run(need("identify"), {"-format", "%w %h %k %[fx:mean]\n", file.string()});
    EXPECT_EQ(r.status, 0) << file << ": " << r.err;
    Image im;
    std::istringstream(r.out) >> im.w >> im.h >> im.colours >> im.mean;
    return im;
}

std::size_t count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

struct Counts {
    std::size_t polylines = 0, polygons = 0, ellipses = 0, texts = 0;
};

Counts countItems(const Scene& s)
{
    Counts c;
    for (const Item& i : s.items) {
        c.polylines += std::holds_alternative<Polyline>(i);
        c.polygons += std::holds_alternative<Polygon>(i);
        c.ellipses += std::holds_alternative<Ellipse>(i);
        c.texts += std::holds_alternative<Text>(i);
    }
    return c;
}

struct Plot {
    Figure fig;
    std::string base;
    std::vector<std::string> words; // texts that must come out as text
};

class Export : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // KOLMO_PLOTS_KEEP=folder keeps the files there, to look at them.
        if (const char* keep = std::getenv("KOLMO_PLOTS_KEEP")) {
            dir_ = keep;
            std::filesystem::create_directories(dir_);
        } else {
            dir_ = test::freshDir("plots_export");
        }
        const AppState s = test::computedState("local");
        plots_ = new std::vector<Plot>{
            {prik_mre(*s.prik), "mreza", {"Mreza tock", "transf. tocke", "LJ01", "N08"}},
            {prik_obod(*s.prik, loadMeja(test::dataDir())), "obod_rs", {"Lega mreze na prikazu z mejo RS", "640"}},
            {prik_odst(*s.prik), "odstopanja", {"Odstopanja veznih točk", "LJ12", "vezne točke"}},
            {prikaziT(test::dataDir()), "amg2000", {"13"}},
            {prikaziK(test::dataDir()), "vrp2016", {"46"}},
        };
    }
    static void TearDownTestSuite()
    {
        delete plots_;
        plots_ = nullptr;
        if (!std::getenv("KOLMO_PLOTS_KEEP"))
            std::filesystem::remove_all(dir_);
    }
    // The plot exported in format f (once per process: ctest runs every test
    // in a process of its own, so each test exports only what it reads).
    static std::filesystem::path file(const Plot& p, Format f)
    {
        const auto path = dir_ / exportFileName(p.base, f);
        if (done_.insert(path).second)
            exportFigure(p.fig, path, f, kW, kH);
        return path;
    }

    static constexpr int kW = 1000, kH = 750;
    static inline std::filesystem::path dir_;
    static inline std::vector<Plot>* plots_ = nullptr;
    static inline std::set<std::filesystem::path> done_;
};

} // namespace

TEST_F(Export, RastersDecodeAtTheirSizeAndAreNotBlank)
{
    for (const Plot& p : *plots_)
        for (Format f : {Format::Png, Format::Tiff, Format::Jpeg}) {
            const Image im = identify(file(p, f));
            EXPECT_EQ(im.w, kW) << p.base << " " << formatName(f);
            EXPECT_EQ(im.h, kH) << p.base << " " << formatName(f);
            EXPECT_FALSE(im.blank()) << p.base << " " << formatName(f) << " looks blank";
        }
}

TEST_F(Export, GhostscriptRendersTheEps)
{
    for (const Plot& p : *plots_) {
        const auto png = dir_ / (p.base + "_eps.png");
        const std::string eps = test::readText(file(p, Format::Eps));
        EXPECT_EQ(eps.rfind("%!PS-Adobe-3.0 EPSF-3.0\n", 0), 0u);
        EXPECT_NE(eps.find("%%BoundingBox: 0 0 450 338\n"), std::string::npos) << "450 pt wide at 4:3";
        const auto r = run(need("gs"), {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dEPSCrop", "-sDEVICE=png16m",
                                        "-r72", "-sOutputFile=" + png.string(), file(p, Format::Eps).string()});
        ASSERT_EQ(r.status, 0) << p.base << ": " << r.out << r.err;
        EXPECT_EQ(r.err, "") << p.base;
        const Image im = identify(png);
        EXPECT_EQ(im.w, 450);
        EXPECT_EQ(im.h, 338);
        EXPECT_FALSE(im.blank()) << p.base;
    }
    // Slovene letters are written through the Windows-1250 vector (č = \350),
    // so the file is 7-bit text as its header says.
    const std::string eps = test::readText(file((*plots_)[2], Format::Eps));
    EXPECT_TRUE(std::all_of(eps.begin(), eps.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
    EXPECT_NE(eps.find("%%Title: Kolmo - Odstopanja veznih tock\n"), std::string::npos);
    EXPECT_NE(eps.find("(Odstopanja veznih to\\350k)"), std::string::npos);
    EXPECT_NE(eps.find("/ccaron"), std::string::npos);
}

TEST_F(Export, EmfConvertsWithEveryLineAndText)
{
    for (const Plot& p : *plots_) {
        if (p.base == "vrp2016")
            continue; // the same writer as amg2000, only ten times the cells
        const auto svg = dir_ / (p.base + "_emf.svg");
        const auto r = run(need("emf2svg-conv"), {"-i", file(p, Format::Emf).string(), "-o", svg.string()});
        ASSERT_EQ(r.status, 0) << p.base << ": " << r.err;
        const std::string out = test::readText(svg);
        const Counts c = countItems(layout(p.fig, kW, kH, defaultPxPerPt(kW, kH)));
        // Every polyline and polygon (and the page's background) becomes a path.
        EXPECT_EQ(count(out, "<path"), c.polylines + c.polygons + 1) << p.base;
        EXPECT_EQ(count(out, "<ellipse"), c.ellipses) << p.base;
        EXPECT_EQ(count(out, "<text"), c.texts) << p.base;
        for (const std::string& w : p.words)
            EXPECT_NE(out.find("<![CDATA[" + w + "]]>"), std::string::npos) << p.base << ": " << w;
    }
}

TEST_F(Export, SvgIsXmlWithTheNamesAsText)
{
    for (const Plot& p : *plots_) {
        const auto svg = file(p, Format::Svg);
        auto r = run(need("xmllint"), {"--noout", svg.string()});
        EXPECT_EQ(r.status, 0) << p.base << ": " << r.err;
        r = run(need("xmllint"), {"--xpath", "//*[local-name()='text']/text()", svg.string()});
        ASSERT_EQ(r.status, 0) << p.base << ": " << r.err;
        for (const std::string& w : p.words)
            EXPECT_NE(r.out.find(w), std::string::npos) << p.base << ": " << w;
        // An independent renderer draws it.
        const auto png = dir_ / (p.base + "_svg.png");
        r = run(need("rsvg-convert"), {svg.string(), "-o", png.string()});
        EXPECT_EQ(r.status, 0) << p.base << ": " << r.err;
        EXPECT_FALSE(identify(png).blank()) << p.base;
    }
}

TEST_F(Export, PdfRendersAndKeepsItsText)
{
    for (const Plot& p : *plots_) {
        const auto pdf = file(p, Format::Pdf);
        const auto png = dir_ / (p.base + "_pdf");
        auto r = run(need("pdftoppm"), {"-png", "-r", "72", "-singlefile", pdf.string(), png.string()});
        ASSERT_EQ(r.status, 0) << p.base << ": " << r.err;
        const Image im = identify(png.string() + ".png");
        EXPECT_EQ(im.w, 450) << p.base;
        EXPECT_FALSE(im.blank()) << p.base;
        r = run(need("pdftotext"), {pdf.string(), "-"});
        ASSERT_EQ(r.status, 0) << p.base << ": " << r.err;
        for (const std::string& w : p.words)
            EXPECT_NE(r.out.find(w), std::string::npos) << p.base << ": " << w;
    }
}

TEST_F(Export, ReplacesTheFileWholeOrNotAtAll)
{
    const Plot& p = (*plots_)[0];
    const auto target = dir_ / "twice.png";
    exportFigure(p.fig, target, Format::Png, 400, 300);
    exportFigure(p.fig, target, Format::Png, 640, 480);
    EXPECT_EQ(identify(target).w, 640) << "the second export replaced the first";

    // A folder that does not exist: the operating system's reason is named.
    try {
        exportFigure(p.fig, dir_ / "no" / "such" / "mreza.png", Format::Png);
        ADD_FAILURE() << "no error";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos) << e.what();
    }
    // A folder where the file should be: nothing is replaced, no temporary file stays.
    std::filesystem::create_directories(dir_ / "busy" / "mreza.svg");
    EXPECT_THROW(exportFigure(p.fig, dir_ / "busy" / "mreza.svg", Format::Svg), FileError);
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "busy" / "mreza.svg"));
    for (const auto& e : std::filesystem::directory_iterator(dir_ / "busy"))
        EXPECT_EQ(e.path().filename(), "mreza.svg") << "left behind: " << e.path();
    for (const auto& e : std::filesystem::directory_iterator(dir_))
        EXPECT_EQ(e.path().extension() == ".tmp", false) << "left behind: " << e.path();

    EXPECT_THROW(exportFigure(p.fig, dir_ / "tiny.png", Format::Png, 4, 4), Error);
}

TEST(ExportNames, FormatsAndFixedFileNames)
{
    const std::pair<Format, const char*> names[] = {{Format::Png, "mreza.png"},  {Format::Tiff, "mreza.tif"},
                                                    {Format::Jpeg, "mreza.jpg"}, {Format::Eps, "mreza.eps"},
                                                    {Format::Emf, "mreza.emf"},  {Format::Svg, "mreza.svg"},
                                                    {Format::Pdf, "mreza.pdf"}};
    for (const auto& [f, name] : names) {
        EXPECT_EQ(exportFileName("mreza", f), name);
        EXPECT_EQ(parseFormat(formatName(f)), f);
    }
    EXPECT_EQ(exportFileName("obod_rs", Format::Tiff), "obod_rs.tif");
    EXPECT_FALSE(parseFormat("tif"));
    EXPECT_FALSE(parseFormat("PNG"));
}
