#include "source_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

namespace rpn::machine {
namespace {

const QString kCrLf = QStringLiteral("\r\n");

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

// The first code point of the text that windows-31j cannot hold. A lone surrogate is reported as
// itself.
std::optional<char32_t> firstUnencodable(const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    qsizetype length = 1;
    char32_t codePoint = text.at(i).unicode();
    if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
      codePoint = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
      length = 2;
    }
    QStringEncoder encoder(kSourceCodePage, QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder(QStringView(text).mid(i, length));
    if (encoder.hasError())
      return codePoint;
    i += length - 1;
  }
  return std::nullopt;
}

QString unencodableMessage(char32_t codePoint) {
  const QString code =
      QStringLiteral("U+%1").arg(static_cast<uint>(codePoint), 4, 16, QLatin1Char('0')).toUpper();
  QString shown;
  if (QChar::isPrint(codePoint) && !QChar::isSurrogate(codePoint))
    shown = QStringLiteral("「") + QString::fromUcs4(&codePoint, 1) + QStringLiteral("」");
  return QStringLiteral("Shift_JISで保存できない文字があります: ") + shown + u'(' + code +
         QStringLiteral(")\r\n保存しませんでした。");
}

} // namespace

QStringList sourceFileFilters() {
  return {QStringLiteral("テキストファイル(*.txt)"), QStringLiteral("全てのファイル(*.*)")};
}

DecodedSource decodeSource(QByteArrayView bytes) {
  const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                 [](char b) { return static_cast<unsigned char>(b) < 0x80; });
  DecodedSource result;
  if (!ascii && bytes.isValidUtf8()) {
    QStringDecoder decoder(QStringConverter::Utf8); // drops a byte-order mark
    result.text = joinLinesWithCrLf(decoder(bytes));
    return result;
  }
  // Stateless: a lead byte cut off at the end of the file counts as damage too.
  QStringDecoder decoder(kSourceCodePage, QStringConverter::Flag::Stateless);
  const QString raw = decoder(bytes);
  result.damaged = decoder.hasError();
  result.text = joinLinesWithCrLf(raw);
  return result;
}

EncodedSource encodeSource(const QString& text) {
  EncodedSource result;
  QStringEncoder encoder(kSourceCodePage);
  result.bytes = encoder(text + kCrLf);
  if (encoder.hasError()) {
    result.bytes.clear();
    result.unencodable = firstUnencodable(text);
    if (!result.unencodable) // cannot happen with a stateless code page; refuse all the same
      result.unencodable = U'\uFFFD';
  }
  return result;
}

QString fileErrorMessage(const QString& error, const QString& path) {
  return error + QStringLiteral(" File Name=") + path;
}

ReadSource readSourceFile(const QString& path) {
  if (!codePageAvailable())
    return {std::nullopt, codePageMissingMessage()};
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {std::nullopt, fileErrorMessage(file.errorString(), path)};
  // Read one byte past the limit: devices and pipes report no size of their own.
  const QByteArray bytes = file.read(kSourceFileLimit + 1);
  if (file.error() != QFileDevice::NoError)
    return {std::nullopt, fileErrorMessage(file.errorString(), path)};
  if (bytes.size() > kSourceFileLimit)
    return {std::nullopt,
            fileErrorMessage(QStringLiteral("ファイルが大きすぎます (1MBまで読み込めます)"), path)};
  const DecodedSource decoded = decodeSource(bytes);
  ReadSource result{decoded.text, {}};
  if (decoded.damaged)
    result.problem = fileErrorMessage(
        QStringLiteral("Shift_JISとしてもUTF-8としても読めない部分があります。その部分の文字は正し"
                       "く表示されません。"),
        path);
  return result;
}

QString writeSourceFile(const QString& path, const QByteArray& bytes) {
  // The text goes to a temporary file first; only a complete file replaces the old one.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    return fileErrorMessage(file.errorString(), path);
  if (file.write(bytes) != bytes.size()) {
    const QString error = file.errorString();
    file.cancelWriting();
    return fileErrorMessage(error, path);
  }
  if (!file.commit())
    return fileErrorMessage(file.errorString(), path);
  return {};
}

std::optional<QString> OpenSourceFile(SourceFileDialogs& files, Dialogs& dialogs) {
  const QString path = files.ShowOpen(sourceFileFilters());
  if (path.isEmpty())
    return std::nullopt;
  const ReadSource read = readSourceFile(path);
  if (!read.problem.isEmpty())
    dialogs.inform(read.problem);
  return read.text;
}

bool SaveSourceFile(const QString& text, SourceFileDialogs& files, Dialogs& dialogs) {
  if (!codePageAvailable()) {
    dialogs.inform(codePageMissingMessage());
    return false;
  }
  // Refused before a path is asked for: nothing is ever saved in a lossy form.
  const EncodedSource encoded = encodeSource(text);
  if (encoded.unencodable) {
    dialogs.inform(unencodableMessage(*encoded.unencodable));
    return false;
  }
  const QString path = files.ShowSave(sourceFileFilters());
  if (path.isEmpty())
    return false;
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
