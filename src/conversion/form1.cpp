#include "form1.h"

namespace rpn::conversion {
namespace {

QLabel* makeCell(QWidget* parent, const QString& name, int index, QRect rect,
                 const QString& accessible) {
  QLabel* cell = makeLabel(parent, indexedName(name, index), QString(), rect, accessible);
  cell->setFrameShape(QFrame::Box);
  cell->setAlignment(Qt::AlignCenter);
  paintMark(cell, Mark::White, MarkSense::Stack);
  return cell;
}

} // namespace

Form1::Form1(Dialogs* dialogs, QWidget* parent)
    : ScreenWindow(parent), m_dialogs(this, dialogs, [this] { refresh(); }), m_engine(m_dialogs) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("ポーランド記法変換"));
  setClientSizeTwips(10005, 4290);
  build();
  connect(&m_timer, &QTimer::timeout, this, &Form1::autoRunTick);
  refresh();
}

Form1::~Form1() = default;

void Form1::build() {
  QGroupBox* frame3 = makeFrame(this, QStringLiteral("Frame3"), QStringLiteral("出力文"),
                                twipsRect(240, 240, 3015, 615));
  m_text2 = makeLineEdit(frame3, QStringLiteral("Text2"), twipsRect(120, 240, 2655, 270),
                         QStringLiteral("出力文の式"));
  m_text2->setReadOnly(true);

  QGroupBox* frame2 = makeFrame(this, QStringLiteral("Frame2"), QStringLiteral("語彙解析結果"),
                                twipsRect(3600, 240, 1815, 855));
  makeLabel(frame2, QStringLiteral("Label1"), QStringLiteral("文字"),
            twipsRect(360, 240, 495, 255));
  m_lblCH = makeBoxedLabel(frame2, QStringLiteral("lblCH"), twipsRect(960, 240, 375, 255),
                           QStringLiteral("読んだ文字"), Qt::AlignLeft | Qt::AlignVCenter);
  makeLabel(frame2, QStringLiteral("Label3"), QStringLiteral("判別結果"),
            twipsRect(0, 480, 855, 255));
  m_lblKind = makeBoxedLabel(frame2, QStringLiteral("lblKind"), twipsRect(960, 480, 615, 255),
                             QStringLiteral("判別結果の値"), Qt::AlignLeft | Qt::AlignVCenter);

  QGroupBox* frame1 = makeFrame(this, QStringLiteral("Frame1"), QStringLiteral("入力文"),
                                twipsRect(5760, 240, 3735, 615));
  m_text1 = makeLineEdit(frame1, QStringLiteral("Text1"), twipsRect(120, 240, 2655, 270),
                         QStringLiteral("入力文の式"));
  QPushButton* command2 = makeButton(frame1, QStringLiteral("Command2"), QStringLiteral("リセット"),
                                     twipsRect(2880, 240, 735, 255));

  const struct {
    const char16_t* caption;
    QRect rect;
    const char16_t* accessible;
  } arrows[] = {{u"←", twipsRect(5400, 360, 495, 495), u"入力文から語彙解析結果への矢印"},
                {u"←", twipsRect(3240, 360, 495, 495), u"語彙解析結果から出力文への矢印"},
                {u"↓", twipsRect(5040, 1080, 495, 495), u"語彙解析結果からスタックへの矢印"},
                {u"↑", twipsRect(2640, 960, 495, 495), u"スタックから出力文への矢印"}};
  for (std::size_t i = 0; i < m_arrows.size(); ++i) {
    m_arrows[i] = makeLabel(this, QStringLiteral("lblArrow%1").arg(i + 1),
                            QString::fromUtf16(arrows[i].caption), arrows[i].rect,
                            QString::fromUtf16(arrows[i].accessible));
    m_arrows[i]->setFont(arrowFont());
    m_arrows[i]->setAlignment(Qt::AlignCenter);
  }

  m_label5 = makeLabel(this, QStringLiteral("Label5"), QString(), twipsRect(3000, 1200, 2175, 255),
                       QStringLiteral("ステップの説明"));

  QGroupBox* frame4 = makeFrame(this, QStringLiteral("Frame4"), QStringLiteral("判別モード"),
                                twipsRect(5760, 960, 1695, 495));
  m_lblMode = makeLabel(frame4, QStringLiteral("lblMode"), QStringLiteral("名前"),
                        twipsRect(240, 240, 735, 255), QStringLiteral("現在の判別モード"));

  QGroupBox* frame5 = makeFrame(this, QStringLiteral("Frame5"), QStringLiteral("スタック"),
                                twipsRect(2160, 1440, 3255, 2775));
  for (int i = 0; i < kStackSlots; ++i) {
    const int top = 240 + (9 - i) * 240;
    QLabel* number = makeLabel(frame5, indexedName(QStringLiteral("Label2"), i), QString::number(i),
                               twipsRect(120, top, 375, 255), QStringLiteral("スロット %1").arg(i));
    number->setAlignment(Qt::AlignCenter);
    Row& row = m_rows[static_cast<std::size_t>(i)];
    row.operation = makeCell(frame5, QStringLiteral("lblOperation"), i,
                             twipsRect(600, top, 495, 255), QStringLiteral("演算子 %1").arg(i));
    row.priority = makeCell(frame5, QStringLiteral("lblPriority"), i,
                            twipsRect(1200, top, 855, 255), QStringLiteral("優先度 %1").arg(i));
    row.kind = makeCell(frame5, QStringLiteral("lblKindS"), i, twipsRect(2160, top, 975, 255),
                        QStringLiteral("種類 %1").arg(i));
  }

  QPushButton* command1 = makeButton(this, QStringLiteral("Command1"), QStringLiteral("変換開始"),
                                     twipsRect(7560, 1080, 1215, 375));
  m_check1 = makeCheckBox(this, QStringLiteral("Check1"), QStringLiteral("トレースモード"),
                          twipsRect(7320, 1560, 1575, 255));
  QPushButton* command3 =
      makeButton(this, QStringLiteral("Command3"), QStringLiteral("自動実行開始"),
                 twipsRect(6120, 1800, 1455, 495));
  QPushButton* command4 =
      makeButton(this, QStringLiteral("Command4"), QStringLiteral("自動実行停止"),
                 twipsRect(7680, 1800, 1455, 495));
  QLabel* label4 = makeLabel(this, QStringLiteral("Label4"), QStringLiteral("Timer Interval"),
                             twipsRect(6960, 2400, 735, 375));
  label4->setWordWrap(true);
  m_text3 = makeLineEdit(this, QStringLiteral("Text3"), twipsRect(7800, 2400, 735, 375),
                         QStringLiteral("タイマー間隔 (ミリ秒)"));
  m_text4 = new QPlainTextEdit(this);
  m_text4->setObjectName(QStringLiteral("Text4"));
  placeAt(m_text4, twipsRect(5520, 2880, 4335, 1335));
  m_text4->setAccessibleName(QStringLiteral("規則"));
  m_text4->setReadOnly(true);
  setBackground(m_text4, Mark::ButtonFace);

  takeEdits(
      m_text1, this, [this] { return m_engine.view().Text1; },
      [this](const QString& text) { m_engine.setText1(text); });
  takeEdits(
      m_text3, this, [this] { return m_engine.view().Text3; },
      [this](const QString& text) { m_engine.setText3(text); });
  connect(m_check1, &QCheckBox::toggled, this, [this](bool on) { m_engine.setCheck1(on); });
  rememberControls(m_text3, m_check1);
  connectButton(command1, this, m_engine, &ConversionEngine::Command1_Click);
  connectButton(command2, this, m_engine, &ConversionEngine::Command2_Click);
  connectButton(command3, this, m_engine, &ConversionEngine::Command3_Click);
  connectButton(command4, this, m_engine, &ConversionEngine::Command4_Click);

  // The inputs, the run controls in reading order, the reset, then what the screen shows.
  setTabOrderChain(
      {m_text1, m_text3, command1, m_check1, command3, command4, command2, m_text2, m_text4});
  giveShortcut(command1, QKeySequence(Qt::ALT | Qt::Key_R));
  giveShortcut(m_check1, QKeySequence(Qt::ALT | Qt::Key_T));
  giveShortcut(command3, QKeySequence(Qt::ALT | Qt::Key_A));
  giveShortcut(command4, QKeySequence(Qt::ALT | Qt::Key_P));
  giveShortcut(command2, QKeySequence(Qt::ALT | Qt::Key_C));
}

