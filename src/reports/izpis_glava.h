// The header every results report begins with: title, version, authors, date
// and a line of dashes.
#pragma once

#include "reports/izpis_skupno.h"

#include <functional>

namespace kolmo::izpis {

struct Datum {
    int dan = 0, mesec = 0, leto = 0;
};

// Today's local date.
Datum danes();

// Replaces the clock the header takes its date from (for tests and for
// reproducible reports); an empty function restores the local date.
void nastaviUro(std::function<Datum()> ura);

// Writes the header.
void glava(Izpis& out);

} // namespace kolmo::izpis
