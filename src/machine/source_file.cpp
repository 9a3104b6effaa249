#include "source_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rpn::machine {
namespace {

const QString kCrLf = QStringLiteral("\r\n");
constexpr char16_t kReplacement = 0xFFFD;

QString codePageMissingMessage() {
  return QStringLiteral("この環境ではShift_JIS (windows-31j) の文字コードを扱えません");
}

bool codePageAvailable() {
  return QStringDecoder(kSourceCodePage).isValid() && QStringEncoder(kSourceCodePage).isValid();
}

// Lines end at CR LF, a lone CR or a lone LF; a line end after the last line adds no empty line.
QString joinLinesWithCrLf(const QString& raw) {
  QString text;
  text.reserve(raw.size() + raw.size() / 16);
  qsizetype start = 0;
  bool first = true;
  const auto append = [&](qsizetype end) {
    if (!first)
      text += kCrLf;
    text += QStringView(raw).mid(start, end - start);
    first = false;
  };
  for (qsizetype i = 0; i < raw.size(); ++i) {
    const QChar c = raw.at(i);
    if (c != u'\r' && c != u'\n')
      continue;
    append(i);
    if (c == u'\r' && i + 1 < raw.size() && raw.at(i + 1) == u'\n')
      ++i;
    start = i + 1;
  }
  if (start < raw.size())
    append(raw.size());
  return text;
}

// Control characters are never part of a two-byte Shift_JIS character and stand for themselves
// in windows-31j. The converter's own table swaps 1A, 1C and 7F among themselves, so they never
// reach it: a file with a DEL byte reads as DEL, and what is written reads back as written.
constexpr bool isControl(char32_t c) {
  return c < 0x20 || c == 0x7F;
}

constexpr bool isLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

constexpr bool isTrailByte(unsigned char b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// A lead byte with nothing after it: the converter drops it without a substitute.
bool endsWithLoneLeadByte(QByteArrayView run) {
  qsizetype i = 0;
  while (i < run.size()) {
    if (!isLeadByte(static_cast<unsigned char>(run[i]))) {
      ++i;
      continue;
    }
    if (i + 1 == run.size())
      return true;
    i += isTrailByte(static_cast<unsigned char>(run[i + 1])) ? 2 : 1;
  }
  return false;
}

struct Reading {
  QString text; // lines as in the file
  bool damaged = false;
};

// windows-31j; bytes that do not decode become substitutes (U+001A or U+FFFD).
Reading readShiftJis(QByteArrayView bytes) {
  QStringDecoder decoder(kSourceCodePage, QStringConverter::Flag::Stateless);
  Reading reading;
  reading.text.reserve(bytes.size());
  qsizetype start = 0;
  const auto decodeRun = [&](qsizetype end) {
    if (end == start)
      return;
    const QByteArrayView run = bytes.sliced(start, end - start);
    reading.text += decoder(run);
    if (endsWithLoneLeadByte(run))
      reading.text += QChar(kReplacement);
  };
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (!isControl(b))
      continue;
    decodeRun(i);
    reading.text += QChar(char16_t(b));
    start = i + 1;
  }
  decodeRun(bytes.size());
  reading.damaged = decoder.hasError();
  return reading;
}

Reading readUtf8(QByteArrayView bytes) {
  QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless); // drops a BOM
  Reading reading{decoder(bytes), false};
  reading.damaged = decoder.hasError();
  return reading;
}

// After the byte-order mark; an odd last byte and unpaired surrogates become U+FFFD.
Reading readUtf16(QByteArrayView bytes, QStringConverter::Encoding encoding) {
  QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless |
                                       QStringConverter::Flag::ConvertInitialBom);
  const qsizetype even = bytes.size() & ~qsizetype(1);
  Reading reading{decoder(bytes.sliced(2, even - 2)), even != bytes.size()};
  QString& text = reading.text;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      ++i;
    } else if (text[i].isSurrogate()) {
      text[i] = QChar(kReplacement);
      reading.damaged = true;
    }
  }
  if (even != bytes.size())
    text += QChar(kReplacement);
  reading.damaged = reading.damaged || decoder.hasError();
  return reading;
}

DecodedSource marked(const Reading& reading, SourceCoding coding) {
  DecodedSource result;
  result.text = joinLinesWithCrLf(reading.text);
  result.coding = coding;
  result.damaged = reading.damaged;
  return result;
}

