// elipgk / gkelip against an independent transverse Mercator: PROJ's exact
// (Poder/Engsager) tmerc on the same ellipsoids and zone constants, over
// 45-47 deg N and the whole zone 13.25-16.75 deg E in steps of 0.05 deg.
#include "geodesy/elipgk.h"
#include "geodesy/parelip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>

#ifdef KOLMO_HAVE_PROJ
#include <proj.h>
#endif

using namespace kolmo;

#ifdef KOLMO_HAVE_PROJ
namespace {

struct Peer {
    PJ_CONTEXT* ctx = proj_context_create();
    PJ* pj = nullptr;
    explicit Peer(const char* ellipsoid)
    {
        const std::string def = std::string("+proj=tmerc +algo=poder_engsager +lat_0=0 +lon_0=15 +k=0.9999 "
                                            "+x_0=500000 +y_0=-5000000 +units=m ") + ellipsoid;
        pj = proj_create(ctx, def.c_str());
    }
    ~Peer()
    {
        proj_destroy(pj);
        proj_context_destroy(ctx);
    }
};

struct Differences {
    double forward_mm = 0;  // plane, millimetres
    double inverse_mm = 0;  // geodetic, as millimetres on the ground
};

Differences compare(int elip, const char* ellipsoid)
{
    Peer peer(ellipsoid);
    EXPECT_NE(peer.pj, nullptr);
    Differences d;
    if (!peer.pj)
        return d;
    Mat geo(0, 2);
    for (double fi = 45.0; fi <= 47.0 + 1e-9; fi += 0.05)
        for (double la = 13.25; la <= 16.75 + 1e-9; la += 0.05) {
            geo.conservativeResize(geo.rows() + 1, 2);
            geo.row(geo.rows() - 1) << fi, std::min(la, 16.75);
        }
    const Mat plane = elipgk(geo, geo.rows(), elip, 1);
    EXPECT_EQ(plane.rows(), geo.rows());
    for (Eigen::Index i = 0; i < plane.rows(); ++i) {
        const PJ_COORD g = proj_coord(proj_torad(geo(i, 1)), proj_torad(geo(i, 0)), 0, 0);
        const PJ_COORD p = proj_trans(peer.pj, PJ_FWD, g);
        d.forward_mm = std::max(d.forward_mm, 1000 * std::hypot(plane(i, 0) - p.enu.n, plane(i, 1) - p.enu.e));

        // The inverse from PROJ's plane point, so both start from the same place.
        Mat pr(1, 2);
        pr << p.enu.n, p.enu.e;
        if (p.enu.e < 362000 || p.enu.e > 638000)
            continue;
        const Mat back = gkelip(pr, 1, elip, 1);
        const PJ_COORD inv = proj_trans(peer.pj, PJ_INV, p);
        const double dfi = (back(0, 0) - proj_todeg(inv.lp.phi)) * kPi / 180;
        const double dla = (back(0, 1) - proj_todeg(inv.lp.lam)) * kPi / 180;
        const double metres = std::hypot(6378137 * dfi, 6378137 * std::cos(geo(i, 0) * kPi / 180) * dla);
        d.inverse_mm = std::max(d.inverse_mm, 1000 * metres);
    }
    return d;
}

} // namespace
#endif

TEST(ProjPeer, SeriesAgreeWithExactTransverseMercator)
{
#ifndef KOLMO_HAVE_PROJ
    GTEST_SKIP() << "PROJ is not available";
#else
    // The program's own flattenings (1/f = 298.2572221 and 299.1528128533).
    const Differences grs = compare(2, "+a=6378137 +rf=298.2572221");
    const Differences bes = compare(3, "+a=6377397.155 +rf=299.1528128533");
    std::cout << "GRS-80 forward " << grs.forward_mm << " mm, inverse " << grs.inverse_mm << " mm\n"
              << "Bessel forward " << bes.forward_mm << " mm, inverse " << bes.inverse_mm << " mm\n";
    RecordProperty("grs80_forward_mm", std::to_string(grs.forward_mm));
    RecordProperty("bessel_forward_mm", std::to_string(bes.forward_mm));
    // Forward the series to l^6 are exact to micrometres inside the zone; the
    // inverse is bounded by the footpoint tolerance of 0.1 mm.
    for (const Differences& d : {grs, bes}) {
        EXPECT_LT(d.forward_mm, 0.01);
        EXPECT_LT(d.inverse_mm, 0.2);
    }
#endif
}
