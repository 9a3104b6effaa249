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

} // namespace rpn::execution
