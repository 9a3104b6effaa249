// The controls of the reverse Polish walk that the execution screen and the translation screen
// both show, the widgets of RpnView: the expression box with its reset button, the symbol just
// read and its class, the step caption, the value register, the operator and its operands, the
// ten stack cells, the arrows, trace mode and the run buttons with the timer interval.
//
// Each screen places them at its own twips positions (RpnLayout) and adds its own controls;
// buildRpnControls creates them the same way on both, connectRpnControls forwards their edits
// and presses to the screen's engine, and paintRpnControls paints them from the view.
#pragma once

#include "common/screen_kit.h"
#include "rpn/rpn_stack.h"

#include <array>
#include <span>
#include <vector>

namespace rpn::walk {

// A rectangle in twips, the unit the screens are laid out in.
struct TwipsRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// An arrow label: where it stands and what assistive tools call it.
struct RpnArrowPlace {
  TwipsRect rect;
  const char16_t* accessible = nullptr;
};

// Where a screen puts the shared controls; what lies inside Frame1, Frame4 and Frame5 stands at
// the same place in the frame on every screen.
struct RpnLayout {
  TwipsRect frame1;  // Text1 and Command2
  TwipsRect frame2;  // Label1, lblCH, Label3 and lblKind
  int frame2Inset{}; // Label3 starts this far right of Frame2's edge; the others follow
  TwipsRect label4;
  TwipsRect label5;
  TwipsRect text2;
  TwipsRect lblOpe;
  TwipsRect frame4; // lblOpe1 and lblOpe2
  TwipsRect frame5; // Label2(i) and lblValue(i)
  QString command1Caption;
  TwipsRect command1;
  TwipsRect check1;
  TwipsRect command3;
  TwipsRect command4;
  TwipsRect label6;
  bool label6WordWrap = false;
  TwipsRect text3;
  std::span<const RpnArrowPlace> arrows; // lblArrow1 onwards
};

// The shared controls a screen repaints or connects.
struct RpnControls {
  QLineEdit* Text1 = nullptr;
  QPushButton* Command2 = nullptr;
  QLabel* lblCH = nullptr;
  QLabel* lblKind = nullptr;
  QLabel* Label4 = nullptr;
  QLineEdit* Text2 = nullptr;
  QLabel* lblOpe = nullptr;
  QLabel* lblOpe1 = nullptr;
  QLabel* lblOpe2 = nullptr;
  std::array<QLabel*, kStackCells> lblValue{};
  QPushButton* Command1 = nullptr;
  QCheckBox* Check1 = nullptr;
  QPushButton* Command3 = nullptr;
  QPushButton* Command4 = nullptr;
  QLineEdit* Text3 = nullptr;
  std::vector<QLabel*> arrows; // lblArrow1 onwards

  // The arrows lie over the frames they cross: the screen raises them once all its controls
  // exist.
  void raiseArrows() const;
};

// Creates the shared controls on screen, in the order Frame1, Frame2, Label4, Label5, Text2,
// lblOpe, Frame4, Frame5, Command1, Check1, Command3, Command4, Label6, Text3, the arrows.
RpnControls buildRpnControls(QWidget* screen, const RpnLayout& layout);

// Every change of Text1, Text2, Text3 and Check1 goes into the engine's view; each of Command1 to
// Command4 runs the engine's move of that name and repaints the screen.
template <class Screen, class Engine>
void connectRpnControls(const RpnControls& controls, Screen* screen, Engine& engine) {
  rpn::takeEdits(
      controls.Text1, screen, [&engine] { return engine.view().Text1; },
      [&engine](const QString& text) { engine.setText1(text); });
  rpn::takeEdits(
      controls.Text2, screen, [&engine] { return engine.view().Text2; },
      [&engine](const QString& text) { engine.setText2(text); });
  rpn::takeEdits(
      controls.Text3, screen, [&engine] { return engine.view().Text3; },
      [&engine](const QString& text) { engine.setText3(text); });
  QObject::connect(controls.Check1, &QCheckBox::toggled, screen,
                   [&engine](bool on) { engine.setCheck1(on); });
  rpn::connectButton(controls.Command1, screen, engine, &Engine::Command1_Click);
  rpn::connectButton(controls.Command2, screen, engine, &Engine::Command2_Click);
  rpn::connectButton(controls.Command3, screen, engine, &Engine::Command3_Click);
  rpn::connectButton(controls.Command4, screen, engine, &Engine::Command4_Click);
}

// Texts, stack cell colours and trace mode from the view; only as many arrows as the screen has.
// Text3 shows the screen's own interval text: the screen paints it.
void paintRpnControls(const RpnControls& controls, const RpnView& view);

} // namespace rpn::walk
