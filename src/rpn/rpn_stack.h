// The reverse Polish reader and the ten-cell stack, shared by every screen that walks a reverse
// Polish expression symbol by symbol: the execution screen (values) and the translation screen
// (names).
//
// RpnView holds the controls those screens have in common (the input box, the symbol display,
// the value register, the operand displays, the arrows, the step caption and the stack cells);
// a screen's own view derives from it and lives in the screen's state. RpnStack is the walk over
// such a view: an engine makes one for the duration of a move, on its own view and step driver,
// so the state stays a plain value. The moves:
//   * ReadSymbol takes the first character off Text1 and classifies it;
//   * PushValue, PopOperands and PopOperand move texts between Text2, the stack and the operand
//     displays, each ending with the screen's refresh (the execution screen repaints the stack
//     cells; the translation screen redraws its whole view);
//   * RunToEnd repeats read / the screen's symbol step / push until the end, with the trace boxes;
//   * BlinkTopCell is one tick of the end display of an auto-run cycle.
// The push caption, the arrows and the refresh are what the screens choose (RpnRules); everything
// else is one rule. Boxes go through the owning engine's step driver, which also moves the
// auto-run phase kept in the engine's state.
#pragma once

#include "common/marks.h"
#include "common/step_driver.h"

#include <QString>
#include <QStringView>
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>

namespace rpn::walk {

inline constexpr int kStackCells = 10;
inline constexpr int kArrowCount = 8;

// Captions of lblKind.
inline QString operatorClass() {
  return QStringLiteral("演算子");
}
inline QString nameClass() {
  return QStringLiteral("名前");
}
inline QString endClass() {
  return QStringLiteral("終了");
}

// The arrow character of lblArrow<number>, number 1 to 8.
QString arrowCharacter(int number);

// A name goes onto the stack as "Name:" + name; anything else on the stack is a number text.
inline QString referencePrefix() {
  return QStringLiteral("Name:");
}
bool isReference(QStringView text);
// The name after "Name:" (call only for references).
QString referencedName(const QString& reference);

// Whether a symbol is one of the seven operator characters.
bool isOperatorSymbol(QStringView symbol);

// What the shared controls show. The defaults are the captions the screen is built with; the
// screen's load empties the ones it clears.
struct RpnView {
  QString Text1 = QStringLiteral("XABC*DE-/+F-="); // the unread rest of the expression
  QString lblCH;                                   // the symbol just read
  QString lblKind;                                 // its class
  QString Label4 = QStringLiteral("Label4");       // step caption
  QString Text2 = QStringLiteral("Text2");         // value register: what the next push pushes
  QString lblOpe = QStringLiteral("lblOp");        // the operator being executed
  QString lblOpe1;                                 // left operand (or the only one)
  QString lblOpe2;                                 // right operand (the one that was on top)
  // Captions of lblArrow1 .. lblArrow8 (index 0 is lblArrow1): the arrow character or empty.
  std::array<QString, kArrowCount> lblArrow = {
      arrowCharacter(1), arrowCharacter(2), arrowCharacter(3), arrowCharacter(4),
      arrowCharacter(5), arrowCharacter(6), arrowCharacter(7), arrowCharacter(8)};
  std::array<QString, kStackCells> lblValue{}; // stack cells, 0 at the bottom
  std::array<Mark, kStackCells> lblValueMark{};
  // Occupied cells; also the index of the next free one. Reset together with the cells.
  std::int16_t StackCount = 0;
  bool Check1 = true;                    // trace mode
  QString Text3 = QStringLiteral("200"); // auto-run interval
  bool operator==(const RpnView&) const = default;
};

// What a screen chooses for its walk: Label4 after a push, the refresh that ends every push and
// pop (PaintStack when empty), and the arrow character of lblArrow<number> on the screen (each
// screen draws its own arrows).
struct RpnRules {
  QString pushCaption;
  std::function<void()> refresh;
  QString (*arrowCharacter)(int number) = &walk::arrowCharacter;
};

// The walk over one view, made for the duration of a move (it keeps nothing of its own).
class RpnStack {
public:
  RpnStack(RpnView& view, StepDriver& driver, const RpnRules& rules)
      : m_view(view), m_driver(driver), m_rules(rules) {}

  void ReadSymbol();
  void PushValue();
  void PopOperands();
  void PopOperand();
  // Occupied cells red, free cells white.
  void PaintStack();
  // Where a one-press run takes up the symbol cycle: with a read, or with the step or the push
  // of a symbol an auto-run had read when it was stopped.
  enum class Resume : std::uint8_t { Read, Execute, Push };

  // Read, executeSymbol, push until the class "終了" is read; a box after each move while
  // Check1 is ticked. Continues from the current stack and the unread rest of Text1, starting
  // with the given move.
  void RunToEnd(const std::function<void()>& executeSymbol, Resume from = Resume::Read);
  // The one-press button. Without auto-run: Text1 is saved in savedExpression and run to its end.
  // During auto-run: the run stops and the symbol in hand is finished first (the phase it stood
  // in: symbolPhase for the symbol's step, pushPhase for its push), and the expression saved at
  // the auto-run's start stays the one the reset brings back.
  void PressRunToEnd(const std::function<void()>& executeSymbol, QString& savedExpression,
                     std::int16_t symbolPhase, std::int16_t pushPhase);
  // One tick of the end display: counts down; while it runs the top cell blinks (white on odd
  // counts, yellow on even ones) under "正常終了" (exactly one cell) or "異常終了". Returns true
  // on the tick the count reaches 0, which empties Label4.
  bool BlinkTopCell(std::int16_t& count);

  // Shows the arrows numbered in shown and hides those in hidden (numbers 1 to 8); the others
  // keep their captions.
  void setArrows(std::initializer_list<int> shown, std::initializer_list<int> hidden);
  void hideAllArrows();
  // Empties the stack cells and the count (the cells are not repainted).
  void clearCells();

private:
  void inform(const QString& text) { m_driver.dialogs().inform(text); }
  void refresh();

  RpnView& m_view;
  StepDriver& m_driver;
  const RpnRules& m_rules;
};

} // namespace rpn::walk
