// convert, execute and translate: the three expression screens' engines, driven by their buttons.
//
// A run is made with trace mode off, so that every box it opens is a complaint (a syntax error, a
// full stack, a division by zero...). With --trace the same input is run a second time with trace
// mode on, and every box of that run becomes a trace line together with what the screen shows
// while the box is open; the rules are the same in both runs, only the boxes differ.
#include "commands.h"
#include "conversion/conversion_engine.h"
#include "execution/execution_engine.h"
#include "translation/translation_engine.h"

#include <QJsonArray>
#include <QJsonObject>

namespace rpn::cli {
namespace {

// The trace of one input: named columns, one row per box.
struct Trace {
  QStringList columns;
  std::vector<QStringList> rows;
};

QJsonArray traceJson(const Trace& trace) {
  QJsonArray array;
  for (const QStringList& row : trace.rows) {
    QJsonObject object;
    for (qsizetype i = 0; i < trace.columns.size(); ++i)
      object.insert(trace.columns.at(i), row.value(i));
    array.append(object);
  }
  return array;
}

// Text form of a trace row: the box's text, then "column=value" for the state it shows.
QString traceLine(const Trace& trace, const QStringList& row) {
  QString line = row.value(0);
  for (qsizetype i = 1; i < trace.columns.size(); ++i)
    line += QStringLiteral("  ") + trace.columns.at(i) + u'=' + row.value(i);
  return line + u'\n';
}

// Writes the trace rows of one input in CSV, the header before the first input's rows.
void printCsv(Console& console, const QString& input, const Trace& trace, bool header) {
  if (header)
    console.print(csvRow(QStringList{QStringLiteral("input")} + trace.columns));
  for (const QStringList& row : trace.rows)
    console.print(csvRow(QStringList{input} + row));
}

void printTraceText(Console& console, const Trace& trace) {
  for (const QStringList& row : trace.rows)
    console.print(traceLine(trace, row));
}

std::vector<Message> asMessages(const QStringList& texts) {
  std::vector<Message> messages;
  for (const QString& text : texts)
    messages.push_back({std::nullopt, text});
  return messages;
}

// The prefix of an expression's messages on standard error.
QString messagePrefix(const QString& expression) {
  return u'"' + expression + u'"';
}

Status statusOf(const std::vector<Message>& complaints) {
  return complaints.empty() ? Status::Ok : Status::Complaint;
}

// Expressions given as "-" are read from standard input, one per line.
QStringList expandStandardInput(const QStringList& inputs, Console& console) {
  QStringList expanded;
  for (const QString& input : inputs) {
    if (input != u"-") {
      expanded << input;
      continue;
    }
    while (const std::optional<QString> line = console.readLine())
      expanded << *line;
  }
  return expanded;
}

QString joinedStack(const walk::RpnView& view) {
  QStringList cells;
  for (int i = 0; i < view.StackCount && i < walk::kStackCells; ++i)
    cells << view.lblValue.at(static_cast<std::size_t>(i));
  return cells.join(u' ');
}

QJsonArray stackJson(const walk::RpnView& view) {
  QJsonArray cells;
  for (int i = 0; i < view.StackCount && i < walk::kStackCells; ++i)
    cells.append(view.lblValue.at(static_cast<std::size_t>(i)));
  return cells;
}

// ---- convert

struct ConversionResult {
  QString rpn;
  QStringList boxes;
  Trace trace{{QStringLiteral("box"), QStringLiteral("step"), QStringLiteral("output"),
               QStringLiteral("stack")},
              {}};
};

QString operatorStack(const conversion::ConversionView& view, int count) {
  QStringList operations;
  for (int i = 0; i < count && i < conversion::kStackSlots; ++i)
    operations << view.stack.at(static_cast<std::size_t>(i)).operation;
  return operations.join(u' ');
}

ConversionResult convertOne(const QString& expression, bool tracing, Console& console) {
  ConsoleDialogs dialogs(console);
  conversion::ConversionEngine engine(dialogs);
  ConversionResult result;
  dialogs.onBox = [&](const QString& text) {
    result.boxes << text;
    const auto& view = engine.view();
    result.trace.rows.push_back(
        {text, view.Label5, view.Text2, operatorStack(view, engine.state().variables.StackCount)});
  };
  engine.Form_Load();
  engine.setCheck1(tracing);
  engine.setText1(expression);
  engine.Command1_Click();
  result.rpn = engine.view().Text2;
  return result;
}

// One expression's result in the chosen format: its line of text and then its trace, its trace
// alone as CSV, or one JSON object of its own fields with the expression, status, messages and
// (with --trace) the trace.
void printResult(Console& console, Format format, bool withTrace, const QString& expression,
                 const QString& line, QJsonObject fields, const std::vector<Message>& complaints,
                 const Trace& trace, bool first) {
  switch (format) {
  case Format::Text:
    console.print(line + u'\n');
    printTraceText(console, trace);
    return;
  case Format::Csv:
    printCsv(console, expression, trace, first);
    return;
  case Format::Json:
    fields.insert(QStringLiteral("expression"), expression);
    fields.insert(QStringLiteral("status"), static_cast<int>(statusOf(complaints)));
    fields.insert(QStringLiteral("messages"), messagesJson(complaints));
    if (withTrace)
      fields.insert(QStringLiteral("trace"), traceJson(trace));
    printJson(console, fields);
    return;
  }
}

} // namespace

Status convert(const QStringList& inputs, const ConvertOptions& options, Console& console) {
  Status status = Status::Ok;
  bool first = true;
  for (const QString& expression : expandStandardInput(inputs, console)) {
    const ConversionResult result = convertOne(expression, false, console);
    const std::vector<Message> complaints = asMessages(result.boxes);
    const Trace trace = options.trace ? convertOne(expression, true, console).trace : Trace{};
    status = worst(status, statusOf(complaints));
    writeMessages(console, messagePrefix(expression), complaints);
    printResult(console, options.format, options.trace, expression, result.rpn,
                {{QStringLiteral("rpn"), result.rpn}}, complaints, trace, first);
    first = false;
  }
  return status;
}

// ---- execute

namespace {

struct ExecutionResult {
  QString stack;
  QJsonArray stackCells;
  QStringList boxes;
  std::vector<std::pair<QString, QString>> variables; // every entry at the end
  std::vector<std::pair<QString, QString>> changed;
  Trace trace{{QStringLiteral("box"), QStringLiteral("step"), QStringLiteral("register"),
               QStringLiteral("stack")},
              {}};
};

ExecutionResult executeOne(const QString& expression, const ExecuteOptions& options, bool tracing,
                           Console& console) {
  ConsoleDialogs dialogs(console);
  execution::ExecutionEngine engine(dialogs);
  ExecutionResult result;
  dialogs.onBox = [&](const QString& text) {
    result.boxes << text;
    const auto& view = engine.view();
    result.trace.rows.push_back({text, view.Label4, view.Text2, joinedStack(view)});
  };
  engine.Form_Load();
  engine.setCheck1(tracing);
  for (const auto& [name, value] : options.values)
    engine.setTxtName(engine.FindVariable(name), value);
  const auto before = engine.view().txtName;
  engine.setText1(expression);
  engine.Command1_Click();
  const auto& view = engine.view();
  result.stack = joinedStack(view);
  result.stackCells = stackJson(view);
  for (std::size_t i = 0; i < view.txtName.size(); ++i) {
    result.variables.emplace_back(view.lblName.at(i), view.txtName.at(i));
    if (view.txtName.at(i) != before.at(i))
      result.changed.emplace_back(view.lblName.at(i), view.txtName.at(i));
  }
  return result;
}

QJsonObject variablesJson(const std::vector<std::pair<QString, QString>>& variables) {
  QJsonObject object;
  for (const auto& [name, value] : variables)
    object.insert(name, value);
  return object;
}

} // namespace

Status execute(const QStringList& inputs, const ExecuteOptions& options, Console& console) {
  Status status = Status::Ok;
  bool first = true;
  for (const QString& expression : expandStandardInput(inputs, console)) {
    const ExecutionResult result = executeOne(expression, options, false, console);
    const std::vector<Message> complaints = asMessages(result.boxes);
    const Trace trace =
        options.trace ? executeOne(expression, options, true, console).trace : Trace{};
    status = worst(status, statusOf(complaints));
    writeMessages(console, messagePrefix(expression), complaints);
    QString line = result.stack;
    for (const auto& [name, value] : result.changed)
      line += QStringLiteral("  ") + name + u'=' + value;
    printResult(console, options.format, options.trace, expression, line,
                {{QStringLiteral("stack"), result.stackCells},
                 {QStringLiteral("variables"), variablesJson(result.variables)},
                 {QStringLiteral("changed"), variablesJson(result.changed)}},
                complaints, trace, first);
    first = false;
  }
  return status;
}

// ---- translate

Status translate(const QStringList& inputs, const TranslateOptions& options, Console& console) {
  Status status = Status::Ok;
  const QStringList expressions = expandStandardInput(inputs, console);
  for (const QString& expression : expressions) {
    ConsoleDialogs dialogs(console);
    translation::TranslationEngine engine(dialogs);
    // Boxes of the translation and of the hand-off are complaints; the optimiser's are the
    // messages between its steps.
    std::vector<Message> complaints;
    std::vector<Message> notes;
    std::vector<Message>* filing = &complaints;
    dialogs.onBox = [&](const QString& text) { filing->push_back({std::nullopt, text}); };
    engine.Form_Load();
    engine.setCheck1(false);
    engine.setText1(expression);
    engine.Command1_Click();
    if (options.optimise) {
      filing = &notes;
      engine.Command5_Click();
      filing = &complaints;
    }
    const QStringList listing = engine.view().List1;
    // JSON always carries the hand-off text; its box counts only when the text was asked for.
    std::optional<QString> source;
    std::vector<Message> unasked;
    if (options.source || options.format == Format::Json) {
      filing = options.source ? &complaints : &unasked;
      source = engine.Command6_Click();
    }

    const Status own = statusOf(complaints);
    status = worst(status, own);
    std::vector<Message> messages = notes;
    messages.insert(messages.end(), complaints.begin(), complaints.end());
    writeMessages(console, messagePrefix(expression), messages);
    if (options.format == Format::Json) {
      QJsonObject object{
          {QStringLiteral("expression"), expression},
          {QStringLiteral("optimised"), options.optimise},
          {QStringLiteral("listing"), QJsonArray::fromStringList(listing)},
          {QStringLiteral("source"),
           source ? QJsonValue(QJsonArray::fromStringList(source->split(QStringLiteral("\r\n"))))
                  : QJsonValue()},
          {QStringLiteral("variables"), QJsonArray::fromStringList(engine.VariableTable())},
          {QStringLiteral("stack"), stackJson(engine.view())},
          {QStringLiteral("status"), static_cast<int>(own)},
          {QStringLiteral("messages"), messagesJson(messages)}};
      printJson(console, object);
      continue;
    }
    if (expressions.size() > 1)
      console.print(QStringLiteral("==> ") + expression + QStringLiteral(" <==\n"));
    const QStringList lines =
        options.source ? (source ? source->split(QStringLiteral("\r\n")) : QStringList()) : listing;
    for (const QString& line : lines)
      console.print(line + u'\n');
  }
  return status;
}

} // namespace rpn::cli
