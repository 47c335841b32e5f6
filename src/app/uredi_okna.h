// The arrangement windows' steps on the shared state: which point set they
// arrange (pd), the matrix being arranged (C) and the arranged one (C1).
#pragma once

#include "app/appstate.h"
#include "input/uredi.h"

namespace kolmo {

// The same steps on the shared state, as the windows' actions run them.
// "initialize": stores tip and pd, empties C and C1, takes C from the point set
// named by pd ("1" vhi, "2" vhv; the conversion tool's window always vhi) and
// builds the window model; throws kolmo::Error when that fails.
UrediWindow urediInitialize(AppState& st, UrediKind kind, const std::string& dat, const std::string& tip,
                            const std::string& pd);
// "update" (UVELJAVI): arranges st.C into st.C1 and, when that succeeds, writes
// st.C1 into koo of the point set (names untouched).  The busy pointer shows
// while it runs.
bool urediUpdate(AppState& st, UrediKind kind, const std::vector<int>& S, int kot);

} // namespace kolmo
