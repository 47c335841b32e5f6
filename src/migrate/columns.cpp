#include "migrate/columns.h"

#include "platform/cp1250.h"

#include <sstream>
#include <stdexcept>

namespace kolmo {

std::vector<int> parseColumns(const std::string& text)
{
    std::vector<int> at{-1, -1, -1};
    static const char* const quantity[] = {"x (northing)", "y (easting)", "H (height)"};
    std::stringstream ss(text);
    std::string word;
    int position = 0;
    while (std::getline(ss, word, ',')) {
        word.erase(0, word.find_first_not_of(" \t"));
        word.erase(word.find_last_not_of(" \t") + 1);
        if (position >= 6)
            throw std::invalid_argument("at most six columns of numbers follow the name");
        int which = -1;
        if (word == "x" || word == "n" || word == "N")
            which = 0;
        else if (word == "y" || word == "e" || word == "E")
            which = 1;
        else if (word == "H" || word == "h")
            which = 2;
        else if (word != "-")
            throw std::invalid_argument("'" + word + "' is none of x or n (northing), y or e (easting), H (height), "
                                        "- (a column left out)");
        if (which >= 0) {
            if (at[static_cast<std::size_t>(which)] >= 0)
                throw std::invalid_argument(std::string(quantity[which]) + " is named twice");
            at[static_cast<std::size_t>(which)] = position;
        }
        ++position;
    }
    if (at[0] < 0 || at[1] < 0)
        throw std::invalid_argument("name the columns of x (or n) and y (or e), e.g. e,n,H");
    return at;
}

void pickColumns(const std::vector<int>& columns, std::array<double, 6>& numbers, int& count)
{
    const std::array<double, 6> row = numbers;
    int have = 0;
    for (std::size_t k = 0; k < 3; ++k) {
        const int at = columns[k];
        if (at < 0 || at >= count)
            break;
        numbers[k] = row[static_cast<std::size_t>(at)];
        have = static_cast<int>(k) + 1;
    }
    count = have;
}

std::string csvName(const std::string& name)
{
    return platform::representableInCp1250(name) ? platform::toCp1250(name) : name;
}

} // namespace kolmo
