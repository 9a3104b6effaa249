// Text -> number, the way every screen reads numbers typed by the user: skip leading blanks,
// read the longest leading number, ignore the rest. Blanks, tabs and line feeds inside the
// number are skipped; "." is the decimal point whatever the locale; an exponent may be written
// with E or D; "&H" and "&O" introduce hexadecimal and octal integers. A text without a
// leading number reads as 0.
#pragma once

#include <QStringView>

namespace rpn {

struct LeadingNumber {
  double value = 0.0;    // 0 when there is no leading number or when it overflows
  bool overflow = false; // the number lies beyond the double range (1E400, &H with > 32 bits)
};

LeadingNumber readLeadingNumber(QStringView text);

// Convenience for callers that cannot overflow in practice (priority captions): the value only.
inline double leadingNumber(QStringView text) {
  return readLeadingNumber(text).value;
}

} // namespace rpn
