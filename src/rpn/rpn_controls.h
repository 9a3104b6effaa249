// The controls of the reverse Polish walk that the execution screen and the translation screen
// both show, the widgets of RpnView: the expression box with its reset button, the symbol just
// read and its class, the step caption, the value register, the operator and its operands, the
// ten stack cells, the arrows, trace mode and the run buttons with the timer interval.
//
// Each screen places them at its own twips positions (RpnLayout) and adds its own controls from
// its own table; buildRpnControls makes the shared ones from one table filled in with the layout,
// RpnScreen connects their edits and presses to the screen's engine, and paintRpnControls paints
// them from the view.
#pragma once

#include "common/screen_kit.h"
#include "rpn/rpn_stack.h"

#include <array>
#include <span>
#include <string_view>
#include <vector>

namespace rpn::walk {

// An arrow label: where it stands and what assistive tools call it.
struct RpnArrowPlace {
  TwipsRect rect;
  std::u16string_view accessible;
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
  std::u16string_view command1Caption;
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

// Texts, stack cell colours and trace mode from the view; only as many arrows as the screen has.
void paintRpnControls(const RpnControls& controls, const RpnView& view);

// A screen of the walk on the screens' skeleton: every change of Text1, Text2, Text3 and Check1
// goes into the engine's view, each of Command1 to Command4 runs the engine's press of that name.
template <class Engine> class RpnScreen : public EngineScreen<Engine> {
public:
  // One tick of the screen's timer, painted at once. A box held for the end of a press is open
  // outside the engine's guard: the tick waits too.
  void Timer1_Timer() {
    if (this->screenDialogs().boxOpen())
      return;
    this->mutableEngine().Timer1_Timer();
    this->refresh();
  }

protected:
  using EngineScreen<Engine>::EngineScreen;

  void connectRpnControls(const RpnControls& c) {
    this->connectEdit(
        c.Text1, [](const Engine& e) { return e.view().Text1; }, &Engine::setText1);
    this->connectEdit(
        c.Text2, [](const Engine& e) { return e.view().Text2; }, &Engine::setText2);
    this->connectRunControls(
        c.Text3, [](const Engine& e) { return e.view().Text3; }, &Engine::setText3, c.Check1);
    this->connectPress(c.Command1, &Engine::Command1_Click);
    this->connectPress(c.Command2, &Engine::Command2_Click);
    this->connectPress(c.Command3, &Engine::Command3_Click);
    this->connectPress(c.Command4, &Engine::Command4_Click);
  }
};

} // namespace rpn::walk
