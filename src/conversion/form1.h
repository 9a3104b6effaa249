// The conversion screen "ポーランド記法変換": paints the conversion engine's state and forwards
// the user's edits, presses and timer ticks to it.
#pragma once

#include "common/screen_kit.h"
#include "conversion/conversion_engine.h"

#include <QPlainTextEdit>
#include <QTimer>
#include <array>

namespace rpn::conversion {

class Form1 final : public ScreenWindow {
  Q_OBJECT
public:
  // Boxes go to real message boxes unless a test hands its own Dialogs.
  explicit Form1(Dialogs* dialogs = nullptr, QWidget* parent = nullptr);
  ~Form1() override;

  // Appends a text to the output box: the only way into the output.
  void Post(const QString& text);

  const ConversionEngine& engine() const { return m_engine; }
  const QTimer& timer() const { return m_timer; }
  // Repaints every control from the engine.
  void refresh();

protected:
  void load() override;
  void unload() override;
  void restoreRemembered(const std::optional<QString>& interval,
                         std::optional<bool> trace) override;

private:
  void build();

  ScreenDialogs m_dialogs;
  ConversionEngine m_engine;
  QTimer m_timer;

  QLineEdit* m_text1 = nullptr;
  QLineEdit* m_text2 = nullptr;
  QLineEdit* m_text3 = nullptr;
  QPlainTextEdit* m_text4 = nullptr;
  QLabel* m_lblCH = nullptr;
  QLabel* m_lblKind = nullptr;
  QLabel* m_lblMode = nullptr;
  QLabel* m_label5 = nullptr;
  QCheckBox* m_check1 = nullptr;
  std::array<QLabel*, 4> m_arrows{};
  struct Row {
    QLabel* operation = nullptr;
    QLabel* priority = nullptr;
    QLabel* kind = nullptr;
  };
  std::array<Row, kStackSlots> m_rows{};
};

} // namespace rpn::conversion
