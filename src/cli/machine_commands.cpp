// assemble and run: the assembler screen's engine, driven by "アセンブル" and "実行".
//
// Each file gets a fresh screen, as if the program had just been started: the machine is zeroed,
// the source box gets the file's text, "アセンブル" assembles it and, for run, "実行" is pressed
// with trace mode off until the program ends (SVC 0), a machine fault stops it or the step limit
// is reached. The output is what the output box receives, line by line; a complaint names the
// source line it concerns.
#include "commands.h"
#include "machine/instruction_set.h"
#include "machine/machine_engine.h"

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <array>

namespace rpn::cli {
namespace {

using machine::MachineEngine;
using machine::MachineState;

// Where each word of the program image came from: the line-table entry and its source line.
class SourceMap {
public:
  SourceMap(const QString& source, const machine::AssemblyTables& tables) {
    // Entries are the source's non-blank lines in order: each matches the next line that reads
    // the same (a blank line never reads like an entry).
    const QStringList lines = source.split(QStringLiteral("\r\n"));
    qsizetype next = 0;
    for (int k = 0; k < static_cast<int>(tables.Lines.size()); ++k) {
      const machine::LineEntry& entry = tables.Lines.at(static_cast<std::size_t>(k));
      while (next < lines.size() && lines.at(next) != entry.Source)
        ++next;
      m_entryLines.push_back(next < lines.size() ? std::optional<int>(int(next) + 1)
                                                 : std::nullopt);
      if (next < lines.size())
        ++next;
      if (entry.Size > 0 && machine::inMemory(entry.Address))
        m_entryAt.at(static_cast<std::size_t>(entry.Address)) = k;
    }
  }

