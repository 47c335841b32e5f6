#include "app/point_layer.h"

#include "migrate/gis_module.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace kolmo {

PointLayer::PointLayer(const std::filesystem::path& target) : impl_(gisModule().makePointLayer(target)) {}

PointLayer::~PointLayer() = default;

void PointLayer::setCrs(const std::string& definition, bool degrees) { impl_->setCrs(definition, degrees); }

void PointLayer::begin(int coordinateType, bool heights) { impl_->begin(coordinateType, heights); }

void PointLayer::point(const std::string& name, double a, double b, double h) { impl_->point(name, a, b, h); }

bool PointLayer::started() const { return impl_->started(); }

void PointLayer::commit() { impl_->commit(); }

std::size_t PointLayer::written() const { return impl_->written(); }

bool PointLayer::isLayerName(const std::filesystem::path& file)
{
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension.empty())
        return false;
    // Whole words of the list only (".g" is none).
    const std::string_view list = extensions();
    for (std::size_t at = list.find(extension); at != std::string_view::npos; at = list.find(extension, at + 1)) {
        const std::size_t end = at + extension.size();
        if ((at == 0 || list[at - 1] == ' ') && (end == list.size() || list[end] == ' '))
            return true;
    }
    return false;
}

const char* PointLayer::extensions() { return ".gpkg .shp .geojson .fgb .gml .dxf"; }

} // namespace kolmo
