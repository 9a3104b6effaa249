#include "common/csv.h"

#include <QSaveFile>
#include <QStringDecoder>
#include <cerrno>

namespace rpn {

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

bool needsQuotes(const QString& text) {
  for (const QChar c : text)
    if (c == u',' || c == u'"' || c == u'\r' || c == u'\n')
      return true;
  return false;
}

void appendRow(QString& out, const QStringList& fields) {
  for (qsizetype i = 0; i < fields.size(); ++i) {
    if (i > 0)
      out += u',';
    out += csvField(fields[i]);
  }
  out += QStringLiteral("\r\n");
}

} // namespace

QString csvField(const QString& text) {
  if (!needsQuotes(text))
    return text;
  QString quoted = text;
  quoted.replace(u'"', QStringLiteral("\"\""));
  return u'"' + quoted + u'"';
}

QByteArray csvBytes(const CsvTable& table) {
  QString text;
  appendRow(text, table.header);
  for (const QStringList& row : table.rows)
    appendRow(text, row);
  return QByteArray(kByteOrderMark) + text.toUtf8();
}

std::optional<FileWriteFailure> writeCsvFile(const QString& path, const CsvTable& table) {
  const QByteArray bytes = csvBytes(table);
  QSaveFile file(path);
  const auto failure = [&file](int systemError) {
    return FileWriteFailure{file.error(), systemError, file.errorString()};
  };
  errno = 0;
  if (!file.open(QIODevice::WriteOnly))
    return failure(errno);
  errno = 0;
  if (file.write(bytes) != bytes.size() || !file.flush()) {
    const FileWriteFailure failed = failure(errno);
    file.cancelWriting();
    return failed;
  }
  errno = 0;
  if (!file.commit())
    return failure(errno);
  return std::nullopt;
}

std::optional<std::vector<QStringList>> parseCsv(QByteArrayView bytes) {
  if (bytes.startsWith(kByteOrderMark))
    bytes = bytes.sliced(3);
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = decoder.decode(bytes);
  if (decoder.hasError())
    return std::nullopt;

  std::vector<QStringList> rows;
  QStringList row;
  QString field;
  bool quoted = false;     // the field was in quotes, now closed
  bool inQuotes = false;   // inside the quotes of a field
  bool rowStarted = false; // something of the current row has been read
  const qsizetype size = text.size();
  for (qsizetype i = 0; i < size; ++i) {
    const QChar c = text[i];
    rowStarted = true;
    if (inQuotes) {
      if (c != u'"') {
        field += c;
      } else if (i + 1 < size && text[i + 1] == u'"') {
        field += c;
        ++i;
      } else {
        inQuotes = false;
        quoted = true;
      }
    } else if (c == u',' || c == u'\n' || (c == u'\r' && i + 1 < size && text[i + 1] == u'\n')) {
      row.append(field);
      field.clear();
      quoted = false;
      if (c != u',') {
        if (c == u'\r')
          ++i;
        rows.push_back(row);
        row.clear();
        rowStarted = false;
      }
    } else if (quoted || c == u'\r' || (c == u'"' && !field.isEmpty())) {
      return std::nullopt; // text after a closing quote, a lone CR, a quote in an unquoted field
    } else if (c == u'"') {
      inQuotes = true;
    } else {
      field += c;
    }
  }
  if (inQuotes)
    return std::nullopt;
  if (rowStarted) {
    row.append(field);
    rows.push_back(row);
  }
  return rows;
}

} // namespace rpn