  std::optional<int> lineOfEntry(int entry) const {
    if (entry < 0 || entry >= static_cast<int>(m_entryLines.size()))
      return std::nullopt;
    return m_entryLines.at(static_cast<std::size_t>(entry));
  }
  // The entry whose first word is at the address, -1 when none.
  int entryAt(std::int64_t address) const {
    return machine::inMemory(address) ? m_entryAt.at(static_cast<std::size_t>(address)) : -1;
  }

private:
  std::vector<std::optional<int>> m_entryLines;
  std::array<int, machine::kMemoryWords> m_entryAt = filled();
  static std::array<int, machine::kMemoryWords> filled() {
    std::array<int, machine::kMemoryWords> a;
    a.fill(-1);
    return a;
  }
};

// A file on the assembler screen, assembled.
struct Session {
  explicit Session(Console& console) : dialogs(console), engine(dialogs) {}
  ConsoleDialogs dialogs;
  MachineEngine engine;
  std::vector<Message> complaints;
  std::optional<SourceMap> map;
};

// The labels as references see them: the first definition of each name.
std::vector<machine::LabelEntry> definedLabels(const machine::AssemblyTables& tables) {
  std::vector<machine::LabelEntry> labels;
  for (const machine::LabelEntry& label : tables.Labels) {
    if (std::none_of(labels.begin(), labels.end(),
                     [&label](const machine::LabelEntry& l) { return l.Name == label.Name; }))
      labels.push_back(label);
  }
  return labels;
}

void assembleIn(Session& session, const QString& source) {
  std::vector<std::pair<int, QString>> boxes;
  session.dialogs.onBox = [&](const QString& text) {
    boxes.emplace_back(session.engine.state().complaintEntry, text);
  };
  session.engine.Form_Load();
  session.engine.setCheck1(false);
  session.engine.setText1(source);
  session.engine.Command1_Click();
  session.dialogs.onBox = nullptr;
  // The table is complete only now: a label's complaint comes before its line is entered.
  session.map.emplace(source, session.engine.state().tables);
  for (const auto& [entry, text] : boxes)
    session.complaints.push_back({session.map->lineOfEntry(entry), text});
}

QStringList listingLines(const QString& listing) {
  QStringList lines = listing.split(QStringLiteral("\r\n"));
  if (!lines.isEmpty() && lines.last().isEmpty())
    lines.removeLast();
  return lines;
}

// How a run stopped: "end" (SVC 0), "fault", "max-steps", or "unreadable" for a file that could
// not be read.
QString stopName(Status stop) {
  switch (stop) {
  case Status::Fault:
    return QStringLiteral("fault");
  case Status::StepLimit:
    return QStringLiteral("max-steps");
  case Status::Usage:
    return QStringLiteral("unreadable");
  default:
    return QStringLiteral("end");
  }
}

// Reads one file; a file that cannot be read is reported and yields nothing.
std::optional<QString> sourceOf(const QString& path, Console& console, Format format,
                                std::vector<Message>& warnings, Status& status) {
  const SourceText read = readSource(path, console);
  if (!read.problem.isEmpty()) {
    const std::vector<Message> messages{{std::nullopt, read.problem}};
    writeMessages(console, QString(), messages);
    if (read.text)
      warnings = messages;
  }
  if (!read.text) {
    status = worst(status, Status::Usage);
    if (format == Format::Json)
      printJson(console,
                {{QStringLiteral("file"), path},
                 {QStringLiteral("status"), static_cast<int>(Status::Usage)},
                 {QStringLiteral("result"), stopName(Status::Usage)},
                 {QStringLiteral("messages"), messagesJson({{std::nullopt, read.problem}})}});
    return std::nullopt;
  }
  return read.text;
}

void printHeader(Console& console, const QStringList& files, const QString& file) {
  if (files.size() > 1)
    console.print(QStringLiteral("==> ") + file + QStringLiteral(" <==\n"));
}

} // namespace

Status assemble(const QStringList& files, const AssembleOptions& options, Console& console) {
  Status status = Status::Ok;
  for (const QString& file : files) {
    std::vector<Message> warnings;
    const std::optional<QString> source = sourceOf(file, console, options.format, warnings, status);
    if (!source)
      continue;
    Session session(console);
    assembleIn(session, *source);
    std::vector<Message> messages = warnings;
    messages.insert(messages.end(), session.complaints.begin(), session.complaints.end());
    const Status own = messages.empty() ? Status::Ok : Status::Complaint;
    status = worst(status, own);
    writeMessages(console, file, session.complaints);
    const QStringList listing = listingLines(session.engine.view().Text2);
    if (options.format == Format::Json) {
      const MachineState& m = session.engine.state().machine;
      QJsonArray words;
      for (int a = 0; a < m.ProgramSize && a < machine::kMemoryWords; ++a)
        words.append(m.Memory.at(static_cast<std::size_t>(a)));
      QJsonObject labels;
      for (const machine::LabelEntry& label : definedLabels(session.engine.state().tables))
        labels.insert(label.Name, label.Value);
      printJson(console, {{QStringLiteral("file"), file},
                          {QStringLiteral("status"), static_cast<int>(own)},
                          {QStringLiteral("listing"), QJsonArray::fromStringList(listing)},
                          {QStringLiteral("words"), words},
                          {QStringLiteral("labels"), labels},
                          {QStringLiteral("messages"), messagesJson(messages)}});
      continue;
    }
    printHeader(console, files, file);
    for (const QString& line : listing)
      console.print(line + u'\n');
  }
  return status;
}

namespace {

// The columns of run's trace.
QStringList runTraceColumns() {
  return {QStringLiteral("address"), QStringLiteral("instruction"), QStringLiteral("registers"),
          QStringLiteral("memory"), QStringLiteral("flags")};
}

QString flagsText(const MachineState& m) {
  return QStringLiteral("P=%1 Z=%2 M=%3")
      .arg(m.Status[machine::kPlus])
      .arg(m.Status[machine::kZero])
      .arg(m.Status[machine::kMinus]);
}

QString registerName(std::size_t k) {
  return u'X' + QString::number(k, 16).toUpper();
}

// One trace row: the instruction just executed and what it changed.
QStringList traceRow(const Session& session, const MachineState& before) {
  const MachineState& after = session.engine.state().machine;
  const std::int16_t address = after.InstructionAddress;
  const int entry = session.map->entryAt(address);
  QString instruction;
  if (entry >= 0) {
    instruction =
        session.engine.state().tables.Lines.at(static_cast<std::size_t>(entry)).Source.simplified();
  } else if (const machine::Instruction* known = machine::findCode(after.Ope[0])) {
    instruction = machine::mnemonicText(*known).toString();
  } else {
    instruction = machine::hexDigits(after.Ope[0], 2);
  }
  QStringList registers;
  for (std::size_t k = 0; k < machine::kRegisters; ++k)
    if (after.Register.at(k) != before.Register.at(k))
      registers << registerName(k) + u'=' + machine::hex4(after.Register.at(k));
  QStringList memory;
  for (std::size_t a = 0; a < machine::kMemoryWords; ++a)
    if (after.Memory.at(a) != before.Memory.at(a))
      memory << machine::hex4(static_cast<std::int64_t>(a)) + u'=' +
                    machine::hex4(after.Memory.at(a));
  return {machine::hex4(address), instruction, registers.join(u' '), memory.join(u' '),
          flagsText(after)};
}

struct RunResult {
  Status stop = Status::Ok; // Ok at the end of the program, Fault or StepLimit
  Status status = Status::Ok;
  std::int64_t steps = 0;
  QStringList output;
  std::vector<QStringList> trace;
};

RunResult runIn(Session& session, const RunOptions& options) {
  MachineEngine& engine = session.engine;
  RunResult result;
  session.dialogs.setInputs(options.inputs);
  // A box while running concerns the instruction being executed.
  session.dialogs.onBox = [&](const QString& text) {
    const int entry = session.map->entryAt(engine.state().machine.InstructionAddress);
    session.complaints.push_back({session.map->lineOfEntry(entry), text});
  };
  // The output box keeps only its last few thousand characters; each line is taken as it comes.
  engine.setPainting(false);
  const QChar* seen = engine.view().Text3.constData();
  qsizetype seenSize = engine.view().Text3.size();
  for (;;) {
    if (result.steps >= options.maxSteps) {
      result.stop = Status::StepLimit;
      break;
    }
    const MachineState before = options.trace ? engine.state().machine : MachineState{};
    if (!engine.moves().RunInstruction()) {
      result.stop = Status::Fault;
      break;
    }
    ++result.steps;
    if (options.trace)
      result.trace.push_back(traceRow(session, before));
    const QString& text = engine.view().Text3;
    if (text.constData() != seen || text.size() != seenSize) {
      result.output << text.mid(text.lastIndexOf(QStringLiteral("\r\n")) + 2);
      seen = text.constData();
      seenSize = text.size();
    }
    const MachineState& m = engine.state().machine;
    if (m.EndOfProgram && m.SvcCode == 0)
      break;
  }
  session.dialogs.onBox = nullptr;
  engine.setPainting(true);
  return result;
}

QString stepLimitMessage(std::int64_t limit) {
  return QStringLiteral("実行した命令が上限の%1個に達したので止めました (--max-steps)").arg(limit);
}

QStringList stateText(const Session& session, std::int64_t steps) {
  const MachineState& m = session.engine.state().machine;
  QStringList lines;
  QStringList registers;
  for (std::size_t k = 0; k < machine::kRegisters; ++k)
    registers << registerName(k) + u'=' + machine::hex4(m.Register.at(k));
  lines << registers.mid(0, 8).join(u' ') << registers.mid(8).join(u' ');
  lines << flagsText(m) + QStringLiteral("  steps=") + QString::number(steps);
  QStringList labels;
  for (const machine::LabelEntry& label : definedLabels(session.engine.state().tables)) {
    const QString value = machine::inMemory(label.Value)
                              ? QString::number(m.Memory.at(static_cast<std::size_t>(label.Value)))
                              : QStringLiteral("-");
    labels << label.Name + u'[' + machine::hex4(label.Value) + QStringLiteral("]=") + value;
  }
  if (!labels.isEmpty())
    lines << labels.join(u' ');
  for (int row = 0; row * 16 < machine::kMemoryWords; ++row) {
    QStringList words;
    for (int a = row * 16; a < (row + 1) * 16 && a < machine::kMemoryWords; ++a)
      words << machine::hex4(m.Memory.at(static_cast<std::size_t>(a)));
    lines << machine::hex4(row * 16) + QStringLiteral(": ") + words.join(u' ');
  }
  return lines;
}

QJsonObject stateJson(const Session& session) {
  const MachineState& m = session.engine.state().machine;
  QJsonArray registers;
  for (const std::int32_t r : m.Register)
    registers.append(r);
  QJsonArray memory;
  for (const std::int32_t w : m.Memory)
    memory.append(w);
  QJsonObject labels;
  for (const machine::LabelEntry& label : definedLabels(session.engine.state().tables))
    labels.insert(label.Name,
                  QJsonObject{{QStringLiteral("address"), label.Value},
                              {QStringLiteral("value"),
                               machine::inMemory(label.Value)
                                   ? QJsonValue(m.Memory.at(static_cast<std::size_t>(label.Value)))
                                   : QJsonValue()}});
  return {{QStringLiteral("registers"), registers},
          {QStringLiteral("flags"), QJsonObject{{QStringLiteral("P"), m.Status[machine::kPlus]},
                                                {QStringLiteral("Z"), m.Status[machine::kZero]},
                                                {QStringLiteral("M"), m.Status[machine::kMinus]}}},
          {QStringLiteral("execAddress"), m.ExecAddress},
          {QStringLiteral("memory"), memory},
          {QStringLiteral("labels"), labels}};
}

} // namespace

Status run(const QStringList& files, const RunOptions& options, Console& console) {
  Status status = Status::Ok;
  bool first = true;
  for (const QString& file : files) {
    std::vector<Message> warnings;
    const std::optional<QString> source = sourceOf(file, console, options.format, warnings, status);
    if (!source)
      continue;
    Session session(console);
    session.complaints = warnings;
    assembleIn(session, *source);
    RunResult result = runIn(session, options);
    result.status = worst(result.stop, session.complaints.empty() ? Status::Ok : Status::Complaint);
    if (result.stop == Status::StepLimit)
      session.complaints.push_back({std::nullopt, stepLimitMessage(options.maxSteps)});
    status = worst(status, result.status);
    std::vector<Message> own(session.complaints.begin() +
                                 static_cast<std::ptrdiff_t>(warnings.size()),
                             session.complaints.end());
    writeMessages(console, file, own);

    switch (options.format) {
    case Format::Text:
      printHeader(console, files, file);
      for (const QString& line : result.output)
        console.print(line + u'\n');
      for (const QStringList& row : result.trace)
        console.print(row.join(QStringLiteral("  ")).trimmed() + u'\n');
      if (options.state)
        for (const QString& line : stateText(session, result.steps))
          console.print(line + u'\n');
      break;
    case Format::Csv:
      if (first)
        console.print(csvRow(QStringList{QStringLiteral("file")} + runTraceColumns()));
      for (const QStringList& row : result.trace)
        console.print(csvRow(QStringList{file} + row));
      break;
    case Format::Json: {
      QJsonObject object{{QStringLiteral("file"), file},
                         {QStringLiteral("status"), static_cast<int>(result.status)},
                         {QStringLiteral("result"), stopName(result.stop)},
                         {QStringLiteral("steps"), static_cast<qint64>(result.steps)},
                         {QStringLiteral("output"), QJsonArray::fromStringList(result.output)},
                         {QStringLiteral("messages"), messagesJson(session.complaints)}};
      if (options.trace) {
        QJsonArray trace;
        for (const QStringList& row : result.trace) {
          QJsonObject step;
          const QStringList columns = runTraceColumns();
          for (qsizetype i = 0; i < columns.size(); ++i)
            step.insert(columns.at(i), row.value(i));
          trace.append(step);
        }
        object.insert(QStringLiteral("trace"), trace);
      }
      if (options.state)
        object.insert(QStringLiteral("state"), stateJson(session));
      printJson(console, object);
      break;
    }
    }
    first = false;
  }
  return status;
}

} // namespace rpn::cli
