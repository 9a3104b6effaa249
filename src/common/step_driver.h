// The mechanism behind auto-run, shared by every working screen: a phase number telling which
// action the next tick performs, the timer interval (0 = stopped), and the guard that holds ticks
// while one of the screen's own modal boxes is open.
//
// The engine owns a StepDriver and sends every box of its screen through dialogs(); the screen
// owns the real timer, follows interval() and calls the engine's tick handler, which runs its
// phase action through tick(). A box opened while a tick is being acted on (or by a button press)
// therefore holds every further tick until it is closed, so the phase never advances underneath
// an open box.
#pragma once

#include "dialogs.h"

#include <QStringView>
#include <cstdint>

namespace rpn {

class StepDriver {
public:
  explicit StepDriver(Dialogs& boxes) : m_guarded(*this, boxes) {}
  StepDriver(const StepDriver&) = delete;
  StepDriver& operator=(const StepDriver&) = delete;

  // The screen's boxes; ticks are held while one is open.
  Dialogs& dialogs() { return m_guarded; }

  std::int16_t phase() const { return m_phase; }
  void setPhase(std::int16_t phase) { m_phase = phase; }

  // Interval of the screen's timer in milliseconds; 0 means not ticking.
  int interval() const { return m_interval; }
  bool running() const { return m_interval > 0; }

  // Sets the interval from the text of the screen's interval box. An interval the timer cannot
  // take is refused with a box and leaves the interval as it was; returns whether it was set.
  bool setIntervalFromText(QStringView text);
  void stop() { m_interval = 0; }

  bool boxOpen() const { return m_openBoxes > 0; }

  // Performs one tick's action unless a box of this screen is open.
  template <class Action> void tick(Action&& action) {
    if (!boxOpen())
      action();
  }

private:
  class GuardedDialogs final : public Dialogs {
  public:
    GuardedDialogs(StepDriver& driver, Dialogs& inner) : m_driver(driver), m_inner(inner) {}
    void inform(const QString& text) override;
    bool confirm(const QString& text, const QString& title) override;
    Answer ask(const QString& text, const QString& title, bool withCancel,
               Answer byDefault) override;
    QString askText(const QString& prompt) override;

  private:
    struct Hold {
      explicit Hold(StepDriver& d) : driver(d) { ++driver.m_openBoxes; }
      ~Hold() { --driver.m_openBoxes; }
      Hold(const Hold&) = delete;
      Hold& operator=(const Hold&) = delete;
      StepDriver& driver;
    };
    StepDriver& m_driver;
    Dialogs& m_inner;
  };

  GuardedDialogs m_guarded;
  std::int16_t m_phase = 0;
  int m_interval = 0;
  int m_openBoxes = 0;
};

// Text of the box shown when the interval box asks for an interval the timer cannot take.
QString timerIntervalRangeMessage();

} // namespace rpn
