// The columns of a point file in the migration (kolmo-cli migrate --columns):
// files that do not hold x (northing), y (easting) and H in this order, such
// as the "name,e,n,H" of GIS exports, are read by what each column holds
// instead of by position, which would take eastings for northings and put
// every point outside the transformation model.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace kolmo {

// "e,n,H", "x,y", "n,e,-,H": what each number of a row holds, in order: x or
// n (northing), y or e (easting), H or h (height), - (a number left out).
// Returns the positions (from 0) of x, y and H (-1 without a height).
// Throws std::invalid_argument with the reason: an unknown word, a quantity
// named twice, no x or no y, more than six columns.
std::vector<int> parseColumns(const std::string& text);

// Puts the numbers of a row read as `count` numbers in the order x, y, H as
// `columns` (from parseColumns) says; `count` becomes 3 when the row has all
// three, 2 when it has x and y, fewer when it lacks one of them (the row is
// then short, as a row of fewer numbers is).
void pickColumns(const std::vector<int>& columns, std::array<double, 6>& numbers, int& count);

// The name of a CSV row as point files hold it (Windows-1250): spreadsheets
// and GIS programs write CSV in UTF-8, so a name that is valid UTF-8 of
// letters Windows-1250 has is converted; any other is taken as Windows-1250
// already.  A whole file is read by the rule of prebsi (all names or none);
// a file moved row by row decides each row by itself.
std::string csvName(const std::string& name);

} // namespace kolmo
