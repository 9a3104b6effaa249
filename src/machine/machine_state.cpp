#include "machine_state.h"

namespace rpn::machine {

void MachineState::SetStatus(int r) {
  const std::int32_t value = Register[static_cast<std::size_t>(r)];
  Status = {};
  if (value > 0)
    Status[kPlus] = 1;
  else if (value == 0)
    Status[kZero] = 1;
  else
    Status[kMinus] = 1;
}

QString hex4(std::int64_t value) {
  return QStringLiteral("%1")
      .arg(static_cast<std::uint16_t>(static_cast<std::uint64_t>(value)), 4, 16, QLatin1Char('0'))
      .toUpper();
}

QString hexDigits(std::int32_t value, int digits) {
  return QStringLiteral("%1")
      .arg(static_cast<std::uint32_t>(value), digits, 16, QLatin1Char('0'))
      .toUpper();
}

} // namespace rpn::machine