void Form1::autoRunTick() {
  rpn::autoRunTick(m_engine, m_dialogs, m_timer, m_framePaint, [this] { refresh(); });
}

void Form1::Post(const QString& text) {
  m_engine.Post(text);
  refresh();
}

void Form1::load() {
  m_engine.Form_Load();
  refresh();
}

void Form1::restoreRemembered(const std::optional<QString>& interval, std::optional<bool> trace) {
  if (interval)
    m_engine.setText3(*interval);
  if (trace)
    m_engine.setCheck1(*trace);
  refresh();
}

void Form1::unload() {
  m_engine.unload();
  refresh();
}

void Form1::refresh() {
  m_framePaint.cancel();
  const ConversionView& view = m_engine.view();
  setTextIfChanged(m_text1, view.Text1);
  setTextIfChanged(m_text2, view.Text2);
  paintMark(m_text2, view.Text2Background, MarkSense::Blink);
  setTextIfChanged(m_text3, view.Text3);
  // The text box shows line breaks as line feeds.
  const QString rules = QString(view.Text4).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (m_text4->toPlainText() != rules)
    m_text4->setPlainText(rules);
  setTextIfChanged(m_lblCH, view.lblCH);
  setTextIfChanged(m_lblKind, view.lblKind);
  setTextIfChanged(m_lblMode, view.lblMode);
  setTextIfChanged(m_label5, view.Label5);
  for (std::size_t i = 0; i < m_arrows.size(); ++i)
    setTextIfChanged(m_arrows[i], view.lblArrow[i]);
  for (std::size_t i = 0; i < m_rows.size(); ++i) {
    const StackSlot& slot = view.stack[i];
    setTextIfChanged(m_rows[i].operation, slot.operation);
    setTextIfChanged(m_rows[i].priority, slot.priority);
    setTextIfChanged(m_rows[i].kind, slot.kind);
    for (QLabel* cell : {m_rows[i].operation, m_rows[i].priority, m_rows[i].kind})
      paintMark(cell, view.stackMarks[i], MarkSense::Stack);
  }
  if (m_check1->isChecked() != view.Check1)
    m_check1->setChecked(view.Check1);

  followInterval(m_timer, m_engine.driver().interval());
}

} // namespace rpn::conversion
