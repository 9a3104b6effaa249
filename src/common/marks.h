// Background colours of the controls as engine state. The screens turn a mark into its exact
// RGB value in one place (screen_kit.h).
#pragma once

#include <cstdint>

namespace rpn {

enum class Mark : std::uint8_t {
  White,      // at rest: 255, 255, 255
  Red,        // occupied cells, the variable being read or written, unreferenced: 255, 0, 0
  Yellow,     // blinking, results on the machine: 255, 255, 0
  Blue,       // the entry just made in a table: 0, 0, 255
  ButtonFace, // the window system's button-face colour (frames and boxes at rest)
};

} // namespace rpn
