// The conversion screen "ポーランド記法変換": paints the conversion engine's state and forwards
// the user's edits, presses and timer ticks to it.
#pragma once

#include "common/screen_kit.h"
#include "conversion/conversion_engine.h"
#include "conversion/conversion_fields.h"

#include <array>

namespace rpn::conversion {

class Form1 final : public EngineScreen<ConversionEngine> {
  Q_OBJECT
public:
  // Boxes go to real message boxes unless a test hands its own Dialogs.
  explicit Form1(Dialogs* dialogs = nullptr, QWidget* parent = nullptr);
  ~Form1() override;

  // Appends a text to the output box: the only way into the output.
  void Post(const QString& text);

private:
  void paint() override;

  QLineEdit* m_text1;
  QLineEdit* m_text2;
  QLineEdit* m_text3;
  QPlainTextEdit* m_text4;
  QLabel* m_lblCH;
  QLabel* m_lblKind;
  QLabel* m_lblMode;
  QLabel* m_label5;
  QCheckBox* m_check1;
  std::array<QLabel*, 4> m_arrows{};
  // Per stack slot: its operator, priority and kind cells.
  std::array<std::array<QLabel*, 3>, kStackSlots> m_rows{};
};

} // namespace rpn::conversion
