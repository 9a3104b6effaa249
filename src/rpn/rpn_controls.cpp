#include "rpn_controls.h"

#include <QPalette>

namespace rpn::walk {
namespace {

using K = ControlKind;

// The names of lblArrow1 .. lblArrow8, for the rows of the arrows.
constexpr std::array<std::u16string_view, kArrowCount> kArrowNames = {
    u"lblArrow1", u"lblArrow2", u"lblArrow3", u"lblArrow4",
    u"lblArrow5", u"lblArrow6", u"lblArrow7", u"lblArrow8"};

// The stack cells from the bottom (cell 0) upwards.
constexpr int kCellTop = 2400;
constexpr int kCellStep = -240;

// Red arrows, in the shade of red that reads on the window's background; they let the mouse
// through to what lies under them.
void paintArrowsRed(QWidget* screen, const std::vector<QLabel*>& arrows) {
  QPalette red = screen->palette();
  red.setColor(QPalette::WindowText,
               readableOn(markColor(Mark::Red), screen->palette().color(QPalette::Window)));
  for (QLabel* arrow : arrows) {
    arrow->setPalette(red);
    arrow->setAttribute(Qt::WA_TransparentForMouseEvents);
  }
}

RpnControls found(const Controls& c, std::size_t arrows) {
  RpnControls r{c.get<QLineEdit>(u"Text1"),      c.get<QPushButton>(u"Command2"),
                c.get<QLabel>(u"lblCH"),         c.get<QLabel>(u"lblKind"),
                c.get<QLabel>(u"Label4"),        c.get<QLineEdit>(u"Text2"),
                c.get<QLabel>(u"lblOpe"),        c.get<QLabel>(u"lblOpe1"),
                c.get<QLabel>(u"lblOpe2"),       {},
                c.get<QPushButton>(u"Command1"), c.get<QCheckBox>(u"Check1"),
                c.get<QPushButton>(u"Command3"), c.get<QPushButton>(u"Command4"),
                c.get<QLineEdit>(u"Text3"),      {}};
  for (int i = 0; i < kStackCells; ++i) {
    r.lblValue.at(static_cast<std::size_t>(i)) = c.at<QLabel>(u"lblValue", i);
    c.at<QLabel>(u"Label2", i)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  for (std::size_t k = 0; k < arrows; ++k)
    r.arrows.push_back(c.get<QLabel>(kArrowNames.at(k)));
  return r;
}

} // namespace

void RpnControls::raiseArrows() const {
  for (QLabel* arrow : arrows)
    arrow->raise();
}

RpnControls buildRpnControls(QWidget* screen, const RpnLayout& l) {
  const int in = l.frame2Inset;
  std::vector<ControlSpec> rows = {
      {u"Frame1", K::Frame, u"逆ポーランド記法", l.frame1},
      {u"Text1", K::LineEdit, {}, {120, 240, 2655, 270}, u"逆ポーランド記法の式", u"Frame1"},
      {u"Command2", K::Button, u"リセット", {2880, 240, 735, 255}, {}, u"Frame1"},
      {u"Frame2", K::Frame, u"取出し結果", l.frame2},
      {u"Label1", K::Label, u"文字", {in + 360, 240, 495, 255}, {}, u"Frame2"},
      {u"lblCH", K::BoxedLabel, {}, {in + 960, 240, 375, 255}, u"読んだ文字", u"Frame2"},
      {u"Label3", K::Label, u"判別結果", {in, 480, 855, 255}, {}, u"Frame2"},
      {u"lblKind", K::BoxedLabel, {}, {in + 960, 480, 615, 255}, u"判別結果の値", u"Frame2"},
      {u"Label4", K::Label, {}, l.label4, u"ステップの説明"},
      {u"Label5", K::Label, u"値", l.label5},
      {u"Text2", K::LineEdit, {}, l.text2, u"値レジスタ"},
      {u"lblOpe", K::Cell, {}, l.lblOpe, u"演算子"},
      {u"Frame4", K::Frame, u"演算対象", l.frame4},
      {u"lblOpe1", K::Cell, {}, {120, 240, 855, 255}, u"左の演算対象", u"Frame4"},
      {u"lblOpe2", K::Cell, {}, {120, 480, 855, 255}, u"右の演算対象", u"Frame4"},
      {u"Frame5", K::Frame, u"スタック", l.frame5},
      {u"Label2",
       K::Label,
       u"%1",
       {120, kCellTop, 375, 255},
       u"スタック番号 %1",
       u"Frame5",
       kStackCells,
       kCellStep},
      {u"lblValue",
       K::Cell,
       {},
       {600, kCellTop, 855, 255},
       u"スタック %1",
       u"Frame5",
       kStackCells,
       kCellStep},
      {u"Command1", K::Button, l.command1Caption, l.command1},
      {u"Check1", K::CheckBox, u"トレースモード", l.check1},
      {u"Command3", K::Button, u"自動実行開始", l.command3},
      {u"Command4", K::Button, u"自動実行停止", l.command4},
      {u"Label6", l.label6WordWrap ? K::WrappedLabel : K::Label, u"Timer Interval", l.label6},
      {u"Text3", K::LineEdit, {}, l.text3, u"タイマー間隔 (ミリ秒)"},
  };
  for (std::size_t k = 0; k < l.arrows.size(); ++k)
    rows.push_back({kArrowNames.at(k), K::Arrow, {}, l.arrows[k].rect, l.arrows[k].accessible});
  const RpnControls c = found(buildControls(screen, rows), l.arrows.size());
  paintArrowsRed(screen, c.arrows);
  giveShortcut(c.Command1, QKeySequence(Qt::ALT | Qt::Key_R));
  giveShortcut(c.Check1, QKeySequence(Qt::ALT | Qt::Key_T));
  giveShortcut(c.Command3, QKeySequence(Qt::ALT | Qt::Key_A));
  giveShortcut(c.Command4, QKeySequence(Qt::ALT | Qt::Key_P));
  giveShortcut(c.Command2, QKeySequence(Qt::ALT | Qt::Key_C));
  return c;
}

void paintRpnControls(const RpnControls& controls, const RpnView& view) {
  setTextIfChanged(controls.Text1, view.Text1);
  setTextIfChanged(controls.Text2, view.Text2);
  setTextIfChanged(controls.Text3, view.Text3);
  setTextIfChanged(controls.lblCH, view.lblCH);
  setTextIfChanged(controls.lblKind, view.lblKind);
  setTextIfChanged(controls.Label4, view.Label4);
  setTextIfChanged(controls.lblOpe, view.lblOpe);
  setTextIfChanged(controls.lblOpe1, view.lblOpe1);
  setTextIfChanged(controls.lblOpe2, view.lblOpe2);
  for (std::size_t i = 0; i < controls.arrows.size(); ++i)
    setTextIfChanged(controls.arrows[i], view.lblArrow.at(i));
  for (std::size_t i = 0; i < controls.lblValue.size(); ++i) {
    setTextIfChanged(controls.lblValue[i], view.lblValue[i]);
    paintMark(controls.lblValue[i], view.lblValueMark[i], MarkSense::Stack);
  }
  if (controls.Check1->isChecked() != view.Check1)
    controls.Check1->setChecked(view.Check1);
}

} // namespace rpn::walk
