#include "instruction_set.h"

namespace rpn::machine {

const Instruction* findMnemonic(QStringView mnemonic) {
  for (const Instruction& row : kInstructionSet) {
    if (mnemonicText(row).compare(mnemonic, Qt::CaseInsensitive) == 0)
      return &row;
  }
  return nullptr;
}

const Instruction* findCode(std::int32_t code) {
  if (code < 0)
    return nullptr;
  for (const Instruction& row : kInstructionSet) {
    if (row.code == code)
      return &row;
  }
  return nullptr;
}

} // namespace rpn::machine
