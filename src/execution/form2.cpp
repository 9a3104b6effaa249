#include "form2.h"

namespace rpn::execution {
namespace {

using K = ControlKind;

// The way of a symbol, right to left along the top: the expression, the symbol just read; the
// operator, the value register and the stack below, the operands and the variables on the left;
// the run buttons under the expression.
constexpr walk::RpnArrowPlace kArrows[walk::kArrowCount] = {
    {{5160, 240, 495, 495}, u"入力から取出し結果への矢印"},
    {{4200, 1680, 495, 495}, u"値からスタックへの矢印"},
    {{4200, 960, 495, 375}, u"取出し結果から値への矢印"},
    {{2280, 1680, 495, 495}, u"演算対象から演算子への矢印"},
    {{3000, 1320, 495, 495}, u"演算子から値への矢印"},
    {{2880, 2280, 495, 375}, u"スタックから演算対象への矢印"},
    {{1320, 2280, 495, 495}, u"演算対象から変数値への矢印"},
    {{1320, 2280, 495, 495}, u"変数値から演算対象への矢印"}};

constexpr walk::RpnLayout kLayout{.frame1 = {5640, 120, 3735, 615},
                                  .frame2 = {3360, 120, 1815, 855},
                                  .frame2Inset = 0,
                                  .label4 = {120, 480, 3135, 255},
                                  .label5 = {3720, 1440, 375, 255},
                                  .text2 = {4080, 1440, 735, 270},
                                  .lblOpe = {2280, 1440, 615, 255},
                                  .frame4 = {1800, 2040, 1095, 855},
                                  .frame5 = {3360, 2040, 1695, 2775},
                                  .command1Caption = u"逐次実行",
                                  .command1 = {5640, 840, 1095, 375},
                                  .check1 = {6840, 840, 1575, 255},
                                  .command3 = {5640, 1680, 1455, 495},
                                  .command4 = {7200, 1680, 1455, 495},
                                  .label6 = {6480, 2280, 735, 375},
                                  .label6WordWrap = true,
                                  .text3 = {7320, 2280, 735, 375},
                                  .arrows = kArrows};

// The variable table on the left: names fixed, values free text.
constexpr ControlSpec kVariables[] = {
    {u"Frame3", K::Frame, u"変数値", {120, 1680, 1215, 2055}},
    {u"lblName", K::Label, {}, {120, 240, 255, 255}, {}, u"Frame3", kVariableCount, 240},
    {u"txtName", K::LineEdit, {}, {360, 240, 735, 270}, {}, u"Frame3", kVariableCount, 240},
};

} // namespace

Form2::Form2(Dialogs* dialogs, QWidget* parent) : RpnScreen(dialogs, parent) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("逆ポーランド記法の直接実行"));
  setClientSizeTwips(9435, 4920);
  m_rpn = walk::buildRpnControls(this, kLayout);
  const Controls c = buildControls(this, kVariables);
  for (int i = 0; i < kVariableCount; ++i) {
    const auto k = static_cast<std::size_t>(i);
    const QString& name = engine().view().lblName.at(k);
    m_lblName.at(k) = c.at<QLabel>(u"lblName", i);
    m_lblName.at(k)->setAccessibleName(QStringLiteral("変数名 %1").arg(name));
    m_txtName.at(k) = c.at<QLineEdit>(u"txtName", i);
    m_txtName.at(k)->setAccessibleName(QStringLiteral("変数%1の値").arg(name));
    takeEdits(
        m_txtName.at(k), this, [this, k] { return engine().view().txtName.at(k); },
        [this, i](const QString& text) { mutableEngine().setTxtName(i, text); });
  }
  m_rpn.raiseArrows();
  // The inputs (expression, variable values, value register, interval), the run controls in
  // reading order, then the reset.
  QList<QWidget*> order{m_rpn.Text1};
  order.append(QList<QWidget*>(m_txtName.begin(), m_txtName.end()));
  order << m_rpn.Text2 << m_rpn.Text3 << m_rpn.Command1 << m_rpn.Check1 << m_rpn.Command3
        << m_rpn.Command4 << m_rpn.Command2;
  setTabOrderChain(order);
  connectRpnControls(m_rpn);
  // Going back and forth: under the run buttons, in their columns.
  addMoveButtons(this, {{5640, 3000, 1455, 375}, {7200, 3000, 1455, 375}, {5640, 3480, 3015, 375}});
  refresh();
}

Form2::~Form2() = default;

void Form2::paint() {
  const ExecutionView& view = engine().view();
  walk::paintRpnControls(m_rpn, view);
  for (std::size_t i = 0; i < m_txtName.size(); ++i) {
    setTextIfChanged(m_lblName[i], view.lblName[i]);
    setTextIfChanged(m_txtName[i], view.txtName[i]);
    paintMark(m_txtName[i], view.txtNameMark[i], MarkSense::Variable);
  }
}

} // namespace rpn::execution
