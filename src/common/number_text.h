// Number -> text: the general form with at most 15 significant digits ("-11", "0.5",
// "3.33333333333333", "1E+20", "1E-05"), "." as the decimal point whatever the locale, never "-0".
#pragma once

#include <QString>

namespace rpn {

QString numberToText(double value);

} // namespace rpn
