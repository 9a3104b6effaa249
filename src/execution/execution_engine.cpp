#include "execution_engine.h"

#include "common/leading_number.h"
#include "common/number_text.h"

#include <cmath>

namespace rpn::execution {

using walk::endClass;
using walk::isReference;
using walk::nameClass;
using walk::referencedName;
using walk::referencePrefix;
using walk::RpnStack;

QString variableNotFoundMessage() {
  return QStringLiteral("変数名が見つかりません");
}
QString cannotAssignMessage() {
  return QStringLiteral("代入できません.");
}
QString divisionByZeroMessage() {
  return QStringLiteral("0で割ることはできません");
}
QString outOfRangeMessage() {
  return QStringLiteral("数値が範囲を超えました");
}

ExecutionEngine::ExecutionEngine(Dialogs& dialogs) : m_driver(dialogs, m_state.clock) {}

void ExecutionEngine::unload() {
  m_state.view = ExecutionView{};
  m_driver.stop();
}

void ExecutionEngine::setTxtName(int entry, const QString& text) {
  if (entry >= 0 && entry < kVariableCount)
    m_state.view.txtName.at(static_cast<std::size_t>(entry)) = text;
}

void ExecutionEngine::Command1_Click() {
  stack().PressRunToEnd([this] { executeSymbol(); }, m_state.SavedExpression, kExecute, kPush);
}

void ExecutionEngine::Command2_Click() {
  clearScreen();
  m_state.view.Text1 = m_state.SavedExpression;
}

void ExecutionEngine::Command3_Click() {
  static_assert(kRestart == 0, "auto-run starts at the first phase");
  if (m_driver.start(m_state.view.Text3))
    m_state.SavedExpression = m_state.view.Text1;
}

void ExecutionEngine::Timer1_Timer() {
  m_driver.tick([this] {
    switch (m_driver.phase()) {
    case kRestart:
      Command2_Click();
      m_driver.setPhase(kRead);
      break;
    case kRead:
      stack().ReadSymbol();
      if (m_state.view.lblKind == endClass()) {
        m_state.EndBlinkCount = 10;
        m_driver.setPhase(kEndState);
      } else {
        m_driver.setPhase(kExecute);
      }
      break;
    case kExecute:
      executeSymbol();
      m_driver.setPhase(kPush);
      break;
    case kPush:
      stack().PushValue();
      m_driver.setPhase(kRead);
      break;
    case kEndState:
      showEndState();
      break;
    default:
      break; // a phase outside the cycle does nothing
    }
  });
}

void ExecutionEngine::clearScreen() {
  ExecutionView& view = m_state.view;
  view.Text2.clear();
  stack().clearCells();
  stack().hideAllArrows();
  view.lblOpe.clear();
  view.lblOpe1.clear();
  view.lblOpe2.clear();
  view.Label4.clear();
  stack().PaintStack();
}

void ExecutionEngine::showEndState() {
  if (stack().BlinkTopCell(m_state.EndBlinkCount))
    m_driver.setPhase(kRestart);
}

void ExecutionEngine::executeSymbol() {
  const QString k = m_state.view.lblKind;
  const QString c = m_state.view.lblCH;
  if (k == endClass())
    return;
  if (k == nameClass()) {
    stack().setArrows({3}, {1, 2, 4, 5, 6, 7, 8});
    m_state.view.Label4 = QStringLiteral("変数") + c + QStringLiteral("の設定");
    m_state.view.Text2 = referencePrefix() + c;
    return;
  }
  m_state.view.lblOpe = c;
  stack().setArrows({4, 5, 6}, {1, 2, 3, 7, 8});
  m_state.view.Label4 = QStringLiteral("演算対象Popと演算の実行");
  paintVariablesWhite();
  const QString result = executeOperator(c);
  if (!result.isNull())
    m_state.view.Text2 = result;
}

QString ExecutionEngine::executeOperator(const QString& op) {
  if (op == u"＋" || op == u"－") {
    stack().PopOperand();
    const double value = operandValue(m_state.view.lblOpe1);
    return numberToText(op == u"＋" ? value : -value);
  }
  if (op == u"=") {
    stack().PopOperands();
    const double value = operandValue(m_state.view.lblOpe2);
    return numberToText(assignVariable(m_state.view.lblOpe1, value));
  }
  if (op != u"+" && op != u"-" && op != u"*" && op != u"/")
    return {}; // not one of the seven: nothing after the boxes are repainted
  stack().PopOperands();
  const double left = operandValue(m_state.view.lblOpe1);
  const double right = operandValue(m_state.view.lblOpe2);
  if (op == u"+")
    return numberToText(checkedResult(left + right));
  if (op == u"-")
    return numberToText(checkedResult(left - right));
  if (op == u"*")
    return numberToText(checkedResult(left * right));
  return numberToText(divide(left, right));
}

double ExecutionEngine::divide(double left, double right) {
  if (right == 0.0) {
    inform(divisionByZeroMessage());
    return 0.0;
  }
  return checkedResult(left / right);
}

double ExecutionEngine::checkedResult(double result) {
  if (std::isfinite(result))
    return result;
  inform(outOfRangeMessage());
  return 0.0;
}

double ExecutionEngine::readNumber(const QString& text) {
  const LeadingNumber number = readLeadingNumber(text);
  if (number.overflow) {
    inform(outOfRangeMessage());
    return 0.0;
  }
  return number.value;
}

void ExecutionEngine::paintVariablesWhite() {
  m_state.view.txtNameMark.fill(Mark::White);
}

int ExecutionEngine::FindVariable(const QString& name) const {
  for (int i = 0; i < kVariableCount; ++i)
    if (m_state.view.lblName.at(static_cast<std::size_t>(i)) == name)
      return i;
  return -1;
}

double ExecutionEngine::operandValue(const QString& operand) {
  if (!isReference(operand))
    return readNumber(operand);
  const int entry = FindVariable(referencedName(operand));
  if (entry < 0) {
    inform(variableNotFoundMessage());
    return 0.0;
  }
  const auto k = static_cast<std::size_t>(entry);
  m_state.view.txtNameMark.at(k) = Mark::Red;
  stack().setArrows({8}, {});
  return readNumber(m_state.view.txtName.at(k));
}

double ExecutionEngine::assignVariable(const QString& target, double value) {
  if (!isReference(target)) {
    inform(cannotAssignMessage() + target);
    return value;
  }
  const int entry = FindVariable(referencedName(target));
  if (entry < 0) {
    inform(variableNotFoundMessage());
    return 0.0;
  }
  const auto k = static_cast<std::size_t>(entry);
  paintVariablesWhite();
  m_state.view.txtNameMark.at(k) = Mark::Red;
  stack().setArrows({7}, {});
  m_state.view.txtName.at(k) = numberToText(value);
  return value;
}

} // namespace rpn::execution
