#include "input/uredi.h"

#include "input/rackot.h"
#include "platform/cause.h"
#include "platform/errors.h"
#include "platform/numtext.h"

#include <algorithm>
#include <stdexcept>

namespace kolmo {
namespace {

const std::vector<std::string> kEllipsoidalFields{"fi", "la", "h", "s_fi", "s_la", "s_h"};
const std::vector<std::string> kPlaneFields{"x (n)", "y (e)", "H", "s_n", "s_e", "s_H"};
const std::vector<std::string> kPlane2dFields{"x (n)", "y (e)", "s_n", "s_e"};

int typeIndex(const std::string& tip)
{
    if (tip == "1")
        return 1;
    if (tip == "2")
        return 2;
    if (tip == "3")
        return 3;
    throw Error("unknown coordinate type index '" + tip + "'");
}

std::size_t selectorCount(UrediKind kind)
{
    switch (kind) {
    case Uredi: return 6;
    case Uredi2d: return 4;
    case Uredi2: return 3;
    }
    return 0;
}

// Columns of C that the selectors place: every file column, except in the
// conversion tool, which always takes the first three.
Eigen::Index placedColumns(UrediKind kind, const Mat& C) { return kind == Uredi2 ? 3 : C.cols(); }

// Sets columns `from`..`to` (1-based) of C1 to 1, widening it as needed.
void setOnes(Mat& C1, Eigen::Index from, Eigen::Index to)
{
    if (C1.cols() < to)
        C1.conservativeResizeLike(Mat::Zero(C1.rows(), to));
    C1.middleCols(from - 1, to - from + 1).setOnes();
}

std::string firstRowText(const Mat& C)
{
    std::string text = "[";
    for (Eigen::Index j = 0; j < C.cols(); ++j) {
        if (j)
            text += "  ";
        text += platform::numberText(C(0, j));
    }
    return text + "]";
}

} // namespace

const std::vector<std::string>& angleNotations()
{
    static const std::vector<std::string> items{"ddd.dddddd", "ddd.mmssss", "radiani"};
    return items;
}

UrediWindow urediOpen(UrediKind kind, const std::string& dat, const std::string& tip, const Mat& C)
{
    const int t = typeIndex(tip);
    if (C.rows() == 0 || C.cols() == 0)
        throw platform::Bilingual<Error>("no points to arrange", "ni točk za urejanje");

    UrediWindow w;
    w.dat = dat;
    w.ns = static_cast<int>(C.cols());
    w.firstRow = firstRowText(C);
    switch (kind) {
    case Uredi:
        w.title = "Kolmo - Urejanje podatkov";
        w.typeText = t == 1 ? "Elipsoidne" : "Ravninske";
        w.fields = t == 1 ? kEllipsoidalFields : kPlaneFields;
        w.preset = {1, 2, 3, 4, 5, 6};
        w.visible = {true, true, false, false, false, false};
        if (w.ns == 3) {
            w.visible[2] = true;
        } else if (w.ns == 4) {
            // x, y, s_n, s_e: the two standard deviations take the places 4, 5;
            // UVELJAVI then drops the empty height column.
            w.visible[2] = w.visible[3] = true;
            w.preset[2] = 4;
            w.preset[3] = 5;
        } else if (w.ns == 6) {
            std::fill(w.visible.begin(), w.visible.end(), true);
        }
        w.angleSelector = t == 1;
        break;
    case Uredi2d:
        // Four selectors, one per file column; a wider file has columns that
        // no selector could place, and guessing which four are meant would
        // quietly turn a height into a standard deviation.
        if (w.ns > 4)
            throw Error("a plane point set has at most four columns");
        w.title = "Kolmo - Urejanje podatkov 2";
        w.typeText = "Ravninske";
        w.fields = kPlane2dFields;
        w.preset = {1, 2, 3, 4};
        w.visible = {true, true, true, true};
        break;
    case Uredi2:
        // The tool converts three coordinates per point and arranges exactly three.
        if (w.ns < 3)
            throw Error("the conversion needs three coordinates per point");
        w.title = "Kolmo - Urejanje podatkov";
        w.typeText = t == 1 ? "Elipsoidne" : (t == 2 ? "3R-Kartezicne" : "Ravninske");
        w.fields = t == 1 ? std::vector<std::string>{"fi", "la", "h"}
                          : (t == 2 ? std::vector<std::string>{"X", "Y", "Z"}
                                    : std::vector<std::string>{"x (n)", "y (e)", "H"});
        w.preset = {1, 2, 3};
        w.visible = {true, true, true};
        w.angleSelector = t == 1;
        break;
    }
    w.anglePreset = w.angleSelector ? 2 : 1;
    return w;
}

bool uveljavi(UrediKind kind, const std::string& tip, const Mat& C, Mat& C1, const std::vector<int>& S, int kot,
              std::string* why, Eigen::Index* failedRow)
{
    const auto refuse = [&](std::string reason, Eigen::Index row = -1) {
        if (why)
            *why = std::move(reason);
        if (failedRow)
            *failedRow = row;
        return false;
    };
    const Eigen::Index ns = C.cols();
    const Eigen::Index placed = placedColumns(kind, C);
    const auto nFields = static_cast<int>(selectorCount(kind));
    if (C.rows() == 0)
        return refuse("no points to arrange");
    if (placed > ns)
        return refuse(std::to_string(ns) + " column(s) in the file, " + std::to_string(placed) + " needed");
    if (static_cast<Eigen::Index>(S.size()) < placed)
        return refuse("a field for each of the " + std::to_string(placed) + " columns is needed");
    for (Eigen::Index i = 0; i < placed; ++i)
        if (S[static_cast<std::size_t>(i)] < 1 || S[static_cast<std::size_t>(i)] > nFields)
            return refuse("field " + std::to_string(S[static_cast<std::size_t>(i)]) + " of column " +
                          std::to_string(i + 1) + " is not one of 1 to " + std::to_string(nFields));

    // C1 keeps the fields of an earlier UVELJAVI on the same matrix.
    if (C1.rows() != C.rows())
        C1.resize(C.rows(), 0);
    const Eigen::Index used = *std::max_element(S.begin(), S.begin() + placed);
    if (C1.cols() < used)
        C1.conservativeResizeLike(Mat::Zero(C.rows(), used));
    for (Eigen::Index i = 0; i < placed; ++i)
        C1.col(S[static_cast<std::size_t>(i)] - 1) = C.col(i);

    // Unit standard deviations where the file gives none.
    if (kind == Uredi && ns == 2) {
        setOnes(C1, 3, 4);
    } else if (kind == Uredi && ns == 3) {
        setOnes(C1, 4, 6);
    } else if (kind == Uredi && ns == 4) {
        // Plane x, y, s_n, s_e: no height column.
        if (C1.cols() < 3)
            return refuse("a four-column plane file needs its fields in the first columns");
        const Eigen::Index right = C1.cols() - 3;
        Mat narrowed(C1.rows(), C1.cols() - 1);
        narrowed << C1.leftCols(2), C1.rightCols(right);
        C1 = std::move(narrowed);
    } else if (kind == Uredi2d && ns == 2) {
        setOnes(C1, 3, 4);
    }

    const bool convertAngles = (kind == Uredi && tip == "1" && kot > 1) || (kind == Uredi2 && kot > 1);
    if (convertAngles) {
        if (C1.cols() < 2)
            return refuse("an angle notation needs two angles per point");
        for (Eigen::Index r = 0; r < C1.rows(); ++r) {
            try {
                const auto [a, b] = rackot(C1(r, 0), C1(r, 1), kot);
                C1(r, 0) = a;
                C1(r, 1) = b;
            } catch (const std::invalid_argument& e) {
                return refuse(e.what(), r);
            }
        }
    }
    return true;
}

Mat arrange(UrediKind kind, const std::string& tip, const Mat& koo, const std::optional<std::vector<int>>& fields,
            int kot)
{
    UrediWindow w;
    try {
        w = urediOpen(kind, "", tip, koo);
    } catch (const Error& e) {
        throw ArrangeError(e.what(), -1);
    }
    std::vector<int> S = w.preset;
    if (fields) {
        if (fields->size() > S.size())
            throw ArrangeError(std::to_string(fields->size()) + " fields given, at most " + std::to_string(S.size()),
                               -1);
        std::copy(fields->begin(), fields->end(), S.begin());
    }
    Mat C1;
    std::string why;
    Eigen::Index row = -1;
    if (!uveljavi(kind, tip, koo, C1, S, kot, &why, &row))
        throw ArrangeError(why, row);
    return C1;
}

} // namespace kolmo
