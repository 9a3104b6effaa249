#include "instruction_set.h"

namespace rpn::machine {

const Instruction* findMnemonic(QStringView mnemonic) {
  for (const Instruction& row : kInstructionSet) {
    if (mnemonicText(row).compare(mnemonic, Qt::CaseInsensitive) == 0)
      return &row;
  }
  return nullptr;
}

} // namespace rpn::machine
