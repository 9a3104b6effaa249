#include "translation_engine.h"

#include "machine/assembler.h"
#include "machine/instruction_set.h"
#include "machine/machine_state.h"

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

// The work number formatted with at least two digits: 0 -> "00", 100 -> "100".
QString workNumberText(std::int16_t number) {
  return QString::number(number).rightJustified(2, u'0');
}

// A declaration line of the hand-off: the name padded to the label column, the pseudo
// instruction padded to the operation column, then the operand.
QString declarationLine(const QString& name, const QString& operation, const QString& operand) {
  return name.leftJustified(kLabelColumn, u' ') +
         (operation + QString(8, u' ')).left(kOperationColumn) + operand;
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
  return QString(kLabelColumn, u' ');
}

QString uselessLabelColumn() {
  return QStringLiteral(" *useless* ");
}

QString FormatInstructionLine(const QString& labelColumn, const ObjectInstruction& instruction) {
  return labelColumn + (instruction.Operation + QString(8, u' ')).left(kOperationColumn) +
         instruction.Operand;
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

TranslationEngine::TranslationEngine(Dialogs& dialogs)
    : m_driver(dialogs), m_stack(m_view, m_driver, stackOptions()) {}

execution::RpnStack::Options TranslationEngine::stackOptions() {
  // This screen pushes names, and every push and pop redraws the table count and the listing.
  return {QStringLiteral("変数Push"), [this] { RefreshTranslationView(); }, &arrowCharacter};
}

std::vector<ObjectInstruction> TranslationEngine::program() const {
  const auto count = static_cast<std::ptrdiff_t>(m_vars.ObjectCount);
  return {m_vars.ObjectBuffer.begin(), m_vars.ObjectBuffer.begin() + count};
}

QStringList TranslationEngine::VariableTable() const {
  QStringList names;
  for (int i = 0; i < m_vars.VariableCount; ++i)
    names << m_view.lblName.at(static_cast<std::size_t>(i));
  return names;
}

void TranslationEngine::unload() {
  m_view = TranslationView{};
  m_driver.stop();
}

void TranslationEngine::Command1_Click() {
  if (!m_driver.running()) {
    m_vars.SavedExpression = m_view.Text1;
    RunTranslation();
    return;
  }
  // A press during auto-run stops it and finishes its translation: the symbol in hand is
  // translated and pushed once, and the expression saved at its start stays the one the reset
  // brings back.
  m_driver.stop();
  const std::int16_t phase = m_driver.phase();
  using Resume = execution::RpnStack::Resume;
  m_stack.RunToEnd([this] { TranslateSymbol(); }, phase == kTranslate ? Resume::Execute
                                                  : phase == kPush    ? Resume::Push
                                                                      : Resume::Read);
}

void TranslationEngine::Command2_Click() {
  ResetTranslation();
  m_view.Text1 = m_vars.SavedExpression;
}

void TranslationEngine::Command3_Click() {
  // An interval the timer cannot take is refused with a box, and then nothing else changes.
  if (!m_driver.setIntervalFromText(m_view.Text3))
    return;
  m_vars.SavedExpression = m_view.Text1;
  m_driver.setPhase(kRestart);
}

void TranslationEngine::Command5_Click() {
  m_driver.stop(); // the auto-run's own optimiser steps would act on stale marks
  MarkUselessInstructions();
  inform(uselessInstructionsMessage());
  DeleteUselessInstructions();
  inform(checkWorkVariablesMessage());
  MarkUnreferencedWorkVariables();
  inform(unreferencedVariablesMessage());
  DeleteUnreferencedVariables();
}

void TranslationEngine::Timer1_Timer() {
  m_driver.tick([this] {
    const auto next = [this](std::int16_t phase) { m_driver.setPhase(phase); };
    switch (m_driver.phase()) {
    case kRestart:
      Command2_Click();
      next(kRead);
      break;
    case kRead:
      ReadSymbol();
      if (m_view.lblKind == execution::endClass()) {
        m_vars.BlinkCount = kBlinkTicks;
        next(kTranslationEnd);
      } else {
        next(kTranslate);
      }
      break;
    case kTranslate:
      TranslateSymbol();
      next(kPush);
      break;
    case kPush:
      PushValue();
      next(kRead);
      break;
    case kTranslationEnd:
      if (BlinkTranslationEnd())
        next(kMarkInstructions);
      break;
    case kMarkInstructions:
      MarkUselessInstructions();
      m_view.Label4 = QStringLiteral("無駄な命令の削除");
      m_vars.BlinkCount = kBlinkTicks;
      next(kBlinkList);
      break;
    case kBlinkList:
      if (BlinkObjectList())
        next(kDeleteInstructions);
      break;
    case kDeleteInstructions:
      DeleteUselessInstructions();
      next(kMarkVariables);
      break;
    case kMarkVariables:
      MarkUnreferencedWorkVariables();
      m_view.Label4 = QStringLiteral("無駄な変数の削除");
      m_vars.BlinkCount = kBlinkTicks;
      next(kBlinkTable);
      break;
    case kBlinkTable:
      if (BlinkVariableTable())
        next(kDeleteVariables);
      break;
    case kDeleteVariables:
      DeleteUnreferencedVariables();
      m_vars.BlinkCount = kDoneBlinkTicks;
      next(kOptimisationDone);
      break;
    case kOptimisationDone:
      if (BlinkOptimisationDone())
        next(kRestart);
      break;
    default:
      break; // a phase outside the cycle does nothing
    }
  });
}

void TranslationEngine::showOnlyArrows(std::initializer_list<int> shown) {
  for (int number = 1; number <= kScreenArrows; ++number) {
    bool show = false;
    for (const int s : shown)
      show = show || s == number;
    m_view.lblArrow.at(static_cast<std::size_t>(number - 1)) =
        show ? arrowCharacter(number) : QString();
  }
}

void TranslationEngine::TranslateSymbol() {
  const QString kind = m_view.lblKind;
  const QString symbol = m_view.lblCH;
  if (kind == execution::nameClass())
    translateName(symbol);
  else if (kind == execution::operatorClass())
    translateOperator(symbol);
  // "終了": nothing happens.
}

void TranslationEngine::translateName(const QString& name) {
  showOnlyArrows({3});
  m_view.Label4 = QStringLiteral("変数") + name + QStringLiteral("の取出し");
  int entry = findEntry(name);
  if (entry < 0) {
    if (!enterName(name))
      return; // the table and Text2 stay as they were
    entry = m_vars.VariableCount - 1;
  }
  m_view.lblNameMark.fill(Mark::White);
  m_view.lblNameMark.at(static_cast<std::size_t>(entry)) = Mark::Blue;
  m_view.Text2 = name;
}

void TranslationEngine::translateOperator(const QString& symbol) {
  m_view.lblOpe = symbol;
  showOnlyArrows({4, 5, 6});
  m_view.Label4 = QStringLiteral("演算対象Popと演算の実行");
  static const std::pair<const char16_t*, const char16_t*> arithmetic[] = {
      {u"+", u"ADD"}, {u"-", u"SUB"}, {u"*", u"MULT"}, {u"/", u"DIV"}};
  for (const auto& [op, operation] : arithmetic) {
    if (symbol == op) {
      PopOperands();
      m_view.Text2 = EmitArithmetic(QString::fromUtf16(operation));
      return;
    }
  }
  if (symbol == u"=") {
    PopOperands();
    m_view.Text2 = EmitAssign();
  } else if (symbol == u"＋") {
    PopOperand();
    m_view.Text2 = m_view.lblOpe1;
  } else if (symbol == u"－") {
    PopOperand();
    m_view.Text2 = EmitNegate(QStringLiteral("MINUS"));
  }
}

int TranslationEngine::findEntry(const QString& name) const {
  for (int i = 0; i < m_vars.VariableCount; ++i)
    if (m_view.lblName.at(static_cast<std::size_t>(i)) == name)
      return i;
  return -1;
}

bool TranslationEngine::enterName(const QString& name) {
  if (m_vars.VariableCount >= kTableCapacity) {
    inform(tableOverflowMessage());
    return false;
  }
  m_view.lblName.at(static_cast<std::size_t>(m_vars.VariableCount)) = name;
  ++m_vars.VariableCount;
  return true;
}

void TranslationEngine::append(const QString& operation, const QString& operand) {
  // Callers have checked the room: a template starts at slot 297 at the latest.
  m_vars.ObjectBuffer.at(static_cast<std::size_t>(m_vars.ObjectCount)) = {operation, operand,
                                                                          false};
  ++m_vars.ObjectCount;
}

bool TranslationEngine::roomForTemplate() {
  if (m_vars.ObjectCount <= kLastTemplateStart)
    return true;
  inform(bufferOverflowMessage());
  return false;
}

QString TranslationEngine::newWorkVariable() {
  const QString name = workPrefix() + workNumberText(m_vars.WorkCounter);
  // Every number leaves an operation in the buffer that no optimisation removes, so between two
  // resets there are at most about 300 of them.
  m_vars.WorkCounter = static_cast<std::int16_t>(m_vars.WorkCounter + 1);
  return name;
}

QString TranslationEngine::EmitArithmetic(const QString& operation) {
  if (!roomForTemplate())
    return {};
  append(QStringLiteral("LOAD"), m_view.lblOpe1);
  append(operation, m_view.lblOpe2);
  const QString name = newWorkVariable();
  if (findEntry(name) < 0 && !enterName(name))
    return {}; // the two instructions stay, no STOR; the work number stays used
  append(QStringLiteral("STOR"), name);
  return name;
}

QString TranslationEngine::EmitNegate(const QString& operation) {
  if (!roomForTemplate())
    return {};
  append(QStringLiteral("LOAD"), m_view.lblOpe1);
  append(operation, QString());
  const QString name = newWorkVariable();
  if (findEntry(name) < 0 && !enterName(name))
    return {};
  append(QStringLiteral("STOR"), name);
  return name;
}

QString TranslationEngine::EmitAssign() {
  if (!roomForTemplate())
    return {};
  append(QStringLiteral("LOAD"), m_view.lblOpe2);
  append(QStringLiteral("STOR"), m_view.lblOpe1);
  return m_view.lblOpe1;
}

void TranslationEngine::RunTranslation() {
  m_stack.RunToEnd([this] { TranslateSymbol(); });
}

void TranslationEngine::RefreshTranslationView() {
  m_stack.PaintStack();
  m_view.lblPtr = QString::number(m_vars.VariableCount);
  drawListing(false);
}

void TranslationEngine::ResetTranslation() {
  m_view.Text2.clear();
  m_stack.clearCells();
  m_stack.hideAllArrows();
  m_view.lblOpe.clear();
  m_view.lblOpe1.clear();
  m_view.lblOpe2.clear();
  m_view.Label4.clear();
  for (QString& name : m_view.lblName)
    name.clear();
  m_view.List1.clear();
  m_vars.VariableCount = 0;
  m_vars.ObjectCount = 0;
  m_vars.WorkCounter = 0;
  m_view.lblPtr = QStringLiteral("0");
  RefreshTranslationView();
}

void TranslationEngine::drawListing(bool showMarks) {
  // Between two draws without marks the buffer only grows at its end (every push and pop draws),
  // so only the new lines are formatted; anything else draws the listing again.
  const bool grew = !showMarks && !m_listedMarks && m_view.List1.size() == m_listedCount &&
                    m_listedCount <= m_vars.ObjectCount;
  if (!grew)
    m_view.List1.clear();
  m_listedMarks = showMarks;
  m_listedCount = m_vars.ObjectCount;
  for (int i = static_cast<int>(m_view.List1.size()); i < m_vars.ObjectCount; ++i) {
    const ObjectInstruction& instruction = m_vars.ObjectBuffer.at(static_cast<std::size_t>(i));
    const bool marked = showMarks && instruction.Useless;
    m_view.List1 << FormatInstructionLine(marked ? uselessLabelColumn() : plainLabelColumn(),
                                          instruction);
  }
}

void TranslationEngine::MarkUselessInstructions() {
  auto& buffer = m_vars.ObjectBuffer;
  const int count = m_vars.ObjectCount;
  for (int i = 0; i < count; ++i)
    buffer.at(static_cast<std::size_t>(i)).Useless = false;
  int i = 0;
  while (i <= count - 2) {
    ObjectInstruction& store = buffer.at(static_cast<std::size_t>(i));
    ObjectInstruction& load = buffer.at(static_cast<std::size_t>(i + 1));
    if (store.Operation == u"STOR" && load.Operation == u"LOAD" && store.Operand == load.Operand) {
      // The value is still in the register, so the load goes. A work variable is read only by
      // this load and its store goes too; a program variable must hold the value after the run.
      store.Useless = isWorkVariable(store.Operand);
      load.Useless = true;
      i += 2;
    } else {
      ++i;
    }
  }
  drawListing(true);
}

void TranslationEngine::DeleteUselessInstructions() {
  auto& buffer = m_vars.ObjectBuffer;
  std::size_t j = 0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(m_vars.ObjectCount); ++i) {
    if (!buffer.at(i).Useless) {
      buffer.at(j) = buffer.at(i);
      ++j;
    }
  }
  m_vars.ObjectCount = static_cast<std::int16_t>(j);
  drawListing(true);
}

