// Pictures of every window for the documentation: the main menu, each teaching screen after a
// first run of its example, and the three help pages.
#pragma once

#include <QString>

namespace rpn {

class FrmMain;

// Opens each window through the menu and its own controls (trace mode off, so no box opens),
// saves a PNG of it into dir and closes it again. False, with the reason on standard error, when
// a picture could not be written.
bool saveScreenshots(FrmMain& menu, const QString& dir);

} // namespace rpn
