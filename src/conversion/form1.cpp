#include "form1.h"

namespace rpn::conversion {
namespace {

using K = ControlKind;

// Slot 0 at the bottom of the stack frame, slot 9 at its top.
constexpr int kSlotTop = 240 + 9 * 240;
constexpr int kSlotStep = -240;

// clang-format off
constexpr ControlSpec kControls[] = {
    {u"Frame3", K::Frame, u"出力文", {240, 240, 3015, 615}},
    {u"Text2", K::ReadOnlyEdit, {}, {120, 240, 2655, 270}, u"出力文の式", u"Frame3"},
    {u"Frame2", K::Frame, u"語彙解析結果", {3600, 240, 1815, 855}},
    {u"Label1", K::Label, u"文字", {360, 240, 495, 255}, {}, u"Frame2"},
    {u"lblCH", K::BoxedLabel, {}, {960, 240, 375, 255}, u"読んだ文字", u"Frame2"},
    {u"Label3", K::Label, u"判別結果", {0, 480, 855, 255}, {}, u"Frame2"},
    {u"lblKind", K::BoxedLabel, {}, {960, 480, 615, 255}, u"判別結果の値", u"Frame2"},
    {u"Frame1", K::Frame, u"入力文", {5760, 240, 3735, 615}},
    {u"Text1", K::LineEdit, {}, {120, 240, 2655, 270}, u"入力文の式", u"Frame1"},
    {u"Command2", K::Button, u"リセット", {2880, 240, 735, 255}, {}, u"Frame1"},
    {u"lblArrow1", K::Arrow, {}, {5400, 360, 495, 495}, u"入力文から語彙解析結果への矢印"},
    {u"lblArrow2", K::Arrow, {}, {3240, 360, 495, 495}, u"語彙解析結果から出力文への矢印"},
    {u"lblArrow3", K::Arrow, {}, {5040, 1080, 495, 495}, u"語彙解析結果からスタックへの矢印"},
    {u"lblArrow4", K::Arrow, {}, {2640, 960, 495, 495}, u"スタックから出力文への矢印"},
    {u"Label5", K::Label, {}, {3000, 1200, 2175, 255}, u"ステップの説明"},
    {u"Frame4", K::Frame, u"判別モード", {5760, 960, 1695, 495}},
    {u"lblMode", K::Label, {}, {240, 240, 735, 255}, u"現在の判別モード", u"Frame4"},
    {u"Frame5", K::Frame, u"スタック", {2160, 1440, 3255, 2775}},
    {u"Label2", K::CentredLabel, u"%1", {120, kSlotTop, 375, 255}, u"スロット %1", u"Frame5",
     kStackSlots, kSlotStep},
    {u"lblOperation", K::Cell, {}, {600, kSlotTop, 495, 255}, u"演算子 %1", u"Frame5",
     kStackSlots, kSlotStep},
    {u"lblPriority", K::Cell, {}, {1200, kSlotTop, 855, 255}, u"優先度 %1", u"Frame5",
     kStackSlots, kSlotStep},
    {u"lblKindS", K::Cell, {}, {2160, kSlotTop, 975, 255}, u"種類 %1", u"Frame5",
     kStackSlots, kSlotStep},
    {u"Command1", K::Button, u"変換開始", {7560, 1080, 1215, 375}},
    {u"Check1", K::CheckBox, u"トレースモード", {7320, 1560, 1575, 255}},
    {u"Command3", K::Button, u"自動実行開始", {6120, 1800, 1455, 495}},
    {u"Command4", K::Button, u"自動実行停止", {7680, 1800, 1455, 495}},
    {u"Label4", K::WrappedLabel, u"Timer Interval", {6960, 2400, 735, 375}},
    {u"Text3", K::LineEdit, {}, {7800, 2400, 735, 375}, u"タイマー間隔 (ミリ秒)"},
    {u"Text4", K::Notes, {}, {5520, 2880, 4335, 1335}, u"規則"},
};
// clang-format on

} // namespace

Form1::Form1(Dialogs* dialogs, QWidget* parent) : EngineScreen(dialogs, parent) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("ポーランド記法変換"));
  setClientSizeTwips(10005, 4290);
  const Controls c = buildControls(this, kControls);
  m_text1 = c.get<QLineEdit>(u"Text1");
  m_text2 = c.get<QLineEdit>(u"Text2");
  m_text3 = c.get<QLineEdit>(u"Text3");
  m_text4 = c.get<QPlainTextEdit>(u"Text4");
  m_lblCH = c.get<QLabel>(u"lblCH");
  m_lblKind = c.get<QLabel>(u"lblKind");
  m_lblMode = c.get<QLabel>(u"lblMode");
  m_label5 = c.get<QLabel>(u"Label5");
  m_check1 = c.get<QCheckBox>(u"Check1");
  for (std::size_t i = 0; i < m_arrows.size(); ++i)
    m_arrows[i] = c.get<QLabel>(QStringLiteral("lblArrow%1").arg(i + 1));
  for (int i = 0; i < kStackSlots; ++i)
    m_rows[static_cast<std::size_t>(i)] = {c.at<QLabel>(u"lblOperation", i),
                                           c.at<QLabel>(u"lblPriority", i),
                                           c.at<QLabel>(u"lblKindS", i)};

  const auto command = [&c](const char16_t* name) { return c.get<QPushButton>(name); };
  connectEdit(
      m_text1, [](const ConversionEngine& e) { return e.view().Text1; },
      &ConversionEngine::setText1);
  connectRunControls(
      m_text3, [](const ConversionEngine& e) { return e.view().Text3; },
      &ConversionEngine::setText3, m_check1);
  connectPress(command(u"Command1"), &ConversionEngine::Command1_Click);
  connectPress(command(u"Command2"), &ConversionEngine::Command2_Click);
  connectPress(command(u"Command3"), &ConversionEngine::Command3_Click);
  connectPress(command(u"Command4"), &ConversionEngine::Command4_Click);

  // The inputs, the run controls in reading order, the reset, then what the screen shows.
  setTabOrderChain({m_text1, m_text3, command(u"Command1"), m_check1, command(u"Command3"),
                    command(u"Command4"), command(u"Command2"), m_text2, m_text4});
  giveShortcut(command(u"Command1"), QKeySequence(Qt::ALT | Qt::Key_R));
  giveShortcut(m_check1, QKeySequence(Qt::ALT | Qt::Key_T));
  giveShortcut(command(u"Command3"), QKeySequence(Qt::ALT | Qt::Key_A));
  giveShortcut(command(u"Command4"), QKeySequence(Qt::ALT | Qt::Key_P));
  giveShortcut(command(u"Command2"), QKeySequence(Qt::ALT | Qt::Key_C));
  // Going back and forth and saving the trace: in the free corner left of the stack.
  addMoveButtons(this, {{240, 2880, 1695, 375}, {240, 3360, 1695, 375}, {240, 3840, 1695, 375}});
  refresh();
}

