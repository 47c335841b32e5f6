#include "app/izvoz_par.h"

#include "app/pardb.h"
#include "engine/tran3d.h"
#include "geodesy/parelip.h"
#include "platform/cp1250.h"
#include "plots/grobi.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

namespace kolmo {
namespace {

// A number at full precision: the shortest text that reads back to the same
// double; JSON has no NaN or infinity, so those are null.
std::string num(double v)
{
    if (!std::isfinite(v))
        return "null";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string jsonText(std::string_view text)
{
    std::string out(1, '"');
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
                out += buf;
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

// A point name of the files (Windows-1250) as JSON text.
std::string nameText(const std::string& cp1250) { return jsonText(platform::fromCp1250(cp1250)); }

// Point names as a JSON array on one line.
std::string namesArray(const Names& names)
{
    std::string out = "[";
    for (std::size_t k = 0; k < names.size(); ++k)
        out += (k ? ", " : "") + nameText(names[k]);
    return out + "]";
}

bool spatial(const ParExport& e) { return e.tip == 1; }

// The spatial type codes (1 D96/fi_la, 2 D96/TM, 3 D48/GK) of a list value.
int spatialCode(const ParExport& e, int code) { return spatial(e) ? code : code + 1; }

const char* typeName(int spatialCode)
{
    return spatialCode == 1 ? "D96/fi_la" : spatialCode == 2 ? "D96/TM" : "D48/GK";
}

// Ellipsoid of a spatial type code: GRS-80 for the D96 types, Bessel for D48/GK.
struct EllipsoidText {
    const char* name;
    const char* proj; // PROJ's parameters of it
    double a, rf;
};

EllipsoidText ellipsoidOf(int spatialCode)
{
    if (spatialCode < 3)
        return {"GRS-80", "+a=6378137 +rf=298.2572221", 6378137.0, 298.2572221};
    return {"Bessel", "+a=6377397.155 +rf=299.1528128533", 6377397.155, 299.1528128533};
}

std::string zoneProjection(const EllipsoidText& el)
{
    return std::string("+proj=tmerc +lat_0=0 +lon_0=15 +k=0.9999 +x_0=500000 +y_0=-5000000 ") + el.proj;
}

std::string affineStep(const ParExport& e)
{
    // Kolmo's plane models, x the northing and y the easting:
    //   4: x' = a x - b y + c,         y' = b x + a y + d
    //   6: x' = a1 x + a2 y + a3,      y' = b1 x + b2 y + b3
    // PROJ's affine works on (X, Y) = (easting, northing):
    //   X' = xoff + s11 X + s12 Y,     Y' = yoff + s21 X + s22 Y.
    const Vec& p = e.PAR;
    double xoff, yoff, s11, s12, s21, s22;
    if (e.tip == 2) {
        xoff = p(3), s11 = p(0), s12 = p(1);  // y' = d + a y + b x
        yoff = p(2), s21 = -p(1), s22 = p(0); // x' = c - b y + a x
    } else {
        xoff = p(5), s11 = p(4), s12 = p(3);  // y' = b3 + b2 y + b1 x
        yoff = p(2), s21 = p(1), s22 = p(0);  // x' = a3 + a2 y + a1 x
    }
    return "+proj=affine +xoff=" + num(xoff) + " +yoff=" + num(yoff) + " +s11=" + num(s11) + " +s12=" + num(s12) +
           " +s21=" + num(s21) + " +s22=" + num(s22);
}

std::string axesOf(int spatialCode, bool height)
{
    if (spatialCode == 1)
        return "longitude, latitude (decimal degrees), ellipsoidal height (m)";
    return std::string("easting, northing (m)") + (height ? ", ellipsoidal height (m)" : "");
}

// What the heights of this computation were, in words.
std::string heightsText(const ParExport& e)
{
    if (!spatial(e))
        return "The plane models carry no heights.";
    std::string t = "The pipeline takes the third coordinate as the ellipsoidal height on the start ellipsoid and "
                    "gives the ellipsoidal height on the end ellipsoid. ";
    if (e.t_tr.vis == 1)
        t += "In this estimation Kolmo took h = 0 for the common points (height option 1); the transformed points "
             "get H = h - N with N the geoid height at the start point.";
    else if (e.t_tr.vis == 2)
        t += "In this estimation Kolmo took the heights of the point files as ellipsoidal heights (height option "
             "2); the transformed points get H = h - N with N the geoid height at the start point.";
    else if (e.t_tr.vis == 3)
        t += "Kolmo took the heights of the point files as ellipsoidal heights and gives the transformed "
             "ellipsoidal height, as the pipeline does.";
    else
        t += "Kolmo took the heights of the point files as ellipsoidal heights in the transformation and keeps the "
             "start heights unchanged in its plane output.";
    return t;
}

// Which m0 is which, when the converged adjustment is there as well.
std::string m0About(const ParExport& e)
{
    if (e.statistics.empty())
        return "";
    return ", \"about\": " +
           jsonText(spatial(e) ? "the report's figures: all_residuals from the residuals of the linearisation before "
                                 "the last correction, end_differences from the differences of the transformed and "
                                 "given common points in the end datum; adjustment.sigma0 is the a-posteriori value "
                                 "of the converged adjustment that the precision and the tests take"
                               : "the report's figure, from the residuals of the linearisation before the last "
                                 "correction; adjustment.sigma0 is the a-posteriori value of the converged "
                                 "adjustment that the precision and the tests take");
}

} // namespace

std::string jsonNumber(double v) { return num(v); }
std::string jsonString(std::string_view text) { return jsonText(text); }

std::string projPipeline(const ParExport& e)
{
    if (!spatial(e))
        return "+proj=pipeline +step " + affineStep(e);
    const int start = e.tip1, end = e.tip2, out = e.tip3;
    const EllipsoidText from = ellipsoidOf(start), to = ellipsoidOf(end);
    const Vec& p = e.PAR;
    std::string s = "+proj=pipeline";
    if (start == 1)
        s += " +step +proj=unitconvert +xy_in=deg +xy_out=rad";
    else
        s += " +step +inv " + zoneProjection(from);
    s += std::string(" +step +proj=cart ") + from.proj;
    s += " +step +proj=helmert +x=" + num(p(0)) + " +y=" + num(p(1)) + " +z=" + num(p(2)) + " +rx=" + num(p(3)) +
         " +ry=" + num(p(4)) + " +rz=" + num(p(5)) + " +s=" + num(p(6)) + " +convention=coordinate_frame +exact";
    s += std::string(" +step +inv +proj=cart ") + to.proj;
    // Ellipsoidal output is the end ellipsoid's; plane output its projection.
    if (out == 1)
        s += " +step +proj=unitconvert +xy_in=rad +xy_out=deg";
    else
        s += " +step " + zoneProjection(to);
    return s;
}

std::string parametersJson(const ParExport& e)
{
    const bool sp = spatial(e);
    const int start = spatialCode(e, e.tip1), end = spatialCode(e, e.tip2);
    const int out = sp ? e.tip3 : end;
    const std::string direction = par_tip(e.tip, e.tip3);
    std::string j = "{\n";
    j += "  \"program\": \"Kolmo v3.00\",\n";
    j += "  \"model\": " + jsonText(sp ? "3r7" : e.tip == 2 ? "2r4" : "2r6") + ",\n";
    j += "  \"description\": " +
         jsonText(sp ? "seven-parameter spatial similarity, estimated by least squares (Gauss-Helmert) from common "
                     "points"
                   : e.tip == 2 ? "four-parameter plane similarity, estimated by least squares (Gauss-Helmert) "
                                  "from common points"
                                : "six-parameter plane affine transformation, estimated by least squares "
                                  "(Gauss-Helmert) from common points") +
         ",\n";
    const bool intoD96 = direction == "2";
    j += "  \"direction\": {\"code\": " + jsonText(direction) + ", \"from\": " + jsonText(intoD96 ? "D48" : "D96") +
         ", \"to\": " + jsonText(intoD96 ? "D96" : "D48") + "},\n";
    j += "  \"types\": {\"start\": " + jsonText(typeName(start)) + ", \"end\": " + jsonText(typeName(end)) +
         ", \"output\": " + jsonText(typeName(out)) + "},\n";

    std::vector<std::string> names, units, about;
    if (sp) {
        const EllipsoidText from = ellipsoidOf(start), to = ellipsoidOf(end);
        j += "  \"ellipsoids\": {\"start\": {\"name\": " + jsonText(from.name) + ", \"a\": " + num(from.a) +
             ", \"inverse_flattening\": " + num(from.rf) + "}, \"end\": {\"name\": " + jsonText(to.name) +
             ", \"a\": " + num(to.a) + ", \"inverse_flattening\": " + num(to.rf) + "}},\n";
        j += "  \"formula\": " +
             jsonText("y = d + (1 + scale * 1e-6) * R * x, with x and y the geocentric Cartesian coordinates X, Y, Z "
                    "(m) of a point on the start and on the end ellipsoid and d = (dx, dy, dz)") +
             ",\n";
        j += "  \"rotation_convention\": {\n"
             "    \"name\": \"coordinate frame\",\n"
             "    \"matrix\": " +
             jsonText("R = R3(gama) * R2(beta) * R1(alfa) with R1(a) = [[1, 0, 0], [0, cos a, sin a], [0, -sin a, "
                    "cos a]], R2(b) = [[cos b, 0, -sin b], [0, 1, 0], [sin b, 0, cos b]], R3(g) = [[cos g, sin g, "
                    "0], [-sin g, cos g, 0], [0, 0, 1]]: each factor turns the coordinate axes, not the point, by "
                    "a positive angle about X, Y and Z") +
             ",\n    \"elements\": " +
             jsonText("R = [[cb cg, ca sg + sa sb cg, sa sg - ca sb cg], [-cb sg, ca cg - sa sb sg, sa cg + ca sb "
                    "sg], [sb, -sa cb, ca cb]] with ca = cos alfa, sa = sin alfa, cb = cos beta, sb = sin beta, "
                    "cg = cos gama, sg = sin gama") +
             ",\n    \"small_angles\": " +
             jsonText("R ~ [[1, gama, -beta], [-gama, 1, alfa], [beta, -alfa, 1]] (angles in radians); Kolmo uses "
                    "the exact matrix, not this approximation") +
             ",\n    \"proj\": " +
             jsonText("PROJ helmert with +convention=coordinate_frame +exact and rx = alfa, ry = beta, rz = gama "
                    "builds the same matrix; the position-vector convention (EPSG 9606) has the opposite signs "
                    "of the three angles") +
             "\n  },\n";
        const Eigen::Matrix3d R = rot3d(arcsecToRad(e.PAR(3)), arcsecToRad(e.PAR(4)), arcsecToRad(e.PAR(5)));
        j += "  \"rotation_matrix\": [";
        for (int r = 0; r < 3; ++r)
            j += std::string(r ? ", " : "") + "[" + num(R(r, 0)) + ", " + num(R(r, 1)) + ", " + num(R(r, 2)) + "]";
        j += "],\n";
        names = {"dx", "dy", "dz", "alfa", "beta", "gama", "scale"};
        units = {"m", "m", "m", "arc second", "arc second", "arc second", "ppm"};
        about = {"translation along X", "translation along Y", "translation along Z", "rotation about the X axis",
                 "rotation about the Y axis", "rotation about the Z axis", "scale change: s = 1 + scale * 1e-6"};
    } else if (e.tip == 2) {
        j += "  \"formula\": " +
             jsonText("x' = a x - b y + c, y' = b x + a y + d, with x the northing and y the easting (m) of the "
                    "start plane and x', y' those of the end plane; a = m cos(theta), b = m sin(theta)") +
             ",\n";
        const double m = std::hypot(e.PAR(0), e.PAR(1));
        const double theta = std::atan2(e.PAR(1), e.PAR(0)) * 180.0 / kPi * 3600.0;
        j += "  \"derived\": {\"scale_ppm\": " + num((m - 1) * 1e6) + ", \"rotation_arc_seconds\": " + num(theta) +
             "},\n";
        names = {"a", "b", "c", "d"};
        units = {"1", "1", "m", "m"};
        about = {"m cos(theta)", "m sin(theta)", "translation of x (northing)", "translation of y (easting)"};
    } else {
        j += "  \"formula\": " +
             jsonText("x' = a1 x + a2 y + a3, y' = b1 x + b2 y + b3, with x the northing and y the easting (m) of the "
                    "start plane and x', y' those of the end plane") +
             ",\n";
        names = {"a1", "a2", "a3", "b1", "b2", "b3"};
        units = {"1", "1", "m", "1", "1", "m"};
        about = {"coefficient of x in x'", "coefficient of y in x'", "translation of x (northing)",
                 "coefficient of x in y'", "coefficient of y in y'", "translation of y (easting)"};
    }

    const Vec* sd = e.sd ? e.sd : sp ? (e.est3d ? &e.est3d->sdPAR : nullptr) : (e.est2d ? &e.est2d->sdPAR : nullptr);
    j += "  \"parameters\": [\n";
    for (std::size_t k = 0; k < names.size(); ++k) {
        const auto i = static_cast<Eigen::Index>(k);
        j += "    {\"name\": " + jsonText(names[k]) + ", \"value\": " + num(e.PAR(i)) + ", \"unit\": " +
             jsonText(units[k]) + ", \"sd\": " + (sd && sd->size() > i ? num((*sd)(i)) : "null") +
             ", \"meaning\": " + jsonText(about[k]) + "}" + (k + 1 < names.size() ? ",\n" : "\n");
    }
    j += "  ],\n";

    if (sp && e.est3d) {
        const Par3dResult& est = *e.est3d;
        const auto n = est.vezne.ime.size();
        j += "  \"standard_deviations\": " +
             jsonText(!e.sdText.empty() ? e.sdText : "sd = sqrt(diag(var2 N^-1)), N the normal matrix of the last iteration and var2 the square of "
                    "m0 from the end-datum differences; the adjustment works with coordinates in units of 100 km "
                    "and standard deviations in m, and the figures are brought back to the units of the "
                    "parameters") +
             ",\n";
        j += "  \"m0\": {\"all_residuals\": " + num(est.m0[0]) + ", \"end_differences\": " + num(est.m0[1]) +
             ", \"unit\": \"m\"" + m0About(e) + "},\n";
        j += "  \"iterations\": " + std::to_string(est.iter) + ",\n";
        j += "  \"redundancy\": " + std::to_string(3 * static_cast<long long>(n) - 7) + ",\n";
        j += "  \"common_points\": " + namesArray(est.vezne.ime) + ",\n";
        j += "  \"gross_error_test\": " +
             jsonText("a coordinate is flagged when its standardised difference exceeds 3.29 or its tau ratio "
                    "(Pope's tau test, 5 % over all coordinates) exceeds 1") +
             ",\n";
        j += "  \"flagged\": [";
        static const char* axis[] = {"X", "Y", "Z"};
        bool first = true;
        for (std::size_t k = 0; k < n; ++k)
            for (int c = 0; c < 3; ++c) {
                const auto idx = static_cast<Eigen::Index>(3 * k) + c;
                if (grobaKoordinata(est, idx)) {
                    j += std::string(first ? "\n" : ",\n") + "    {\"point\": " + nameText(est.vezne.ime[k]) +
                         ", \"coordinate\": " + jsonText(axis[c]) + ", \"standardised_difference\": " +
                         num(est.v_st(idx)) + ", \"tau\": " + num(est.tau(idx)) + "}";
                    first = false;
                }
            }
        j += first ? "],\n" : "\n  ],\n";
    } else if (!sp && e.est2d) {
        const Par2dResult& est = *e.est2d;
        const auto n = est.vezne.ime.size();
        j += "  \"standard_deviations\": " +
             jsonText(!e.sdText.empty() ? e.sdText : "sd = sqrt(diag(m0^2 N^-1)), N the normal matrix of the last iteration") + ",\n";
        j += "  \"m0\": {\"all_residuals\": " + num(est.m0) + ", \"unit\": \"m\"" + m0About(e) + "},\n";
        j += "  \"iterations\": " + std::to_string(est.iter) + ",\n";
        j += "  \"redundancy\": " + std::to_string(2 * static_cast<long long>(n) - (e.tip == 2 ? 4 : 6)) + ",\n";
        j += "  \"common_points\": " + namesArray(est.vezne.ime) + ",\n";
        j += "  \"gross_error_test\": " +
             jsonText("a screen, not a test at a stated level: a point is flagged when a misclosure exceeds 3.29 "
                    "times its standard deviation from m0 and the points' standard deviations") +
             ",\n";
        j += "  \"flagged\": [";
        const std::vector<bool> flags = grobi2d(est, e.tip == 2 ? 4 : 6);
        bool first = true;
        for (std::size_t k = 0; k < n && k < flags.size(); ++k)
            if (flags[k]) {
                j += std::string(first ? "" : ", ") + "{\"point\": " + nameText(est.vezne.ime[k]) + "}";
                first = false;
            }
        j += "],\n";
    }

    j += e.statistics;
    j += "  \"heights\": " + jsonText(heightsText(e)) + ",\n";
    j += "  \"proj_pipeline\": " + jsonText(projPipeline(e)) + ",\n";
    j += "  \"proj_axes\": {\"input\": " + jsonText(axesOf(start, sp) + " of " + typeName(start)) +
         ", \"output\": " + jsonText(axesOf(out, sp) + " of " + typeName(out)) + ", \"note\": " +
         jsonText("plane coordinates without the zone digit 5; Kolmo's own order puts the northing x first") + "}\n";
    j += "}\n";
    return j;
}

} // namespace kolmo
