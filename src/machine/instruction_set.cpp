#include "instruction_set.h"

namespace rpn::machine {

const Instruction* findMnemonic(QStringView mnemonic) {
  for (const Instruction& row : kInstructionSet) {
    if (mnemonicText(row).compare(mnemonic, Qt::CaseInsensitive) == 0)
      return &row;
  }
  return nullptr;
}

namespace {

// The row of every operation code that fits a byte (-1: none), so that the emulator's dispatch
// of every instruction is one look-up.
constexpr std::array<std::int8_t, 256> kRowOfCode = [] {
  std::array<std::int8_t, 256> rows{};
  rows.fill(-1);
  for (std::size_t i = 0; i < kInstructionSet.size(); ++i)
    if (kInstructionSet[i].code >= 0)
      rows[static_cast<std::size_t>(kInstructionSet[i].code)] = static_cast<std::int8_t>(i);
  return rows;
}();

} // namespace

const Instruction* findCode(std::int32_t code) {
  if (code < 0 || code >= static_cast<std::int32_t>(kRowOfCode.size()))
    return nullptr;
  const std::int8_t row = kRowOfCode[static_cast<std::size_t>(code)];
  return row < 0 ? nullptr : &kInstructionSet[static_cast<std::size_t>(row)];
}

} // namespace rpn::machine
