#include "migrate/gdal/crs_check.h"

#include <cpl_string.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace kolmo {
namespace {

constexpr int kEpsgGk = 3912, kEpsgGkOld = 3787, kEpsgGkZone5 = 31275, kEpsgTm = 3794;
constexpr double kBesselA = 6377397.155, kBesselInvF = 299.1528128;
constexpr double kGrs80A = 6378137.0, kGrs80InvF = 298.257222101;

std::string lower(const char* text)
{
    std::string out = text ? text : "";
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool containsAny(const std::string& text, std::initializer_list<std::string_view> words)
{
    return std::any_of(words.begin(), words.end(),
                       [&](std::string_view w) { return text.find(w) != std::string::npos; });
}

// The datum's name fits the ellipsoid's Slovene grid: an MGI datum (ESRI
// writes "D_MGI", "D_MGI_1901"; EPSG "Militar-Geographische Institut",
// "MGI 1901") on Bessel, a Slovene or European datum on GRS 1980; a datum
// left unnamed passes on the strength of the rest.
bool datumFits(const OGRSpatialReference& srs, bool bessel)
{
    const std::string datum = lower(srs.GetAttrValue("DATUM"));
    if (datum.empty() || containsAny(datum, {"unknown", "not specified", "not_specified", "unnamed"}))
        return true;
    if (bessel)
        return containsAny(datum, {"mgi", "militar", "hermannskogel", "d48", "bessel"});
    return containsAny(datum, {"slovenia", "d96", "etrs", "etrf", "european terrestrial", "grs"});
}

// Transverse Mercator on the central meridian 15 deg with the scale 0.9999,
// on the ellipsoid (a, 1/f), with the given false easting and northing, in
// metres.
bool isTmGrid(const OGRSpatialReference& srs, double a, double inverseF, double falseEasting, double falseNorthing)
{
    if (!srs.IsProjected())
        return false;
    const char* projection = srs.GetAttrValue("PROJECTION");
    if (!projection || !EQUAL(projection, SRS_PT_TRANSVERSE_MERCATOR))
        return false;
    auto near = [](double x, double y, double tolerance) { return std::abs(x - y) <= tolerance; };
    return near(srs.GetSemiMajor(), a, 1e-3) && near(srs.GetInvFlattening(), inverseF, 1e-7) &&
           near(srs.GetNormProjParm(SRS_PP_CENTRAL_MERIDIAN, -1.0), 15.0, 1e-9) &&
           near(srs.GetNormProjParm(SRS_PP_LATITUDE_OF_ORIGIN, -1.0), 0.0, 1e-9) &&
           near(srs.GetNormProjParm(SRS_PP_SCALE_FACTOR, -1.0), 0.9999, 1e-12) &&
           near(srs.GetNormProjParm(SRS_PP_FALSE_EASTING, -1.0), falseEasting, 1e-3) &&
           near(srs.GetNormProjParm(SRS_PP_FALSE_NORTHING, -1.0), falseNorthing, 1e-3) &&
           near(srs.GetLinearUnits(), 1.0, 1e-12) && datumFits(srs, a == kBesselA);
}

const char* gridName(SloveneGrid grid)
{
    switch (grid) {
    case SloveneGrid::Gk: return "D48/GK (EPSG:3912)";
    case SloveneGrid::GkZone5: return "D48/GK in the Balkans zone 5 form (EPSG:31275)";
    case SloveneGrid::Tm: return "D96/TM (EPSG:3794)";
    case SloveneGrid::Other: break;
    }
    return "none of D48/GK and D96/TM";
}

std::string number(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

} // namespace

OGRSpatialReference fromEpsg(int code, bool& ok)
{
    OGRSpatialReference srs;
    ok = srs.importFromEPSG(code) == OGRERR_NONE;
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

OGRSpatialReference fromEpsg(int code)
{
    bool ok = false;
    return fromEpsg(code, ok);
}

int epsgCodeOf(const OGRSpatialReference& srs)
{
    const char* key = srs.IsCompound() ? "PROJCS" : nullptr;
    const char* authority = srs.GetAuthorityName(key);
    const char* code = srs.GetAuthorityCode(key);
    if (authority && code && EQUAL(authority, "EPSG"))
        return std::atoi(code);
    return 0;
}

SloveneGrid gridByDefinition(const OGRSpatialReference& layerSrs)
{
    OGRSpatialReference srs(layerSrs);
    if (srs.IsCompound())
        srs.StripVertical();
    const char* sameOptions[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES",
                                 "CRITERION=EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS", nullptr};
    const std::pair<int, SloveneGrid> known[] = {
        {kEpsgGk, SloveneGrid::Gk}, {kEpsgGkZone5, SloveneGrid::GkZone5}, {kEpsgTm, SloveneGrid::Tm}};
    for (const auto& [code, grid] : known) {
        bool ok = false;
        const OGRSpatialReference reference = fromEpsg(code, ok);
        if (ok && srs.IsSame(&reference, sameOptions))
            return grid;
    }
    if (isTmGrid(srs, kBesselA, kBesselInvF, 500000.0, -5000000.0))
        return SloveneGrid::Gk;
    if (isTmGrid(srs, kBesselA, kBesselInvF, 5500000.0, 0.0))
        return SloveneGrid::GkZone5;
    if (isTmGrid(srs, kGrs80A, kGrs80InvF, 500000.0, -5000000.0))
        return SloveneGrid::Tm;
    return SloveneGrid::Other;
}

std::string definitionText(const OGRSpatialReference& layerSrs)
{
    OGRSpatialReference srs(layerSrs);
    if (srs.IsCompound())
        srs.StripVertical();
    std::string text;
    if (srs.IsProjected()) {
        const char* projection = srs.GetAttrValue("PROJECTION");
        text = projection ? projection : "an unnamed projection";
        for (char& c : text)
            if (c == '_')
                c = ' ';
        if (projection && EQUAL(projection, SRS_PT_TRANSVERSE_MERCATOR))
            text += " (central meridian " + number(srs.GetNormProjParm(SRS_PP_CENTRAL_MERIDIAN, 0.0)) +
                    " deg, latitude of origin " + number(srs.GetNormProjParm(SRS_PP_LATITUDE_OF_ORIGIN, 0.0)) +
                    " deg, scale " + number(srs.GetNormProjParm(SRS_PP_SCALE_FACTOR, 0.0)) + ", false easting " +
                    number(srs.GetNormProjParm(SRS_PP_FALSE_EASTING, 0.0)) + " m, false northing " +
                    number(srs.GetNormProjParm(SRS_PP_FALSE_NORTHING, 0.0)) + " m)";
        text += " on ";
    } else if (srs.IsGeographic()) {
        text = "latitude and longitude on ";
    }
    const char* ellipsoid = srs.GetAttrValue("SPHEROID");
    text += std::string("the ellipsoid ") + (ellipsoid ? ellipsoid : "(unnamed)") + " (a " +
            number(srs.GetSemiMajor()) + " m, 1/f " + number(srs.GetInvFlattening()) + ")";
    if (const char* datum = srs.GetAttrValue("DATUM"))
        text += std::string(", datum \"") + datum + "\"";
    return text;
}

CrsVerdict judgeCrs(const OGRSpatialReference& srs)
{
    CrsVerdict verdict;
    verdict.grid = gridByDefinition(srs);
    const int code = epsgCodeOf(srs);
    if (code != 0) {
        bool ok = false;
        const OGRSpatialReference reference = fromEpsg(code, ok);
        const SloveneGrid byCode = ok ? gridByDefinition(reference) : verdict.grid;
        if (byCode != verdict.grid)
            verdict.contradiction = "its CRS carries the code EPSG:" + std::to_string(code) + " (\"" +
                                    (reference.GetName() ? reference.GetName() : "?") + "\", " + gridName(byCode) +
                                    "), but its definition is " + definitionText(srs) + ": " +
                                    gridName(verdict.grid) + "; the code and the definition contradict each other, "
                                    "so the layer's CRS (its .prj or WKT) must be set right first";
    }
    if (verdict.contradiction.empty()) {
        if (verdict.grid == SloveneGrid::Gk && code == kEpsgGkOld)
            verdict.variant = "its CRS is EPSG:3787 (MGI / Slovene National Grid), the deprecated code of the "
                              "D48/GK grid on the older MGI datum: the same plane coordinates, taken as D48/GK "
                              "(EPSG:3912)";
        else if (verdict.grid == SloveneGrid::GkZone5)
            verdict.variant = "its CRS is the Balkans zone 5 form of D48/GK (EPSG:31275: false easting 5 500 000 m, "
                              "false northing 0): taken as D48/GK (EPSG:3912) with 5 000 000 m taken off every "
                              "easting and northing";
    }
    return verdict;
}

} // namespace kolmo
