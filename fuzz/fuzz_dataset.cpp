// libFuzzer target: arbitrary bytes as a GIS dataset that the migration reads
// through GDAL from real files in the temporary folder: a GeoJSON file, a
// Shapefile set (.shp, .shx, .dbf) or a GeoPackage.  The first byte chooses:
//   bits 0-1  the input: 0 and 3 GeoJSON, 1 Shapefile, 2 GeoPackage;
//   bit 2     lossy (what the output cannot hold converted with warnings);
//   bits 3-4  the output: GeoPackage, GeoJSON, Shapefile or FlatGeobuf.
// A Shapefile set follows as two 16-bit little-endian lengths (of the .shp
// and the .shx), the three files one after the other, the rest the .dbf.
// A layer without a CRS is taken as D48/GK.  Every GDAL error or warning
// while reading is a rejection (kolmo::FileError); anything else is a crash.
// A run that succeeds leaves its output, and no run leaves a temporary
// folder (a hidden entry) behind.
#include "migrate/datasets.h"
#include "platform/errors.h"

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// The folder lives as long as the process: it is removed at exit, after
// every static object is gone, so it is held by a pointer that is never freed.
const fs::path& scratch()
{
    static const fs::path* dir = [] {
        const char* tmp = std::getenv("TMPDIR");
        auto* d = new fs::path(fs::path(tmp && *tmp ? tmp : "/tmp") /
                               ("kolmo_fuzz_dataset." + std::to_string(::getpid())));
        fs::create_directories(*d);
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(scratch(), ec);
        });
        return d;
    }();
    return *dir;
}

void write(const fs::path& file, const std::uint8_t* data, std::size_t size)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (size > 0)
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out)
        std::abort();
}

// A vertex moves when it is a plane coordinate of the test's model.
void shift(std::size_t count, double* e, double* n, double* h, int* ok)
{
    for (std::size_t i = 0; i < count; ++i) {
        ok[i] = std::isfinite(e[i]) && std::isfinite(n[i]) && std::abs(e[i]) < 1e7 && std::abs(n[i]) < 1e7;
        e[i] += 370.0;
        n[i] -= 480.0;
        if (h)
            h[i] += 1.0;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t how = data[0];
    ++data;
    --size;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(scratch()))
        fs::remove_all(entry.path(), ec);

    fs::path in;
    switch (how & 3) {
    case 1: {
        if (size < 4)
            return 0;
        const std::size_t shp = data[0] | (std::size_t{data[1]} << 8);
        const std::size_t shx = data[2] | (std::size_t{data[3]} << 8);
        data += 4;
        size -= 4;
        if (shp + shx > size)
            return 0;
        in = scratch() / "in.shp";
        write(in, data, shp);
        write(scratch() / "in.shx", data + shp, shx);
        write(scratch() / "in.dbf", data + shp + shx, size - shp - shx);
        break;
    }
    case 2:
        in = scratch() / "in.gpkg";
        write(in, data, size);
        break;
    default:
        in = scratch() / "in.geojson";
        write(in, data, size);
        break;
    }

    static const char* const outputs[] = {"out.gpkg", "out.geojson", "out.shp", "out.fgb"};
    kolmo::DatasetJob job;
    job.in = in;
    job.out = scratch() / outputs[(how >> 3) & 3];
    job.assumeCrs = "gk";
    job.lossy = (how & 4) != 0;
    job.move = shift;
    bool written = false;
    try {
        (void)kolmo::migrateDataset(job);
        written = true;
    } catch (const kolmo::FileError&) {
    }
    if (written && !fs::exists(job.out))
        std::abort();
    for (const auto& entry : fs::directory_iterator(scratch()))
        if (entry.path().filename().string().starts_with("."))
            std::abort();
    return 0;
}
