#include "form2.h"

#include <QPalette>

namespace rpn::execution {
Form2::Form2(Dialogs* dialogs, QWidget* parent)
    : ScreenWindow(parent), m_dialogs(this, dialogs, [this] { refresh(); }), m_engine(m_dialogs) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("逆ポーランド記法の直接実行"));
  setClientSizeTwips(9435, 4920);
  build();
  connect(&m_timer, &QTimer::timeout, this, &Form2::Timer1_Timer);
  refresh();
}

Form2::~Form2() = default;

template <class Handler> void Form2::connectButton(QPushButton* button, Handler handler) {
  connect(button, &QPushButton::clicked, this, [this, handler] {
    (m_engine.*handler)();
    refresh();
  });
}

void Form2::build() {
  const Qt::Alignment centred = Qt::AlignCenter;
  const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;

  QGroupBox* frame1 = makeFrame(this, QStringLiteral("Frame1"), QStringLiteral("逆ポーランド記法"),
                                twipsRect(5640, 120, 3735, 615));
  m_text1 = makeLineEdit(frame1, QStringLiteral("Text1"), twipsRect(120, 240, 2655, 270),
                         QStringLiteral("逆ポーランド記法"));
  QPushButton* command2 = makeButton(frame1, QStringLiteral("Command2"), QStringLiteral("リセット"),
                                     twipsRect(2880, 240, 735, 255));

  QGroupBox* frame2 = makeFrame(this, QStringLiteral("Frame2"), QStringLiteral("取出し結果"),
                                twipsRect(3360, 120, 1815, 855));
  makeLabel(frame2, QStringLiteral("Label1"), QStringLiteral("文字"),
            twipsRect(360, 240, 495, 255));
  m_lblCH = makeBoxedLabel(frame2, QStringLiteral("lblCH"), twipsRect(960, 240, 375, 255),
                           QStringLiteral("文字"), left);
  makeLabel(frame2, QStringLiteral("Label3"), QStringLiteral("判別結果"),
            twipsRect(0, 480, 855, 255));
  m_lblKind = makeBoxedLabel(frame2, QStringLiteral("lblKind"), twipsRect(960, 480, 615, 255),
                             QStringLiteral("判別結果"), left);

  m_label4 = makeLabel(this, QStringLiteral("Label4"), QStringLiteral("Label4"),
                       twipsRect(120, 480, 3135, 255), QStringLiteral("ステップの説明"));

  QPushButton* command1 = makeButton(this, QStringLiteral("Command1"), QStringLiteral("逐次実行"),
                                     twipsRect(5640, 840, 1095, 375));
  m_check1 = makeCheckBox(this, QStringLiteral("Check1"), QStringLiteral("トレースモード"),
                          twipsRect(6840, 840, 1575, 255));

  m_lblOpe = makeBoxedLabel(this, QStringLiteral("lblOpe"), twipsRect(2280, 1440, 615, 255),
                            QStringLiteral("演算子"), centred);
  makeLabel(this, QStringLiteral("Label5"), QStringLiteral("値"), twipsRect(3720, 1440, 375, 255));
  m_text2 = makeLineEdit(this, QStringLiteral("Text2"), twipsRect(4080, 1440, 735, 270),
                         QStringLiteral("値"));

  QPushButton* command3 =
      makeButton(this, QStringLiteral("Command3"), QStringLiteral("自動実行開始"),
                 twipsRect(5640, 1680, 1455, 495));
  QPushButton* command4 =
      makeButton(this, QStringLiteral("Command4"), QStringLiteral("自動実行停止"),
                 twipsRect(7200, 1680, 1455, 495));
  QLabel* label6 = makeLabel(this, QStringLiteral("Label6"), QStringLiteral("Timer Interval"),
                             twipsRect(6480, 2280, 735, 375));
  label6->setWordWrap(true);
  m_text3 = makeLineEdit(this, QStringLiteral("Text3"), twipsRect(7320, 2280, 735, 375),
                         QStringLiteral("Timer Interval"));

  QGroupBox* frame3 = makeFrame(this, QStringLiteral("Frame3"), QStringLiteral("変数値"),
                                twipsRect(120, 1680, 1215, 2055));
  for (int i = 0; i < kVariableCount; ++i) {
    const auto k = static_cast<std::size_t>(i);
    const QString name = m_engine.view().lblName.at(k);
    m_lblName.at(k) =
        makeLabel(frame3, indexedName(QStringLiteral("lblName"), i), name,
                  twipsRect(120, 240 + 240 * i, 255, 255), QStringLiteral("変数名 %1").arg(name));
    m_txtName.at(k) = makeLineEdit(frame3, indexedName(QStringLiteral("txtName"), i),
                                   twipsRect(360, 240 + 240 * i, 735, 270),
                                   QStringLiteral("変数%1の値").arg(name));
  }

  QGroupBox* frame4 = makeFrame(this, QStringLiteral("Frame4"), QStringLiteral("演算対象"),
                                twipsRect(1800, 2040, 1095, 855));
  m_lblOpe1 = makeBoxedLabel(frame4, QStringLiteral("lblOpe1"), twipsRect(120, 240, 855, 255),
                             QStringLiteral("左の演算対象"), centred);
  m_lblOpe2 = makeBoxedLabel(frame4, QStringLiteral("lblOpe2"), twipsRect(120, 480, 855, 255),
                             QStringLiteral("右の演算対象"), centred);

  QGroupBox* frame5 = makeFrame(this, QStringLiteral("Frame5"), QStringLiteral("スタック"),
                                twipsRect(3360, 2040, 1695, 2775));
  for (int i = 0; i < kStackCells; ++i) {
    const int top = 2400 - 240 * i;
    QLabel* number =
        makeLabel(frame5, indexedName(QStringLiteral("Label2"), i), QString::number(i),
                  twipsRect(120, top, 375, 255), QStringLiteral("スタック番号 %1").arg(i));
    number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_lblValue.at(static_cast<std::size_t>(i)) = makeBoxedLabel(
        frame5, indexedName(QStringLiteral("lblValue"), i), twipsRect(600, top, 855, 255),
        QStringLiteral("スタック %1").arg(i), centred);
  }

  // The arrows come last so that they lie over the frames they cross.
  const struct {
    QRect rect;
    const char16_t* accessible;
  } arrows[kArrowCount] = {{twipsRect(5160, 240, 495, 495), u"入力から取出し結果への矢印"},
                           {twipsRect(4200, 1680, 495, 495), u"値からスタックへの矢印"},
                           {twipsRect(4200, 960, 495, 375), u"取出し結果から値への矢印"},
                           {twipsRect(2280, 1680, 495, 495), u"演算対象から演算子への矢印"},
                           {twipsRect(3000, 1320, 495, 495), u"演算子から値への矢印"},
                           {twipsRect(2880, 2280, 495, 375), u"スタックから演算対象への矢印"},
                           {twipsRect(1320, 2280, 495, 495), u"演算対象から変数値への矢印"},
                           {twipsRect(1320, 2280, 495, 495), u"変数値から演算対象への矢印"}};
  QPalette red = palette();
  red.setColor(QPalette::WindowText, markColor(Mark::Red));
  for (int i = 0; i < kArrowCount; ++i) {
    const auto k = static_cast<std::size_t>(i);
    QLabel* arrow = makeLabel(this, QStringLiteral("lblArrow%1").arg(i + 1), arrowCharacter(i + 1),
                              arrows[k].rect, QString::fromUtf16(arrows[k].accessible));
    arrow->setFont(arrowFont());
    arrow->setPalette(red);
    arrow->setAlignment(Qt::AlignCenter);
    arrow->setAttribute(Qt::WA_TransparentForMouseEvents);
    arrow->raise();
    m_arrows.at(k) = arrow;
  }

  connect(m_text1, &QLineEdit::textEdited, this,
          [this](const QString& text) { m_engine.setText1(text); });
  connect(m_text2, &QLineEdit::textEdited, this,
          [this](const QString& text) { m_engine.setText2(text); });
  connect(m_text3, &QLineEdit::textEdited, this,
          [this](const QString& text) { m_engine.setText3(text); });
  for (int i = 0; i < kVariableCount; ++i)
    connect(m_txtName.at(static_cast<std::size_t>(i)), &QLineEdit::textEdited, this,
            [this, i](const QString& text) { m_engine.setTxtName(i, text); });
  connect(m_check1, &QCheckBox::toggled, this, [this](bool on) { m_engine.setCheck1(on); });
  connectButton(command1, &ExecutionEngine::Command1_Click);
  connectButton(command2, &ExecutionEngine::Command2_Click);
  connectButton(command3, &ExecutionEngine::Command3_Click);
  connectButton(command4, &ExecutionEngine::Command4_Click);
}

