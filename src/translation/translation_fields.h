// The field lists of the translation screen's state, for the move history.
#pragma once

#include "rpn/rpn_fields.h"
#include "translation/translation_engine.h"

#include <tuple>

namespace rpn::translation {

template <class A, class S>
requires std::same_as<std::remove_const_t<S>, ObjectInstruction>
void visitFields(A& a, S& s) {
  a(s.Operation, s.Operand, s.Useless);
}

template <class A, class S>
requires std::same_as<std::remove_const_t<S>, TranslationView>
void visitFields(A& a, S& s) {
  a(baseOf<walk::RpnView>(s), s.lblName, s.lblNameMark, s.lblPtr, s.List1, s.List1Mark,
    s.Frame3Mark);
}

template <class A, class S>
requires std::same_as<std::remove_const_t<S>, TranslationState>
void visitFields(A& a, S& s) {
  a(s.view, s.ObjectBuffer, s.ObjectCount, s.VariableCount, s.WorkCounter, s.UsedFlags,
    s.SavedExpression, s.BlinkCount, s.ListingMarked, s.clock);
}

// The run controls (trace mode, interval box): settings kept as they are when going back.
template <class S>
requires std::same_as<std::remove_const_t<S>, TranslationState>
auto runControls(S& s) {
  return std::tie(s.view.Check1, s.view.Text3);
}

} // namespace rpn::translation
