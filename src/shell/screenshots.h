// Pictures of every window for the documentation: the main menu, each teaching screen after a
// first run of its example, and the three help pages.
#pragma once

#include <QString>

namespace rpn {

// Opens a main menu of its own, opens each window through it and the window's controls (trace
// mode off; the boxes a move would show are answered without being shown), saves a PNG of it
// into dir and closes it again. False, with the reason on standard error, when a picture could
// not be written.
bool saveScreenshots(const QString& dir);

} // namespace rpn
