// The execution engine: runs a reverse Polish expression directly on a ten-cell value stack
// against a table of seven variables, one visible move at a time.
//
// Each symbol passes through three moves: the reader takes it off the input box, the symbol step
// puts a value into the value register Text2 (a "Name:" reference for a name, the result of
// popping and computing for an operator), the push puts the register on the stack. Everything
// that defines the screen is one value, ExecutionState: what the execution screen shows
// (ExecutionView), the screen's form variables and the auto-run clock. The screen paints the view
// and forwards edits, presses and ticks:
//   * Command1_Click runs the rest of the expression in one press (trace mode: a box per move);
//   * Command2_Click is the reset button;
//   * Command3_Click / Command4_Click start and stop auto-run, Timer1_Timer performs one phase
//     of the five-phase cycle (restart, read, execute, push, end display).
// The named moves one at a time are reached through moves(), for tests and fuzzers.
// Boxes go through the step driver's Dialogs, so a tick that arrives while one is open is held.
#pragma once

#include "common/dialogs.h"
#include "common/marks.h"
#include "common/step_driver.h"
#include "rpn/rpn_stack.h"

#include <QString>
#include <array>
#include <cstdint>

namespace rpn::execution {

inline constexpr int kVariableCount = 7;

// What the controls of the execution screen show. Reset to these initial texts when the screen
// is unloaded.
struct ExecutionView : walk::RpnView {
  // The variable table: names fixed, values free text the user may edit at any time.
  std::array<QString, kVariableCount> lblName = {
      QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D"),
      QStringLiteral("E"), QStringLiteral("F"), QStringLiteral("X")};
  std::array<QString, kVariableCount> txtName = {QStringLiteral("1"),
                                                 QStringLiteral("2"),
                                                 QStringLiteral("3"),
                                                 QStringLiteral("4"),
                                                 QStringLiteral("5"),
                                                 QStringLiteral("6"),
                                                 QString()};
  std::array<Mark, kVariableCount> txtNameMark{};
  bool operator==(const ExecutionView&) const = default;
};

// Everything the execution screen is: its controls, its form variables (they live as long as the
// screen object, also across unload and load; StackCount lives with the cells in the view) and
// the auto-run clock. A copy is a snapshot.
struct ExecutionState {
  ExecutionView view;
  QString SavedExpression; // the input as it was when the last run started
  std::int16_t EndBlinkCount = 0;
  StepClock clock;
  bool operator==(const ExecutionState&) const = default;
};

// Phases of the auto-run cycle.
enum ExecutionPhase : std::int16_t {
  kRestart = 0,
  kRead = 1,
  kExecute = 2,
  kPush = 3,
  kEndState = 4,
};

// Texts of the boxes this engine opens besides those of the stack.
QString variableNotFoundMessage();
QString cannotAssignMessage(); // followed directly by the target text
QString divisionByZeroMessage();
QString outOfRangeMessage();

class ExecutionEngine {
public:
  class Moves;

  explicit ExecutionEngine(Dialogs& dialogs);
  ExecutionEngine(const ExecutionEngine&) = delete;
  ExecutionEngine& operator=(const ExecutionEngine&) = delete;

  const ExecutionState& state() const { return m_state; }
  // Puts back a state taken with state(), exactly.
  void restore(const ExecutionState& snapshot) { m_state = snapshot; }
  const ExecutionView& view() const { return m_state.view; }
  const StepDriver& driver() const { return m_driver; }

  // Screen lifecycle: Form_Load, and the unloading of a closed screen (controls back to their
  // initial texts, timer stopped; form variables stay).
  void Form_Load() { clearScreen(); }
  void unload();

  // The user's edits, as they happen.
  void setText1(const QString& text) { m_state.view.Text1 = text; }
  void setText2(const QString& text) { m_state.view.Text2 = text; }
  void setText3(const QString& text) { m_state.view.Text3 = text; }
  void setCheck1(bool ticked) { m_state.view.Check1 = ticked; }
  // Out-of-range entries are ignored.
  void setTxtName(int entry, const QString& text);

  // Presses and ticks.
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click() { m_driver.stop(); }
  void Timer1_Timer();

  // Entry of the variable table whose name is exactly name, searched from entry 0; -1 when none.
  int FindVariable(const QString& name) const;

  // The named moves, one at a time.
  Moves moves();

private:
  walk::RpnStack stack() { return {m_state.view, m_driver, m_rules}; }
  void inform(const QString& text) { m_driver.dialogs().inform(text); }
  void clearScreen();
  void executeSymbol();
  void showEndState();
  // The value of an operand text: a reference's variable (its box painted red) or the number the
  // text spells.
  double operandValue(const QString& operand);
  // Stores value into the variable target refers to; returns what the step passes on.
  double assignVariable(const QString& target, double value);
  void paintVariablesWhite();
  // Leading number of a text; one beyond the double range is reported and reads as 0.
  double readNumber(const QString& text);
  // The result of an operator; a division by zero or a result out of range is reported and
  // gives 0.
  double checkedResult(double result);
  double divide(double left, double right);
  QString executeOperator(const QString& op);

  ExecutionState m_state;
  StepDriver m_driver;
  walk::RpnRules m_rules{QStringLiteral("値Push"), {}};
};

// The moves of the execution screen one at a time, as the auto-run cycle performs them.
class ExecutionEngine::Moves {
public:
  explicit Moves(ExecutionEngine& engine) : m_engine(engine) {}
  void ReadSymbol() { m_engine.stack().ReadSymbol(); }
  void ExecuteSymbol() { m_engine.executeSymbol(); }
  void PushValue() { m_engine.stack().PushValue(); }
  void PopOperands() { m_engine.stack().PopOperands(); }
  void PopOperand() { m_engine.stack().PopOperand(); }
  void ShowEndState() { m_engine.showEndState(); }

private:
  ExecutionEngine& m_engine;
};

inline ExecutionEngine::Moves ExecutionEngine::moves() {
  return Moves(*this);
}

} // namespace rpn::execution
