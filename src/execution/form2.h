// The execution screen "逆ポーランド記法の直接実行": paints the execution engine's state and
// forwards the user's edits, presses and timer ticks to it.
#pragma once

#include "execution/execution_engine.h"
#include "execution/execution_fields.h"
#include "rpn/rpn_controls.h"

#include <array>

namespace rpn::execution {

class Form2 final : public walk::RpnScreen<ExecutionEngine> {
  Q_OBJECT
public:
  // Boxes go to real message boxes unless a test hands its own Dialogs.
  explicit Form2(Dialogs* dialogs = nullptr, QWidget* parent = nullptr);
  ~Form2() override;

private:
  void paint() override;

  walk::RpnControls m_rpn;
  std::array<QLabel*, kVariableCount> m_lblName{};
  std::array<QLineEdit*, kVariableCount> m_txtName{};
};

} // namespace rpn::execution
