// Helpers of the report tests: files, a fixed report date, encoding and a
// line-by-line comparison that allows the last printed digit to differ.
#pragma once

#include "platform/cp1250.h"
#include "reports/izpis_glava.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kolmo::test {

// A fresh path in the test's temporary folder.
std::filesystem::path zacasna(const std::string& ime);

// The bytes of a file.
std::string beri(const std::filesystem::path& pot);

// Windows-1250 bytes of a UTF-8 text.
inline std::string cp(const std::string& utf8) { return platform::toCp1250(utf8); }

// Lines of a text split at "\n" (a last line without "\n" counts).
std::vector<std::string> vrstice(const std::string& besedilo);

// The report date is 07.03.2024 while this object lives.
struct FiksenDatum {
    FiksenDatum() { izpis::nastaviUro([] { return izpis::Datum{7, 3, 2024}; }); }
    ~FiksenDatum() { izpis::nastaviUro({}); }
};

// The header written on 07.03.2024, in UTF-8.
inline const char* glava =
    "PROSTORSKA TRANSFORMACIJA\nKolmo v3.00\nAvtorja: ekipa Kolmo\nDatum: 07.03.2024\n"
    "----------------------------------------------------------\n";

// Compares two reports line by line, apart from the date line: the same
// number of lines, each of the same length, with the same words; numbers with
// the same decimals may differ by `enot` units of their last decimal.
void primerjajPriblizno(const std::string& dobljeno, const std::string& pricakovano, int enot = 2);

} // namespace kolmo::test
