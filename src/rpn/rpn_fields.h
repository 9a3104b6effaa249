// The field list of the reverse Polish walk's view, shared by the execution and translation
// screens' states.
#pragma once

#include "common/state_fields.h"
#include "rpn/rpn_stack.h"

#include <QStringList>

namespace rpn::walk {

template <class A, class S>
requires std::same_as<std::remove_const_t<S>, RpnView>
void visitFields(A& a, S& s) {
  a(s.Text1, s.lblCH, s.lblKind, s.Label4, s.Text2, s.lblOpe, s.lblOpe1, s.lblOpe2, s.lblArrow,
    s.lblValue, s.lblValueMark, s.StackCount, s.Check1, s.Text3);
}

// The step message and the value stack from its bottom, as a saved trace shows them.
inline QStringList traceColumns(const RpnView& view) {
  QStringList stack;
  for (std::int16_t cell = 0; cell < view.StackCount && cell < kStackCells; ++cell)
    stack << view.lblValue[static_cast<std::size_t>(cell)];
  return {view.Label4, stack.join(u' ')};
}

} // namespace rpn::walk
