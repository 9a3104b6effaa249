#include "form2.h"

namespace rpn::execution {
Form2::Form2(Dialogs* dialogs, QWidget* parent)
    : ScreenWindow(parent), m_dialogs(this, dialogs, [this] { refresh(); }), m_engine(m_dialogs) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("逆ポーランド記法の直接実行"));
  setClientSizeTwips(9435, 4920);
  build();
  connect(&m_timer, &QTimer::timeout, this, &Form2::autoRunTick);
  refresh();
}

Form2::~Form2() = default;

void Form2::build() {
  // The way of a symbol, right to left along the top: the expression, the symbol just read; the
  // operator, the value register and the stack below, the operands and the variables on the left;
  // the run buttons under the expression.
  const walk::RpnArrowPlace arrows[walk::kArrowCount] = {
      {{5160, 240, 495, 495}, u"入力から取出し結果への矢印"},
      {{4200, 1680, 495, 495}, u"値からスタックへの矢印"},
      {{4200, 960, 495, 375}, u"取出し結果から値への矢印"},
      {{2280, 1680, 495, 495}, u"演算対象から演算子への矢印"},
      {{3000, 1320, 495, 495}, u"演算子から値への矢印"},
      {{2880, 2280, 495, 375}, u"スタックから演算対象への矢印"},
      {{1320, 2280, 495, 495}, u"演算対象から変数値への矢印"},
      {{1320, 2280, 495, 495}, u"変数値から演算対象への矢印"}};
  m_rpn = walk::buildRpnControls(this, {.frame1 = {5640, 120, 3735, 615},
                                        .frame2 = {3360, 120, 1815, 855},
                                        .frame2Inset = 0,
                                        .label4 = {120, 480, 3135, 255},
                                        .label5 = {3720, 1440, 375, 255},
                                        .text2 = {4080, 1440, 735, 270},
                                        .lblOpe = {2280, 1440, 615, 255},
                                        .frame4 = {1800, 2040, 1095, 855},
                                        .frame5 = {3360, 2040, 1695, 2775},
                                        .command1Caption = QStringLiteral("逐次実行"),
                                        .command1 = {5640, 840, 1095, 375},
                                        .check1 = {6840, 840, 1575, 255},
                                        .command3 = {5640, 1680, 1455, 495},
                                        .command4 = {7200, 1680, 1455, 495},
                                        .label6 = {6480, 2280, 735, 375},
                                        .label6WordWrap = true,
                                        .text3 = {7320, 2280, 735, 375},
                                        .arrows = arrows});

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
  m_rpn.raiseArrows();
  // The inputs (expression, variable values, value register, interval), the run controls in
  // reading order, then the reset.
  QList<QWidget*> order{m_rpn.Text1};
  order.append(QList<QWidget*>(m_txtName.begin(), m_txtName.end()));
  order << m_rpn.Text2 << m_rpn.Text3 << m_rpn.Command1 << m_rpn.Check1 << m_rpn.Command3
        << m_rpn.Command4 << m_rpn.Command2;
  setTabOrderChain(order);

  walk::connectRpnControls(m_rpn, this, m_engine);
  rememberControls(m_rpn.Text3, m_rpn.Check1);
  for (int i = 0; i < kVariableCount; ++i) {
    const auto k = static_cast<std::size_t>(i);
    takeEdits(
        m_txtName.at(k), this, [this, k] { return m_engine.view().txtName.at(k); },
        [this, i](const QString& text) { m_engine.setTxtName(i, text); });
  }
}

void Form2::autoRunTick() {
  rpn::autoRunTick(m_engine, m_dialogs, m_timer, m_framePaint, [this] { refresh(); });
}

void Form2::Timer1_Timer() {
  // A box held for the end of a press is open outside the engine's guard: the tick waits too.
  if (m_dialogs.boxOpen())
    return;
  m_engine.Timer1_Timer();
  refresh();
}

void Form2::load() {
  m_engine.Form_Load();
  refresh();
}

void Form2::restoreRemembered(const std::optional<QString>& interval, std::optional<bool> trace) {
  if (interval)
    m_engine.setText3(*interval);
  if (trace)
    m_engine.setCheck1(*trace);
  refresh();
}

void Form2::unload() {
  m_engine.unload();
  refresh();
}

void Form2::refresh() {
  m_framePaint.cancel();
  const ExecutionView& view = m_engine.view();
  walk::paintRpnControls(m_rpn, view);
  setTextIfChanged(m_rpn.Text3, view.Text3);
  for (std::size_t i = 0; i < m_txtName.size(); ++i) {
    setTextIfChanged(m_lblName[i], view.lblName[i]);
    setTextIfChanged(m_txtName[i], view.txtName[i]);
    paintMark(m_txtName[i], view.txtNameMark[i], MarkSense::Variable);
  }

  followInterval(m_timer, m_engine.driver().interval());
}

} // namespace rpn::execution