// Up to ten characters of the text from a position, to the end of its line.
QString excerpt(const QString& text, qsizetype from) {
  qsizetype end = from;
  while (end < text.size() && end - from < 10 && text[end] != u'\r')
    ++end;
  const QString part = text.mid(from, end - from);
  return part.isEmpty() ? QStringLiteral("(行末)") : QStringLiteral("「") + part + u'」';
}

QString codePointText(char32_t codePoint) {
  const QString code =
      QStringLiteral("U+%1").arg(static_cast<uint>(codePoint), 4, 16, QLatin1Char('0')).toUpper();
  QString shown;
  if (QChar::isPrint(codePoint) && !QChar::isSurrogate(codePoint))
    shown = QStringLiteral("「") + QString::fromUcs4(&codePoint, 1) + QStringLiteral("」");
  return shown + u'(' + code + u')';
}

// The first character of the text that cannot be saved, with its line.
std::optional<UnsavableCharacter> firstUnsavable(const QString& text) {
  QStringEncoder encoder(kSourceCodePage, QStringConverter::Flag::Stateless);
  qsizetype line = 1;
  for (qsizetype i = 0; i < text.size(); ++i) {
    qsizetype length = 1;
    char32_t codePoint = text.at(i).unicode();
    if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
      codePoint = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
      length = 2;
    }
    if (isSubstitute(codePoint))
      return UnsavableCharacter{codePoint, line};
    if (codePoint == u'\r' || (codePoint == u'\n' && (i == 0 || text.at(i - 1) != u'\r')))
      ++line;
    if (!isControl(codePoint)) {
      const QByteArray bytes = encoder(QStringView(text).mid(i, length));
      if (encoder.hasError())
        return UnsavableCharacter{codePoint, line};
    }
    i += length - 1;
  }
  return std::nullopt;
}

QString notRegularFileCause() {
  return QStringLiteral("通常のファイルではありません (名前付きパイプやデバイスは開けません)");
}

QString failure(int systemError, const QString& platformText, const QString& path, bool writing) {
  return fileErrorMessage(fileErrorCause(systemError, platformText, writing), path);
}

QString systemFailure(int systemError, const QString& path, bool writing) {
  return failure(systemError, qt_error_string(systemError), path, writing);
}

// Why no new file can be made beside the target: a system error number, 0 when one can.
int folderRefusesNewFile(const QString& path) {
  QByteArray probe =
      QFile::encodeName(QFileInfo(path).absolutePath() + QStringLiteral("/.rpn-XXXXXX"));
  const int descriptor = ::mkstemp(probe.data());
  if (descriptor < 0)
    return errno;
  ::close(descriptor);
  ::unlink(probe.constData());
  return 0;
}

// The folder takes no temporary file, or the temporary file cannot take the file's name, while
// the file itself is writable: it is overwritten in place. Only in this case are the old contents
// at risk, should the write fail half-way.
QString writeInPlace(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  errno = 0;
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
    return failure(errno, file.errorString(), path, true);
  errno = 0;
  if (::fsync(file.handle()) != 0)
    return failure(errno, qt_error_string(errno), path, true);
  return {};
}

} // namespace

QStringList sourceFileFilters() {
  return {QStringLiteral("テキストファイル(*.txt)"), QStringLiteral("全てのファイル(*.*)")};
}

DecodedSource decodeSource(QByteArrayView bytes) {
  if (bytes.startsWith("\xEF\xBB\xBF"))
    return marked(readUtf8(bytes), SourceCoding::Utf8);
  if (bytes.startsWith("\xFF\xFE"))
    return marked(readUtf16(bytes, QStringConverter::Utf16LE), SourceCoding::Utf16);
  if (bytes.startsWith("\xFE\xFF"))
    return marked(readUtf16(bytes, QStringConverter::Utf16BE), SourceCoding::Utf16);

  const Reading shiftJis = readShiftJis(bytes);
  DecodedSource result;
  if (!shiftJis.damaged)
    result.shiftJis = joinLinesWithCrLf(shiftJis.text);
  if (bytes.isValidUtf8())
    result.utf8 = joinLinesWithCrLf(readUtf8(bytes).text);
  if (result.shiftJis) {
    result.text = *result.shiftJis;
  } else if (result.utf8) {
    result.text = *result.utf8;
    result.coding = SourceCoding::Utf8;
  } else {
    result.text = joinLinesWithCrLf(shiftJis.text);
    result.damaged = true;
  }
  return result;
}

