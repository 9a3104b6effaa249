// The pseudo machine's state as one plain copyable value: 201 words of memory, 16 registers,
// the three status flags, the instruction register and the addresses the emulator works with.
// The assembler writes the program image into it, the emulator steps it, and a snapshot is a copy.
//
// Every stored value is a signed 32-bit integer; the screen shows words, registers and addresses
// as their low 16 bits in four upper-case hexadecimal digits.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace rpn::machine {

inline constexpr int kMemoryWords = 201; // addresses 0..200 (0x00..0xC8)
inline constexpr int kRegisters = 16;    // X0..XF

enum StatusFlag : int { kPlus = 0, kZero = 1, kMinus = 2 };

struct MachineState {
  std::array<std::int32_t, kMemoryWords> Memory{};
  std::array<std::int32_t, kRegisters> Register{};
  std::array<std::int16_t, 3> Status{}; // P, Z, M; each 0 or 1
  // Instruction register: operation code, register field, index-register field, address field.
  std::array<std::int32_t, 4> Ope{};
  std::int16_t EffectAddress = 0; // operand address
  std::int16_t ExecAddress = 0;   // address of the next word to fetch
  std::int16_t SvcCode = 0;       // service code of the last SVC
  std::int16_t ProgramSize = 0;   // words written by the last assembly
  // Address the instruction in the instruction register was fetched from; a machine fault names
  // it and puts the execution address back to it.
  std::int16_t InstructionAddress = 0;
  bool EndOfProgram = false; // set by SVC, cleared at the start of every execute phase

  // Sets exactly one flag from Register(r): P when positive, Z when zero, M when negative.
  // r must be a register number 0..15.
  void SetStatus(int r) {
    const std::int32_t value = Register[static_cast<std::size_t>(r)];
    Status = {static_cast<std::int16_t>(value > 0), static_cast<std::int16_t>(value == 0),
              static_cast<std::int16_t>(value < 0)};
  }

  bool operator==(const MachineState&) const = default;
};

// Whether an address names a word of the memory.
inline bool inMemory(std::int64_t address) {
  return address >= 0 && address < kMemoryWords;
}

// Two's complement narrowing, never undefined: the low 32 or 16 bits as a signed value.
inline std::int32_t wrap32(std::int64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}
inline std::int16_t wrap16(std::int64_t value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint64_t>(value)));
}

// The low 16 bits in four upper-case hexadecimal digits: 10 -> "000A", -1 -> "FFFF".
QString hex4(std::int64_t value);
// Upper-case hexadecimal of the 32-bit value, at least `digits` digits: (0xB0, 2) -> "B0".
QString hexDigits(std::int32_t value, int digits);
// The same written into an existing text, reusing its storage when it can.
void writeHex4(QString& text, std::int64_t value);
void writeHexDigits(QString& text, std::int32_t value, int digits);

} // namespace rpn::machine
