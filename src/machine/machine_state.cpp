#include "machine_state.h"

#include <algorithm>

namespace rpn::machine {

namespace {

// Writes the low `digits` hexadecimal digits of value into text, in place when text already holds
// that many characters and is not shared: formatting a view that was formatted before allocates
// nothing.
void writeHex(QString& text, std::uint32_t value, int digits) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  if (text.size() != digits)
    text.resize(digits);
  QChar* out = text.data();
  for (int i = digits - 1; i >= 0; --i) {
    out[i] = QChar(kDigits[value & 15U]);
    value >>= 4;
  }
}

int hexWidth(std::uint32_t value, int digits) {
  int width = 1;
  for (std::uint32_t rest = value >> 4; rest != 0; rest >>= 4)
    ++width;
  return std::max(width, digits);
}

} // namespace

QString hex4(std::int64_t value) {
  QString text;
  writeHex4(text, value);
  return text;
}

QString hexDigits(std::int32_t value, int digits) {
  QString text;
  writeHexDigits(text, value, digits);
  return text;
}

void writeHex4(QString& text, std::int64_t value) {
  writeHex(text, static_cast<std::uint16_t>(static_cast<std::uint64_t>(value)), 4);
}

void writeHexDigits(QString& text, std::int32_t value, int digits) {
  const auto bits = static_cast<std::uint32_t>(value);
  writeHex(text, bits, hexWidth(bits, digits));
}

} // namespace rpn::machine