QString readingQuestion(const DecodedSource& decoded) {
  const QString& shiftJis = decoded.shiftJis.value_or(QString());
  const QString& utf8 = decoded.utf8.value_or(QString());
  qsizetype from = 0;
  while (from < shiftJis.size() && from < utf8.size() && shiftJis[from] == utf8[from])
    ++from;
  const qsizetype line = QStringView(shiftJis).first(from).count(kCrLf) + 1;
  return QStringLiteral("このファイルはShift_JISとしてもUTF-8としても読めます。\r\n%1行目: "
                        "Shift_JISでは%2、UTF-8では%3\r\n"
                        "Shift_JISとして読みますか? (「いいえ」はUTF-8)")
      .arg(line)
      .arg(excerpt(shiftJis, from), excerpt(utf8, from));
}

QString chooseReading(const DecodedSource& decoded, Dialogs& dialogs) {
  if (!decoded.needsChoice())
    return decoded.text;
  const Answer answer =
      dialogs.ask(readingQuestion(decoded), applicationTitle(), /*withCancel*/ false, Answer::Yes);
  return answer == Answer::No ? *decoded.utf8 : *decoded.shiftJis;
}

bool isSubstitute(char32_t codePoint) {
  return codePoint == 0x1A || codePoint == kReplacement;
}

EncodedSource encodeSource(const QString& text) {
  EncodedSource result;
  QStringEncoder encoder(kSourceCodePage, QStringConverter::Flag::Stateless);
  QByteArray& bytes = result.bytes;
  bytes.reserve(text.size() * 2 + 2);
  bool substitute = false;
  qsizetype start = 0;
  const auto encodeRun = [&](qsizetype end) {
    if (end > start)
      bytes += encoder(QStringView(text).sliced(start, end - start));
  };
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    substitute = substitute || isSubstitute(c);
    if (!isControl(c))
      continue;
    encodeRun(i);
    bytes += static_cast<char>(c);
    start = i + 1;
  }
  encodeRun(text.size());
  bytes += "\r\n";
  if (encoder.hasError() || substitute) {
    bytes.clear();
    result.unencodable = firstUnsavable(text);
    if (!result.unencodable) // cannot happen with a stateless code page; refuse all the same
      result.unencodable = UnsavableCharacter{kReplacement, 1};
  }
  return result;
}

QString unsavableMessage(const UnsavableCharacter& character) {
  const QString problem =
      isSubstitute(character.codePoint)
          ? QStringLiteral("ファイルを読んだときに読めなかったバイトを表す文字があります: ")
          : QStringLiteral("Shift_JISで保存できない文字があります: ");
  return problem + codePointText(character.codePoint) +
         QStringLiteral(" %1行目\r\n保存しませんでした。").arg(character.line);
}

QString fileErrorMessage(const QString& error, const QString& path) {
  return error + QStringLiteral(" File Name=") + path;
}

ReadSource readSourceFile(const QString& path) {
  if (!codePageAvailable())
    return {std::nullopt, codePageMissingMessage()};
  const auto tooLarge = [&] {
    return ReadSource{
        std::nullopt,
        fileErrorMessage(QStringLiteral("ファイルが大きすぎます (1MBまで読み込めます)"), path)};
  };
  // Looked at before it is opened: opening a named pipe with no writer would wait for one.
  const QByteArray name = QFile::encodeName(path);
  struct stat status {};
  if (::stat(name.constData(), &status) != 0)
    return {std::nullopt, systemFailure(errno, path, false)};
  if (S_ISDIR(status.st_mode))
    return {std::nullopt, systemFailure(EISDIR, path, false)};
  if (!S_ISREG(status.st_mode))
    return {std::nullopt, fileErrorMessage(notRegularFileCause(), path)};
  if (status.st_size > kSourceFileLimit)
    return tooLarge();
  // Non-blocking, and looked at once more once open, in case the name changed hands in between.
  const int descriptor = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0)
    return {std::nullopt, systemFailure(errno, path, false)};
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(descriptor);
    return {std::nullopt, fileErrorMessage(notRegularFileCause(), path)};
  }
  QFile file;
  if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(descriptor);
    return {std::nullopt, fileErrorMessage(file.errorString(), path)};
  }
  errno = 0;
  // One byte past the limit: the file may have grown since it was looked at.
  const QByteArray bytes = file.read(kSourceFileLimit + 1);
  if (file.error() != QFileDevice::NoError)
    return {std::nullopt, failure(errno, file.errorString(), path, false)};
  if (bytes.size() > kSourceFileLimit)
    return tooLarge();
  ReadSource result{decodeSource(bytes), {}};
  if (result.source->damaged) {
    const SourceCoding coding = result.source->coding;
    result.problem = fileErrorMessage(
        coding == SourceCoding::ShiftJis
            ? QStringLiteral(
                  "Shift_JISとしてもUTF-8としても読めない部分があります。その部分の文字は"
                  "正しく表示されません。")
            : (coding == SourceCoding::Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("UTF-16")) +
                  QStringLiteral("として読めない部分があります。その部分の文字は正しく表示されま"
                                 "せん。"),
        path);
  }
  return result;
}

