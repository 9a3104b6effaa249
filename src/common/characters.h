// Characters of an expression: one character is one Unicode code point, so a character outside
// the Basic Multilingual Plane (a surrogate pair in the text) is never split in two halves.
#pragma once

#include <QStringView>

namespace rpn {

// Length in UTF-16 units of the first character of a non-empty text (1 or 2).
inline qsizetype firstCharacterLength(QStringView text) {
  if (text.size() >= 2 && text[0].isHighSurrogate() && text[1].isLowSurrogate())
    return 2;
  return 1;
}

} // namespace rpn
