#include "migrate/migrate.h"

#include "app/izvoz_par.h"
#include "app/outputs.h"
#include "app/point_layer.h"
#include "migrate/dataset_files.h"
#include "migrate/datasets.h"
#include "migrate/mover.h"
#include "migrate/points.h"
#include "migrate/rasters.h"
#include "migrate/tran_trik.h"
#include "platform/cause.h"
#include "platform/errors.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/numtext.h"

#include <cctype>
#include <limits>
#include <memory>
#include <optional>
#include <string>

namespace kolmo {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kZoneOffset = 5000000.0;

MigrateSummary migrateGis(const MigrateOptions& o, const MigrateProgress& progress, const Mover& mover)
{
    DatasetJob job;
    job.in = o.in;
    job.out = o.out;
    job.from = o.from;
    job.layer = o.layer;
    job.assumeCrs = o.assumeCrs;
    job.lossy = o.lossy;
    // A vertex outside the model or far from the border, or whose height
    // would leave the offset grid, cannot be moved: its feature is refused
    // rather than written wrong.  Every failure stops the copy, so the first
    // one seen here is the vertex the error names; its cause is added to it.
    auto cause = std::make_shared<std::optional<std::string>>();
    auto flat = std::make_shared<std::size_t>(0); // vertices without a height
    const bool gk = o.from == MigrateFrom::Gk;
    job.move = [&mover, cause, flat, gk](std::size_t count, double* e, double* n, double* h, int* ok) {
        if (!h)
            *flat += count;
        for (std::size_t i = 0; i < count; ++i) {
            double hv = h ? h[i] : kNaN;
            bool lost = false;
            const double fileE = e[i], fileN = n[i];
            const Moved moved = mover.move(e[i], n[i], hv, lost);
            ok[i] = moved == Moved::Yes && !lost ? 1 : 0;
            if (h && ok[i])
                h[i] = hv;
            if (ok[i] || cause->has_value())
                continue;
            if (gk && (fileE >= kZoneOffset || fileN >= kZoneOffset))
                *cause = "a coordinate of 5 000 000 m or more carries the zone digit of the Balkans zone 5 form, "
                         "which only a layer in EPSG:31275 loses";
            else if (moved == Moved::FarFromBorder)
                *cause = "farther than " + platform::numberText(ValidArea::kMarginMetres / 1000.0) +
                         " km from the national border, where the model holds no longer";
            else if (moved == Moved::NoResult)
                *cause = "the parameters give it no finite coordinates";
            else if (lost)
                *cause = "a vertex lies outside the SVS2000/SVS2010 offset grid, so its height cannot be moved";
        }
    };
    DatasetSummary d;
    try {
        d = migrateDataset(job, progress);
    } catch (const FileError& e) {
        if (*cause)
            throw FileError(std::string(e.what()) + " (" + **cause + ")");
        throw;
    }
    MigrateSummary s;
    s.dataset = true;
    s.written = d.features;
    s.warnings = std::move(d.warnings);
    // Heights to move, and 2D geometries that have none: the user should
    // know that those kept no height to move rather than assume they moved.
    if (o.heights != MigrateHeights::Keep && *flat > 0)
        s.warnings.push_back(std::to_string(*flat) +
                             " vertex(es) of 2D geometries have no height, so only their position is moved; the "
                             "heights asked for (" +
                             (o.heights == MigrateHeights::Svs2000To2010 ? "SVS2000 -> SVS2010"
                                                                         : "SVS2010 -> SVS2000") +
                             ") apply to 3D geometries alone");
    return s;
}

// Refuses an output that would replace one of the program's data files: the
// model, the offsets, the stored parameter sets and the border are inputs of
// every later run.  A GIS dataset is all of its files.
void refuseDataFiles(const std::filesystem::path& dataDir, const std::filesystem::path& out, bool dataset)
{
    const std::vector<std::filesystem::path> parts =
        dataset ? datasetPartPaths(out) : std::vector<std::filesystem::path>{out};
    for (const auto& data : programDataFiles(dataDir))
        for (const auto& part : parts)
            if (platform::sameOutput(part, data))
                throw platform::Bilingual<FileError>(out.string() + " would replace " + data.string() +
                                                         ", a data file of the program: name another output file",
                                                     std::string(platform::kOutputIsInput) + " (" + out.string() +
                                                         ")");
}

} // namespace

