#include "app/appstate.h"
#include "input/rackot.h"
#include "app/uredi_okna.h"
#include "platform/errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

using namespace kolmo;

namespace {

Mat rows(std::initializer_list<std::initializer_list<double>> r)
{
    Mat m(static_cast<Eigen::Index>(r.size()), static_cast<Eigen::Index>(r.begin()->size()));
    Eigen::Index i = 0;
    for (const auto& line : r) {
        Eigen::Index j = 0;
        for (double v : line)
            m(i, j++) = v;
        ++i;
    }
    return m;
}

} // namespace

TEST(Rackot, ThreeNotations)
{
    EXPECT_EQ(rackot(46.0512, 14.3021, 1), std::make_pair(46.0512, 14.3021));
    // 46.03 is held as 46.0299999...: 46 deg 3', not 46 deg 2' 99.99".
    const auto [a, b] = rackot(46.0300, 14.3021, 2);
    EXPECT_NEAR(a, 46.05, 1e-12);
    EXPECT_NEAR(b, 14 + 30.0 / 60 + 21.0 / 3600, 1e-12);
    EXPECT_NEAR(rackot(46.123456, 0, 2).first, 46 + 12.0 / 60 + 34.56 / 3600, 1e-12);
    EXPECT_NEAR(rackot(46.595999999999, 0, 2).first, 47.0, 1e-9);
    // A negative angle converts as the mirror image of the positive one.
    EXPECT_NEAR(rackot(-46.03, -46.123456, 2).first, -46.05, 1e-12);
    EXPECT_NEAR(rackot(-46.03, -46.123456, 2).second, -(46 + 12.0 / 60 + 34.56 / 3600), 1e-12);
    const auto [r1, r2] = rackot(0.8028514559173916, 0.2617993877991494, 3);
    EXPECT_NEAR(r1, 46.0, 1e-12);
    EXPECT_NEAR(r2, 15.0, 1e-12);
    EXPECT_THROW(rackot(1, 1, 4), std::invalid_argument);
}

TEST(UrediOpen, SpatialWindowByColumnCount)
{
    const UrediWindow w = urediOpen(Uredi, "t.pod", "1", rows({{46.0512, 14.3021, 300.5}}));
    EXPECT_EQ(w.title, "Kolmo - Urejanje podatkov");
    EXPECT_EQ(w.typeText, "Elipsoidne");
    EXPECT_EQ(w.fields, (std::vector<std::string>{"fi", "la", "h", "s_fi", "s_la", "s_h"}));
    EXPECT_EQ(w.firstRow, "[46.0512  14.3021  300.5]");
    EXPECT_EQ(w.visible, (std::vector<bool>{true, true, true, false, false, false}));
    EXPECT_TRUE(w.angleSelector);
    EXPECT_EQ(w.anglePreset, 2);

    const UrediWindow p4 = urediOpen(Uredi, "t.pod", "3", rows({{1, 2, 0.01, 0.02}}));
    EXPECT_EQ(p4.typeText, "Ravninske");
    EXPECT_EQ(p4.fields[0], "x (n)");
    EXPECT_EQ(p4.preset, (std::vector<int>{1, 2, 4, 5, 5, 6}));
    EXPECT_EQ(p4.visible, (std::vector<bool>{true, true, true, true, false, false}));
    EXPECT_FALSE(p4.angleSelector);
    EXPECT_EQ(p4.anglePreset, 1);

    EXPECT_EQ(urediOpen(Uredi, "", "2", Mat::Ones(1, 6)).visible, std::vector<bool>(6, true));
    EXPECT_EQ(urediOpen(Uredi, "", "2", Mat::Ones(1, 5)).visible,
              (std::vector<bool>{true, true, false, false, false, false}));
}

