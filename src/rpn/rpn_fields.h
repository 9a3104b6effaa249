// The field list of the reverse Polish walk's view, shared by the execution and translation
// screens' states.
#pragma once

#include "common/state_fields.h"
#include "rpn/rpn_stack.h"

namespace rpn::walk {

template <class A, class S>
requires std::same_as<std::remove_const_t<S>, RpnView>
void visitFields(A& a, S& s) {
  a(s.Text1, s.lblCH, s.lblKind, s.Label4, s.Text2, s.lblOpe, s.lblOpe1, s.lblOpe2, s.lblArrow,
    s.lblValue, s.lblValueMark, s.StackCount, s.Check1, s.Text3);
}

} // namespace rpn::walk
