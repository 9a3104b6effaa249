// Rounding to a whole number the way every screen does it: to the nearest integer, a half going
// to the even neighbour (200.5 -> 200, 201.5 -> 202, -2.5 -> -2).
#pragma once

#include <cmath>

namespace rpn {

inline double roundHalfEven(double x) {
  if (!std::isfinite(x))
    return x;
  const double floor = std::floor(x);
  const double diff = x - floor;
  if (diff < 0.5)
    return floor;
  if (diff > 0.5)
    return floor + 1.0;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

} // namespace rpn