TEST(UrediOpen, PlaneAndToolWindowsAndRefusals)
{
    const UrediWindow w2d = urediOpen(Uredi2d, "a", "1", rows({{1, 2, 1, 1}}));
    EXPECT_EQ(w2d.title, "Kolmo - Urejanje podatkov 2");
    EXPECT_EQ(w2d.typeText, "Ravninske");
    EXPECT_EQ(w2d.fields, (std::vector<std::string>{"x (n)", "y (e)", "s_n", "s_e"}));
    EXPECT_FALSE(w2d.angleSelector);

    const UrediWindow t2 = urediOpen(Uredi2, "a", "2", rows({{4e6, 1e6, 4e6}}));
    EXPECT_EQ(t2.typeText, "3R-Kartezicne");
    EXPECT_EQ(t2.fields, (std::vector<std::string>{"X", "Y", "Z"}));
    EXPECT_FALSE(t2.angleSelector);
    EXPECT_EQ(urediOpen(Uredi2, "a", "3", Mat::Ones(1, 3)).fields[2], "H");
    EXPECT_TRUE(urediOpen(Uredi2, "a", "1", Mat::Ones(1, 3)).angleSelector);

    EXPECT_THROW(urediOpen(Uredi, "a", "1", Mat(0, 3)), Error);      // no points
    EXPECT_THROW(urediOpen(Uredi2d, "a", "1", Mat::Ones(2, 6)), Error); // wider than four
    EXPECT_THROW(urediOpen(Uredi2, "a", "1", Mat::Ones(2, 1)), Error);  // fewer than three
    EXPECT_THROW(urediOpen(Uredi, "a", "4", Mat::Ones(2, 3)), Error);   // unknown type
}

TEST(Uveljavi, CompletionByColumnCount)
{
    // Three columns: six, with unit standard deviations.
    Mat C1;
    ASSERT_TRUE(uveljavi(Uredi, "2", rows({{1, 2, 3}, {4, 5, 6}}), C1, {1, 2, 3, 4, 5, 6}, 1));
    EXPECT_EQ(C1, rows({{1, 2, 3, 1, 1, 1}, {4, 5, 6, 1, 1, 1}}));

    // Four plane columns with the presets: x, y, s_n, s_e in file order.
    const Mat four = rows({{100, 200, 0.01, 0.02}});
    Mat D1;
    const UrediWindow w = urediOpen(Uredi, "", "3", four);
    ASSERT_TRUE(uveljavi(Uredi, "3", four, D1, w.preset, 2));
    EXPECT_EQ(D1, four);
    // Pressed again on the same window: the same result.
    ASSERT_TRUE(uveljavi(Uredi, "3", four, D1, w.preset, 2));
    EXPECT_EQ(D1, four);

    // Two columns in either window: unit standard deviations in 3 and 4.
    Mat E1, F1;
    ASSERT_TRUE(uveljavi(Uredi, "2", rows({{1, 2}}), E1, {1, 2, 3, 4, 5, 6}, 1));
    EXPECT_EQ(E1, rows({{1, 2, 1, 1}}));
    ASSERT_TRUE(uveljavi(Uredi2d, "1", rows({{1, 2}}), F1, {2, 1, 3, 4}, 1));
    EXPECT_EQ(F1, rows({{2, 1, 1, 1}}));

    // Six columns: nothing to complete.
    Mat G1;
    ASSERT_TRUE(uveljavi(Uredi, "2", rows({{1, 2, 3, 4, 5, 6}}), G1, {1, 2, 3, 4, 5, 6}, 1));
    EXPECT_EQ(G1, rows({{1, 2, 3, 4, 5, 6}}));
}

TEST(Uveljavi, SelectionsOrderAndAccumulation)
{
    // Longitude first in the file; the later of two columns naming a field wins.
    Mat C1;
    ASSERT_TRUE(uveljavi(Uredi2, "3", rows({{14.5, 46.5, 300}}), C1, {2, 1, 3}, 1));
    EXPECT_EQ(C1, rows({{46.5, 14.5, 300}}));
    Mat D1;
    ASSERT_TRUE(uveljavi(Uredi2, "3", rows({{1, 2, 3}}), D1, {1, 1, 2}, 1));
    EXPECT_EQ(D1, rows({{2, 3}}));
    // A field no selector names keeps what an earlier press wrote.
    ASSERT_TRUE(uveljavi(Uredi2, "3", rows({{1, 2, 3}}), D1, {1, 1, 3}, 1));
    EXPECT_EQ(D1, rows({{2, 3, 3}}));

    // Out-of-range selections and too few selections are refused.
    Mat E1;
    EXPECT_FALSE(uveljavi(Uredi2, "3", rows({{1, 2, 3}}), E1, {1, 2, 4}, 1));
    EXPECT_FALSE(uveljavi(Uredi, "3", rows({{1, 2, 3}}), E1, {1, 2}, 1));
    EXPECT_FALSE(uveljavi(Uredi2d, "1", Mat::Ones(1, 6), E1, {1, 2, 3, 4}, 1));
    // Four columns whose selections leave no third column to drop.
    EXPECT_FALSE(uveljavi(Uredi, "3", rows({{1, 2, 3, 4}}), E1, {1, 2, 1, 2, 5, 6}, 1));
}

