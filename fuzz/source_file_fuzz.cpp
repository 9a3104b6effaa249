// Fuzz target of the source file codec. The input is the bytes of a file. Decoding must give
// lines joined by CR LF and nothing else, and a choice only between two different readings; a
// damaged reading is never written back; writing the text out and reading it back, taking the
// default of the reading question, must give the same text; and a text that is refused must
// really hold the character named, on the line named, and cannot be an undamaged Shift_JIS
// reading without a substitute (every character of windows-31j's repertoire writes back).
#include "fuzz_support.h"
#include "machine/source_file.h"

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

// The line (1 for the first) holds the code point.
bool holdsOnLine(const QString& text, char32_t codePoint, qsizetype line) {
  const QStringList lines = text.split(QStringLiteral("\r\n"));
  if (line < 1 || line > lines.size())
    return false;
  const QList<uint> codePoints = lines[line - 1].toUcs4();
  const QString& wanted = lines[line - 1];
  return codePoints.contains(codePoint) ||
         (codePoint < 0x10000 && wanted.contains(QChar(static_cast<char16_t>(codePoint))));
}

} // namespace
} // namespace rpn::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace rpn::fuzz;
  using namespace rpn::machine;
  const QByteArrayView bytes(data, static_cast<qsizetype>(size));
  const DecodedSource decoded = decodeSource(bytes);
  check(linesEndWithCrLf(decoded.text), "decoded lines are joined by CR LF");
  if (decoded.needsChoice())
    check(decoded.text == *decoded.shiftJis, "the default reading is Shift_JIS");
  check(!decoded.damaged || (!decoded.shiftJis && !decoded.utf8) ||
            decoded.coding != SourceCoding::ShiftJis,
        "a damaged reading is only taken when neither strict reading exists");

  const EncodedSource encoded = encodeSource(decoded.text);
  if (encoded.unencodable) {
    check(encoded.bytes.isEmpty(), "a refused text writes nothing");
    check(holdsOnLine(decoded.text, encoded.unencodable->codePoint, encoded.unencodable->line),
          "the refused character is on the line named");
    // What reads as Shift_JIS writes back, but for a byte 1A, which reads as a substitute.
    check(decoded.coding != SourceCoding::ShiftJis || decoded.damaged ||
              decoded.text.contains(QChar(0x1A)),
          "a text read as Shift_JIS is refused only for a substitute");
    return 0;
  }
  check(!decoded.damaged, "a damaged reading is never written back");
  check(encoded.bytes.endsWith("\r\n"), "a written file ends with CR LF");
  const DecodedSource reread = decodeSource(encoded.bytes);
  check(!reread.damaged, "written bytes read back undamaged");
  check(reread.shiftJis == decoded.text, "written text reads back as it was");
  check(reread.text == decoded.text, "the default reading of a written file is the text");
  return 0;
}
