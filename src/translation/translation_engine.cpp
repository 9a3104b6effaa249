#include "translation_engine.h"

#include "machine/assembler.h"
#include "machine/instruction_set.h"
#include "machine/machine_state.h"

#include <algorithm>
#include <utility>

namespace rpn::translation {
namespace {

constexpr qsizetype kLabelColumn = 11;
constexpr qsizetype kOperationColumn = 7;
constexpr std::int16_t kBlinkTicks = 10;
constexpr std::int16_t kDoneBlinkTicks = 6;

QString workPrefix() {
  return QStringLiteral("T$");
}

bool isWorkVariable(const QString& name) {
  return name.startsWith(workPrefix());
}

// A work variable's name: the prefix and the number with at least two digits: 0 -> "T$00",
// 100 -> "T$100".
QString workVariableName(std::int16_t number) {
  if (number < 0)
    return workPrefix() + QString::number(number).rightJustified(2, u'0');
  std::array<char16_t, 8> digits{}; // least significant first
  std::size_t count = 0;
  for (auto rest = static_cast<unsigned>(number); rest > 0 || count < 2; rest /= 10)
    digits.at(count++) = static_cast<char16_t>(u'0' + rest % 10);
  QString name;
  name.reserve(workPrefix().size() + static_cast<qsizetype>(count));
  name += workPrefix();
  while (count > 0)
    name += QChar(digits.at(--count));
  return name;
}

// The number of table entries as lblPtr shows it; the texts of the few counts the table can hold
// are made once.
QString entryCountText(std::int16_t count) {
  static const std::array<QString, kNameLabels> texts = [] {
    std::array<QString, kNameLabels> made;
    for (int i = 0; i < kNameLabels; ++i)
      made.at(static_cast<std::size_t>(i)) = QString::number(i);
    return made;
  }();
  return count >= 0 && count < kNameLabels ? texts.at(static_cast<std::size_t>(count))
                                           : QString::number(count);
}

// Appends one line of code: the label padded to labelWidth, the operation cut or padded to the
// operation column, then the operand.
void appendCodeLine(QString& out, QStringView label, qsizetype labelWidth, QStringView operation,
                    QStringView operand) {
  const qsizetype start = out.size();
  out += label;
  const qsizetype operationStart = std::max(out.size(), start + labelWidth);
  out.resize(operationStart, u' ');
  out += operation.left(kOperationColumn);
  out.resize(operationStart + kOperationColumn, u' ');
  out += operand;
}

} // namespace

QString arrowCharacter(int number) {
  switch (number) {
  case 1:
  case 3:
  case 6:
    return QStringLiteral("←");
  case 2:
    return QStringLiteral("↓");
  case 4:
    return QStringLiteral("↑");
  case 5:
    return QStringLiteral("→");
  default:
    return {};
  }
}

QString plainLabelColumn() {
  static const QString column(kLabelColumn, u' ');
  return column;
}

QString uselessLabelColumn() {
  return QStringLiteral(" *useless* ");
}

QString FormatInstructionLine(const QString& labelColumn, const ObjectInstruction& instruction) {
  // Built in place: the listing formats a line for every instruction of every draw.
  QString line;
  line.reserve(labelColumn.size() + kOperationColumn + instruction.Operand.size());
  appendCodeLine(line, labelColumn, 0, instruction.Operation, instruction.Operand);
  return line;
}

bool ShowsInstructionLine(QStringView line, QStringView labelColumn,
                          const ObjectInstruction& instruction) {
  const qsizetype operandColumn = labelColumn.size() + kOperationColumn;
  if (line.size() != operandColumn + instruction.Operand.size() || !line.startsWith(labelColumn) ||
      line.sliced(operandColumn) != instruction.Operand)
    return false;
  const QStringView operation = QStringView(instruction.Operation).left(kOperationColumn);
  const QStringView field = line.sliced(labelColumn.size(), kOperationColumn);
  return field.startsWith(operation) &&
         field.sliced(operation.size()).count(u' ') == kOperationColumn - operation.size();
}

QString tableOverflowMessage() {
  return QStringLiteral("変数表がオーバフローしました");
}
QString bufferOverflowMessage() {
  return QStringLiteral("オブジェクト生成バッファオーバーフロー");
}
QString uselessInstructionsMessage() {
  return QStringLiteral("*useless*と表示されている命令は無駄です。\r\n\r\n"
                        "無駄な命令を削除します。*useless*と表示");
}
QString checkWorkVariablesMessage() {
  return QStringLiteral("命令中に使用されていない作業変数をチェックします。");
}
QString unreferencedVariablesMessage() {
  return QStringLiteral("命令中で使用されていない作業変数が赤で示されています。\r\n\r\n"
                        "無駄な作業変数を削除します.");
}

QString unlabelableNameMessage(const QString& name) {
  return QStringLiteral("擬似アセンブラのラベルにできない変数名です: [") + name + u']';
}
QString emptyOperandMessage(int line, const QString& operation) {
  return QStringLiteral("オペランドが空の命令は擬似アセンブラに渡せません: [%1行目 %2]")
      .arg(line)
      .arg(operation);
}
QString unknownOperandMessage(int line, const ObjectInstruction& instruction) {
  return QStringLiteral("変数名テーブルにない変数は擬似アセンブラに渡せません: [%1行目 %2 %3]")
      .arg(line)
      .arg(instruction.Operation, instruction.Operand);
}
QString tooManyWordsMessage(int words) {
  return QStringLiteral("擬似アセンブラのメモリに収まりません(最大%1語): [%2語]")
      .arg(machine::kMemoryWords)
      .arg(words);
}
QString tooManyLinesMessage(int lines) {
  return QStringLiteral("擬似アセンブラの行数が多すぎます(空白行を除き最大%1行): [%2行]")
      .arg(machine::kLineSlots)
      .arg(lines);
}

TranslationView::TranslationView() {
  for (int i = 0; i < kScreenArrows; ++i)
    lblArrow.at(static_cast<std::size_t>(i)) = arrowCharacter(i + 1);
  // This screen has no lblArrow7 and lblArrow8.
  lblArrow.at(6).clear();
  lblArrow.at(7).clear();
}

TranslationEngine::TranslationEngine(Dialogs& dialogs) : m_driver(dialogs, m_state.clock) {}

QStringList TranslationEngine::VariableTable() const {
  QStringList names;
  for (int i = 0; i < m_state.VariableCount; ++i)
    names << m_state.view.lblName.at(static_cast<std::size_t>(i));
  return names;
}

void TranslationEngine::unload() {
  m_state.view = TranslationView{};
  m_state.ListingMarked = false;
  m_driver.stop();
}

void TranslationEngine::Command1_Click() {
  stack().PressRunToEnd([this] { translateSymbol(); }, m_state.SavedExpression, kTranslate, kPush);
}

void TranslationEngine::Command2_Click() {
  resetTranslation();
  m_state.view.Text1 = m_state.SavedExpression;
}

void TranslationEngine::Command3_Click() {
  static_assert(kRestart == 0, "auto-run starts at the first phase");
  if (m_driver.start(m_state.view.Text3))
    m_state.SavedExpression = m_state.view.Text1;
}

void TranslationEngine::Command5_Click() {
  m_driver.stop(); // the auto-run's own optimiser steps would act on stale marks
  markUselessInstructions();
  inform(uselessInstructionsMessage());
  deleteUselessInstructions();
  inform(checkWorkVariablesMessage());
  markUnreferencedWorkVariables();
  inform(unreferencedVariablesMessage());
  deleteUnreferencedVariables();
}

void TranslationEngine::Timer1_Timer() {
  m_driver.tick([this] {
    const std::int16_t phase = m_driver.phase();
    switch (phase) {
    case kRestart:
      Command2_Click();
      m_driver.setPhase(kRead);
      break;
    case kRead:
      stack().ReadSymbol();
      if (m_state.view.lblKind == walk::endClass()) {
        m_state.BlinkCount = kBlinkTicks;
        m_driver.setPhase(kTranslationEnd);
      } else {
        m_driver.setPhase(kTranslate);
      }
      break;
    case kTranslate:
      translateSymbol();
      m_driver.setPhase(kPush);
      break;
    case kPush:
      stack().PushValue();
      m_driver.setPhase(kRead);
      break;
    case kTranslationEnd:
      if (stack().BlinkTopCell(m_state.BlinkCount))
        m_driver.setPhase(kMarkInstructions);
      break;
    default:
      tickOptimiser(phase);
      break;
    }
  });
}

void TranslationEngine::tickOptimiser(std::int16_t phase) {
  const auto next = [this](std::int16_t following) { m_driver.setPhase(following); };
  switch (phase) {
  case kMarkInstructions:
    markUselessInstructions();
    m_state.view.Label4 = QStringLiteral("無駄な命令の削除");
    m_state.BlinkCount = kBlinkTicks;
    next(kBlinkList);
    break;
  case kBlinkList:
    if (blinkObjectList())
      next(kDeleteInstructions);
    break;
  case kDeleteInstructions:
    deleteUselessInstructions();
    next(kMarkVariables);
    break;
  case kMarkVariables:
    markUnreferencedWorkVariables();
    m_state.view.Label4 = QStringLiteral("無駄な変数の削除");
    m_state.BlinkCount = kBlinkTicks;
    next(kBlinkTable);
    break;
  case kBlinkTable:
    if (blinkVariableTable())
      next(kDeleteVariables);
    break;
  case kDeleteVariables:
    deleteUnreferencedVariables();
    m_state.BlinkCount = kDoneBlinkTicks;
    next(kOptimisationDone);
    break;
  case kOptimisationDone:
    if (blinkOptimisationDone())
      next(kRestart);
    break;
  default:
    break; // a phase outside the cycle does nothing
  }
}

void TranslationEngine::showOnlyArrows(std::initializer_list<int> shown) {
  for (int number = 1; number <= kScreenArrows; ++number) {
    bool show = false;
    for (const int s : shown)
      show = show || s == number;
    m_state.view.lblArrow.at(static_cast<std::size_t>(number - 1)) =
        show ? arrowCharacter(number) : QString();
  }
}

void TranslationEngine::translateSymbol() {
  const QString kind = m_state.view.lblKind;
  const QString symbol = m_state.view.lblCH;
  if (kind == walk::nameClass())
    translateName(symbol);
  else if (kind == walk::operatorClass())
    translateOperator(symbol);
  // "終了": nothing happens.
}

void TranslationEngine::translateName(const QString& name) {
  showOnlyArrows({3});
  const QStringView before(u"変数");
  const QStringView after(u"の取出し");
  QString caption;
  caption.reserve(before.size() + name.size() + after.size());
  caption += before;
  caption += name;
  caption += after;
  m_state.view.Label4 = std::move(caption);
  int entry = findEntry(name);
  if (entry < 0) {
    if (!enterName(name))
      return; // the table and Text2 stay as they were
    entry = m_state.VariableCount - 1;
  }
  m_state.view.lblNameMark.fill(Mark::White);
  m_state.view.lblNameMark.at(static_cast<std::size_t>(entry)) = Mark::Blue;
  m_state.view.Text2 = name;
}

void TranslationEngine::translateOperator(const QString& symbol) {
  m_state.view.lblOpe = symbol;
  showOnlyArrows({4, 5, 6});
  m_state.view.Label4 = QStringLiteral("演算対象Popと演算の実行");
  static const std::pair<const char16_t*, const char16_t*> arithmetic[] = {
      {u"+", u"ADD"}, {u"-", u"SUB"}, {u"*", u"MULT"}, {u"/", u"DIV"}};
  for (const auto& [op, operation] : arithmetic) {
    if (symbol == op) {
      stack().PopOperands();
      m_state.view.Text2 = emitArithmetic(QString::fromUtf16(operation));
      return;
    }
  }
  if (symbol == u"=") {
    stack().PopOperands();
    m_state.view.Text2 = emitAssign();
  } else if (symbol == u"＋") {
    stack().PopOperand();
    m_state.view.Text2 = m_state.view.lblOpe1;
  } else if (symbol == u"－") {
    stack().PopOperand();
    m_state.view.Text2 = emitNegate();
  }
}

int TranslationEngine::findEntry(const QString& name) const {
  for (int i = 0; i < m_state.VariableCount; ++i)
    if (m_state.view.lblName.at(static_cast<std::size_t>(i)) == name)
      return i;
  return -1;
}

bool TranslationEngine::enterName(const QString& name) {
  if (m_state.VariableCount >= kTableCapacity) {
    inform(tableOverflowMessage());
    return false;
  }
  m_state.view.lblName.at(static_cast<std::size_t>(m_state.VariableCount)) = name;
  ++m_state.VariableCount;
  return true;
}

void TranslationEngine::append(const QString& operation, const QString& operand) {
  // Callers have checked the room: a template starts at slot 297 at the latest.
  m_state.ObjectBuffer.push_back({operation, operand, false});
}

bool TranslationEngine::roomForTemplate() {
  if (m_state.objectCount() <= kLastTemplateStart)
    return true;
  inform(bufferOverflowMessage());
  return false;
}

QString TranslationEngine::newWorkVariable() {
  const QString name = workVariableName(m_state.WorkCounter);
  // Every number leaves an operation in the buffer that no optimisation removes, so between two
  // resets there are at most about 300 of them.
  m_state.WorkCounter = static_cast<std::int16_t>(m_state.WorkCounter + 1);
  return name;
}

QString TranslationEngine::emitArithmetic(const QString& operation) {
  if (!roomForTemplate())
    return {};
  append(QStringLiteral("LOAD"), m_state.view.lblOpe1);
  append(operation, m_state.view.lblOpe2);
  const QString name = newWorkVariable();
  if (findEntry(name) < 0 && !enterName(name))
    return {}; // the two instructions stay, no STOR; the work number stays used
  append(QStringLiteral("STOR"), name);
  return name;
}

QString TranslationEngine::emitNegate() {
  if (!roomForTemplate())
    return {};
  append(QStringLiteral("LOAD"), m_state.view.lblOpe1);
  append(QStringLiteral("MINUS"), QString());
  const QString name = newWorkVariable();
  if (findEntry(name) < 0 && !enterName(name))
    return {};
  append(QStringLiteral("STOR"), name);
  return name;
}

QString TranslationEngine::emitAssign() {
  if (!roomForTemplate())
    return {};
  append(QStringLiteral("LOAD"), m_state.view.lblOpe2);
  append(QStringLiteral("STOR"), m_state.view.lblOpe1);
  return m_state.view.lblOpe1;
}

void TranslationEngine::refreshTranslationView() {
  stack().PaintStack();
  m_state.view.lblPtr = entryCountText(m_state.VariableCount);
  // The listing changes only when the buffer grew or the optimiser's marks are to go.
  if (m_state.ListingMarked || m_state.view.List1.size() != m_state.objectCount())
    drawListing(false);
}

void TranslationEngine::resetTranslation() {
  m_state.view.Text2.clear();
  stack().clearCells();
  stack().hideAllArrows();
  m_state.view.lblOpe.clear();
  m_state.view.lblOpe1.clear();
  m_state.view.lblOpe2.clear();
  m_state.view.Label4.clear();
  for (QString& name : m_state.view.lblName)
    name.clear();
  m_state.view.List1.clear();
  m_state.VariableCount = 0;
  m_state.ObjectBuffer.clear();
  m_state.WorkCounter = 0;
  m_state.view.lblPtr = QStringLiteral("0");
  refreshTranslationView();
}

void TranslationEngine::drawListing(bool showMarks) {
  // Drawn without marks, the listing is the first instructions of the buffer, which only grows
  // at its end between two such draws (the steps that change it otherwise draw with marks, a
  // reset empties both): only the new lines are formatted, and a push or pop that added nothing
  // draws nothing.
  // Otherwise each line that already shows its instruction as it is to be shown stays (marking
  // changes only the marked lines, the first draw after the marks only those), the others are
  // formatted again.
  QStringList& listing = m_state.view.List1;
  const bool grows =
      !showMarks && !m_state.ListingMarked && listing.size() <= m_state.objectCount();
  m_state.ListingMarked = showMarks;
  const auto count = static_cast<qsizetype>(m_state.objectCount());
  if (listing.size() > count)
    listing.resize(count);
  const QString plain = plainLabelColumn();
  const QString useless = uselessLabelColumn();
  for (qsizetype i = grows ? listing.size() : 0; i < count; ++i) {
    const ObjectInstruction& instruction = m_state.ObjectBuffer.at(i);
    const QString& labelColumn = showMarks && instruction.Useless ? useless : plain;
    if (i == listing.size())
      listing << FormatInstructionLine(labelColumn, instruction);
    else if (!ShowsInstructionLine(listing.at(i), labelColumn, instruction))
      listing[i] = FormatInstructionLine(labelColumn, instruction);
  }
}

void TranslationEngine::markUselessInstructions() {
  // Flags are written only where they change, so that a buffer shared with a snapshot is copied
  // only when the marks differ.
  auto& buffer = m_state.ObjectBuffer;
  const qsizetype count = buffer.size();
  const auto mark = [&buffer](qsizetype i, bool useless) {
    if (buffer.at(i).Useless != useless)
      buffer[i].Useless = useless;
  };
  qsizetype i = 0;
  while (i < count) {
    const ObjectInstruction& store = buffer.at(i);
    if (i + 1 < count) {
      const ObjectInstruction& load = buffer.at(i + 1);
      if (store.Operation == u"STOR" && load.Operation == u"LOAD" &&
          store.Operand == load.Operand) {
        // The value is still in the register, so the load goes. A work variable is read only by
        // this load and its store goes too; a program variable must hold the value after the run.
        mark(i, isWorkVariable(store.Operand));
        mark(i + 1, true);
        i += 2;
        continue;
      }
    }
    mark(i, false);
    ++i;
  }
  drawListing(true);
}

void TranslationEngine::deleteUselessInstructions() {
  // The lines of the instructions that go leave the listing with them, so that each line of an
  // instruction that stays is where the draw below finds it showing that instruction already.
  QStringList& listing = m_state.view.List1;
  const QList<ObjectInstruction>& buffer = m_state.ObjectBuffer;
  if (listing.size() == buffer.size()) {
    QStringList kept;
    kept.reserve(listing.size());
    for (qsizetype i = 0; i < buffer.size(); ++i)
      if (!buffer.at(i).Useless)
        kept << listing.at(i);
    if (kept.size() != listing.size())
      listing = std::move(kept);
  }
  m_state.ObjectBuffer.removeIf(
      [](const ObjectInstruction& instruction) { return instruction.Useless; });
  drawListing(true);
}

void TranslationEngine::findReferences() {
  for (int j = 0; j < m_state.VariableCount; ++j)
    m_state.UsedFlags.at(static_cast<std::size_t>(j)) = false;
  for (int i = 0; i < m_state.objectCount(); ++i) {
    const QString& operand = m_state.ObjectBuffer.at(i).Operand;
    if (operand.isEmpty())
      continue;
    const int entry = findEntry(operand);
    if (entry >= 0)
      m_state.UsedFlags.at(static_cast<std::size_t>(entry)) = true;
  }
}

void TranslationEngine::markUnreferencedWorkVariables() {
  findReferences();
  for (int j = 0; j < m_state.VariableCount; ++j) {
    const auto k = static_cast<std::size_t>(j);
    const bool red = !m_state.UsedFlags.at(k) && isWorkVariable(m_state.view.lblName.at(k));
    m_state.view.lblNameMark.at(k) = red ? Mark::Red : Mark::White;
  }
}

void TranslationEngine::deleteUnreferencedVariables() {
  // Uses the flags of the marking step: the buttons that translate or optimise stop an auto-run
  // first, so between its marking and its deletion nothing enters the table (a reset empties it).
  m_state.view.lblNameMark.fill(Mark::White);
  const int oldCount = m_state.VariableCount;
  int j = 0;
  for (int i = 0; i < oldCount; ++i) {
    if (m_state.UsedFlags.at(static_cast<std::size_t>(i))) {
      m_state.view.lblName.at(static_cast<std::size_t>(j)) =
          m_state.view.lblName.at(static_cast<std::size_t>(i));
      ++j;
    }
  }
  for (int i = j; i < oldCount; ++i)
    m_state.view.lblName.at(static_cast<std::size_t>(i)).clear();
  m_state.VariableCount = static_cast<std::int16_t>(j);
  m_state.view.lblPtr = entryCountText(m_state.VariableCount);
}

std::optional<QString> TranslationEngine::Command6_Click() {
  m_driver.stop();
  if (const std::optional<QString> refusal = handOffRefusal()) {
    inform(*refusal);
    return std::nullopt;
  }
  return BuildAssemblerSource();
}

// Every table entry becomes one label of the hand-off, so the assembler's label table always has
// room for them.
static_assert(kTableCapacity <= machine::kLabelSlots);

std::optional<QString> TranslationEngine::handOffRefusal() const {
  for (const QString& name : VariableTable())
    if (!machine::Assembler::CanBeLabel(name))
      return unlabelableNameMessage(name);
  // The end line and one declaration per entry, one word each.
  int words = 1 + m_state.VariableCount;
  for (int i = 0; i < m_state.objectCount(); ++i) {
    const ObjectInstruction& instruction = m_state.ObjectBuffer.at(i);
    if (instruction.Operation != u"MINUS") {
      if (instruction.Operand.isEmpty())
        return emptyOperandMessage(i + 1, instruction.Operation);
      if (findEntry(instruction.Operand) < 0)
        return unknownOperandMessage(i + 1, instruction);
    }
    const machine::Instruction* row = machine::findMnemonic(instruction.Operation);
    words += row && row->code >= machine::kTwoWordCode ? 2 : 1;
  }
  if (words > machine::kMemoryWords)
    return tooManyWordsMessage(words);
  const int lines = m_state.objectCount() + 1 + m_state.VariableCount;
  if (lines > machine::kLineSlots)
    return tooManyLinesMessage(lines);
  return std::nullopt;
}

QString TranslationEngine::BuildAssemblerSource() const {
  // Written into one text: every line is a label column, an operation column and an operand.
  const QStringView newLine(u"\r\n");
  QString source;
  source.reserve((m_state.objectCount() + 1 + m_state.VariableCount) *
                 (kLabelColumn + kOperationColumn + 8 + newLine.size()));
  auto line = [&source, newLine, first = true](QStringView label, QStringView operation,
                                               QStringView operand) mutable {
    if (!first)
      source += newLine;
    first = false;
    appendCodeLine(source, label, kLabelColumn, operation, operand);
  };
  for (const ObjectInstruction& instruction : program())
    line({}, instruction.Operation, instruction.Operand);
  line({}, u"SVC", u"0");
  int k = 0;
  for (int i = 0; i < m_state.VariableCount; ++i)
    if (const QString& name = m_state.view.lblName.at(static_cast<std::size_t>(i));
        !isWorkVariable(name))
      line(name, u"DC", QString::number(++k));
  for (int i = 0; i < m_state.VariableCount; ++i)
    if (const QString& name = m_state.view.lblName.at(static_cast<std::size_t>(i));
        isWorkVariable(name))
      line(name, u"DA", u"1");
  return source;
}

template <class Paint> bool TranslationEngine::blink(const QString& caption, Paint paint) {
  // A count that is not positive (never set) ends the phase at once rather than blinking on.
  m_state.BlinkCount =
      m_state.BlinkCount > 1 ? static_cast<std::int16_t>(m_state.BlinkCount - 1) : std::int16_t{0};
  if (m_state.BlinkCount == 0) {
    m_state.view.Label4.clear();
    return true;
  }
  paint(m_state.BlinkCount % 2 == 0);
  m_state.view.Label4 = caption;
  return false;
}

bool TranslationEngine::blinkObjectList() {
  return blink(QStringLiteral("無駄な命令削除"),
               [this](bool even) { m_state.view.List1Mark = even ? Mark::Yellow : Mark::White; });
}

bool TranslationEngine::blinkVariableTable() {
  return blink(QStringLiteral("無駄な変数削除"), [this](bool even) {
    m_state.view.Frame3Mark = even ? Mark::Yellow : Mark::ButtonFace;
  });
}

bool TranslationEngine::blinkOptimisationDone() {
  return blink(QStringLiteral("最適化完了"), [this](bool even) {
    m_state.view.List1Mark = even ? Mark::Yellow : Mark::White;
    m_state.view.Frame3Mark = even ? Mark::Yellow : Mark::ButtonFace;
  });
}

} // namespace rpn::translation
