#include "step_driver.h"

#include "timer_interval.h"

namespace rpn {

QString timerIntervalRangeMessage() {
  return QStringLiteral("タイマー間隔は0～65535の範囲で指定してください");
}

bool StepDriver::setIntervalFromText(QStringView text) {
  const std::optional<int> ms = timerIntervalFromText(text);
  if (!ms) {
    m_guarded.inform(timerIntervalRangeMessage());
    return false;
  }
  m_clock->interval = *ms;
  return true;
}

void StepDriver::GuardedDialogs::inform(const QString& text) {
  const Hold hold(m_driver);
  m_inner.inform(text);
}

bool StepDriver::GuardedDialogs::confirm(const QString& text, const QString& title) {
  const Hold hold(m_driver);
  return m_inner.confirm(text, title);
}

Answer StepDriver::GuardedDialogs::ask(const QString& text, const QString& title,
                                       bool withCancel, Answer byDefault) {
  const Hold hold(m_driver);
  return m_inner.ask(text, title, withCancel, byDefault);
}

QString StepDriver::GuardedDialogs::askText(const QString& prompt) {
  const Hold hold(m_driver);
  return m_inner.askText(prompt);
}

} // namespace rpn
