#include "frm_compile.h"

#include <QPalette>

namespace rpn::translation {
FrmCompile::FrmCompile(Dialogs* dialogs, QWidget* parent)
    : ScreenWindow(parent), m_dialogs(this, dialogs, [this] { refresh(); }), m_engine(m_dialogs) {
  setObjectName(QStringLiteral("frmCompile"));
  setWindowTitle(QStringLiteral("逆ポーランド記法の翻訳"));
  setClientSizeTwips(11400, 5400);
  build();
  connect(&m_timer, &QTimer::timeout, this, &FrmCompile::Timer1_Timer);
  refresh();
}

FrmCompile::~FrmCompile() = default;

template <class Handler> void FrmCompile::connectButton(QPushButton* button, Handler handler) {
  connect(button, &QPushButton::clicked, this, [this, handler] {
    (m_engine.*handler)();
    refresh();
  });
}

void FrmCompile::build() {
  const Qt::Alignment centred = Qt::AlignCenter;
  const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;

  // The way of a symbol, right to left along the top: the expression, the symbol just read,
  // the value register; the operator and the operands on the left, the stack below the register.
  QGroupBox* frame1 = makeFrame(this, QStringLiteral("Frame1"), QStringLiteral("逆ポーランド記法"),
                                twipsRect(5880, 120, 3735, 615));
  m_text1 = makeLineEdit(frame1, QStringLiteral("Text1"), twipsRect(120, 240, 2655, 270),
                         QStringLiteral("逆ポーランド記法"));
  QPushButton* command2 = makeButton(frame1, QStringLiteral("Command2"), QStringLiteral("リセット"),
                                     twipsRect(2880, 240, 735, 255));

  QGroupBox* frame2 = makeFrame(this, QStringLiteral("Frame2"), QStringLiteral("取出し結果"),
                                twipsRect(3480, 120, 1815, 855));
  makeLabel(frame2, QStringLiteral("Label1"), QStringLiteral("文字"),
            twipsRect(480, 240, 495, 255));
  m_lblCH = makeBoxedLabel(frame2, QStringLiteral("lblCH"), twipsRect(1080, 240, 375, 255),
                           QStringLiteral("文字"), left);
  makeLabel(frame2, QStringLiteral("Label3"), QStringLiteral("判別結果"),
            twipsRect(120, 480, 855, 255));
  m_lblKind = makeBoxedLabel(frame2, QStringLiteral("lblKind"), twipsRect(1080, 480, 615, 255),
                             QStringLiteral("判別結果"), left);

  m_label4 = makeLabel(this, QStringLiteral("Label4"), QStringLiteral("Label4"),
                       twipsRect(120, 120, 3240, 255), QStringLiteral("ステップの説明"));
  makeLabel(this, QStringLiteral("Label5"), QStringLiteral("値"), twipsRect(1800, 420, 375, 255));
  m_text2 = makeLineEdit(this, QStringLiteral("Text2"), twipsRect(1800, 690, 975, 285),
                         QStringLiteral("値"));
  m_lblOpe = makeBoxedLabel(this, QStringLiteral("lblOpe"), twipsRect(240, 705, 615, 255),
                            QStringLiteral("演算子"), centred);

  QGroupBox* frame4 = makeFrame(this, QStringLiteral("Frame4"), QStringLiteral("演算対象"),
                                twipsRect(120, 1680, 1095, 855));
  m_lblOpe1 = makeBoxedLabel(frame4, QStringLiteral("lblOpe1"), twipsRect(120, 240, 855, 255),
                             QStringLiteral("左の演算対象"), centred);
  m_lblOpe2 = makeBoxedLabel(frame4, QStringLiteral("lblOpe2"), twipsRect(120, 480, 855, 255),
                             QStringLiteral("右の演算対象"), centred);

  QGroupBox* frame5 = makeFrame(this, QStringLiteral("Frame5"), QStringLiteral("スタック"),
                                twipsRect(1800, 1680, 1575, 2775));
  for (int i = 0; i < execution::kStackCells; ++i) {
    const int top = 2400 - 240 * i;
    QLabel* number =
        makeLabel(frame5, indexedName(QStringLiteral("Label2"), i), QString::number(i),
                  twipsRect(120, top, 375, 255), QStringLiteral("スタック番号 %1").arg(i));
    number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_lblValue.at(static_cast<std::size_t>(i)) = makeBoxedLabel(
        frame5, indexedName(QStringLiteral("lblValue"), i), twipsRect(600, top, 855, 255),
        QStringLiteral("スタック %1").arg(i), centred);
  }

  // The variable table and the object listing in the middle.
  m_frame3 = makeFrame(this, QStringLiteral("Frame3"), QStringLiteral("変数名テーブル"),
                       twipsRect(3480, 1080, 1455, 4095));
  makeLabel(m_frame3, QStringLiteral("Label8"), QStringLiteral("個数"),
            twipsRect(120, 270, 495, 255));
  m_lblPtr = makeBoxedLabel(m_frame3, QStringLiteral("lblPtr"), twipsRect(660, 270, 615, 255),
                            QStringLiteral("変数名テーブルの個数"), centred);
  for (int i = 0; i < kNameLabels; ++i)
    m_lblName.at(static_cast<std::size_t>(i)) = makeBoxedLabel(
        m_frame3, indexedName(QStringLiteral("lblName"), i),
        twipsRect(180, 600 + 240 * i, 1095, 255), QStringLiteral("変数名 %1").arg(i), centred);

  makeLabel(this, QStringLiteral("Label7"), QStringLiteral("オブジェクト"),
            twipsRect(5040, 1080, 1215, 255));
  m_list1 = new QListWidget(this);
  m_list1->setObjectName(QStringLiteral("List1"));
  m_list1->setAccessibleName(QStringLiteral("オブジェクト"));
  m_list1->setGeometry(twipsRect(5040, 1320, 3015, 3855));
  m_list1->setFont(fixedPitchFont());
  m_list1->setSelectionMode(QAbstractItemView::SingleSelection);

  // The buttons on the right.
  QPushButton* command1 = makeButton(this, QStringLiteral("Command1"), QStringLiteral("変換開始"),
                                     twipsRect(8160, 1080, 1335, 375));
  m_check1 = makeCheckBox(this, QStringLiteral("Check1"), QStringLiteral("トレースモード"),
                          twipsRect(9600, 1140, 1575, 255));
  QPushButton* command3 =
      makeButton(this, QStringLiteral("Command3"), QStringLiteral("自動実行開始"),
                 twipsRect(8160, 1560, 1455, 495));
  QPushButton* command4 =
      makeButton(this, QStringLiteral("Command4"), QStringLiteral("自動実行停止"),
                 twipsRect(9720, 1560, 1455, 495));
  makeLabel(this, QStringLiteral("Label6"), QStringLiteral("Timer Interval"),
            twipsRect(8160, 2175, 1215, 255));
  m_text3 = makeLineEdit(this, QStringLiteral("Text3"), twipsRect(9480, 2160, 735, 285),
                         QStringLiteral("Timer Interval"));
  QPushButton* command5 =
      makeButton(this, QStringLiteral("Command5"), QStringLiteral("オブジェクト最適化"),
                 twipsRect(8160, 2640, 3015, 495));
  QPushButton* command6 =
      makeButton(this, QStringLiteral("Command6"), QStringLiteral("擬似アセンブラ"),
                 twipsRect(8160, 3240, 3015, 495));

  // The arrows come last so that they lie over the frames they cross.
  const struct {
    QRect rect;
    const char16_t* accessible;
  } arrows[kScreenArrows] = {{twipsRect(5340, 240, 495, 495), u"入力から取出し結果への矢印"},
                             {twipsRect(2040, 1080, 495, 495), u"値からスタックへの矢印"},
                             {twipsRect(2880, 600, 495, 495), u"取出し結果から値への矢印"},
                             {twipsRect(300, 1080, 495, 495), u"演算対象から演算子への矢印"},
                             {twipsRect(1020, 600, 495, 495), u"演算子から値への矢印"},
                             {twipsRect(1260, 1800, 495, 375), u"スタックから演算対象への矢印"}};
  QPalette red = palette();
  red.setColor(QPalette::WindowText, markColor(Mark::Red));
  for (int i = 0; i < kScreenArrows; ++i) {
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
  connect(m_check1, &QCheckBox::toggled, this, [this](bool on) { m_engine.setCheck1(on); });
  connectButton(command1, &TranslationEngine::Command1_Click);
  connectButton(command2, &TranslationEngine::Command2_Click);
  connectButton(command3, &TranslationEngine::Command3_Click);
  connectButton(command4, &TranslationEngine::Command4_Click);
  connectButton(command5, &TranslationEngine::Command5_Click);
  connect(command6, &QPushButton::clicked, this, &FrmCompile::Command6_Click);
}

void FrmCompile::Timer1_Timer() {
  m_engine.Timer1_Timer();
  refresh();
}

void FrmCompile::Command6_Click() {
  const std::optional<QString> source = m_engine.Command6_Click();
  refresh();
  if (source && m_handOff)
    m_handOff(*source);
}

void FrmCompile::load() {
  m_engine.Form_Load();
  refresh();
}

void FrmCompile::unload() {
  m_engine.unload();
  refresh();
}

void FrmCompile::refresh() {
  const TranslationView& view = m_engine.view();
  setTextIfChanged(m_text1, view.Text1);
  setTextIfChanged(m_text2, view.Text2);
  setTextIfChanged(m_text3, view.Text3);
  setTextIfChanged(m_lblCH, view.lblCH);
  setTextIfChanged(m_lblKind, view.lblKind);
  setTextIfChanged(m_label4, view.Label4);
  setTextIfChanged(m_lblOpe, view.lblOpe);
  setTextIfChanged(m_lblOpe1, view.lblOpe1);
  setTextIfChanged(m_lblOpe2, view.lblOpe2);
  setTextIfChanged(m_lblPtr, view.lblPtr);
  for (std::size_t i = 0; i < m_arrows.size(); ++i)
    setTextIfChanged(m_arrows[i], view.lblArrow[i]);
  for (std::size_t i = 0; i < m_lblValue.size(); ++i) {
    setTextIfChanged(m_lblValue[i], view.lblValue[i]);
    setBackground(m_lblValue[i], view.lblValueMark[i]);
  }
  for (std::size_t i = 0; i < m_lblName.size(); ++i) {
    setTextIfChanged(m_lblName[i], view.lblName[i]);
    setBackground(m_lblName[i], view.lblNameMark[i]);
    // Blue is dark: the name stays readable in white.
    QPalette palette = m_lblName[i]->palette();
    const QColor text = view.lblNameMark[i] == Mark::Blue ? QColor(255, 255, 255) : QColor(0, 0, 0);
    if (palette.color(QPalette::WindowText) != text) {
      palette.setColor(QPalette::WindowText, text);
      m_lblName[i]->setPalette(palette);
    }
  }
  QStringList shown;
  for (int i = 0; i < m_list1->count(); ++i)
    shown << m_list1->item(i)->text();
  if (shown != view.List1) {
    m_list1->clear();
    m_list1->addItems(view.List1);
  }
  setBackground(m_list1, view.List1Mark);
  setBackground(m_frame3, view.Frame3Mark);
  if (m_check1->isChecked() != view.Check1)
    m_check1->setChecked(view.Check1);

  followInterval(m_timer, m_engine.driver().interval());
}

} // namespace rpn::translation
