// Source files of the assembler screen: plain text, one source line per text line.
//
// Reading takes CR LF, a lone CR or a lone LF as the end of a line and gives the lines joined by
// CR LF (none after the last). A file that is valid UTF-8 (with or without a byte-order mark) and
// not plain ASCII is read as UTF-8, since most editors write that; any other file is read as
// Shift_JIS in the windows-31j code page, the exchange format. Writing always writes windows-31j:
// the text followed by CR LF, into a temporary file that is renamed over the target only when it
// is complete, so a failed save leaves the old file as it was. Text holding a character that
// windows-31j cannot hold is refused, never written lossily.
//
// The file menu drives OpenSourceFile and SaveSourceFile: they ask for the path through
// SourceFileDialogs (the platform's file dialog, or a script in the tests) and report every
// problem in a box through Dialogs.
#pragma once

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

// The two filters of the open and save dialogs, in order.
QStringList sourceFileFilters();

// The file dialog of the file menu. Both return the chosen path, "" when the user cancelled.
class SourceFileDialogs {
public:
  virtual ~SourceFileDialogs() = default;
  virtual QString ShowOpen(const QStringList& filters) = 0;
  virtual QString ShowSave(const QStringList& filters) = 0;
};

struct DecodedSource {
  QString text;
  bool damaged = false; // some bytes were neither UTF-8 nor windows-31j
};
// The bytes of a file as source text, lines joined by CR LF.
DecodedSource decodeSource(QByteArrayView bytes);

struct EncodedSource {
  QByteArray bytes;                    // windows-31j, the text followed by CR LF
  std::optional<char32_t> unencodable; // the first character windows-31j cannot hold
};
EncodedSource encodeSource(const QString& text);

// The box text for a file that cannot be read or written: the error, " File Name=", the path.
QString fileErrorMessage(const QString& error, const QString& path);

// mnuOpen: asks for a file and reads it. The text for the source box, or nothing when the user
// cancelled or the file could not be read (after its box).
std::optional<QString> OpenSourceFile(SourceFileDialogs& files, Dialogs& dialogs);

// mnuSave: asks for a file, asks before replacing an existing one, and writes the text. True when
// the file was written.
bool SaveSourceFile(const QString& text, SourceFileDialogs& files, Dialogs& dialogs);

// The two halves of the above without the dialogs. Reading gives the text or the box text of the
// failure; writing gives "" or the box text.
struct ReadSource {
  std::optional<QString> text;
  QString problem; // a failure (no text) or a warning about damaged bytes (with the text)
};
ReadSource readSourceFile(const QString& path);
QString writeSourceFile(const QString& path, const QByteArray& bytes);

} // namespace rpn::machine
