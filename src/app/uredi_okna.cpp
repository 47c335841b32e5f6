#include "app/uredi_okna.h"

#include "platform/dialogs.h"
#include "platform/errors.h"

namespace kolmo {

namespace {

std::optional<PointSet>& target(AppState& st, UrediKind kind)
{
    return kind == Uredi2 || st.pd == "1" ? st.vhi : st.vhv;
}

} // namespace

UrediWindow urediInitialize(AppState& st, UrediKind kind, const std::string& dat, const std::string& tip,
                            const std::string& pd)
{
    st.tip = tip;
    st.pd = kind == Uredi2 ? "1" : pd;
    st.C = Mat();
    st.C1 = Mat();
    const std::optional<PointSet>& set = target(st, kind);
    if (!set)
        throw Error("no points to arrange");
    st.C = set->koo;
    return urediOpen(kind, dat, tip, st.C);
}

bool urediUpdate(AppState& st, UrediKind kind, const std::vector<int>& S, int kot)
{
    platform::BusyBracket busy;
    std::optional<PointSet>& set = target(st, kind);
    if (!set || !uveljavi(kind, st.tip, st.C, st.C1, S, kot))
        return false;
    set->koo = st.C1;
    return true;
}

} // namespace kolmo
