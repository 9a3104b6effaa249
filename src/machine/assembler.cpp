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

QStringList sourceLines(QStringView source) {
  QStringList lines;
  qsizetype position = 0;
  while (position < source.size()) {
    const qsizetype end = source.indexOf(u"\r\n", position);
    const qsizetype lineEnd = end < 0 ? source.size() : end;
    lines << source.mid(position, lineEnd - position).toString();
    position = end < 0 ? source.size() : end + 2;
  }
  return lines;
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

namespace {

// One assembly in progress: the result being built and the line-table entry each complaint is
// about.
class Pass {
public:
  Assembly result;

  void complain(const QString& text) {
    result.complaints << text;
    result.complaintEntries.push_back(m_entry);
  }

  // Pass 1; for every line entered, whether its label was already defined.
  std::vector<bool> readLines(QStringView source);
  // Pass 2 and the image.
  void encodeLines(const std::vector<bool>& redefined);

private:
  LineEntry enterLine(const SourceFields& fields);
  bool isDefined(const QString& label) const;
  void defineLabel(const QString& name);
  void resolveAndEncode(LineEntry& line);
  void buildImage();

  int m_entry = 0;
  std::vector<SourceFields> m_fields; // of every line entered, split once in pass 1
};

std::vector<bool> Pass::readLines(QStringView source) {
  AssemblyTables& tables = result.tables;
  std::vector<bool> redefined;
  bool imageTooLarge = false;
  std::int32_t sourceLine = 0;
  const QStringList lines = sourceLines(source);
  tables.Lines.reserve(static_cast<std::size_t>(std::min<qsizetype>(lines.size(), kLineSlots)));
  for (const QString& text : lines) {
    if (text == kEndLine)
      break;
    ++sourceLine;
    if (isBlank(text))
      continue;
    m_entry = static_cast<int>(tables.Lines.size());
    if (m_entry == kLineSlots) {
      complain(tooManyLinesMessage());
      break;
    }
    const SourceFields& fields = m_fields.emplace_back(Assembler::SplitLine(text));
    redefined.push_back(!fields.Label.isEmpty() && isDefined(fields.Label));
    if (!fields.Label.isEmpty())
      defineLabel(fields.Label);
    LineEntry line = enterLine(fields);
    line.Source = text;
    line.SourceLine = sourceLine;
    line.Address = tables.LocationCounter;
    const std::int64_t end = std::int64_t{tables.LocationCounter} + line.Size;
    if (end > kMemoryWords && !imageTooLarge) {
      complain(imageTooLargeMessage());
      imageTooLarge = true;
    }
    tables.LocationCounter = static_cast<std::int32_t>(
        std::min<std::int64_t>(end, std::numeric_limits<std::int32_t>::max()));
    tables.Lines.push_back(std::move(line));
  }
  return redefined;
}

// The entry of a line by its mnemonic and operands, before its address and words are known.
LineEntry Pass::enterLine(const SourceFields& fields) {
  LineEntry line;
  QStringList complaints;
  const Instruction* instruction = findMnemonic(fields.Mnemonic);
  if (fields.Mnemonic.isEmpty()) {
    line.Kind = LineKind::NoWord;
  } else if (!instruction) {
    // Entered as one word 0000, so that the addresses after it stay where the reader expects.
    complaints << QStringLiteral("未定義命令=") + fields.Mnemonic;
    line.Kind = LineKind::Undefined;
    line.Size = 1;
  } else if (instruction->format == Format::Constant) {
    line.Kind = LineKind::Dc;
    line.Operand1 = readMachineNumber(fields.Operand1Text, complaints);
    line.Size = 1;
  } else if (instruction->format == Format::Area) {
    line.Kind = LineKind::Da;
    line.Size = readMachineNumber(fields.Operand1Text, complaints);
    if (line.Size <= 0) {
      complaints << QStringLiteral("DAの語数が不正です: ") + fields.Operand1Text;
      line.Size = 0;
    }
  } else {
    line.OpCode = instruction->code;
    if (!fields.Operand1Text.isEmpty() && Assembler::NumberKind(fields.Operand1Text) < 0)
      line.LabelRef = fields.Operand1Text;
    else
      line.Operand1 = readMachineNumber(fields.Operand1Text, complaints);
    line.Operand2 = readMachineNumber(fields.Operand2Text, complaints);
    line.Operand3 = readMachineNumber(fields.Operand3Text, complaints);
    line.Size = instruction->code >= kTwoWordCode ? 2 : 1;
  }
  for (const QString& complaint : complaints)
    complain(complaint);
  return line;
}

bool Pass::isDefined(const QString& label) const {
  const std::vector<LabelEntry>& labels = result.tables.Labels;
  return std::any_of(labels.begin(), labels.end(),
                     [&](const LabelEntry& entry) { return entry.Name == label; });
}

void Pass::defineLabel(const QString& name) {
  std::vector<LabelEntry>& labels = result.tables.Labels;
  if (labels.size() >= kLabelSlots) {
    complain(tooManyLabelsMessage(name));
    return;
  }
  labels.push_back({name, wrap16(result.tables.LocationCounter)});
}

void Pass::encodeLines(const std::vector<bool>& redefined) {
  std::vector<LineEntry>& lines = result.tables.Lines;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    m_entry = static_cast<int>(i);
    LineEntry& line = lines[i];
    resolveAndEncode(line);
    const QStringList problems =
        lineProblems(line, redefined[i], m_fields[i]);
    if (!problems.isEmpty())
      complain(QStringLiteral("%1行目: ").arg(line.SourceLine) + line.Source + u'\n' +
               problems.join(u'\n'));
    appendListingLine(result.listing, line);
  }
  buildImage();
}

void Pass::resolveAndEncode(LineEntry& line) {
  if (!line.LabelRef.isEmpty()) {
    const std::vector<LabelEntry>& labels = result.tables.Labels;
    const auto found = std::find_if(labels.begin(), labels.end(), [&](const LabelEntry& label) {
      return label.Name == line.LabelRef;
    }); // the first definition wins
    if (found == labels.end()) {
      complain(QStringLiteral("未定義ラベル=") + line.LabelRef);
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

void Pass::buildImage() {
  std::vector<std::int32_t>& words = result.words;
  words.reserve(static_cast<std::size_t>(
      std::clamp<std::int32_t>(result.tables.LocationCounter, 0, kMemoryWords)));
  const auto fillTo = [&](std::int64_t address) {
    words.resize(static_cast<std::size_t>(
        std::clamp<std::int64_t>(address, static_cast<std::int64_t>(words.size()), kMemoryWords)));
  };
  const auto store = [&](std::int32_t word) {
    if (words.size() < kMemoryWords)
      words.push_back(word);
  };
  for (const LineEntry& line : result.tables.Lines) {
    fillTo(line.Address);
    if (line.Size >= 1)
      store(line.Word1);
    if (line.Size >= 2)
      store(line.Word2);
  }
  // A DA area at the very end is zeroed like any other, up to the end of the image.
  fillTo(result.tables.LocationCounter);
}

} // namespace

Assembly assemble(QStringView source) {
  Pass pass;
  const std::vector<bool> redefined = pass.readLines(source);
  pass.encodeLines(redefined);
  return std::move(pass.result);
}

void loadImage(const Assembly& assembly, MachineState& machine) {
  std::copy(assembly.words.begin(), assembly.words.end(), machine.Memory.begin());
  machine.ProgramSize = static_cast<std::int16_t>(assembly.words.size());
}

namespace {

void appendHex4(QString& out, std::int64_t value) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  const auto bits = static_cast<std::uint16_t>(static_cast<std::uint64_t>(value));
  for (int shift = 12; shift >= 0; shift -= 4)
    out += QChar(kDigits[(bits >> shift) & 15U]);
}

} // namespace

void appendListingLine(QString& out, const LineEntry& line) {
  // Written straight into the listing: no text is made for a column on its own.
  appendHex4(out, line.Address);
  out += QStringView(u" : ");
  if (line.Size <= 0) {
    out += QStringView(u"          ");
  } else {
    appendHex4(out, line.Word1);
    if (line.Size == 1) {
      out += QStringView(u"      ");
    } else {
      out += u' ';
      appendHex4(out, line.Word2);
      out += u' ';
    }
  }
  out += QStringView(u" :");
  out += line.Source;
  out += QStringView(u"\r\n");
}

QString listingLine(const LineEntry& line) {
  QString text;
  appendListingLine(text, line);
  return text;
}

} // namespace rpn::machine
