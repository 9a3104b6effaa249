// The field lists of the conversion screen's state, for the move history.
#pragma once

#include "common/state_fields.h"
#include "conversion/conversion_engine.h"

#include <QStringList>
#include <tuple>

namespace rpn::conversion {

template <class A, class S>
requires std::same_as<std::remove_const_t<S>, StackSlot>
void visitFields(A& a, S& s) {
  a(s.operation, s.priority, s.kind);
}

template <class A, class S>
requires std::same_as<std::remove_const_t<S>, ConversionView>
void visitFields(A& a, S& s) {
  a(s.Text1, s.Text2, s.Text2Background, s.Text3, s.Text4, s.lblCH, s.lblKind, s.lblMode, s.Label5,
    s.lblArrow, s.stack, s.stackMarks, s.Check1);
}

template <class A, class S>
requires std::same_as<std::remove_const_t<S>, ConversionVariables>
void visitFields(A& a, S& s) {
  a(s.RunFinished, s.SavedExpression, s.EndBlinkCount, s.PendingOperator, s.PendingPriority,
    s.PendingKind, s.StackCount);
}

template <class A, class S>
requires std::same_as<std::remove_const_t<S>, ConversionState>
void visitFields(A& a, S& s) {
  a(s.view, s.variables, s.clock);
}

// The run controls: the trace-mode box and the interval box. They are the user's settings, not
// moves: going back and forth keeps them as they are.
template <class S>
requires std::same_as<std::remove_const_t<S>, ConversionState>
auto runControls(S& s) {
  return std::tie(s.view.Check1, s.view.Text3);
}

// The columns of a saved trace after the step number and the phase: the step message, the input
// left, the output and the operator stack from its bottom.
template <class S>
requires std::same_as<S, ConversionState> QStringList traceHeader(const S&) {
  return {QStringLiteral("説明"), QStringLiteral("入力の残り"), QStringLiteral("出力"),
          QStringLiteral("スタック")};
}
template <class S>
requires std::same_as<S, ConversionState> QStringList traceRow(const S& s) {
  QStringList stack;
  for (std::int16_t slot = 0; slot < s.variables.StackCount && slot < kStackSlots; ++slot)
    stack << s.view.stack[static_cast<std::size_t>(slot)].operation;
  return {s.view.Label5, s.view.Text1, s.view.Text2, stack.join(u' ')};
}

} // namespace rpn::conversion
