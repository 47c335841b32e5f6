// vis_svs: heights between the SVS2000 (Trieste) and SVS2010 (Koper) height
// systems by the official SLO-VTP2024 offset of GURS:
//   H(SVS2010) = H(SVS2000) + offset(fi, la).
// The offsets sit on the grid of SLO-VRP2016 (data/VTP2024.mat, variable VTP,
// 241 x 321, first row northernmost): pixel centres at longitude
// 13 + 0.0125 j and latitude 47 - k / 120 degrees (D96, GRS-80).  Between the
// centres the offset is bilinear in the form PROJ's vgridshift evaluates it,
// with x from the western and y from the southern neighbour:
//   v = a (1 - x - y + x y) + b (x - x y) + c (y - x y) + d x y.
// A point outside the grid has no offset (NaN).
#pragma once

#include "platform/pointset.h"

#include <filesystem>

namespace kolmo {

inline constexpr const char* kSvsOffsetFile = "VTP2024.mat";

class SvsOffset {
public:
    // Reads the grid of `file`; DataFileError when missing or of another shape.
    explicit SvsOffset(const std::filesystem::path& file);
    // The grid of the data folder, read once and kept; safe from any thread.
    static const SvsOffset& of(const std::filesystem::path& dataDir);

    // The offset H(SVS2010) - H(SVS2000) in metres at D96 latitude and
    // longitude (decimal degrees); NaN outside the grid.
    double at(double fi, double la) const;

private:
    Mat v_;
};

} // namespace kolmo
