// A written GIS dataset read back before it is put in place.  A driver that
// writes through a buffered file may lose a write that failed (a full disk,
// a file-size limit) without a word: GeoJSON and CSV then end early, and the
// file is found short only by reading it.  So the dataset in its temporary
// folder is opened again with the driver that wrote it, and it must hold the
// layers written, in their order, each with the number of features written
// and the extent of their geometries.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class OGRFeature;

namespace kolmo {

// What was written into one layer.
struct WrittenLayer {
    std::string name;
    std::int64_t features = 0;
    bool hasExtent = false;
    double minX = 0, minY = 0, maxX = 0, maxY = 0; // of the first geometry field

    // Counts a written feature and widens the extent by its geometry.
    void add(const OGRFeature& feature);
};

// Throws kolmo::FileError naming `shown` (the output as the user named it)
// when the dataset `file` cannot be opened by the driver `driver`, or holds
// other layers, feature counts or extents than `layers`.  Curves a format
// keeps only as line strings make the extent read back a little smaller: it
// may be within a thousandth of its size (and a millimetre) inside.
void checkWrittenDataset(const std::filesystem::path& file, const char* driver, const std::string& shown,
                         const std::vector<WrittenLayer>& layers);

} // namespace kolmo
