// The field lists of the execution screen's state, for the move history.
#pragma once

#include "execution/execution_engine.h"
#include "rpn/rpn_fields.h"

#include <tuple>

namespace rpn::execution {

template <class A, class S>
requires std::same_as<std::remove_const_t<S>, ExecutionView>
void visitFields(A& a, S& s) {
  a(baseOf<walk::RpnView>(s), s.lblName, s.txtName, s.txtNameMark);
}

template <class A, class S>
requires std::same_as<std::remove_const_t<S>, ExecutionState>
void visitFields(A& a, S& s) {
  a(s.view, s.SavedExpression, s.EndBlinkCount, s.clock);
}

// The run controls (trace mode, interval box): settings kept as they are when going back.
template <class S>
requires std::same_as<std::remove_const_t<S>, ExecutionState>
auto runControls(S& s) {
  return std::tie(s.view.Check1, s.view.Text3);
}

// The columns of a saved trace after the step number and the phase: the step message, the value
// stack from its bottom and the variables ("A=1 B=2 ...").
template <class S>
requires std::same_as<S, ExecutionState> QStringList traceHeader(const S&) {
  return {QStringLiteral("説明"), QStringLiteral("スタック"), QStringLiteral("変数")};
}
template <class S>
requires std::same_as<S, ExecutionState> QStringList traceRow(const S& s) {
  QStringList variables;
  for (std::size_t i = 0; i < s.view.lblName.size(); ++i)
    variables << s.view.lblName[i] + u'=' + s.view.txtName[i];
  return walk::traceColumns(s.view) << variables.join(u' ');
}

} // namespace rpn::execution
