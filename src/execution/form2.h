// The execution screen "逆ポーランド記法の直接実行": paints the execution engine's state and
// forwards the user's edits, presses and timer ticks to it.
#pragma once

#include "common/screen_kit.h"
#include "execution/execution_engine.h"
#include "rpn/rpn_controls.h"

#include <QTimer>
#include <array>

namespace rpn::execution {

class Form2 final : public ScreenWindow {
  Q_OBJECT
public:
  // Boxes go to real message boxes unless a test hands its own Dialogs.
  explicit Form2(Dialogs* dialogs = nullptr, QWidget* parent = nullptr);
  ~Form2() override;

  const ExecutionEngine& engine() const { return m_engine; }
  const QTimer& timer() const { return m_timer; }
  // One tick of the screen's timer.
  void Timer1_Timer();
  // Repaints every control from the engine.
  void refresh();
  ScreenDialogs& screenDialogs() { return m_dialogs; }

protected:
  void load() override;
  void unload() override;
  void restoreRemembered(const std::optional<QString>& interval,
                         std::optional<bool> trace) override;

private:
  void build();
  // A tick of the real timer: the paint waits for the next frame while auto-run keeps going.
  void autoRunTick();

  ScreenDialogs m_dialogs;
  ExecutionEngine m_engine;
  QTimer m_timer;
  FramePaint m_framePaint{[this] { refresh(); }};

  walk::RpnControls m_rpn;
  std::array<QLabel*, kVariableCount> m_lblName{};
  std::array<QLineEdit*, kVariableCount> m_txtName{};
};

} // namespace rpn::execution
