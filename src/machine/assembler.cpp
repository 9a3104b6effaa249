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

} // namespace

std::int32_t readMachineNumber(QStringView text, Dialogs& dialogs) {
  const LeadingNumber number = readLeadingNumber(text);
  const double value = roundHalfEven(number.value);
  if (number.overflow || value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    dialogs.inform(QStringLiteral("数値が範囲外です: ") + text.toString());
    return 0;
  }
  return static_cast<std::int32_t>(value);
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

QString Assembler::Assemble(const QString& source, MachineState& machine, Dialogs& dialogs) {
  LoadSource(source);
  readLines(dialogs);
  QString listing;
  for (int i = 0; i < m_lineCount; ++i) {
    m_currentEntry = i;
    LineEntry& line = m_lines[static_cast<std::size_t>(i)];
    resolveAndEncode(line, dialogs);
    listing += listingLine(line);
  }
  loadMemory(machine);
  return listing;
}

void Assembler::defineLabel(const QString& name, Dialogs& dialogs) {
  if (m_labelCount >= kLabelSlots) {
    dialogs.inform(tooManyLabelsMessage(name));
    return;
  }
  m_labels[static_cast<std::size_t>(m_labelCount)] = {name, wrap16(m_locationCounter)};
  ++m_labelCount;
}

void Assembler::readLines(Dialogs& dialogs) {
  m_lineCount = 0;
  bool imageTooLarge = false;
  for (QString text = GetLine(); text != kEndLine; text = GetLine()) {
    if (isBlank(text))
      continue;
    m_currentEntry = m_lineCount;
    if (m_lineCount == kLineSlots) {
      dialogs.inform(tooManyLinesMessage());
      break;
    }
    const SourceFields fields = SplitLine(text);
    if (!fields.Label.isEmpty())
      defineLabel(fields.Label, dialogs);

    LineEntry& line = m_lines[static_cast<std::size_t>(m_lineCount)];
    line.Source = text;
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
      dialogs.inform(QStringLiteral("未定義命令=") + fields.Mnemonic);
      line.Kind = LineKind::Undefined;
      line.OpCode = 0;
      line.Size = 1;
    } else if (instruction->format == Format::Constant) {
      line.Kind = LineKind::Dc;
      line.OpCode = 0;
      line.Operand1 = readMachineNumber(fields.Operand1Text, dialogs);
      line.Size = 1;
    } else if (instruction->format == Format::Area) {
      line.Kind = LineKind::Da;
      line.OpCode = 0;
      line.Size = readMachineNumber(fields.Operand1Text, dialogs);
      if (line.Size <= 0) {
        dialogs.inform(QStringLiteral("DAの語数が不正です: ") + fields.Operand1Text);
        line.Size = 0;
      }
    } else {
      line.Kind = LineKind::Op;
      line.OpCode = instruction->code;
      if (!fields.Operand1Text.isEmpty() && NumberKind(fields.Operand1Text) < 0)
        line.LabelRef = fields.Operand1Text;
      else
        line.Operand1 = readMachineNumber(fields.Operand1Text, dialogs);
      line.Operand2 = readMachineNumber(fields.Operand2Text, dialogs);
      line.Operand3 = readMachineNumber(fields.Operand3Text, dialogs);
      line.Size = instruction->code >= kTwoWordCode ? 2 : 1;
    }

    const std::int64_t end = std::int64_t{m_locationCounter} + line.Size;
    if (end > kMemoryWords && !imageTooLarge) {
      dialogs.inform(imageTooLargeMessage());
      imageTooLarge = true;
    }
    m_locationCounter = static_cast<std::int32_t>(
        std::min<std::int64_t>(end, std::numeric_limits<std::int32_t>::max()));
    ++m_lineCount;
  }
}

void Assembler::resolveAndEncode(LineEntry& line, Dialogs& dialogs) const {
  if (!line.LabelRef.isEmpty()) {
    const auto defined = m_labels.begin() + m_labelCount;
    const auto found = std::find_if(m_labels.begin(), defined, [&](const LabelEntry& label) {
      return label.Name == line.LabelRef;
    }); // the first definition wins
    if (found == defined) {
      dialogs.inform(QStringLiteral("未定義ラベル=") + line.LabelRef);
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