std::string tinshiftJson(const std::filesystem::path& dataDir, MigrateFrom from)
{
    const TriangleModel& m = TriangleModel::of(dataDir);
    const bool gk = from == MigrateFrom::Gk;
    const auto num = jsonNumber; // the shortest text that reads back to the same double
    std::string j = "{\n";
    j += "  \"file_type\": \"triangulation_file\",\n";
    j += "  \"format_version\": \"1.0\",\n";
    j += std::string("  \"name\": \"") + (gk ? "D48/GK to D96/TM" : "D96/TM to D48/GK") +
         ", national triangle-based transformation model of Slovenia\",\n";
    j += "  \"version\": \"4.0\",\n";
    j += "  \"license\": \"Creative Commons Attribution 4.0 International (CC BY 4.0)\",\n";
    j += "  \"description\": \"Virtual tie points v4.0 of the triangle-based transformation D48/GK <-> D96/TM "
         "and their Delaunay triangles; affine (barycentric) in each triangle. " +
         std::string(kTriangleModelAttribution) + " Written by Kolmo v3.00.\",\n";
    j += "  \"authority\": {\"name\": \"Geodetska uprava Republike Slovenije\", \"url\": "
         "\"https://www.e-prostor.gov.si/\"},\n";
    j += "  \"links\": [{\"href\": \"https://creativecommons.org/licenses/by/4.0/\", \"rel\": \"license\", "
         "\"type\": \"text/html\", \"title\": \"CC BY 4.0\"}],\n";
    j += std::string("  \"input_crs\": \"") + (gk ? "EPSG:3912" : "EPSG:3794") + "\",\n";
    j += std::string("  \"output_crs\": \"") + (gk ? "EPSG:3794" : "EPSG:3912") + "\",\n";
    j += "  \"transformed_components\": [\"horizontal\"],\n";
    j += "  \"vertices_columns\": [\"source_x\", \"source_y\", \"target_x\", \"target_y\"],\n";
    j += "  \"triangles_columns\": [\"idx_vertex1\", \"idx_vertex2\", \"idx_vertex3\"],\n";
    j += "  \"vertices\": [\n";
    const auto& pts = m.points();
    for (std::size_t k = 0; k < pts.size(); ++k) {
        const auto& t = pts[k];
        j += "    [" + (gk ? num(t.gkE) + ", " + num(t.gkN) + ", " + num(t.tmE) + ", " + num(t.tmN)
                       : num(t.tmE) + ", " + num(t.tmN) + ", " + num(t.gkE) + ", " + num(t.gkN)) +
             (k + 1 < pts.size() ? "],\n" : "]\n");
    }
    j += "  ],\n  \"triangles\": [\n";
    const auto& tri = m.triangles();
    for (std::size_t k = 0; k < tri.size(); ++k)
        j += "    [" + std::to_string(tri[k][0]) + ", " + std::to_string(tri[k][1]) + ", " +
             std::to_string(tri[k][2]) + (k + 1 < tri.size() ? "],\n" : "]\n");
    j += "  ]\n}\n";
    return j;
}

void exportTinshift(const std::filesystem::path& dataDir, const std::filesystem::path& file, MigrateFrom from)
{
    if (file != "-")
        refuseDataFiles(dataDir, file, false);
    const std::string text = tinshiftJson(dataDir, from);
    if (file == "-") {
        auto out = platform::FileWriter::standardOutput();
        out.write(text);
        out.commit();
    } else {
        platform::writeFileAtomic(file, text);
    }
}

bool migratesAsPoints(const std::filesystem::path& in)
{
    if (isPointFile(in))
        return true;
    std::string extension = in.extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".xyz" || extension == ".dat";
}

MigrateSummary migrate(const MigrateOptions& options, const MigrateProgress& progress)
{
    if (options.in.empty() || options.out.empty())
        throw FileError("the migration needs an input and an output file");
    if (options.in != "-" && options.out != "-" &&
        (options.in == options.out || platform::sameOutput(options.in, options.out)))
        throw platform::Bilingual<FileError>(options.out.string() + " is the input " + options.in.string() +
                                                 ": name another output file",
                                             std::string(platform::kOutputIsInput) + " (" + options.out.string() +
                                                 ")");
    // The model and the offsets are inputs too: a point file named like the
    // tie points' .txt must not replace them.
    const bool points = migratesAsPoints(options.in) || options.csv;
    if (options.out != "-")
        refuseDataFiles(options.dataDir, options.out, !points);
    const Mover mover(options);
    if (points) {
        if (options.out != "-" && PointLayer::isLayerName(options.out))
            throw FileError(options.out.string() +
                            ": a point file goes into a point file (.pod, .txt, .csv or - for the standard output); "
                            "transform --out writes points as a GIS layer");
        return migratePoints(options, progress, mover);
    }
    if (options.in == "-" || options.out == "-")
        throw FileError("a GIS dataset is read from and written to files, not the standard input or output");
    if (isRasterFile(options.in))
        return migrateRaster(options, progress);
    return migrateGis(options, progress, mover);
}

} // namespace kolmo