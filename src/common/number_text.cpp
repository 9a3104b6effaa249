#include "number_text.h"

#include <array>
#include <charconv>
#include <cmath>

namespace rpn {

QString numberToText(double value) {
  if (value == 0.0 || !std::isfinite(value))
    return QStringLiteral("0"); // callers never hand over inf or nan; guard anyway
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::general, 15);
  QString text = QString::fromLatin1(buffer.data(), result.ptr - buffer.data());
  text.replace(u'e', u'E');
  return text;
}

} // namespace rpn
