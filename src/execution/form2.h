// The execution screen "逆ポーランド記法の直接実行": paints the execution engine's state and
// forwards the user's edits, presses and timer ticks to it.
#pragma once

#include "common/screen_kit.h"
#include "execution/execution_engine.h"

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

protected:
  void load() override;
  void unload() override;

private:
  void build();
  template <class Handler> void connectButton(QPushButton* button, Handler handler);

  ScreenDialogs m_dialogs;
  ExecutionEngine m_engine;
  QTimer m_timer;

  QLineEdit* m_text1 = nullptr;
  QLineEdit* m_text2 = nullptr;
  QLineEdit* m_text3 = nullptr;
  QLabel* m_lblCH = nullptr;
  QLabel* m_lblKind = nullptr;
  QLabel* m_label4 = nullptr;
  QLabel* m_lblOpe = nullptr;
  QLabel* m_lblOpe1 = nullptr;
  QLabel* m_lblOpe2 = nullptr;
  QCheckBox* m_check1 = nullptr;
  std::array<QLabel*, kArrowCount> m_arrows{};
  std::array<QLabel*, kVariableCount> m_lblName{};
  std::array<QLineEdit*, kVariableCount> m_txtName{};
  std::array<QLabel*, kStackCells> m_lblValue{};
};

} // namespace rpn::execution
