#include "console.h"

#include "machine/source_file.h"

#include <QFile>
#include <QJsonDocument>

namespace rpn::cli {

void Console::complain(const QString& text) {
  if (auto* file = qobject_cast<QFileDevice*>(&out))
    file->flush();
  err.write(text.toUtf8());
}

std::optional<QString> Console::readLine() {
  if (!in.isOpen() || (in.atEnd() && !in.isSequential()))
    return std::nullopt;
  QByteArray line = in.readLine();
  if (line.isEmpty())
    return std::nullopt;
  while (line.endsWith('\n') || line.endsWith('\r'))
    line.chop(1);
  return QString::fromUtf8(line);
}

bool ConsoleDialogs::confirm(const QString& text, const QString& title) {
  Q_UNUSED(title);
  box(text);
  return false;
}

Answer ConsoleDialogs::ask(const QString& text, const QString& title, bool withCancel,
                           Answer byDefault) {
  Q_UNUSED(title);
  Q_UNUSED(withCancel);
  box(text);
  return byDefault;
}

QString ConsoleDialogs::askText(const QString& prompt) {
  Q_UNUSED(prompt); // the input box of IN; its answer comes from the script or standard input
  if (m_nextInput < m_inputs.size())
    return m_inputs.at(m_nextInput++);
  return m_console.readLine().value_or(QString());
}

void ConsoleDialogs::setInputs(const QStringList& inputs) {
  m_inputs = inputs;
  m_nextInput = 0;
}

namespace {

QString emptyFileMessage(const QString& path) {
  return machine::fileErrorMessage(QStringLiteral("ファイルが空です"), path);
}
QString binaryFileMessage(const QString& path) {
  return machine::fileErrorMessage(QStringLiteral("テキストファイルではありません"), path);
}

// A file that reads both ways: the screen's question, answered with its default (Shift_JIS, the
// reading the text holds already).
QString choiceMessage(const machine::DecodedSource& decoded) {
  return decoded.needsChoice() ? machine::readingQuestion(decoded) : QString();
}

// The one place that turns a file's bytes into source text: the assembler screen's decoding.
SourceText decode(const QString& path, Console& console) {
  if (path != u"-") {
    const machine::ReadSource read = machine::readSourceFile(path);
    if (!read.source)
      return {std::nullopt, read.problem};
    return {read.source->text, read.problem.isEmpty() ? choiceMessage(*read.source) : read.problem};
  }
  // Standard input has no size of its own: read one byte past the limit of a source file.
  const QByteArray bytes = console.in.read(machine::kSourceFileLimit + 1);
  if (bytes.size() > machine::kSourceFileLimit)
    return {std::nullopt, machine::fileErrorMessage(QStringLiteral("入力が大きすぎます"), path)};
  const machine::DecodedSource decoded = machine::decodeSource(bytes);
  const QString problem =
      decoded.damaged
          ? machine::fileErrorMessage(QStringLiteral("文字として読めないバイトがあります"), path)
          : choiceMessage(decoded);
  return {decoded.text, problem};
}

} // namespace

SourceText readSource(const QString& path, Console& console) {
  SourceText source = decode(path, console);
  if (!source.text)
    return source;
  // A NUL never occurs in text, whatever its encoding once decoded: the file is a program, an
  // image or an archive, and assembling it would only fill the screen with complaints.
  if (source.text->contains(QChar(u'\0')))
    return {std::nullopt, binaryFileMessage(path)};
  if (source.text->trimmed().isEmpty())
    return {std::nullopt, emptyFileMessage(path)};
  return source;
}

void writeMessages(Console& console, const QString& prefix, const std::vector<Message>& messages) {
  for (const Message& message : messages) {
    // A box text may hold line ends (CR LF between its lines): one message, one line.
    QString text = message.text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(u'\n', u' ');
    text.replace(u'\r', u' ');
    QString line;
    if (!prefix.isEmpty())
      line = prefix + (message.line ? u':' + QString::number(*message.line) : QString()) +
             QStringLiteral(": ");
    console.complain(line + text + u'\n');
  }
}

QJsonArray messagesJson(const std::vector<Message>& messages) {
  QJsonArray array;
  for (const Message& message : messages)
    array.append(QJsonObject{
        {QStringLiteral("line"), message.line ? QJsonValue(*message.line) : QJsonValue()},
        {QStringLiteral("text"), message.text}});
  return array;
}

void printJson(Console& console, const QJsonObject& object) {
  console.out.write(QJsonDocument(object).toJson(QJsonDocument::Compact));
  console.out.write("\n");
}

QString csvRow(const QStringList& fields) {
  QStringList quoted;
  for (const QString& field : fields) {
    if (field.contains(u',') || field.contains(u'"') || field.contains(u'\n') ||
        field.contains(u'\r')) {
      QString escaped = field;
      escaped.replace(u'"', QStringLiteral("\"\""));
      quoted << u'"' + escaped + u'"';
    } else {
      quoted << field;
    }
  }
  return quoted.join(u',') + u'\n';
}

} // namespace rpn::cli
