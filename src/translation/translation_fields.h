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
  a(s.view, s.ObjectBuffer, s.VariableCount, s.WorkCounter, s.UsedFlags, s.SavedExpression,
    s.BlinkCount, s.ListingMarked, s.clock);
}

// The run controls (trace mode, interval box): settings kept as they are when going back.
template <class S>
requires std::same_as<std::remove_const_t<S>, TranslationState>
auto runControls(S& s) {
  return std::tie(s.view.Check1, s.view.Text3);
}

// The columns of a saved trace after the step number and the phase: the step message, the value
// stack from its bottom, the listing's length and the variable table.
template <class S>
requires std::same_as<S, TranslationState> QStringList traceHeader(const S&) {
  return {QStringLiteral("説明"), QStringLiteral("スタック"), QStringLiteral("リストの行数"),
          QStringLiteral("変数名テーブル")};
}
template <class S>
requires std::same_as<S, TranslationState> QStringList traceRow(const S& s) {
  QStringList table;
  for (const QString& name : s.view.lblName)
    if (!name.isEmpty())
      table << name;
  return walk::traceColumns(s.view) << QString::number(s.view.List1.size()) << table.join(u' ');
}

} // namespace rpn::translation
