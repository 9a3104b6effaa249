#include "rpn_controls.h"

#include <QPalette>

namespace rpn::walk {
namespace {

QRect pixels(const TwipsRect& rect) {
  return twipsRect(rect.left, rect.top, rect.width, rect.height);
}

// Frame1 to Frame5 and what stands in them, with Label4, Label5, Text2 and lblOpe between them.
void buildFrames(QWidget* screen, const RpnLayout& layout, RpnControls& c) {
  const Qt::Alignment centred = Qt::AlignCenter;
  const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
  QGroupBox* frame1 = makeFrame(screen, QStringLiteral("Frame1"),
                                QStringLiteral("逆ポーランド記法"), pixels(layout.frame1));
  c.Text1 = makeLineEdit(frame1, QStringLiteral("Text1"), twipsRect(120, 240, 2655, 270),
                         QStringLiteral("逆ポーランド記法の式"));
  c.Command2 = makeButton(frame1, QStringLiteral("Command2"), QStringLiteral("リセット"),
                          twipsRect(2880, 240, 735, 255));

  QGroupBox* frame2 = makeFrame(screen, QStringLiteral("Frame2"), QStringLiteral("取出し結果"),
                                pixels(layout.frame2));
  const int inset = layout.frame2Inset;
  makeLabel(frame2, QStringLiteral("Label1"), QStringLiteral("文字"),
            twipsRect(inset + 360, 240, 495, 255));
  c.lblCH = makeBoxedLabel(frame2, QStringLiteral("lblCH"), twipsRect(inset + 960, 240, 375, 255),
                           QStringLiteral("読んだ文字"), left);
  makeLabel(frame2, QStringLiteral("Label3"), QStringLiteral("判別結果"),
            twipsRect(inset, 480, 855, 255));
  c.lblKind =
      makeBoxedLabel(frame2, QStringLiteral("lblKind"), twipsRect(inset + 960, 480, 615, 255),
                     QStringLiteral("判別結果の値"), left);

  c.Label4 = makeLabel(screen, QStringLiteral("Label4"), QStringLiteral("Label4"),
                       pixels(layout.label4), QStringLiteral("ステップの説明"));
  makeLabel(screen, QStringLiteral("Label5"), QStringLiteral("値"), pixels(layout.label5));
  c.Text2 = makeLineEdit(screen, QStringLiteral("Text2"), pixels(layout.text2),
                         QStringLiteral("値レジスタ"));
  c.lblOpe = makeBoxedLabel(screen, QStringLiteral("lblOpe"), pixels(layout.lblOpe),
                            QStringLiteral("演算子"), centred);

  QGroupBox* frame4 = makeFrame(screen, QStringLiteral("Frame4"), QStringLiteral("演算対象"),
                                pixels(layout.frame4));
  c.lblOpe1 = makeBoxedLabel(frame4, QStringLiteral("lblOpe1"), twipsRect(120, 240, 855, 255),
                             QStringLiteral("左の演算対象"), centred);
  c.lblOpe2 = makeBoxedLabel(frame4, QStringLiteral("lblOpe2"), twipsRect(120, 480, 855, 255),
                             QStringLiteral("右の演算対象"), centred);

  QGroupBox* frame5 = makeFrame(screen, QStringLiteral("Frame5"), QStringLiteral("スタック"),
                                pixels(layout.frame5));
  for (int i = 0; i < kStackCells; ++i) {
    const int top = 2400 - 240 * i;
    QLabel* number =
        makeLabel(frame5, indexedName(QStringLiteral("Label2"), i), QString::number(i),
                  twipsRect(120, top, 375, 255), QStringLiteral("スタック番号 %1").arg(i));
    number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    c.lblValue.at(static_cast<std::size_t>(i)) = makeBoxedLabel(
        frame5, indexedName(QStringLiteral("lblValue"), i), twipsRect(600, top, 855, 255),
        QStringLiteral("スタック %1").arg(i), centred);
  }
}

// Command1, Check1, Command3, Command4, Label6 and Text3, with their keys.
void buildRunControls(QWidget* screen, const RpnLayout& layout, RpnControls& c) {
  c.Command1 = makeButton(screen, QStringLiteral("Command1"), layout.command1Caption,
                          pixels(layout.command1));
  c.Check1 = makeCheckBox(screen, QStringLiteral("Check1"), QStringLiteral("トレースモード"),
                          pixels(layout.check1));
  c.Command3 = makeButton(screen, QStringLiteral("Command3"), QStringLiteral("自動実行開始"),
                          pixels(layout.command3));
  c.Command4 = makeButton(screen, QStringLiteral("Command4"), QStringLiteral("自動実行停止"),
                          pixels(layout.command4));
  QLabel* label6 = makeLabel(screen, QStringLiteral("Label6"), QStringLiteral("Timer Interval"),
                             pixels(layout.label6));
  label6->setWordWrap(layout.label6WordWrap);
  c.Text3 = makeLineEdit(screen, QStringLiteral("Text3"), pixels(layout.text3),
                         QStringLiteral("タイマー間隔 (ミリ秒)"));
  giveShortcut(c.Command1, QKeySequence(Qt::ALT | Qt::Key_R));
  giveShortcut(c.Check1, QKeySequence(Qt::ALT | Qt::Key_T));
  giveShortcut(c.Command3, QKeySequence(Qt::ALT | Qt::Key_A));
  giveShortcut(c.Command4, QKeySequence(Qt::ALT | Qt::Key_P));
  giveShortcut(c.Command2, QKeySequence(Qt::ALT | Qt::Key_C));
}

// Red arrows, in the shade of red that reads on the window's background.
void buildArrows(QWidget* screen, const RpnLayout& layout, RpnControls& c) {
  QPalette red = screen->palette();
  red.setColor(QPalette::WindowText,
               readableOn(markColor(Mark::Red), screen->palette().color(QPalette::Window)));
  for (std::size_t k = 0; k < layout.arrows.size(); ++k) {
    const int number = static_cast<int>(k) + 1;
    QLabel* arrow =
        makeLabel(screen, QStringLiteral("lblArrow%1").arg(number), arrowCharacter(number),
                  pixels(layout.arrows[k].rect), QString::fromUtf16(layout.arrows[k].accessible));
    arrow->setFont(arrowFont());
    arrow->setPalette(red);
    arrow->setAlignment(Qt::AlignCenter);
    arrow->setAttribute(Qt::WA_TransparentForMouseEvents);
    c.arrows.push_back(arrow);
  }
}

} // namespace

void RpnControls::raiseArrows() const {
  for (QLabel* arrow : arrows)
    arrow->raise();
}

RpnControls buildRpnControls(QWidget* screen, const RpnLayout& layout) {
  RpnControls c;
  buildFrames(screen, layout, c);
  buildRunControls(screen, layout, c);
  buildArrows(screen, layout, c);
  return c;
}

void paintRpnControls(const RpnControls& controls, const RpnView& view) {
  setTextIfChanged(controls.Text1, view.Text1);
  setTextIfChanged(controls.Text2, view.Text2);
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
