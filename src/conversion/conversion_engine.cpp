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
  m_view.Text4 = rulesText();
  ResetConversion();
  m_vars.SavedExpression = QStringLiteral("A+B*C/(D-F)+G");
}

void ConversionEngine::unload() {
  m_driver.stop();
  m_view = ConversionView{};
}

void ConversionEngine::Command1_Click() {
  if (m_driver.running()) {
    m_driver.stop();
    // Mid-conversion the input box holds only the unread rest, and at the end nothing: the press
    // converts the auto-run's whole expression, so it shows the result the auto-run was heading
    // for. Between two cycles a text the user typed into the box is what the press converts.
    const std::int16_t phase = m_driver.phase();
    const bool betweenCycles = phase == kRestart || phase == kBlink;
    if (!betweenCycles || m_view.Text1.isEmpty())
      m_view.Text1 = m_vars.SavedExpression;
  }
  RunToEnd();
}

void ConversionEngine::Command2_Click() {
  ResetConversion();
  m_view.Text1 = m_vars.SavedExpression;
}

void ConversionEngine::Command3_Click() {
  // An interval the timer cannot take is refused with a box, and then nothing else changes.
  if (!m_driver.setIntervalFromText(m_view.Text3))
    return;
  m_vars.SavedExpression = m_view.Text1;
  m_driver.setPhase(kRestart);
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
  m_vars.SavedExpression = m_view.Text1;
  ResetConversion();
  m_vars.RunFinished = false;
  while (!m_vars.RunFinished)
    ConvertStep();
}

void ConversionEngine::ConvertStep() {
  if (!readCharacter(Form::OneShot)) {
    // End of the expression: the mode is neither read nor changed.
    CloseBracket();
    m_vars.RunFinished = true;
    setArrows({}, {}, {}, {});
    return;
  }
  act(Form::OneShot);
}

void ConversionEngine::RestartCycle() {
  Command2_Click();
  m_driver.setPhase(kRead);
}

void ConversionEngine::ReadCharacter() {
  readCharacter(Form::Stepped);
  m_driver.setPhase(kDispatch);
}

void ConversionEngine::DispatchCharacter() {
  m_driver.setPhase(kNext);
  act(Form::Stepped);
}

void ConversionEngine::NextCharacterOrFinish() {
  if (m_view.lblKind == kEnd) {
    m_vars.EndBlinkCount = 21;
    m_driver.setPhase(kBlink);
  } else {
    m_driver.setPhase(kRead);
  }
}

void ConversionEngine::BlinkOutput() {
  --m_vars.EndBlinkCount;
  if (m_vars.EndBlinkCount == 0) {
    m_driver.setPhase(kRestart);
    m_view.Label5.clear();
    return;
  }
  m_view.Text2Background = m_vars.EndBlinkCount % 2 == 0 ? Mark::Yellow : Mark::White;
  m_view.Label5 = kEnd;
}

bool ConversionEngine::readCharacter(Form form) {
  if (m_view.Text1.isEmpty()) {
    m_view.lblCH.clear();
    m_view.lblKind = kEnd;
    return false;
  }
  const qsizetype length = firstCharacterLength(m_view.Text1);
  const QString ch = m_view.Text1.left(length);
  m_view.lblCH = ch;
  // Removing from the front moves the start of the text and copies nothing, so reading a long
  // input costs the same for every character.
  m_view.Text1.remove(0, length);
  m_view.lblKind = isOperatorCharacter(ch) ? kOperator : kName;
  if (shows(form)) {
    setArrows(kLeft, {}, {}, {});
    m_view.Label5 = QStringLiteral("語彙解析");
    if (form == Form::OneShot)
      inform(QStringLiteral("語彙解析 ") + m_view.lblKind + u'[' + ch + u']');
  }
  return true;
}

void ConversionEngine::act(Form form) {
  const bool nameExpected = m_view.lblMode == kName;
  m_view.lblMode = nameExpected ? kOperator : kName;

  const QString ch = m_view.lblCH;
  if (m_view.lblKind == kEnd) { // reached in auto-run only
    BeginCloseBracket();
    return;
  }
  auto insert = [&](const QString& op, Priority priority, const QString& kind) {
    if (form == Form::OneShot)
      InsertOperator(op, priority, kind);
    else
      InsertOperatorStepped(op, priority, kind);
  };

  if (m_view.lblKind == kName) {
    if (!nameExpected) {
      syntaxError(form);
      return;
    }
    if (shows(form)) {
      setArrows({}, kLeft, {}, {});
      m_view.Label5 = ch + QStringLiteral("を出力文に移動");
      if (form == Form::OneShot)
        inform(QStringLiteral("出力文 ← 名前[") + ch + u']');
    }
    Post(ch);
    return;
  }

  if (nameExpected) {
    if (ch == u"+" || ch == u"-") {
      m_view.lblMode = kName;
      insert(ch == u"+" ? QStringLiteral("＋") : QStringLiteral("－"), 300, kPrefix);
    } else if (ch == u"(") {
      m_view.lblMode = kName;
      pushOperator(ch, 0, kBracket, form);
    } else {
      syntaxError(form);
    }
    return;
  }

  if (ch == u")") {
    m_view.lblMode = kOperator;
    if (form == Form::OneShot)
      CloseBracket();
    else
      BeginCloseBracket();
  } else if (ch == u"+" || ch == u"-") {
    insert(ch, 200, kBinary);
  } else if (ch == u"*" || ch == u"/") {
    insert(ch, 400, kBinary);
  } else if (ch == u"=") {
    // The one-shot run stacks "=" with 100, auto-run with no priority at all.
    insert(ch, form == Form::OneShot ? Priority(100) : std::nullopt, kBinary);
  } else { // "(" where an operator is expected: pushed as it is, never pops
    insert(ch, std::nullopt, kBinary);
  }
}

