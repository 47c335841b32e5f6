// point_layer: transformed or converted points written as a GIS point layer
// (kolmo-cli transform --out x.gpkg, convert --out x.geojson), so that GDAL,
// QGIS and other GIS programs place them without being told the axis order or
// the CRS.
//
// The point file and its CSV form write x (northing) before y (easting), the
// Slovene surveying order; GIS programs take the first column of a CSV as the
// easting and so put such points some 360 km off.  A layer carries its CRS and
// its geometry in the order easting, northing (longitude, latitude for
// ellipsoidal coordinates), whatever --order says, and the point's name and
// height as attribute fields ("name" and "H", or "h" for ellipsoidal heights
// on latitude and longitude); the plane models, which carry no height, get
// no height field.  A height the computation could not give (outside the
// geoid model) is a null field.  The text of every GIS output is UTF-8.
//
// The CRS follows the coordinate type the computation hands over: D96/TM is
// EPSG:3794, D48/GK EPSG:3912, D96 latitude and longitude EPSG:4258; the
// conversion tool names its own (setCrs).
//
// The formats are those the migration writes, chosen by the extension:
// .gpkg (GeoPackage), .shp (Shapefile with .shx, .dbf, .prj and a .cpg saying
// UTF-8), .geojson (outside RFC 7946, so that a projected CRS stays), .fgb
// (FlatGeobuf without a spatial index, so the points keep their order), .gml
// (with its .xsd) and .dxf.  A DXF file has no attribute fields: each point is
// a POINT entity with the height as its z, followed by a TEXT entity with its
// name.
//
// All or nothing: GDAL writes into a hidden folder beside the target; commit()
// then puts every file of the set in place through the safe write, inside the
// caller's platform::CommitGroup when one is alive (so the layer goes in with
// the report or not at all), or in one group of its own.  Files a former write
// of the same name left beside it that the new set does not replace (a
// Shapefile's spatial index, a GML's .gfs) are removed.  Destroyed without
// commit(), it leaves nothing behind.
#pragma once

#include "app/izracun.h"

#include <filesystem>
#include <memory>
#include <string>

namespace kolmo {

// The writer behind a PointLayer: GDAL's, in the library kolmo_gis that is
// loaded when the first layer is made (migrate/gis_module.h).
class PointLayerBackend {
public:
    virtual ~PointLayerBackend() = default;
    virtual void setCrs(const std::string& definition, bool degrees) = 0;
    virtual void begin(int coordinateType, bool heights) = 0;
    virtual void point(const std::string& name, double a, double b, double h) = 0;
    virtual bool started() const = 0;
    virtual void commit() = 0;
    virtual std::size_t written() const = 0;
};

class PointLayer : public PointSink {
public:
    explicit PointLayer(const std::filesystem::path& target);
    ~PointLayer() override;
    PointLayer(const PointLayer&) = delete;
    PointLayer& operator=(const PointLayer&) = delete;

    // The CRS as GDAL takes it ("EPSG:4312", a PROJ string), in place of the
    // one of the coordinate type; `degrees` when the coordinates are latitude
    // and longitude.  Before begin().
    void setCrs(const std::string& definition, bool degrees);

    void begin(int coordinateType, bool heights) override;
    // a, b as the computation hands them: x (northing), y (easting), or
    // latitude, longitude in degrees; h the height (NaN: none).
    void point(const std::string& name, double a, double b, double h) override;

    bool started() const;
    // Writes the layer out and puts its files in place.  Throws FileError.
    void commit();
    std::size_t written() const;

    // Whether the name's extension is one of a GIS point layer (.gpkg, .shp,
    // .geojson, .fgb, .gml, .dxf, in any letter case).
    static bool isLayerName(const std::filesystem::path& file);
    // ".gpkg .shp .geojson .fgb .gml .dxf", for messages and help texts.
    static const char* extensions();

private:
    std::unique_ptr<PointLayerBackend> impl_;
};

} // namespace kolmo
