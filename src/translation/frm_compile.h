// The translation screen FrmCompile "逆ポーランド記法の翻訳": paints the translation engine's
// state and forwards the user's edits, presses and timer ticks to it. "擬似アセンブラ" hands the
// assembler source to whatever the shell connected with setHandOff (the assembler screen).
#pragma once

#include "rpn/rpn_controls.h"
#include "translation/translation_engine.h"
#include "translation/translation_fields.h"

#include <QListWidget>
#include <array>
#include <functional>

namespace rpn::translation {

class FrmCompile final : public walk::RpnScreen<TranslationEngine> {
  Q_OBJECT
public:
  using HandOff = std::function<void(const QString& source)>;

  // Boxes go to real message boxes unless a test hands its own Dialogs.
  explicit FrmCompile(Dialogs* dialogs = nullptr, QWidget* parent = nullptr);
  ~FrmCompile() override;

  // Receives the text of BuildAssemblerSource when "擬似アセンブラ" is pressed: the shell puts it
  // into the assembler screen's source box and shows that screen. This screen keeps its state.
  void setHandOff(HandOff handOff) { m_handOff = std::move(handOff); }
  void Command6_Click();

private:
  void paint() override;
  void showListing(const QStringList& lines);

  HandOff m_handOff;
  walk::RpnControls m_rpn;
  QLabel* m_lblPtr = nullptr;
  QGroupBox* m_frame3 = nullptr;
  QListWidget* m_list1 = nullptr;
  QStringList m_shownList; // what m_list1 was last given
  std::array<QLabel*, kNameLabels> m_lblName{};
};

} // namespace rpn::translation
