// The method of a migration applied to one point at a time: the national
// triangle-based model, a stored 7-parameter set or the parameters a user
// estimated (`transform --params-json`), and the SVS2000 <-> SVS2010 height
// offset when asked.
#pragma once

#include "engine/tran2d_p.h"
#include "engine/tran3d.h"
#include "geodesy/elipgk.h"
#include "geodesy/elipkart.h"
#include "migrate/migrate.h"
#include "migrate/tran_trik.h"
#include "migrate/valid_area.h"
#include "migrate/vis_svs.h"
#include "platform/errors.h"

#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>

namespace kolmo {

struct ParamSet {
    int npar = 7; // 7: 3r7; 4, 6: the plane models
    Vec PAR;
};

// The parameters `transform --params-json` wrote, for the direction `from`;
// "-" reads them from the standard input.  A set no survey can use (see
// unusableParameters) is refused as in `transform`.
ParamSet readParamsJson(const std::filesystem::path& file, MigrateFrom from);
// The same from the document's text; `source` names it in the messages.
ParamSet parseParamsJson(std::string text, const std::string& source, MigrateFrom from);

// What became of a point.
enum class Moved {
    Yes,
    OutsideModel,  // outside the model (or the projection zone of a parameter set)
    FarFromBorder, // farther than ValidArea::kMarginMetres from the national border
    NoResult,      // the parameters give no finite coordinates
};

// The chosen method and height option, applied to one point at a time:
// plane coordinates (easting, northing, metres, without the zone digit) of
// the source datum in, of the target datum out.
class Mover {
public:
    explicit Mover(const MigrateOptions& o);

    // Anything but Moved::Yes: the point gets no coordinates (e, n, h are
    // left as they were).  The valid area is tested on the input from
    // D96/TM and on every result.  `heightLost`: a height
    // was asked to move but the point lies outside the offset grid (h is NaN).
    Moved move(double& e, double& n, double& h, bool& heightLost) const
    {
        heightLost = false;
        if (from_ == MigrateFrom::Tm && !area_->contains(e, n))
            return Moved::FarFromBorder;
        double te, tn;
        if (model_) {
            if (!(from_ == MigrateFrom::Gk ? model_->gkToTm(e, n, te, tn) : model_->tmToGk(e, n, te, tn)))
                return Moved::OutsideModel;
        } else if (set_->npar == 7) {
            double fi, la, X, Y, Z, x, y, z, efi, ela, eh;
            if (!startPlane_->toGeodetic(n, e, fi, la))
                return Moved::OutsideModel;
            // Plane coordinates carry no ellipsoidal height: the height at
            // hand stands in for it, as the main computation does with two
            // plane types.
            startCart_->toCartesian(fi, la, std::isfinite(h) ? h : 0.0, X, Y, Z);
            similarity_->apply(X, Y, Z, x, y, z);
            endCart_->toEllipsoidal(x, y, z, efi, ela, eh, 0);
            if (!endPlane_->toPlane(efi, ela, tn, te))
                return Moved::OutsideModel;
        } else {
            tran2d_tocka(set_->PAR, set_->npar, n, e, tn, te);
        }
        if (!std::isfinite(te) || !std::isfinite(tn))
            return Moved::NoResult;
        // The result too: D48/GK lies within some 500 m of D96/TM, well
        // inside the margin, so a result far from the border in either
        // datum is a parameter set that put it there.
        if (!area_->contains(te, tn))
            return Moved::FarFromBorder;
        if (heights_ != MigrateHeights::Keep && std::isfinite(h)) {
            // The offset grid is in D96 latitude and longitude.
            const double pe = from_ == MigrateFrom::Gk ? te : e, pn = from_ == MigrateFrom::Gk ? tn : n;
            double fi = std::numeric_limits<double>::quiet_NaN(), la = std::numeric_limits<double>::quiet_NaN();
            tm_->toGeodetic(pn, pe, fi, la);
            const double off = svs_->at(fi, la);
            if (std::isnan(off))
                heightLost = true;
            h = heights_ == MigrateHeights::Svs2000To2010 ? h + off : h - off;
        }
        e = te;
        n = tn;
        return Moved::Yes;
    }

private:
    MigrateFrom from_;
    MigrateHeights heights_;
    const TriangleModel* model_ = nullptr;
    std::optional<ParamSet> set_;
    std::optional<ZoneProjection> startPlane_, endPlane_, tm_;
    std::optional<CartesianConversion> startCart_, endCart_;
    std::optional<Similarity> similarity_;
    const SvsOffset* svs_ = nullptr;
    const ValidArea* area_ = nullptr;
};

} // namespace kolmo
