#include "conversion_engine.h"

#include "common/characters.h"
#include "common/leading_number.h"

#include <algorithm>

namespace rpn::conversion {
namespace {

const QString kName = QStringLiteral("名前");
const QString kOperator = QStringLiteral("演算子");
const QString kEnd = QStringLiteral("終了");
const QString kBinary = QStringLiteral("二項演算子");
const QString kPrefix = QStringLiteral("前置演算子");
const QString kBracket = QStringLiteral("括弧");
const QString kLeft = QStringLiteral("←");
const QString kDown = QStringLiteral("↓");
const QString kUp = QStringLiteral("↑");
// The moves to and from the stack write an ideographic space after the arrow.
const QString kToOutputFromStack = QStringLiteral("出力文 ←　スタック");
const QString kPopToOutput = QStringLiteral("Popして出力文に移動");

// The seven operator characters; every other character is a name.
bool isOperatorCharacter(const QString& ch) {
  return ch.size() == 1 && QStringLiteral("+-/*=()").contains(ch[0]);
}

QString rulesText() {
  return QStringLiteral("変数名は1文字とします。\r\n"
                        "演算子は+,-,*,/の4つとします\r\n"
                        "\r\n"
                        "前置演算子として+-は，出力文では全角の＋－として区別します。");
}

} // namespace

QString unclosedBracketMessage() {
  return QStringLiteral("括弧が閉じられていません");
}
QString unmatchedBracketMessage() {
  return QStringLiteral("対応する「(」がありません");
}

void ConversionEngine::Form_Load() {
  m_state.view.Text4 = rulesText();
  ResetConversion();
  m_state.variables.SavedExpression = QStringLiteral("A+B*C/(D-F)+G");
}

void ConversionEngine::unload() {
  m_driver.stop();
  m_state.view = ConversionView{};
}

void ConversionEngine::Command1_Click() {
  if (m_driver.running()) {
    m_driver.stop();
    // Mid-conversion the input box holds only the unread rest, and at the end nothing: the press
    // converts the auto-run's whole expression, so it shows the result the auto-run was heading
    // for. Between two cycles a text the user typed into the box is what the press converts.
    const std::int16_t phase = m_driver.phase();
    const bool betweenCycles = phase == kRestart || phase == kBlink;
    if (!betweenCycles || m_state.view.Text1.isEmpty())
      m_state.view.Text1 = m_state.variables.SavedExpression;
  }
  RunToEnd();
}

void ConversionEngine::Command2_Click() {
  ResetConversion();
  m_state.view.Text1 = m_state.variables.SavedExpression;
}

void ConversionEngine::Command3_Click() {
  static_assert(kRestart == 0, "auto-run starts at the first phase");
  if (m_driver.start(m_state.view.Text3))
    m_state.variables.SavedExpression = m_state.view.Text1;
}

void ConversionEngine::Timer1_Timer() {
  m_driver.tick([this] {
    switch (m_driver.phase()) {
    case kRestart:
      RestartCycle();
      break;
    case kRead:
      ReadCharacter();
      break;
    case kDispatch:
      DispatchCharacter();
      break;
    case kCloseBracket:
      CloseBracketStep();
      break;
    case kContinueInsert:
      ContinueInsert();
      break;
    case kNext:
      NextCharacterOrFinish();
      break;
    case kBlink:
      BlinkOutput();
      break;
    default: // after a syntax error
      m_driver.stop();
      break;
    }
  });
}

void ConversionEngine::RunToEnd() {
  m_state.variables.SavedExpression = m_state.view.Text1;
  ResetConversion();
  m_state.variables.RunFinished = false;
  while (!m_state.variables.RunFinished)
    ConvertStep();
}

void ConversionEngine::ConvertStep() {
  if (!takeCharacter(Run::OnePress)) {
    // End of the expression: the mode is neither read nor changed.
    CloseBracket();
    m_state.variables.RunFinished = true;
    setArrows({}, {}, {}, {});
    return;
  }
  actOnSymbol(Run::OnePress);
}

void ConversionEngine::RestartCycle() {
  Command2_Click();
  m_driver.setPhase(kRead);
}

void ConversionEngine::ReadCharacter() {
  takeCharacter(Run::AutoRun);
  m_driver.setPhase(kDispatch);
}

void ConversionEngine::DispatchCharacter() {
  m_driver.setPhase(kNext);
  actOnSymbol(Run::AutoRun);
}

void ConversionEngine::NextCharacterOrFinish() {
  if (m_state.view.lblKind == kEnd) {
    m_state.variables.EndBlinkCount = 21;
    m_driver.setPhase(kBlink);
  } else {
    m_driver.setPhase(kRead);
  }
}

void ConversionEngine::BlinkOutput() {
  --m_state.variables.EndBlinkCount;
  if (m_state.variables.EndBlinkCount == 0) {
    m_driver.setPhase(kRestart);
    m_state.view.Label5.clear();
    return;
  }
  m_state.view.Text2Background =
      m_state.variables.EndBlinkCount % 2 == 0 ? Mark::Yellow : Mark::White;
  m_state.view.Label5 = kEnd;
}

bool ConversionEngine::takeCharacter(Run run) {
  if (m_state.view.Text1.isEmpty()) {
    m_state.view.lblCH.clear();
    m_state.view.lblKind = kEnd;
    return false;
  }
  const qsizetype length = firstCharacterLength(m_state.view.Text1);
  const QString ch = m_state.view.Text1.left(length);
  m_state.view.lblCH = ch;
  // Removing from the front moves the start of the text and copies nothing, so reading a long
  // input costs the same for every character.
  m_state.view.Text1.remove(0, length);
  m_state.view.lblKind = isOperatorCharacter(ch) ? kOperator : kName;
  if (shows(run)) {
    setArrows(kLeft, {}, {}, {});
    m_state.view.Label5 = QStringLiteral("語彙解析");
    if (run == Run::OnePress)
      inform(QStringLiteral("語彙解析 ") + m_state.view.lblKind + u'[' + ch + u']');
  }
  return true;
}

void ConversionEngine::actOnSymbol(Run run) {
  const bool nameExpected = m_state.view.lblMode == kName;
  m_state.view.lblMode = nameExpected ? kOperator : kName;

  const QString ch = m_state.view.lblCH;
  if (m_state.view.lblKind == kEnd) { // reached in auto-run only
    BeginCloseBracket();
    return;
  }
  auto insert = [&](const QString& op, Priority priority, const QString& kind) {
    if (run == Run::OnePress)
      InsertOperator(op, priority, kind);
    else
      InsertOperatorStepped(op, priority, kind);
  };

  if (m_state.view.lblKind == kName) {
    if (!nameExpected) {
      syntaxError(run);
      return;
    }
    if (shows(run)) {
      setArrows({}, kLeft, {}, {});
      m_state.view.Label5 = ch + QStringLiteral("を出力文に移動");
      if (run == Run::OnePress)
        inform(QStringLiteral("出力文 ← 名前[") + ch + u']');
    }
    Post(ch);
    return;
  }

  if (nameExpected) {
    if (ch == u"+" || ch == u"-") {
      m_state.view.lblMode = kName;
      insert(ch == u"+" ? QStringLiteral("＋") : QStringLiteral("－"), 300, kPrefix);
    } else if (ch == u"(") {
      m_state.view.lblMode = kName;
      pushOperator(ch, 0, kBracket, run);
    } else {
      syntaxError(run);
    }
    return;
  }

  if (ch == u")") {
    m_state.view.lblMode = kOperator;
    if (run == Run::OnePress)
      CloseBracket();
    else
      BeginCloseBracket();
  } else if (ch == u"+" || ch == u"-") {
    insert(ch, 200, kBinary);
  } else if (ch == u"*" || ch == u"/") {
    insert(ch, 400, kBinary);
  } else if (ch == u"=") {
    // The one-shot run stacks "=" with 100, auto-run with no priority at all.
    insert(ch, run == Run::OnePress ? Priority(100) : std::nullopt, kBinary);
  } else { // "(" where an operator is expected: pushed as it is, never pops
    insert(ch, std::nullopt, kBinary);
  }
}

void ConversionEngine::syntaxError(Run run) {
  inform(QStringLiteral("構文エラー ") + m_state.view.lblCH);
  if (run == Run::OnePress)
    m_state.variables.RunFinished = true;
  else
    m_driver.setPhase(kStopped);
}

void ConversionEngine::pushOperator(const QString& op, Priority priority, const QString& kind,
                                    Run run) {
  if (m_state.variables.StackCount > kStackSlots - 1) {
    inform(QStringLiteral("スタックが満杯です"));
    return;
  }
  if (shows(run)) {
    setArrows({}, {}, kDown, {});
    m_state.view.Label5 = QStringLiteral("演算子[") + op + QStringLiteral("]をPush");
    if (run == Run::OnePress)
      inform(QStringLiteral("スタック ←　演算子[") + op + u']');
  }
  StackSlot& slot = m_state.view.stack[static_cast<std::size_t>(m_state.variables.StackCount)];
  slot.operation = op;
  slot.priority = priority ? QString::number(*priority) : QString();
  slot.kind = kind;
  ++m_state.variables.StackCount;
  PaintStack();
}

QString ConversionEngine::PopOperator() {
  if (m_state.variables.StackCount <= 0) {
    m_state.view.stack[0] = StackSlot{};
    inform(QStringLiteral("スタックが空です"));
    return {};
  }
  --m_state.variables.StackCount;
  StackSlot& slot = m_state.view.stack[static_cast<std::size_t>(m_state.variables.StackCount)];
  const QString op = slot.operation;
  slot = StackSlot{};
  PaintStack();
  return op;
}

void ConversionEngine::PaintStack() {
  for (int i = 0; i < kStackSlots; ++i)
    m_state.view.stackMarks[static_cast<std::size_t>(i)] =
        i < m_state.variables.StackCount ? Mark::Red : Mark::White;
}

bool ConversionEngine::popRuleSaysPop(Priority priority) const {
  if (m_state.variables.StackCount <= 0)
    return false;
  const StackSlot& top =
      m_state.view.stack[static_cast<std::size_t>(m_state.variables.StackCount - 1)];
  if (top.operation == u"(")
    return false;
  return !(priority.value_or(0) > leadingNumber(top.priority));
}

void ConversionEngine::showPriorityPop() {
  setArrows({}, {}, kDown, kUp);
  m_state.view.Label5 = QStringLiteral("優先度が高い演算子をPop");
}

void ConversionEngine::InsertOperator(const QString& op, Priority priority, const QString& kind) {
  if (op != u"(") {
    while (popRuleSaysPop(priority)) {
      if (tracing()) {
        showPriorityPop();
        inform(kToOutputFromStack);
      }
      Post(PopOperator());
    }
  }
  pushOperator(op, priority, kind, Run::OnePress);
}

void ConversionEngine::InsertOperatorStepped(const QString& op, Priority priority,
                                             const QString& kind) {
  m_driver.setPhase(kNext);
  insertStepped(op, priority, kind);
}

void ConversionEngine::ContinueInsert() {
  m_driver.setPhase(kNext);
  // The pending priority is a number: an empty one that had to pop is now pushed as "0".
  insertStepped(m_state.variables.PendingOperator, m_state.variables.PendingPriority,
                m_state.variables.PendingKind);
}

void ConversionEngine::insertStepped(const QString& op, Priority priority, const QString& kind) {
  if (op == u"(" || !popRuleSaysPop(priority)) {
    pushOperator(op, priority, kind, Run::AutoRun);
    return;
  }
  showPriorityPop();
  Post(PopOperator());
  m_state.variables.PendingOperator = op;
  m_state.variables.PendingPriority = priority.value_or(0);
  m_state.variables.PendingKind = kind;
  m_driver.setPhase(kContinueInsert);
}

void ConversionEngine::showBracketPop() {
  setArrows({}, {}, {}, kUp);
  m_state.view.Label5 = kPopToOutput;
}

bool ConversionEngine::bracketOnStack() const {
  const auto used = m_state.view.stack.begin() + m_state.variables.StackCount;
  return std::any_of(m_state.view.stack.begin(), used,
                     [](const StackSlot& slot) { return slot.operation == u"("; });
}

void ConversionEngine::reportUnbalancedBracket(Run run) {
  // At the end every "(" left is unclosed; at a ")" one must be there to close.
  const bool atEnd = m_state.view.lblKind == kEnd;
  if (atEnd != bracketOnStack())
    return;
  const QString message = atEnd ? unclosedBracketMessage() : unmatchedBracketMessage();
  if (shows(run))
    m_state.view.Label5 = message;
  if (run == Run::OnePress)
    inform(message);
}

void ConversionEngine::CloseBracket() {
  reportUnbalancedBracket(Run::OnePress);
  if (tracing()) {
    setArrows({}, {}, {}, kUp);
    const QString message = m_state.view.lblKind == kEnd
                                ? QStringLiteral("終了(括弧閉じ処理と同じ)")
                                : QStringLiteral("括弧閉じ処理");
    m_state.view.Label5 = message;
    inform(message);
  }
  while (m_state.variables.StackCount >= 1) {
    if (tracing()) {
      showBracketPop();
      inform(kToOutputFromStack);
    }
    const QString op = PopOperator();
    if (op == u"(")
      break;
    Post(op);
  }
}

void ConversionEngine::BeginCloseBracket() {
  setArrows({}, {}, {}, kUp);
  m_state.view.Label5 = QStringLiteral("括弧閉じ処理");
  reportUnbalancedBracket(Run::AutoRun);
  m_driver.setPhase(kCloseBracket);
}

void ConversionEngine::CloseBracketStep() {
  if (m_state.variables.StackCount < 1) {
    m_driver.setPhase(kNext);
    return;
  }
  showBracketPop();
  const QString op = PopOperator();
  if (op == u"(")
    m_driver.setPhase(kNext);
  else
    Post(op);
}

void ConversionEngine::ResetConversion() {
  m_state.view.lblMode = kName;
  m_state.view.Text2.clear();
  m_state.variables.StackCount = 0;
  m_state.view.stack.fill(StackSlot{});
  setArrows({}, {}, {}, {});
  PaintStack();
}

void ConversionEngine::setArrows(const QString& a1, const QString& a2, const QString& a3,
                                 const QString& a4) {
  m_state.view.lblArrow = {a1, a2, a3, a4};
}

} // namespace rpn::conversion