QString unwritableTarget(const QString& path) {
  struct stat status {};
  if (::stat(QFile::encodeName(path).constData(), &status) != 0)
    return {}; // a new file, or a problem that opening it names
  if (S_ISDIR(status.st_mode))
    return fileErrorCause(EISDIR, {}, true);
  if (!S_ISREG(status.st_mode))
    return notRegularFileCause();
  return {};
}

QString writeSourceFile(const QString& path, const QByteArray& bytes) {
  if (const QString reason = unwritableTarget(path); !reason.isEmpty())
    return fileErrorMessage(reason, path);
  const QByteArray name = QFile::encodeName(path);
  // An existing file that cannot be written is named as such (the temporary file would not say).
  if (::access(name.constData(), F_OK) == 0 && ::access(name.constData(), W_OK) != 0)
    return systemFailure(errno, path, true);

  // The file itself takes the text, or it is new: either way writing in place is possible.
  const auto writableOrNew = [&] {
    return ::access(name.constData(), W_OK) == 0 || errno == ENOENT;
  };

  // The text goes to a temporary file first; only a complete file replaces the old one. Where
  // the folder refuses the temporary file or its renaming, the file is written in place.
  QSaveFile file(path);
  file.setDirectWriteFallback(true);
  if (!file.open(QIODevice::WriteOnly)) {
    const int folderError = folderRefusesNewFile(path);
    if ((folderError == 0 || folderError == EACCES || folderError == EPERM) && writableOrNew())
      return writeInPlace(path, bytes);
    return failure(folderError, file.errorString(), path, true);
  }
  errno = 0;
  if (file.write(bytes) != bytes.size() || !file.flush()) {
    const int error = errno;
    const QString platformText = file.errorString();
    file.cancelWriting();
    return failure(error, platformText, path, true);
  }
  errno = 0;
  if (!file.commit()) {
    const int error = errno;
    // The temporary file was complete but could not take the file's name (the name leaves no
    // room for the temporary file's suffix, or the folder refuses the renaming).
    if ((error == ENAMETOOLONG || error == EACCES || error == EPERM) && writableOrNew())
      return writeInPlace(path, bytes);
    return failure(error, file.errorString(), path, true);
  }
  return {};
}

std::optional<QString> OpenSourceFile(SourceFileDialogs& files, Dialogs& dialogs) {
  const QString path = files.ShowOpen(sourceFileFilters());
  if (path.isEmpty())
    return std::nullopt;
  return OpenSourcePath(path, dialogs);
}

std::optional<QString> OpenSourcePath(const QString& path, Dialogs& dialogs) {
  const ReadSource read = readSourceFile(path);
  if (!read.problem.isEmpty())
    dialogs.inform(read.problem);
  if (!read.source)
    return std::nullopt;
  return chooseReading(*read.source, dialogs);
}

bool SaveSourceFile(const QString& text, SourceFileDialogs& files, Dialogs& dialogs) {
  if (!codePageAvailable()) {
    dialogs.inform(codePageMissingMessage());
    return false;
  }
  // Refused before a path is asked for: nothing is ever saved in a lossy form.
  const EncodedSource encoded = encodeSource(text);
  if (encoded.unencodable) {
    dialogs.inform(unsavableMessage(*encoded.unencodable));
    return false;
  }
  const QString path = files.ShowSave(sourceFileFilters());
  if (path.isEmpty())
    return false;
  // A folder, a named pipe or a device is refused before any question and before it is opened.
  if (const QString reason = unwritableTarget(path); !reason.isEmpty()) {
    dialogs.inform(fileErrorMessage(reason, path));
    return false;
  }
  // Asked whenever the name is taken, also when the file exists but cannot be read.
  const QFileInfo info(path);
  if (info.exists() || info.isSymLink()) {
    if (!dialogs.confirm(QStringLiteral("同一ファイル名があります。上書き保存しますか。"),
                         QStringLiteral("ソースプログラムの保存")))
      return false;
  }
  const QString problem = writeSourceFile(path, encoded.bytes);
  if (!problem.isEmpty()) {
    dialogs.inform(problem);
    return false;
  }
  return true;
}

} // namespace rpn::machine
