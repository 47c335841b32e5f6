#include "geodesy/interg.h"

#include "platform/errors.h"

namespace kolmo {

// Placeholder until the geoid models land.
double interg(double, double, int, const std::filesystem::path&)
{
    throw DataFileError("geoid models are not available yet");
}

} // namespace kolmo
