// The field lists of the assembler screen's state, for the move history.
#pragma once

#include "common/state_fields.h"
#include "machine/assembler.h"
#include "machine/machine_engine.h"
#include "machine/machine_state.h"

#include <QStringList>
#include <tuple>

namespace rpn::machine {

template <class A, class S>
requires std::same_as<std::remove_const_t<S>, MachineState>
void visitFields(A& a, S& s) {
  a(s.Memory, s.Register, s.Status, s.Ope, s.EffectAddress, s.ExecAddress, s.SvcCode, s.ProgramSize,
    s.InstructionAddress, s.EndOfProgram);
}

template <class A, class S>
requires std::same_as<std::remove_const_t<S>, LabelEntry>
void visitFields(A& a, S& s) {
  a(s.Name, s.Value);
}

template <class A, class S>
requires std::same_as<std::remove_const_t<S>, LineEntry>
void visitFields(A& a, S& s) {
  a(s.Address, s.OpCode, s.LabelRef, s.Operand1, s.Operand2, s.Operand3, s.Kind, s.Source,
    s.SourceLine, s.Word1, s.Word2, s.Size);
}

template <class A, class S>
requires std::same_as<std::remove_const_t<S>, AssemblyTables>
void visitFields(A& a, S& s) {
  a(s.Labels, s.Lines, s.LocationCounter);
}

template <class A, class S>
requires std::same_as<std::remove_const_t<S>, AssemblerView>
void visitFields(A& a, S& s) {
  a(s.Text1, s.Text2, s.Text2SelStart, s.Text2SelLength, s.Text3, s.txtExecAddress, s.txtOpe,
    s.txtOpeMark, s.txtEffectAddress, s.txtEffectAddressMark, s.txtRegister, s.txtRegisterMarks,
    s.txtStatus, s.lblCode, s.lblCodeMarks, s.txtTimer, s.Check1, s.List1Index);
}

template <class A, class S>
requires std::same_as<std::remove_const_t<S>, MachineControls>
void visitFields(A& a, S& s) {
  a(s.view, s.clock, s.keptText1, s.runningToEnd, s.runExecuted, s.leavingBreakpoint);
}

template <class A, class S>
requires std::same_as<std::remove_const_t<S>, MachineScreenState>
void visitFields(A& a, S& s) {
  a(baseOf<MachineControls>(s), s.machine, s.tables, s.storedBeyondImage, s.complaintEntry,
    s.painting, s.breakpoints, s.listingEdited);
}

// The run controls (trace mode, interval box) and the breakpoints: settings kept as they are when
// going back.
template <class S>
requires std::same_as<std::remove_const_t<S>, MachineScreenState>
auto runControls(S& s) {
  return std::tie(s.view.Check1, s.view.txtTimer, s.breakpoints);
}

// The columns of a saved trace after the step number and the phase: the execution address, the
// instruction (its listing line), the registers X0..XF, the flags and the last line of output.
template <class S>
requires std::same_as<S, MachineScreenState> QStringList traceHeader(const S&) {
  return {QStringLiteral("実行アドレス"), QStringLiteral("命令"), QStringLiteral("レジスタ"),
          QStringLiteral("フラグ"), QStringLiteral("出力")};
}
template <class S>
requires std::same_as<S, MachineScreenState> QStringList traceRow(const S& s) {
  const AssemblerView& view = s.view;
  QStringList registers;
  for (const std::int32_t value : s.machine.Register)
    registers << hex4(value);
  const auto flag = [&s](const char16_t* name, int k) {
    return QString::fromUtf16(name) + u'=' +
           QString::number(s.machine.Status[static_cast<std::size_t>(k)]);
  };
  const QString instruction = view.Text2SelStart >= 0 && view.Text2SelStart <= view.Text2.size()
                                  ? view.Text2.mid(view.Text2SelStart, view.Text2SelLength)
                                  : QString();
  const qsizetype lastBreak = view.Text3.lastIndexOf(u'\n');
  return {hex4(s.machine.ExecAddress), instruction.trimmed(), registers.join(u' '),
          flag(u"P", kPlus) + u' ' + flag(u"Z", kZero) + u' ' + flag(u"M", kMinus),
          view.Text3.mid(lastBreak + 1).trimmed()};
}

} // namespace rpn::machine