void Form2::Timer1_Timer() {
  m_engine.Timer1_Timer();
  refresh();
}

void Form2::load() {
  m_engine.Form_Load();
  refresh();
}

void Form2::unload() {
  m_engine.unload();
  refresh();
}

void Form2::refresh() {
  const ExecutionView& view = m_engine.view();
  setTextIfChanged(m_text1, view.Text1);
  setTextIfChanged(m_text2, view.Text2);
  setTextIfChanged(m_text3, view.Text3);
  setTextIfChanged(m_lblCH, view.lblCH);
  setTextIfChanged(m_lblKind, view.lblKind);
  setTextIfChanged(m_label4, view.Label4);
  setTextIfChanged(m_lblOpe, view.lblOpe);
  setTextIfChanged(m_lblOpe1, view.lblOpe1);
  setTextIfChanged(m_lblOpe2, view.lblOpe2);
  for (std::size_t i = 0; i < m_arrows.size(); ++i)
    setTextIfChanged(m_arrows[i], view.lblArrow[i]);
  for (std::size_t i = 0; i < m_txtName.size(); ++i) {
    setTextIfChanged(m_lblName[i], view.lblName[i]);
    setTextIfChanged(m_txtName[i], view.txtName[i]);
    setBackground(m_txtName[i], view.txtNameMark[i]);
  }
  for (std::size_t i = 0; i < m_lblValue.size(); ++i) {
    setTextIfChanged(m_lblValue[i], view.lblValue[i]);
    setBackground(m_lblValue[i], view.lblValueMark[i]);
  }
  if (m_check1->isChecked() != view.Check1)
    m_check1->setChecked(view.Check1);

  followInterval(m_timer, m_engine.driver().interval());
}

} // namespace rpn::execution
