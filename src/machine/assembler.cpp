#include "assembler.h"

#include "common/leading_number.h"
#include "common/rounding.h"
#include "instruction_set.h"

#include <algorithm>
#include <limits>

namespace rpn::machine {
namespace {

bool isWhitespace(QChar c) {
  return c == u' ' || c == u'\t' || c == u'\u3000';
}

// Empty, or spaces only (a tab makes the line count).
bool isBlank(QStringView line) {
  return std::all_of(line.begin(), line.end(), [](QChar c) { return c == u' '; });
}

// Characters from pos up to the next whitespace; pos moves past them.
QString takeWord(QStringView line, qsizetype& pos) {
  const qsizetype start = pos;
  while (pos < line.size() && !isWhitespace(line[pos]))
    ++pos;
  return line.mid(start, pos - start).toString();
}

void skipWhitespace(QStringView line, qsizetype& pos) {
  while (pos < line.size() && isWhitespace(line[pos]))
    ++pos;
}

QString tooManyLinesMessage() {
  return QStringLiteral("ソースプログラムの行数が多すぎます(空白行を除き最大%1行)").arg(kLineSlots);
}
QString tooManyLabelsMessage(const QString& label) {
  return QStringLiteral("ラベルが多すぎます(最大%1個): ").arg(kLabelSlots) + label;
}
QString imageTooLargeMessage() {
  return QStringLiteral("プログラムがメモリに収まりません(最大%1語)").arg(kMemoryWords);
}

bool holdsNumberOrIsEmpty(QStringView text) {
  return text.isEmpty() || holdsNumber(text);
}

// What is not as it looks on an assembled line, field by field: a label defined before, a number
// field that holds no number (it reads as 0), a field whose value spills into the next field of
// the word. A field that holds no number reads as 0 and cannot spill, so each field gives one
// problem at most.
QStringList lineProblems(const LineEntry& line, bool redefined, const SourceFields& fields) {
  QStringList problems;
  if (redefined)
    problems << QStringLiteral("ラベルが二重に定義されています(最初の定義を使います): ") +
                    fields.Label;
  const auto number = [&](const QString& text) {
    if (!holdsNumberOrIsEmpty(text))
      problems << QStringLiteral("オペランドが数値でもラベルでもありません(0とみなします): ") +
                      text;
  };
  const auto field = [&](std::int32_t value, std::int32_t highest, const QString& text,
                         const QString& what) {
    if (value < 0 || value > highest)
      problems << what +
                      QStringLiteral("が0～%1の範囲外です(隣の欄にはみ出します): ").arg(highest) +
                      text;
  };
  const QString registerNumber = QStringLiteral("レジスタ番号");
  switch (line.Kind) {
  case LineKind::Dc:
    number(fields.Operand1Text);
    break;
  case LineKind::Op:
    // The first operand is a label unless it starts like a number.
    if (line.LabelRef.isEmpty())
      number(fields.Operand1Text);
    if (line.OpCode >= kTwoWordCode) {
      number(fields.Operand2Text);
      field(line.Operand2, kRegisters - 1, fields.Operand2Text, registerNumber);
      number(fields.Operand3Text);
      field(line.Operand3, kRegisters - 1, fields.Operand3Text,
            QStringLiteral("インデックスレジスタ番号"));
    } else if (line.OpCode == kMovrCode) {
      field(line.Operand1, kRegisters - 1, fields.Operand1Text, registerNumber);
      number(fields.Operand2Text);
      field(line.Operand2, kRegisters - 1, fields.Operand2Text, registerNumber);
    } else {
      field(line.Operand1, 255, fields.Operand1Text, QStringLiteral("オペランド"));
    }
    break;
  default: // DA and unknown mnemonics have their own complaints; a label alone has no fields
    break;
  }
  return problems;
}

} // namespace

std::int32_t readMachineNumber(QStringView text, QStringList& complaints) {
  const LeadingNumber number = readLeadingNumber(text);
  const double value = roundHalfEven(number.value);
  if (number.overflow || value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    complaints << QStringLiteral("数値が範囲外です: ") + text.toString();
    return 0;
  }
  return static_cast<std::int32_t>(value);
}

std::int32_t readMachineNumber(QStringView text, Dialogs& dialogs) {
  QStringList complaints;
  const std::int32_t value = readMachineNumber(text, complaints);
  for (const QString& complaint : complaints)
    dialogs.inform(complaint);
  return value;
}

bool holdsNumber(QStringView text) {
  // The leading-number rule skips blanks anywhere inside a number, so this does too.
  qsizetype i = 0;
  const auto next = [&] {
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n'))
      ++i;
    return i < text.size() ? text[i].unicode() : char16_t{0};
  };
  const auto decimal = [](char16_t c) { return c >= u'0' && c <= u'9'; };
  char16_t c = next();
  if (c == u'&') {
    ++i;
    const char16_t kind = next();
    ++i;
    const char16_t digit = next();
    if (kind == u'H' || kind == u'h')
      return decimal(digit) || (digit >= u'A' && digit <= u'F') || (digit >= u'a' && digit <= u'f');
    return (kind == u'O' || kind == u'o') && digit >= u'0' && digit <= u'7';
  }
  if (c == u'+' || c == u'-') {
    ++i;
    c = next();
  }
  if (c == u'.') {
    ++i;
    c = next();
  }
  return decimal(c);
}

void Assembler::LoadSource(const QString& source) {
  m_source = source;
  m_position = 0;
  m_locationCounter = 0;
  m_labelCount = 0;
}

QString Assembler::GetLine() {
  if (m_position >= m_source.size())
    return kEndLine.toString();
  const qsizetype end = m_source.indexOf(QStringLiteral("\r\n"), m_position);
  const qsizetype lineEnd = end < 0 ? m_source.size() : end;
  QString line = m_source.mid(m_position, lineEnd - m_position);
  m_position = end < 0 ? m_source.size() : end + 2;
  return line;
}

SourceFields Assembler::SplitLine(QStringView line) {
  SourceFields fields;
  qsizetype pos = 0;
  fields.Label = takeWord(line, pos); // empty when the line begins with whitespace
  skipWhitespace(line, pos);
  fields.Mnemonic = takeWord(line, pos);
  skipWhitespace(line, pos);
  const QString operands = takeWord(line, pos); // what follows is a comment

  const qsizetype first = operands.indexOf(u',');
  if (first < 0) {
    fields.Operand1Text = operands;
    return fields;
  }
  fields.Operand1Text = operands.left(first);
  const qsizetype second = operands.indexOf(u',', first + 1);
  if (second < 0) {
    fields.Operand2Text = operands.mid(first + 1);
    return fields;
  }
  fields.Operand2Text = operands.mid(first + 1, second - first - 1);
  fields.Operand3Text = operands.mid(second + 1);
  return fields;
}

std::int16_t Assembler::NumberKind(QStringView text) {
  if (text.isEmpty())
    return -1;
  const char16_t c = text[0].unicode();
  if (c >= u'0' && c <= u'9')
    return static_cast<std::int16_t>(c - u'0');
  if (c == u'-' || c == u'+' || c == u'&')
    return 10;
  return -1;
}

bool Assembler::CanBeLabel(QStringView word) {
  return NumberKind(word) < 0 && !word.isEmpty() &&
         std::none_of(word.begin(), word.end(),
                      [](QChar c) { return isWhitespace(c) || c == u','; });
}

Assembly Assembler::Assemble(const QString& source, MachineState& machine) {
  LoadSource(source);
  Assembly result;
  const std::vector<bool> redefined = readLines(result);
  for (int i = 0; i < m_lineCount; ++i) {
    noteEntry(result);
    m_currentEntry = i;
    LineEntry& line = m_lines[static_cast<std::size_t>(i)];
    resolveAndEncode(line, result.complaints);
    const QStringList problems =
        lineProblems(line, redefined[static_cast<std::size_t>(i)], SplitLine(line.Source));
    if (!problems.isEmpty())
      result.complaints << QStringLiteral("%1行目: ").arg(line.SourceLine) + line.Source + u'\n' +
                               problems.join(u'\n');
    result.listing += listingLine(line);
  }
  noteEntry(result);
  loadMemory(machine);
  return result;
}

void Assembler::noteEntry(Assembly& result) const {
  result.complaintEntries.resize(static_cast<std::size_t>(result.complaints.size()),
                                 m_currentEntry);
}

QString Assembler::Assemble(const QString& source, MachineState& machine, Dialogs& dialogs) {
  Assembly result = Assemble(source, machine);
  for (const QString& complaint : result.complaints)
    dialogs.inform(complaint);
  return std::move(result.listing);
}

bool Assembler::isDefined(const QString& label) const {
  const auto defined = m_labels.begin() + m_labelCount;
  return std::any_of(m_labels.begin(), defined,
                     [&](const LabelEntry& entry) { return entry.Name == label; });
}

void Assembler::defineLabel(const QString& name, QStringList& complaints) {
  if (m_labelCount >= kLabelSlots) {
    complaints << tooManyLabelsMessage(name);
    return;
  }
  m_labels[static_cast<std::size_t>(m_labelCount)] = {name, wrap16(m_locationCounter)};
  ++m_labelCount;
}

std::vector<bool> Assembler::readLines(Assembly& result) {
  QStringList& complaints = result.complaints;
  m_lineCount = 0;
  std::vector<bool> redefined;
  bool imageTooLarge = false;
  std::int32_t sourceLine = 0;
  for (QString text = GetLine(); text != kEndLine; text = GetLine()) {
    ++sourceLine;
    if (isBlank(text))
      continue;
    noteEntry(result);
    m_currentEntry = m_lineCount;
    if (m_lineCount == kLineSlots) {
      complaints << tooManyLinesMessage();
      break;
    }
    const SourceFields fields = SplitLine(text);
    redefined.push_back(!fields.Label.isEmpty() && isDefined(fields.Label));
    if (!fields.Label.isEmpty())
      defineLabel(fields.Label, complaints);

    LineEntry& line = m_lines[static_cast<std::size_t>(m_lineCount)];
    line.Source = text;
    line.SourceLine = sourceLine;
    line.Address = m_locationCounter;
    line.LabelRef.clear();
    line.Operand1 = line.Operand2 = line.Operand3 = 0;
    line.Word1 = line.Word2 = 0;

    const Instruction* instruction = findMnemonic(fields.Mnemonic);
    if (fields.Mnemonic.isEmpty()) {
      line.Kind = LineKind::NoWord;
      line.OpCode = 0;
      line.Size = 0;
    } else if (!instruction) {
      // Entered as one word 0000, so that the addresses after it stay where the reader expects.
      complaints << QStringLiteral("未定義命令=") + fields.Mnemonic;
      line.Kind = LineKind::Undefined;
      line.OpCode = 0;
      line.Size = 1;
    } else if (instruction->format == Format::Constant) {
      line.Kind = LineKind::Dc;
      line.OpCode = 0;
      line.Operand1 = readMachineNumber(fields.Operand1Text, complaints);
      line.Size = 1;
    } else if (instruction->format == Format::Area) {
      line.Kind = LineKind::Da;
      line.OpCode = 0;
      line.Size = readMachineNumber(fields.Operand1Text, complaints);
      if (line.Size <= 0) {
        complaints << QStringLiteral("DAの語数が不正です: ") + fields.Operand1Text;
        line.Size = 0;
      }
    } else {
      line.Kind = LineKind::Op;
      line.OpCode = instruction->code;
      if (!fields.Operand1Text.isEmpty() && NumberKind(fields.Operand1Text) < 0)
        line.LabelRef = fields.Operand1Text;
      else
        line.Operand1 = readMachineNumber(fields.Operand1Text, complaints);
      line.Operand2 = readMachineNumber(fields.Operand2Text, complaints);
      line.Operand3 = readMachineNumber(fields.Operand3Text, complaints);
      line.Size = instruction->code >= kTwoWordCode ? 2 : 1;
    }

    const std::int64_t end = std::int64_t{m_locationCounter} + line.Size;
    if (end > kMemoryWords && !imageTooLarge) {
      complaints << imageTooLargeMessage();
      imageTooLarge = true;
    }
    m_locationCounter = static_cast<std::int32_t>(
        std::min<std::int64_t>(end, std::numeric_limits<std::int32_t>::max()));
    ++m_lineCount;
  }
  noteEntry(result);
  return redefined;
}

void Assembler::resolveAndEncode(LineEntry& line, QStringList& complaints) const {
  if (!line.LabelRef.isEmpty()) {
    const auto defined = m_labels.begin() + m_labelCount;
    const auto found = std::find_if(m_labels.begin(), defined, [&](const LabelEntry& label) {
      return label.Name == line.LabelRef;
    }); // the first definition wins
    if (found == defined) {
      complaints << QStringLiteral("未定義ラベル=") + line.LabelRef;
      line.Operand1 = 0;
    } else {
      line.Operand1 = found->Value;
    }
  }

  // Fields are neither checked nor masked: a large operand spills into its neighbour, and a
  // word beyond 32 bits keeps its low 32 bits.
  const std::int64_t code = line.OpCode;
  switch (line.Kind) {
  case LineKind::Dc:
    line.Word1 = line.Operand1;
    break;
  case LineKind::Da:
  case LineKind::Undefined:
  case LineKind::NoWord:
    line.Word1 = 0;
    line.Word2 = 0;
    break;
  case LineKind::Op:
    if (code >= kTwoWordCode) {
      line.Word1 = wrap32(code * 256 + std::int64_t{line.Operand2} * 16 + line.Operand3);
      line.Word2 = line.Operand1;
    } else if (code == kMovrCode) {
      line.Word1 = wrap32(code * 256 + std::int64_t{line.Operand1} * 16 + line.Operand2);
    } else {
      line.Word1 = wrap32(code * 256 + line.Operand1);
    }
    break;
  }
}

void Assembler::loadMemory(MachineState& machine) const {
  std::int64_t p = 0;
  auto fillTo = [&](std::int64_t address) {
    for (; p < std::min<std::int64_t>(address, kMemoryWords); ++p)
      machine.Memory[static_cast<std::size_t>(p)] = 0;
  };
  auto store = [&](std::int32_t word) {
    if (p < kMemoryWords)
      machine.Memory[static_cast<std::size_t>(p++)] = word;
  };
  for (int i = 0; i < m_lineCount; ++i) {
    const LineEntry& line = m_lines[static_cast<std::size_t>(i)];
    fillTo(line.Address);
    if (line.Size >= 1)
      store(line.Word1);
    if (line.Size >= 2)
      store(line.Word2);
  }
  // A DA area at the very end is zeroed like any other, up to the end of the image.
  fillTo(m_locationCounter);
  machine.ProgramSize = static_cast<std::int16_t>(p);
}

QString listingLine(const LineEntry& line) {
  QString codeColumn;
  if (line.Size <= 0)
    codeColumn = QString(10, u' ');
  else if (line.Size == 1)
    codeColumn = hex4(line.Word1) + QString(6, u' ');
  else
    codeColumn = hex4(line.Word1) + u' ' + hex4(line.Word2) + u' ';
  return hex4(line.Address) + QStringLiteral(" : ") + codeColumn + QStringLiteral(" :") +
         line.Source + QStringLiteral("\r\n");
}

} // namespace rpn::machine