TEST(Uveljavi, AngleConversion)
{
    const Mat dmsFile = rows({{46.0300, 14.3021, 300.5, 0.1, 0.2, 0.3}});
    Mat C1;
    ASSERT_TRUE(uveljavi(Uredi, "1", dmsFile, C1, {1, 2, 3, 4, 5, 6}, 2));
    EXPECT_NEAR(C1(0, 0), 46.05, 1e-12);
    EXPECT_NEAR(C1(0, 1), 14.505833333333333, 1e-12);
    EXPECT_EQ(C1.rightCols(4), dmsFile.rightCols(4));

    // Radians touch only the first two arranged fields.
    Mat R1;
    ASSERT_TRUE(uveljavi(Uredi2, "1", rows({{0.8, 0.26, 300}}), R1, {1, 2, 3}, 3));
    EXPECT_NEAR(R1(0, 0), 0.8 * 180 / 3.141592653589793, 1e-12);
    EXPECT_EQ(R1(0, 2), 300.0);

    // Plane types in the spatial window never convert; the tool's window converts
    // whenever a notation is chosen.
    Mat P1;
    ASSERT_TRUE(uveljavi(Uredi, "2", rows({{46.03, 14.3, 1}}), P1, {1, 2, 3, 4, 5, 6}, 2));
    EXPECT_EQ(P1(0, 0), 46.03);

    // A one-column spatial file has no pair to convert: nothing to write back.
    Mat F1;
    EXPECT_FALSE(uveljavi(Uredi, "1", rows({{46.03}}), F1, {1, 2, 3, 4, 5, 6}, 2));
    EXPECT_FALSE(uveljavi(Uredi2, "1", rows({{46.03, 1, 2}}), F1, {1, 2, 3}, 7));
}

TEST(Arrange, PresetsFieldsAndFailures)
{
    const Mat koo = rows({{14.3021, 46.0512, 300}});
    EXPECT_EQ(arrange(Uredi2, "3", koo, std::nullopt, 1), koo);
    const Mat swapped = arrange(Uredi2, "1", koo, std::vector<int>{2, 1}, 2);
    EXPECT_NEAR(swapped(0, 0), 46 + 5.0 / 60 + 12.0 / 3600, 1e-12);
    EXPECT_NEAR(swapped(0, 1), 14 + 30.0 / 60 + 21.0 / 3600, 1e-12);
    EXPECT_EQ(swapped(0, 2), 300.0);

    try {
        arrange(Uredi2, "1", rows({{1, 2}}), std::nullopt, 1);
        FAIL() << "expected a failure";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Napaka pri urejanju podatkov!");
    }
    EXPECT_THROW(arrange(Uredi2, "1", koo, std::vector<int>{1, 2, 3, 1}, 1), Error);
    EXPECT_THROW(arrange(Uredi2, "1", koo, std::vector<int>{0, 2, 3}, 1), Error);
    EXPECT_THROW(arrange(Uredi2d, "1", Mat::Ones(2, 5), std::nullopt, 1), Error);
}

TEST(UrediState, InitializeAndUpdateWriteBackIntoTheNamedSet)
{
    AppState st;
    PointSet start;
    start.ime = {"A"};
    start.koo = rows({{46.0300, 14.3021, 300}});
    st.vhi = start;
    st.C1 = Mat::Ones(3, 3); // left from an earlier window
    EXPECT_THROW(urediInitialize(st, Uredi, "b.pod", "1", "2"), Error); // no end-datum points
    EXPECT_EQ(st.C1.size(), 0);

    const UrediWindow w = urediInitialize(st, Uredi, "a.pod", "1", "1");
    EXPECT_EQ(st.tip, "1");
    EXPECT_EQ(st.C, start.koo);
    ASSERT_TRUE(urediUpdate(st, Uredi, w.preset, w.anglePreset));
    EXPECT_EQ(st.vhi->koo.cols(), 6);
    EXPECT_NEAR(st.vhi->koo(0, 0), 46.05, 1e-12);
    EXPECT_EQ(st.vhi->ime, Names{"A"});
    EXPECT_FALSE(st.vhv);

    // A failing conversion writes nothing back.
    st.vhv = start;
    urediInitialize(st, Uredi, "b.pod", "1", "2");
    EXPECT_FALSE(urediUpdate(st, Uredi, w.preset, 9));
    EXPECT_EQ(st.vhv->koo, start.koo);
}
