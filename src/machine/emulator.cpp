#include "emulator.h"

#include "instruction_set.h"

#include <limits>

namespace rpn::machine {
namespace {

// Result of a register operation, or the machine fault it meets.
struct Outcome {
  std::int32_t value = 0;
  const char16_t* fault = nullptr; // none when the operation succeeded
};

// 32-bit two's complement arithmetic: overflow wraps around as it does in hardware.
Outcome compute(Action action, std::int32_t r, std::int32_t operand) {
  const std::int64_t a = r;
  const std::int64_t b = operand;
  switch (action) {
  case Action::Load:
    return {operand, {}};
  case Action::Add:
    return {wrap32(a + b), {}};
  case Action::Subtract:
    return {wrap32(a - b), {}};
  case Action::Multiply:
    return {wrap32(a * b), {}};
  case Action::Divide:
    if (operand == 0)
      return {0, u"0で割ることはできません"};
    if (r == std::numeric_limits<std::int32_t>::min() && operand == -1)
      return {0, u"除算の結果が32ビットに収まりません"};
    return {r / operand, {}}; // truncates toward zero
  case Action::And:
    return {r & operand, {}};
  case Action::Or:
    return {r | operand, {}};
  case Action::Xor:
    return {r ^ operand, {}};
  case Action::Eqv:
    return {~(r ^ operand), {}};
  case Action::Imp:
    return {~r | operand, {}};
  default:
    return {r, {}};
  }
}

std::size_t index(std::int64_t i) {
  return static_cast<std::size_t>(i);
}

// The instruction changes nothing: the execution address goes back to it.
[[gnu::cold]] Happening fault(MachineState& m, const QString& what) {
  m.ExecAddress = m.InstructionAddress;
  return {Happening::Fault, what, m.InstructionAddress, 0};
}

[[gnu::cold]] Happening fetchFault(MachineState& m, std::int64_t address) {
  return fault(m, QStringLiteral("メモリ範囲外から命令を読み出そうとしました: ") + hex4(address));
}

[[gnu::cold]] Happening registerFault(MachineState& m, std::int32_t number) {
  return fault(m, QStringLiteral("レジスタ番号が範囲外です: ") + QString::number(number));
}

bool isRegister(std::int32_t number) {
  return number >= 0 && number < kRegisters;
}

Happening fetch(MachineState& m) {
  m.InstructionAddress = m.ExecAddress;
  const std::int64_t address = m.ExecAddress;
  if (!inMemory(address))
    return fetchFault(m, address);
  const std::int32_t word = m.Memory[index(address)];
  const std::int32_t code = word / 256; // truncates toward zero
  const std::int32_t rest = word % 256; // takes the sign of the word
  if (code >= kTwoWordCode && !inMemory(address + 1))
    return fetchFault(m, address + 1);
  m.Ope[0] = code;
  if (code >= kTwoWordCode) {
    m.Ope[1] = rest / 16;
    m.Ope[2] = rest % 16;
    m.Ope[3] = m.Memory[index(address + 1)];
    m.ExecAddress = wrap16(address + 2);
  } else if (code == kMovrCode) {
    m.Ope[1] = rest / 16;
    m.Ope[2] = rest % 16; // the address field keeps the previous instruction's value
    m.ExecAddress = wrap16(address + 1);
  } else {
    m.Ope[1] = 0;
    m.Ope[2] = 0;
    m.Ope[3] = rest;
    m.ExecAddress = wrap16(address + 1);
  }
  return {};
}

Happening operandAddress(MachineState& m) {
  if (m.Ope[0] >= kTwoWordCode && m.Ope[2] != 0) {
    if (!isRegister(m.Ope[2]))
      return fault(m, QStringLiteral("インデックスレジスタ番号が範囲外です: ") +
                          QString::number(m.Ope[2]));
    m.EffectAddress = wrap16(std::int64_t{m.Register[index(m.Ope[2])]} + m.Ope[3]);
  } else {
    m.EffectAddress = wrap16(m.Ope[3]);
  }
  return {};
}

Happening registerOperation(MachineState& m, const Instruction& instruction) {
  const std::int32_t r = m.Ope[1];
  if (!isRegister(r))
    return registerFault(m, r);
  std::int32_t operand = m.EffectAddress; // the immediate forms: the address itself
  if (instruction.source == Source::Memory) {
    if (!inMemory(m.EffectAddress))
      return fault(m, QStringLiteral("メモリ範囲外のアドレスです: ") + hex4(m.EffectAddress));
    operand = m.Memory[index(m.EffectAddress)];
  }
  if (instruction.action == Action::Store) {
    m.Memory[index(m.EffectAddress)] = m.Register[index(r)];
  } else {
    const Outcome outcome = compute(instruction.action, m.Register[index(r)], operand);
    if (outcome.fault)
      return fault(m, QString::fromUtf16(outcome.fault));
    m.Register[index(r)] = outcome.value;
  }
  m.SetStatus(r);
  return {};
}

bool jumps(const MachineState& m, Action action) {
  return action == Action::Jump || (action == Action::JumpIfPlus && m.Status[kPlus] == 1) ||
         (action == Action::JumpIfZero && m.Status[kZero] == 1) ||
         (action == Action::JumpIfMinus && m.Status[kMinus] == 1);
}

Happening perform(MachineState& m, const Instruction& instruction) {
  const std::int32_t operandByte = m.Ope[3];
  switch (instruction.action) {
  case Action::Jump:
  case Action::JumpIfPlus:
  case Action::JumpIfZero:
  case Action::JumpIfMinus:
    if (jumps(m, instruction.action))
      m.ExecAddress = m.EffectAddress;
    return {};
  case Action::Output:
    if (!isRegister(operandByte))
      return registerFault(m, operandByte);
    return {Happening::Output,
            QStringLiteral("* ") + QString::number(m.Register[index(operandByte)]), 0, 0};
  case Action::Input:
    if (!isRegister(operandByte))
      return registerFault(m, operandByte);
    return {Happening::Input, {}, 0, operandByte};
  case Action::Move:
    if (!isRegister(m.Ope[1]))
      return registerFault(m, m.Ope[1]);
    if (!isRegister(m.Ope[2]))
      return registerFault(m, m.Ope[2]);
    m.Register[index(m.Ope[1])] = m.Register[index(m.Ope[2])];
    m.SetStatus(m.Ope[1]);
    return {};
  case Action::Negate:
  case Action::Complement: {
    if (!isRegister(operandByte))
      return registerFault(m, operandByte);
    std::int32_t& r = m.Register[index(operandByte)];
    r = instruction.action == Action::Negate ? wrap32(-std::int64_t{r}) : ~r;
    m.SetStatus(operandByte);
    return {};
  }
  case Action::SupervisorCall:
    m.SvcCode = wrap16(operandByte);
    m.EndOfProgram = true;
    if (m.SvcCode == 0)
      return {Happening::End, {}, 0, 0};
    return {Happening::Notice,
            QStringLiteral("サポートされていないSVCです: ") + QString::number(m.SvcCode), 0, 0};
  case Action::Declare:
    return {};
  default:
    return registerOperation(m, instruction);
  }
}

Happening execute(MachineState& m) {
  m.EndOfProgram = false;
  // A code that is not in the table does nothing; the address has already moved past it.
  const Instruction* instruction = findCode(m.Ope[0]);
  return instruction ? perform(m, *instruction) : Happening{};
}

} // namespace

Happening step(MachineState& machine, Phase phase) {
  switch (phase) {
  case Phase::Fetch:
    return fetch(machine);
  case Phase::OperandAddress:
    return operandAddress(machine);
  case Phase::Execute:
    break;
  }
  return execute(machine);
}

Happening stepInstruction(MachineState& machine) {
  // Each phase's answer is returned as it stands: nothing is moved from one to the next.
  if (Happening fetched = fetch(machine); fetched.kind != Happening::Nothing)
    return fetched;
  if (Happening addressed = operandAddress(machine); addressed.kind != Happening::Nothing)
    return addressed;
  return execute(machine);
}

} // namespace rpn::machine
