// The conversion engine: turns an infix expression into reverse Polish notation with an
// operator-priority stack, one character at a time, while the screen watches.
//
// The engine holds what the conversion screen shows (ConversionView: the input and output boxes,
// the lexical result, the mode, the arrows, the step message and the ten stack slots) and the
// screen's form variables (ConversionVariables). Every rule reads and writes that state; the
// screen only paints it and forwards the user's edits and presses:
//   * Command1_Click runs the conversion to the end in one press (trace mode: a box per move);
//   * Command3_Click / Command4_Click start and stop auto-run, Timer1_Timer performs one phase;
//   * Command2_Click is the reset button.
// A ")" with no "(" on the stack is reported when it is read, a "(" still on the stack when the
// end is reached; either way the conversion goes on as before.
// Boxes go through the step driver's Dialogs, so a tick that arrives while one is open is held.
#pragma once

#include "common/dialogs.h"
#include "common/marks.h"
#include "common/step_driver.h"

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace rpn::conversion {

inline constexpr int kStackSlots = 10;

// Captions of one stack slot; a free slot has three empty captions.
struct StackSlot {
  QString operation; // "+", "-", "*", "/", "=", "＋", "－" or "("
  QString priority;  // decimal text, or empty
  QString kind;      // "二項演算子", "前置演算子" or "括弧"
  bool operator==(const StackSlot&) const = default;
};

// What the controls of the conversion screen show. Reset to these initial texts when the screen
// is unloaded.
struct ConversionView {
  QString Text1 = QStringLiteral("A+B*C/(D-E)-F"); // the unread rest of the expression
  QString Text2;                                   // the reverse Polish output
  Mark Text2Background = Mark::White;
  QString Text3 = QStringLiteral("200"); // auto-run interval
  QString Text4;                         // the rules, filled at load
  QString lblCH;
  QString lblKind;
  QString lblMode = QStringLiteral("名前");
  QString Label5; // step message
  // lblArrow1 (input -> lexical result), lblArrow2 (lexical result -> output),
  // lblArrow3 (lexical result -> stack), lblArrow4 (stack -> output).
  std::array<QString, 4> lblArrow = {QStringLiteral("←"), QStringLiteral("←"), QStringLiteral("↓"),
                                     QStringLiteral("↑")};
  std::array<StackSlot, kStackSlots> stack{};
  std::array<Mark, kStackSlots> stackMarks{};
  bool Check1 = true; // trace mode
  bool operator==(const ConversionView&) const = default;
};

// Form variables: they live as long as the screen object, also across unload and load.
struct ConversionVariables {
  bool RunFinished = false;
  QString SavedExpression;
  std::int16_t EndBlinkCount = 0;
  QString PendingOperator;
  std::int16_t PendingPriority = 0;
  QString PendingKind;
  std::int16_t StackCount = 0;
  bool operator==(const ConversionVariables&) const = default;
};

// Everything that defines the conversion screen: a copy is a snapshot of it.
struct ConversionState {
  ConversionView view;
  ConversionVariables variables;
  StepClock clock; // the auto-run phase and interval
  bool operator==(const ConversionState&) const = default;
};

// Texts of the boxes for unbalanced brackets: a "(" left at the end, a ")" with none to close.
QString unclosedBracketMessage();
QString unmatchedBracketMessage();

// A priority handed with an operator: a number, or empty (compares as 0, shown as nothing).
using Priority = std::optional<std::int16_t>;

// Phases of auto-run.
enum ConversionPhase : std::int16_t {
  kRestart = 0,
  kRead = 1,
  kDispatch = 2,
  kCloseBracket = 11,
  kContinueInsert = 21,
  kNext = 90,
  kBlink = 99,
  kStopped = 900,
};

class ConversionEngine {
public:
  explicit ConversionEngine(Dialogs& dialogs) : m_driver(dialogs, m_state.clock) {}
  ConversionEngine(const ConversionEngine&) = delete;
  ConversionEngine& operator=(const ConversionEngine&) = delete;

  const ConversionState& state() const { return m_state; }
  // Puts back a snapshot taken with state(), exactly.
  void restore(const ConversionState& snapshot) { m_state = snapshot; }
  const ConversionView& view() const { return m_state.view; }

  // Screen lifecycle: Form_Load, and the unloading of a closed screen (controls back to their
  // initial texts, timer stopped; form variables and the phase stay).
  void Form_Load();
  void unload();

  // The user's edits, as they happen.
  void setText1(const QString& text) { m_state.view.Text1 = text; }
  void setText3(const QString& text) { m_state.view.Text3 = text; }
  void setCheck1(bool ticked) { m_state.view.Check1 = ticked; }
  // Appends a text to the output box: the only way into the output.
  void Post(const QString& text) { m_state.view.Text2 += text; }

  // Presses and ticks.
  // The one-press run; during auto-run it first stops it and converts the auto-run's whole
  // expression again (unless the user typed a new one between two cycles), so the press shows the
  // result the auto-run was heading for.
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click() { m_driver.stop(); }
  void Timer1_Timer();

  // The named moves of the one-press run that tests drive one at a time: one character read
  // and acted on, and a pop off the operator stack (guarded when it is empty).
  class Moves {
  public:
    void ConvertStep() { m_engine.ConvertStep(); }
    QString PopOperator() { return m_engine.PopOperator(); }

  private:
    friend class ConversionEngine;
    explicit Moves(ConversionEngine& engine) : m_engine(engine) {}
    ConversionEngine& m_engine;
  };
  Moves moves() { return Moves(*this); }

private:
  // Which run a move belongs to: the one-press run (shown only in trace mode, each shown move
  // with its box) or auto-run (every move shown, no boxes).
  enum class Run { OnePress, AutoRun };

  // The one-press run and its step.
  void RunToEnd();
  void ConvertStep();

  // Auto-run phase actions.
  void RestartCycle();
  void ReadCharacter();
  void DispatchCharacter();
  void NextCharacterOrFinish();
  void BlinkOutput();

  // The operator stack and the output.
  QString PopOperator();
  void PaintStack();
  void InsertOperator(const QString& op, Priority priority, const QString& kind);
  void InsertOperatorStepped(const QString& op, Priority priority, const QString& kind);
  void ContinueInsert();
  void CloseBracket();
  void BeginCloseBracket();
  void CloseBracketStep();
  void ResetConversion();

  bool tracing() const { return m_state.view.Check1; }
  // Whether a move of the given run is shown (arrows and step message).
  bool shows(Run run) const { return run == Run::AutoRun || tracing(); }
  void setArrows(const QString& a1, const QString& a2, const QString& a3, const QString& a4);
  void inform(const QString& text) { m_driver.dialogs().inform(text); }

  // Takes the first character off Text1 and shows it; false at the end of the input.
  bool takeCharacter(Run run);
  // Acts on the character in lblCH / lblKind under the discrimination mode.
  void actOnSymbol(Run run);
  void pushOperator(const QString& op, Priority priority, const QString& kind, Run run);
  bool popRuleSaysPop(Priority priority) const;
  void showPriorityPop();
  void insertStepped(const QString& op, Priority priority, const QString& kind);
  void showBracketPop();
  void syntaxError(Run run);
  bool bracketOnStack() const;
  // Called as a bracket close or the end begins: an unbalanced bracket gets its box in the
  // one-press run and its step message where the moves are shown.
  void reportUnbalancedBracket(Run run);

  ConversionState m_state;
  StepDriver m_driver; // works on m_state.clock
};

} // namespace rpn::conversion
