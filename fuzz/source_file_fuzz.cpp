// Fuzz target of the source file codec. The input is the bytes of a file. Decoding must give
// lines joined by CR LF and nothing else; writing the text out and reading it back must give the
// same text whenever the written bytes cannot be mistaken for UTF-8, and a text that is refused
// must really hold the character named.
#include "fuzz_support.h"
#include "machine/source_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace rpn::fuzz {
namespace {

// Every CR is followed by LF and every LF follows a CR.
bool linesEndWithCrLf(const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && (i + 1 >= text.size() || text[i + 1] != u'\n'))
      return false;
    if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r'))
      return false;
  }
  return true;
}

bool readAsUtf8(const QByteArray& bytes) {
  const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                 [](char b) { return static_cast<unsigned char>(b) < 0x80; });
  return !ascii && QByteArrayView(bytes).isValidUtf8();
}

bool holds(const QString& text, char32_t codePoint) {
  const QList<uint> codePoints = text.toUcs4();
  return std::find(codePoints.begin(), codePoints.end(), codePoint) != codePoints.end() ||
         (codePoint < 0x10000 && text.contains(QChar(static_cast<char16_t>(codePoint))));
}

} // namespace
} // namespace rpn::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace rpn::fuzz;
  using namespace rpn::machine;
  const QByteArrayView bytes(data, static_cast<qsizetype>(size));
  const DecodedSource decoded = decodeSource(bytes);
  check(linesEndWithCrLf(decoded.text), "decoded lines are joined by CR LF");

  const EncodedSource encoded = encodeSource(decoded.text);
  if (encoded.unencodable) {
    check(encoded.bytes.isEmpty(), "a refused text writes nothing");
    check(holds(decoded.text, *encoded.unencodable), "the refused character is in the text");
    return 0;
  }
  check(encoded.bytes.endsWith("\r\n"), "a written file ends with CR LF");
  if (readAsUtf8(encoded.bytes))
    return 0; // Shift_JIS bytes that also read as UTF-8: the reader takes them for UTF-8
  const DecodedSource reread = decodeSource(encoded.bytes);
  check(!reread.damaged, "written bytes read back undamaged");
  check(reread.text == decoded.text, "written text reads back as it was");
  return 0;
}