void TranslationEngine::findReferences() {
  for (int j = 0; j < m_vars.VariableCount; ++j)
    m_vars.UsedFlags.at(static_cast<std::size_t>(j)) = false;
  for (int i = 0; i < m_vars.ObjectCount; ++i) {
    const QString& operand = m_vars.ObjectBuffer.at(static_cast<std::size_t>(i)).Operand;
    if (operand.isEmpty())
      continue;
    const int entry = findEntry(operand);
    if (entry >= 0)
      m_vars.UsedFlags.at(static_cast<std::size_t>(entry)) = true;
  }
}

void TranslationEngine::MarkUnreferencedWorkVariables() {
  findReferences();
  for (int j = 0; j < m_vars.VariableCount; ++j) {
    const auto k = static_cast<std::size_t>(j);
    const bool red = !m_vars.UsedFlags.at(k) && isWorkVariable(m_view.lblName.at(k));
    m_view.lblNameMark.at(k) = red ? Mark::Red : Mark::White;
  }
}

void TranslationEngine::DeleteUnreferencedVariables() {
  // Uses the flags of the marking step: the buttons that translate or optimise stop an auto-run
  // first, so between its marking and its deletion nothing enters the table (a reset empties it).
  m_view.lblNameMark.fill(Mark::White);
  const int oldCount = m_vars.VariableCount;
  int j = 0;
  for (int i = 0; i < oldCount; ++i) {
    if (m_vars.UsedFlags.at(static_cast<std::size_t>(i))) {
      m_view.lblName.at(static_cast<std::size_t>(j)) =
          m_view.lblName.at(static_cast<std::size_t>(i));
      ++j;
    }
  }
  for (int i = j; i < oldCount; ++i)
    m_view.lblName.at(static_cast<std::size_t>(i)).clear();
  m_vars.VariableCount = static_cast<std::int16_t>(j);
  m_view.lblPtr = QString::number(m_vars.VariableCount);
}

