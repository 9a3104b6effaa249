#include "timer_interval.h"

#include "leading_number.h"
#include "rounding.h"

namespace rpn {

std::optional<int> timerIntervalFromText(QStringView text) {
  const LeadingNumber number = readLeadingNumber(text);
  if (number.overflow)
    return std::nullopt;
  const double ms = roundHalfEven(number.value);
  if (ms < 0.0 || ms > kMaxTimerInterval)
    return std::nullopt;
  return static_cast<int>(ms);
}

} // namespace rpn