void ConversionEngine::syntaxError(Form form) {
  inform(QStringLiteral("構文エラー ") + m_view.lblCH);
  if (form == Form::OneShot)
    m_vars.RunFinished = true;
  else
    m_driver.setPhase(kStopped);
}

void ConversionEngine::PushOperator(const QString& op, Priority priority, const QString& kind) {
  pushOperator(op, priority, kind, Form::OneShot);
}

void ConversionEngine::pushOperator(const QString& op, Priority priority, const QString& kind,
                                    Form form) {
  if (m_vars.StackCount > kStackSlots - 1) {
    inform(QStringLiteral("スタックが満杯です"));
    return;
  }
  if (shows(form)) {
    setArrows({}, {}, kDown, {});
    m_view.Label5 = QStringLiteral("演算子[") + op + QStringLiteral("]をPush");
    if (form == Form::OneShot)
      inform(QStringLiteral("スタック ←　演算子[") + op + u']');
  }
  StackSlot& slot = m_view.stack[static_cast<std::size_t>(m_vars.StackCount)];
  slot.operation = op;
  slot.priority = priority ? QString::number(*priority) : QString();
  slot.kind = kind;
  ++m_vars.StackCount;
  PaintStack();
}

QString ConversionEngine::PopOperator() {
  if (m_vars.StackCount <= 0) {
    m_view.stack[0] = StackSlot{};
    inform(QStringLiteral("スタックが空です"));
    return {};
  }
  --m_vars.StackCount;
  StackSlot& slot = m_view.stack[static_cast<std::size_t>(m_vars.StackCount)];
  const QString op = slot.operation;
  slot = StackSlot{};
  PaintStack();
  return op;
}

void ConversionEngine::PaintStack() {
  for (int i = 0; i < kStackSlots; ++i)
    m_view.stackMarks[static_cast<std::size_t>(i)] =
        i < m_vars.StackCount ? Mark::Red : Mark::White;
}

bool ConversionEngine::popRuleSaysPop(Priority priority) const {
  if (m_vars.StackCount <= 0)
    return false;
  const StackSlot& top = m_view.stack[static_cast<std::size_t>(m_vars.StackCount - 1)];
  if (top.operation == u"(")
    return false;
  return !(priority.value_or(0) > leadingNumber(top.priority));
}

void ConversionEngine::showPriorityPop() {
  setArrows({}, {}, kDown, kUp);
  m_view.Label5 = QStringLiteral("優先度が高い演算子をPop");
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
  pushOperator(op, priority, kind, Form::OneShot);
}

void ConversionEngine::InsertOperatorStepped(const QString& op, Priority priority,
                                             const QString& kind) {
  m_driver.setPhase(kNext);
  insertStepped(op, priority, kind);
}

void ConversionEngine::ContinueInsert() {
  m_driver.setPhase(kNext);
  // The pending priority is a number: an empty one that had to pop is now pushed as "0".
  insertStepped(m_vars.PendingOperator, m_vars.PendingPriority, m_vars.PendingKind);
}

void ConversionEngine::insertStepped(const QString& op, Priority priority, const QString& kind) {
  if (op == u"(" || !popRuleSaysPop(priority)) {
    pushOperator(op, priority, kind, Form::Stepped);
    return;
  }
  showPriorityPop();
  Post(PopOperator());
  m_vars.PendingOperator = op;
  m_vars.PendingPriority = priority.value_or(0);
  m_vars.PendingKind = kind;
  m_driver.setPhase(kContinueInsert);
}

void ConversionEngine::showBracketPop() {
  setArrows({}, {}, {}, kUp);
  m_view.Label5 = kPopToOutput;
}

bool ConversionEngine::bracketOnStack() const {
  const auto used = m_view.stack.begin() + m_vars.StackCount;
  return std::any_of(m_view.stack.begin(), used,
                     [](const StackSlot& slot) { return slot.operation == u"("; });
}

void ConversionEngine::reportUnbalancedBracket(Form form) {
  // At the end every "(" left is unclosed; at a ")" one must be there to close.
  const bool atEnd = m_view.lblKind == kEnd;
  if (atEnd != bracketOnStack())
    return;
  const QString message = atEnd ? unclosedBracketMessage() : unmatchedBracketMessage();
  if (shows(form))
    m_view.Label5 = message;
  if (form == Form::OneShot)
    inform(message);
}

void ConversionEngine::CloseBracket() {
  reportUnbalancedBracket(Form::OneShot);
  if (tracing()) {
    setArrows({}, {}, {}, kUp);
    const QString message = m_view.lblKind == kEnd ? QStringLiteral("終了(括弧閉じ処理と同じ)")
                                                   : QStringLiteral("括弧閉じ処理");
    m_view.Label5 = message;
    inform(message);
  }
  while (m_vars.StackCount >= 1) {
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
  m_view.Label5 = QStringLiteral("括弧閉じ処理");
  reportUnbalancedBracket(Form::Stepped);
  m_driver.setPhase(kCloseBracket);
}

void ConversionEngine::CloseBracketStep() {
  if (m_vars.StackCount < 1) {
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
  m_view.lblMode = kName;
  m_view.Text2.clear();
  m_vars.StackCount = 0;
  m_view.stack.fill(StackSlot{});
  setArrows({}, {}, {}, {});
  PaintStack();
}

void ConversionEngine::setArrows(const QString& a1, const QString& a2, const QString& a3,
                                 const QString& a4) {
  m_view.lblArrow = {a1, a2, a3, a4};
}

} // namespace rpn::conversion
