#include "reports/izpis_glava.h"

#include <ctime>
#include <mutex>

namespace kolmo::izpis {
namespace {

std::mutex uraLock;
std::function<Datum()>& ura()
{
    static std::function<Datum()> u;
    return u;
}

} // namespace

Datum danes()
{
    const std::time_t t = std::time(nullptr);
    std::tm lokalno{};
#ifdef _WIN32
    localtime_s(&lokalno, &t);
#else
    localtime_r(&t, &lokalno);
#endif
    return {lokalno.tm_mday, lokalno.tm_mon + 1, lokalno.tm_year + 1900};
}

void nastaviUro(std::function<Datum()> u)
{
    std::lock_guard guard(uraLock);
    ura() = std::move(u);
}

void glava(Izpis& out)
{
    Datum d;
    {
        std::lock_guard guard(uraLock);
        d = ura() ? ura()() : danes();
    }
    out("PROSTORSKA TRANSFORMACIJA\nKolmo v3.00\n");
    out("Avtorja: ekipa Kolmo\n");
    out("Datum: %02d.%02d.%d\n", d.dan, d.mesec, d.leto);
    out("----------------------------------------------------------\n");
}

} // namespace kolmo::izpis
