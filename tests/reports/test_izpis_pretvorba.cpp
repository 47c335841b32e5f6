// Conversion reports D96/fi_la <-> D96/TM.
#include "reports/gradniki.h"
#include "reports/izpis_etm.h"
#include "reports/izpis_tme.h"
#include "reports/pomoc.h"

#include <gtest/gtest.h>

using namespace kolmo;
using namespace kolmo::test;

namespace {

TEST(IzpisEtm, CeloPorociloInMeja40m)
{
    FiksenDatum datum;
    const PointSet vhi = tocke(1, {"P1", "P2"},
                               matrika({{46.0 + 5.0 / 60 + 3.2 / 3600, 14.5, 300.25}, {45.75, 15.125, 1000}}));
    Rez rez;
    rez.koo = matrika({{101369.0374, 462464.6251, 253.1, 40.0}, {95000.5, 470000.25, 952.9, 39.999}});
    const auto pot = zacasna("etm.str");
    izpis_etm(pot, vhi, rez, 1, 2);
    const std::string pricakovano =
        std::string(glava) + "Tip transformacije: Pretvorba koordinat iz D96/fi_la v D96/TM"
                             "\nVišinski model: SVS2000 (Trst)"
                             "\n\n\nKOORDINATE TOČK V ZAČETNEM DATUMU - D96/fi_la"
                             "\n\ntočka           fi                la             h\n"
                             "P1        46 05 03.20000    14 30 00.00000    300.250\n"
                             "P2        45 45 00.00000    15 07 30.00000   1000.000\n"
                             "\n\nTRANSFORMIRANE KOORDINATE TOČK - D96/TM"
                             "\n\ntočka           n             e            H          N(int.)"
                             "\nP1         101369.037    462464.625     253.100        40.000"
                             "\nP2          95000.500    470000.250     952.900        39.999 * zunaj SLO";
    EXPECT_EQ(beri(pot), cp(pricakovano));

    izpis_etm(pot, vhi, rez, 2, 1);
    const std::string r = beri(pot);
    EXPECT_NE(r.find(cp("Višinski model: SVS2010 (Koper)\n")), std::string::npos);
    EXPECT_NE(r.find(cp("\n\ntočka           e             n            H          N(int.)"
                        "\nP1         462464.625    101369.037     253.100        40.000")),
              std::string::npos);
    EXPECT_NE(r.find("P1        46 05 03.20000"), std::string::npos); // the input table is not swapped
}

TEST(IzpisTme, CeloPorocilo)
{
    FiksenDatum datum;
    const PointSet vhi = tocke(2, {"LJ01", "ZUNAJ"}, matrika({{101369.037, 462464.625, 495.577}, {5000, 400000, 10}}));
    Rez rez;
    rez.koo = matrika({{46.05109135, 14.51494781, 542.730, 47.154}, {45.1, 13.7, 22.5, 12.5}});
    const auto pot = zacasna("tme.str");
    izpis_tme(pot, vhi, rez, 1);
    const std::string pricakovano =
        std::string(glava) + "Tip transformacije: Pretvorba koordinat iz D96/TM v D96/fi_la"
                             "\nVišinski model: SVS2010 (Koper)"
                             "\n\n\nKOORDINATE TOČK V ZAČETNEM DATUMU - D96/TM"
                             "\n\ntočka           n             e            H"
                             "\nLJ01       101369.037    462464.625     495.577"
                             "\nZUNAJ        5000.000    400000.000      10.000"
                             "\n\nTRANSFORMIRANE KOORDINATE TOČK - D96/fi_la"
                             "\n\ntočka         fi            la             h          N(int.)"
                             "\nLJ01      46.05109135   14.51494781     542.730        47.154"
                             "\nZUNAJ     45.10000000   13.70000000      22.500        12.500";
    EXPECT_EQ(beri(pot), cp(pricakovano));
}

} // namespace
