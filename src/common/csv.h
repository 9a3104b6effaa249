// Tables as CSV files, for spreadsheet programs: UTF-8 with a byte-order mark (so that they open
// with the right characters on Japanese desktops), CR LF after every row, a header row first. A
// field holding a comma, a double quote, CR or LF is put in double quotes, its double quotes
// doubled.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFileDevice>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace rpn {

struct CsvTable {
  QStringList header;
  std::vector<QStringList> rows;
};

// One field as it is written.
QString csvField(const QString& text);
// The whole file: the byte-order mark, the header row, the rows.
QByteArray csvBytes(const CsvTable& table);

// Why a file could not be written: the file device's error, the system's error number at the
// time (0 when none) and the platform's text. The caller names the problem to the user.
struct FileWriteFailure {
  QFileDevice::FileError error = QFileDevice::UnspecifiedError;
  int systemError = 0;
  QString platformText;
};

// Writes the table to `path` through a temporary file that replaces the old file only once
// complete: a failed write leaves the old file as it was. Nothing when all went well.
std::optional<FileWriteFailure> writeCsvFile(const QString& path, const CsvTable& table);

// Reads CSV text as written above or by another program (RFC 4180): an optional byte-order mark,
// rows ended by CR LF or LF (the last one may lack it), fields in double quotes may hold commas,
// line ends and doubled quotes. Nothing when the text is not CSV: a quote in an unquoted field,
// text after a closing quote, a quote left open, or bytes that are not UTF-8.
std::optional<std::vector<QStringList>> parseCsv(QByteArrayView bytes);

} // namespace rpn
