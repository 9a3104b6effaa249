// Source files of the assembler screen: plain text, one source line per text line.
//
// Reading takes CR LF, a lone CR or a lone LF as the end of a line and gives the lines joined by
// CR LF (none after the last). The code page of a file is found from its bytes: a UTF-8
// byte-order mark means UTF-8, a UTF-16 one (either byte order) means UTF-16; otherwise the file
// is read strictly as windows-31j (Shift_JIS, the exchange format) and strictly as UTF-8 (what
// most editors write). When only one of them decodes it is taken; when both decode to the same
// text (plain ASCII) there is nothing to choose; when both decode to different texts the user
// chooses, Shift_JIS being the default because it is the program's own format. A file that
// neither decodes is read as windows-31j with substitutes for the bad bytes, with a warning.
//
// Writing always writes windows-31j: the text followed by CR LF, into a temporary file that is
// renamed over the target only when it is complete, so a failed save leaves the old file as it
// was. Text holding a character that windows-31j cannot hold, or a substitute left by bytes that
// could not be read, is refused, never written lossily. Only regular files are read or replaced:
// a named pipe, a device or a socket is refused before it is opened, so nothing blocks.
//
// The file menu drives OpenSourceFile and SaveSourceFile: they ask for the path through
// SourceFileDialogs (the platform's file dialog, or a script in the tests) and report every
// problem in a box through Dialogs. decodeSource, readSourceFile, encodeSource and
// writeSourceFile do the same work without any box, for tools that take the default reading.
#pragma once

#include "common/file_errors.h"

#include "common/dialogs.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>

namespace rpn::machine {

// Name of the code page of source files, for QStringDecoder / QStringEncoder.
inline constexpr char kSourceCodePage[] = "windows-31j";

// Files larger than this are refused: a source of the 101-line assembler is a few kilobytes.
inline constexpr qint64 kSourceFileLimit = 1024 * 1024;

// The two filters of the open and save dialogs, in order, as their captions read. The pattern in
// brackets follows the platform's custom: "*.*" stands for every file, also one without a dot.
QStringList sourceFileFilters();

// The file dialog of the file menu. Both return the chosen path, "" when the user cancelled.
class SourceFileDialogs {
public:
  virtual ~SourceFileDialogs() = default;
  virtual QString ShowOpen(const QStringList& filters) = 0;
  virtual QString ShowSave(const QStringList& filters) = 0;
};

// The code page a text was read in.
enum class SourceCoding { ShiftJis, Utf8, Utf16 };

struct DecodedSource {
  // The reading taken: the one a byte-order mark names, the only one that decodes, Shift_JIS when
  // both decode (the default of the choice), or Shift_JIS with substitutes when neither does.
  QString text;
  SourceCoding coding = SourceCoding::ShiftJis;
  bool damaged = false; // some bytes could not be read in the code page taken
  // The two strict readings without a byte-order mark; nothing where the bytes do not decode.
  std::optional<QString> shiftJis;
  std::optional<QString> utf8;

  // Both readings decode, to different texts: the user has to choose.
  bool needsChoice() const { return shiftJis && utf8 && *shiftJis != *utf8; }
};
// The bytes of a file as source text, lines joined by CR LF. Asks nothing.
DecodedSource decodeSource(QByteArrayView bytes);

// The question of a file that reads both ways: the first characters where the two readings part,
// with their line. Yes takes Shift_JIS.
QString readingQuestion(const DecodedSource& decoded);
// The text to use: when a choice is needed, asks readingQuestion (Yes, Shift_JIS, the default).
QString chooseReading(const DecodedSource& decoded, Dialogs& dialogs);

// A character that cannot be saved: windows-31j cannot hold it, or it stands for bytes that could
// not be read (U+001A, the code page converter's substitute, or U+FFFD).
struct UnsavableCharacter {
  char32_t codePoint = 0;
  qsizetype line = 0; // 1 for the first line
  bool operator==(const UnsavableCharacter&) const = default;
};
bool isSubstitute(char32_t codePoint);

struct EncodedSource {
  QByteArray bytes;                              // windows-31j, the text followed by CR LF
  std::optional<UnsavableCharacter> unencodable; // the first character that cannot be saved
};
EncodedSource encodeSource(const QString& text);

// The box that refuses to save a text, naming the character and its line.
QString unsavableMessage(const UnsavableCharacter& character);

// The box text for a file that cannot be read or written: the error, " File Name=", the path.
QString fileErrorMessage(const QString& error, const QString& path);

// mnuOpen: asks for a file and reads it. The text for the source box, or nothing when the user
// cancelled or the file could not be read (after its box).
std::optional<QString> OpenSourceFile(SourceFileDialogs& files, Dialogs& dialogs);
// The reading half of the above for a path already known (a recent file, the command line).
std::optional<QString> OpenSourcePath(const QString& path, Dialogs& dialogs);

// mnuSave: asks for a file, asks before replacing an existing one, and writes the text. True when
// the file was written.
bool SaveSourceFile(const QString& text, SourceFileDialogs& files, Dialogs& dialogs);

// The two halves of the above without the dialogs. Reading gives the decoded file or the box text
// of the failure; writing gives "" or the box text.
struct ReadSource {
  std::optional<DecodedSource> source;
  QString problem; // a failure (no source) or a warning about damaged bytes (with the source)
};
ReadSource readSourceFile(const QString& path);
// The reason a path cannot be saved to before anything is opened (a folder, a named pipe, a
// device, a socket); "" when it is a regular file or does not exist yet.
QString unwritableTarget(const QString& path);
QString writeSourceFile(const QString& path, const QByteArray& bytes);

} // namespace rpn::machine
