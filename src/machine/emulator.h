// The pseudo machine's processor, without any screen: it steps a MachineState by one phase or by
// one whole instruction and says what happened. An instruction runs in three phases: fetch and
// address count, operand address, execute.
//
// A machine fault (a memory operand or a fetch outside 0..200, division by zero, the most
// negative value divided by -1, a register or index field outside 0..15) changes nothing but the
// execution address, which goes back to the instruction's own address. IN asks for a number: the
// step returns an input request and the caller writes the number into the register it names.
#pragma once

#include "machine_state.h"

#include <QString>
#include <cstdint>

namespace rpn::machine {

// The three phases of an instruction, numbered as the auto-run phases that perform them.
enum class Phase : std::int16_t { Fetch = 2, OperandAddress = 3, Execute = 4 };

struct Happening {
  enum Kind : std::uint8_t {
    Nothing,
    Output, // text: what OUT writes to the output box
    Input,  // the register that receives the number typed
    Notice, // text: a box that does not stop the program (an SVC the machine does not support)
    Fault,  // text and address: the fault and the instruction's address
    End,    // SVC 0
  };
  Kind kind = Nothing;
  QString text;
  std::int16_t address = 0;
  int inputRegister = 0;
  bool operator==(const Happening&) const = default;
};

Happening step(MachineState& machine, Phase phase);
// The three phases one after the other; stops at the first that does not give Nothing (an
// instruction's Output, Input, Notice or End comes from its execute phase).
Happening stepInstruction(MachineState& machine);

} // namespace rpn::machine