std::optional<QString> TranslationEngine::Command6_Click() {
  m_driver.stop();
  if (const std::optional<QString> refusal = HandOffRefusal()) {
    inform(*refusal);
    return std::nullopt;
  }
  return BuildAssemblerSource();
}

// Every table entry becomes one label of the hand-off, so the assembler's label table always has
// room for them.
static_assert(kTableCapacity <= machine::kLabelSlots);

std::optional<QString> TranslationEngine::HandOffRefusal() const {
  for (const QString& name : VariableTable())
    if (!machine::Assembler::CanBeLabel(name))
      return unlabelableNameMessage(name);
  // The end line and one declaration per entry, one word each.
  int words = 1 + m_vars.VariableCount;
  for (int i = 0; i < m_vars.ObjectCount; ++i) {
    const ObjectInstruction& instruction = m_vars.ObjectBuffer.at(static_cast<std::size_t>(i));
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
  const int lines = m_vars.ObjectCount + 1 + m_vars.VariableCount;
  if (lines > machine::kLineSlots)
    return tooManyLinesMessage(lines);
  return std::nullopt;
}

QString TranslationEngine::BuildAssemblerSource() const {
  QStringList lines;
  for (const ObjectInstruction& instruction : program())
    lines << FormatInstructionLine(plainLabelColumn(), instruction);
  lines << FormatInstructionLine(plainLabelColumn(), {QStringLiteral("SVC"), QStringLiteral("0")});
  const QStringList table = VariableTable();
  int k = 0;
  for (const QString& name : table)
    if (!isWorkVariable(name))
      lines << declarationLine(name, QStringLiteral("DC"), QString::number(++k));
  for (const QString& name : table)
    if (isWorkVariable(name))
      lines << declarationLine(name, QStringLiteral("DA"), QStringLiteral("1"));
  return lines.join(QStringLiteral("\r\n"));
}

template <class Paint> bool TranslationEngine::blink(const QString& caption, Paint paint) {
  // A count that is not positive (never set) ends the phase at once rather than blinking on.
  m_vars.BlinkCount =
      m_vars.BlinkCount > 1 ? static_cast<std::int16_t>(m_vars.BlinkCount - 1) : std::int16_t{0};
  if (m_vars.BlinkCount == 0) {
    m_view.Label4.clear();
    return true;
  }
  paint(m_vars.BlinkCount % 2 == 0);
  m_view.Label4 = caption;
  return false;
}

bool TranslationEngine::BlinkTranslationEnd() {
  return m_stack.BlinkTopCell(m_vars.BlinkCount);
}

bool TranslationEngine::BlinkObjectList() {
  return blink(QStringLiteral("無駄な命令削除"),
               [this](bool even) { m_view.List1Mark = even ? Mark::Yellow : Mark::White; });
}

bool TranslationEngine::BlinkVariableTable() {
  return blink(QStringLiteral("無駄な変数削除"),
               [this](bool even) { m_view.Frame3Mark = even ? Mark::Yellow : Mark::ButtonFace; });
}

bool TranslationEngine::BlinkOptimisationDone() {
  return blink(QStringLiteral("最適化完了"), [this](bool even) {
    m_view.List1Mark = even ? Mark::Yellow : Mark::White;
    m_view.Frame3Mark = even ? Mark::Yellow : Mark::ButtonFace;
  });
}

} // namespace rpn::translation
