// The auto-run interval typed into a screen's interval box: read by the leading-number rule and
// rounded half to even. The timer takes 0..65535 ms; 0 means stopped.
#pragma once

#include <QStringView>
#include <optional>

namespace rpn {

inline constexpr int kMaxTimerInterval = 65535;

// The interval in milliseconds, or nothing when the text asks for one the timer cannot take.
std::optional<int> timerIntervalFromText(QStringView text);

} // namespace rpn
