// The translation screen FrmCompile "逆ポーランド記法の翻訳": paints the translation engine's
// state and forwards the user's edits, presses and timer ticks to it. "擬似アセンブラ" hands the
// assembler source to whatever the shell connected with setHandOff (the assembler screen).
#pragma once

#include "common/screen_kit.h"
#include "rpn/rpn_controls.h"
#include "translation/translation_engine.h"

#include <QListWidget>
#include <QTimer>
#include <array>
#include <functional>

namespace rpn::translation {

class FrmCompile final : public ScreenWindow {
  Q_OBJECT
public:
  using HandOff = std::function<void(const QString& source)>;

  // Boxes go to real message boxes unless a test hands its own Dialogs.
  explicit FrmCompile(Dialogs* dialogs = nullptr, QWidget* parent = nullptr);
  ~FrmCompile() override;

  // Receives the text of BuildAssemblerSource when "擬似アセンブラ" is pressed: the shell puts it
  // into the assembler screen's source box and shows that screen. This screen keeps its state.
  void setHandOff(HandOff handOff) { m_handOff = std::move(handOff); }

  const TranslationEngine& engine() const { return m_engine; }
  const QTimer& timer() const { return m_timer; }
  // One tick of the screen's timer.
  void Timer1_Timer();
  void Command6_Click();
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
  void showListing(const QStringList& lines);

  ScreenDialogs m_dialogs;
  TranslationEngine m_engine;
  QTimer m_timer;
  FramePaint m_framePaint{[this] { refresh(); }};
  HandOff m_handOff;

  walk::RpnControls m_rpn;
  QLabel* m_lblPtr = nullptr;
  QGroupBox* m_frame3 = nullptr;
  QListWidget* m_list1 = nullptr;
  QStringList m_shownList; // what m_list1 was last given
  std::array<QLabel*, kNameLabels> m_lblName{};
};

} // namespace rpn::translation