Form1::~Form1() = default;

void Form1::Post(const QString& text) {
  mutableEngine().Post(text);
  refresh();
}

void Form1::paint() {
  const ConversionView& view = engine().view();
  setTextIfChanged(m_text1, view.Text1);
  setTextIfChanged(m_text2, view.Text2);
  paintMark(m_text2, view.Text2Background, MarkSense::Blink);
  setTextIfChanged(m_text3, view.Text3);
  setTextIfChanged(m_text4, view.Text4);
  setTextIfChanged(m_lblCH, view.lblCH);
  setTextIfChanged(m_lblKind, view.lblKind);
  setTextIfChanged(m_lblMode, view.lblMode);
  setTextIfChanged(m_label5, view.Label5);
  for (std::size_t i = 0; i < m_arrows.size(); ++i)
    setTextIfChanged(m_arrows[i], view.lblArrow[i]);
  for (std::size_t i = 0; i < m_rows.size(); ++i) {
    const StackSlot& slot = view.stack[i];
    const QString* texts[] = {&slot.operation, &slot.priority, &slot.kind};
    for (std::size_t k = 0; k < m_rows[i].size(); ++k) {
      setTextIfChanged(m_rows[i][k], *texts[k]);
      paintMark(m_rows[i][k], view.stackMarks[i], MarkSense::Stack);
    }
  }
  if (m_check1->isChecked() != view.Check1)
    m_check1->setChecked(view.Check1);
}

} // namespace rpn::conversion
