#include "leading_number.h"

#include <charconv>
#include <cstdint>
#include <string>
#include <system_error>

namespace rpn {
namespace {

bool isSkipped(QChar c) {
  return c == u' ' || c == u'\t' || c == u'\n';
}

// Walks the text and hands out the next character that is not skipped.
class Cursor {
public:
  explicit Cursor(QStringView text) : m_text(text) {}
  QChar peek() {
    while (m_pos < m_text.size() && isSkipped(m_text[m_pos]))
      ++m_pos;
    return m_pos < m_text.size() ? m_text[m_pos] : QChar();
  }
  void advance() { ++m_pos; }

private:
  QStringView m_text;
  qsizetype m_pos = 0;
};

bool isDigit(QChar c, int radix) {
  const char16_t u = c.unicode();
  if (radix == 8)
    return u >= u'0' && u <= u'7';
  if (u >= u'0' && u <= u'9')
    return true;
  return radix == 16 && ((u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F'));
}

int digitValue(QChar c) {
  const char16_t u = c.unicode();
  if (u <= u'9')
    return u - u'0';
  if (u >= u'a')
    return u - u'a' + 10;
  return u - u'A' + 10;
}

// "&H..." / "&O...": a value that fits in 16 bits is a 16-bit signed integer (&HFFFF is -1),
// one that fits in 32 bits a 32-bit signed integer (&HFFFFFFFF is -1, &H10000 is 65536);
// anything wider does not fit and overflows.
LeadingNumber readRadixInteger(Cursor& in, int radix) {
  std::uint64_t value = 0;
  while (isDigit(in.peek(), radix)) {
    value = value * static_cast<unsigned>(radix) + static_cast<unsigned>(digitValue(in.peek()));
    in.advance();
    if (value > 0xFFFFFFFFu) {
      return {0.0, true};
    }
  }
  if (value <= 0xFFFFu)
    return {static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint16_t>(value))),
            false};
  return {static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value))), false};
}

// "&H..." or "&O..." after the "&"; anything else after it is no number.
LeadingNumber readPrefixedInteger(Cursor& in) {
  const QChar kind = in.peek();
  if (kind == u'H' || kind == u'h') {
    in.advance();
    return readRadixInteger(in, 16);
  }
  if (kind == u'O' || kind == u'o') {
    in.advance();
    return readRadixInteger(in, 8);
  }
  return {};
}

// A decimal number collected in plain ASCII for from_chars (locale independent), with the decimal
// exponent of its leading significant digit, which tells overflow from underflow.
struct Decimal {
  std::string text;
  long magnitude = 0;
  bool significant = false;
  bool anyDigit = false;
};

// The sign, the integer digits and the fraction.
void readMantissa(Cursor& in, Decimal& number) {
  if (in.peek() == u'+' || in.peek() == u'-') {
    if (in.peek() == u'-')
      number.text += '-';
    in.advance();
  }
  while (isDigit(in.peek(), 10)) {
    const char d = static_cast<char>(in.peek().unicode());
    number.text += d;
    number.anyDigit = true;
    if (number.significant || d != '0') {
      number.significant = true;
      ++number.magnitude;
    }
    in.advance();
  }
  if (in.peek() != u'.')
    return;
  in.advance();
  number.text += '.';
  while (isDigit(in.peek(), 10)) {
    const char d = static_cast<char>(in.peek().unicode());
    number.text += d;
    number.anyDigit = true;
    if (!number.significant) {
      if (d == '0')
        --number.magnitude;
      else
        number.significant = true;
    }
    in.advance();
  }
}

// "E" or "D", a sign and digits; an exponent without digits is not part of the number.
void readExponent(Cursor& in, Decimal& number) {
  const QChar e = in.peek();
  if (e != u'E' && e != u'e' && e != u'D' && e != u'd')
    return;
  in.advance();
  std::string exponent = "e";
  if (in.peek() == u'+' || in.peek() == u'-') {
    exponent += static_cast<char>(in.peek().unicode());
    in.advance();
  }
  bool expDigits = false;
  long expValue = 0;
  while (isDigit(in.peek(), 10)) {
    exponent += static_cast<char>(in.peek().unicode());
    if (expValue < 100000)
      expValue = expValue * 10 + (in.peek().unicode() - u'0');
    expDigits = true;
    in.advance();
  }
  if (expDigits) {
    number.text += exponent;
    number.magnitude += exponent[1] == '-' ? -expValue : expValue;
  }
}

LeadingNumber converted(const Decimal& number) {
  double value = 0.0;
  const auto [end, error] =
      std::from_chars(number.text.data(), number.text.data() + number.text.size(), value);
  (void)end;
  if (error == std::errc::result_out_of_range) {
    if (number.significant && number.magnitude > 0)
      return {0.0, true};
    return {0.0, false}; // too small to represent: it is zero
  }
  if (error != std::errc())
    return {};
  if (value == 0.0)
    value = 0.0; // no negative zero
  return {value, false};
}

} // namespace

LeadingNumber readLeadingNumber(QStringView text) {
  Cursor in(text);
  if (in.peek() == u'&') {
    in.advance();
    return readPrefixedInteger(in);
  }
  Decimal number;
  readMantissa(in, number);
  if (!number.anyDigit)
    return {};
  readExponent(in, number);
  return converted(number);
}

} // namespace rpn
