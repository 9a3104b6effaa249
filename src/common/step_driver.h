// The mechanism behind auto-run, shared by every working screen: a phase number telling which
// action the next tick performs, the timer interval (0 = stopped), and the guard that holds ticks
// while one of the screen's own modal boxes is open.
//
// The phase and the interval are a plain value (StepClock) that belongs to the screen's state, so
// that a copy of the state is a snapshot of auto-run too; the driver works on the clock it is
// given and adds the box guard, which is not part of any state.
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

// Where auto-run stands: the phase the next tick performs and the interval of the timer in
// milliseconds (0: not ticking).
struct StepClock {
  std::int16_t phase = 0;
  int interval = 0;
  bool operator==(const StepClock&) const = default;
};

class StepDriver {
public:
  // A driver with a clock of its own, or one that works on a clock kept in the owner's state
  // (which must outlive the driver).
  explicit StepDriver(Dialogs& boxes) : m_guarded(*this, boxes), m_clock(&m_ownClock) {}
  StepDriver(Dialogs& boxes, StepClock& clock) : m_guarded(*this, boxes), m_clock(&clock) {}
  StepDriver(const StepDriver&) = delete;
  StepDriver& operator=(const StepDriver&) = delete;

  // The screen's boxes; ticks are held while one is open.
  Dialogs& dialogs() { return m_guarded; }

  const StepClock& clock() const { return *m_clock; }
  std::int16_t phase() const { return m_clock->phase; }
  void setPhase(std::int16_t phase) { m_clock->phase = phase; }

  // Interval of the screen's timer in milliseconds; 0 means not ticking.
  int interval() const { return m_clock->interval; }
  bool running() const { return m_clock->interval > 0; }

  // Sets the interval from the text of the screen's interval box. An interval the timer cannot
  // take is refused with a box and leaves the interval as it was; returns whether it was set.
  bool setIntervalFromText(QStringView text);
  void stop() { m_clock->interval = 0; }
  // The auto-run button of an expression screen: the interval from the interval box, then the
  // cycle from its first phase (0); false, with nothing else changed, when the interval is refused.
  bool start(QStringView intervalText) {
    if (!setIntervalFromText(intervalText))
      return false;
    setPhase(0);
    return true;
  }

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
  StepClock m_ownClock;
  StepClock* m_clock;
  int m_openBoxes = 0;
};

// Text of the box shown when the interval box asks for an interval the timer cannot take.
QString timerIntervalRangeMessage();

} // namespace rpn
