// What rpnw's subcommands share: the three standard streams, the boxes of the engines turned into
// lines of standard error, the exit statuses, and reading a source file by the assembler screen's
// rules. Nothing here knows a rule of the system; the engines do.
#pragma once

#include "common/dialogs.h"

#include <QIODevice>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace rpn::cli {

// Exit statuses; with several inputs the highest wins.
enum class Status : int {
  Ok = 0,        // everything ended normally
  Complaint = 1, // a syntax error, an assembler complaint, a runtime box
  Usage = 2,     // a usage error, or a file that cannot be read
  Fault = 3,     // a program stopped by a machine fault
  StepLimit = 4, // a program stopped by --max-steps
};

inline Status worst(Status a, Status b) {
  return static_cast<int>(a) >= static_cast<int>(b) ? a : b;
}

// The standard streams. The tests give buffers; main() gives the process's own.
struct Console {
  QIODevice& in;
  QIODevice& out;
  QIODevice& err;

  void print(const QString& text) { out.write(text.toUtf8()); }
  // Standard output is flushed first, so that a terminal shows both in the order they were made.
  void complain(const QString& text);
  // One line of standard input without its line end; nothing at the end of the input.
  std::optional<QString> readLine();
};

// The output formats of --format.
enum class Format { Text, Json, Csv };

// A box's text, with the source line it concerns when there is one (1 = the first line).
struct Message {
  std::optional<int> line;
  QString text;
};

// The engines' Dialogs with nobody to answer: every box is handed to onBox (the subcommand files
// it as a message or as a trace line), a confirmation answers No and a question its default, as
// Enter would, and the input box takes the next scripted input, then the next line of standard
// input, and "" (a cancelled box) when both are used up.
class ConsoleDialogs final : public Dialogs {
public:
  explicit ConsoleDialogs(Console& console) : m_console(console) {}

  void inform(const QString& text) override { box(text); }
  bool confirm(const QString& text, const QString& title) override;
  Answer ask(const QString& text, const QString& title, bool withCancel, Answer byDefault) override;
  QString askText(const QString& prompt) override;

  // Starts the scripted inputs over.
  void setInputs(const QStringList& inputs);

  std::function<void(const QString&)> onBox;

private:
  void box(const QString& text) {
    if (onBox)
      onBox(text);
  }

  Console& m_console;
  QStringList m_inputs;
  qsizetype m_nextInput = 0;
};

// A source file's text by the assembler screen's reading rules ("-" reads standard input), or the
// message that says why there is none. A warning about damaged characters comes with the text.
struct SourceText {
  std::optional<QString> text;
  QString problem;
};
SourceText readSource(const QString& path, Console& console);

// Messages as lines of standard error: "prefix:line: text", "prefix: text" without a line, the
// bare text without a prefix.
void writeMessages(Console& console, const QString& prefix, const std::vector<Message>& messages);
// Messages as a JSON array of {"line": n or null, "text": "..."}.
QJsonArray messagesJson(const std::vector<Message>& messages);
// One JSON object as one line of standard output.
void printJson(Console& console, const QJsonObject& object);
// One CSV row (fields quoted when they hold a comma, a quote or a line end).
QString csvRow(const QStringList& fields);

} // namespace rpn::cli
