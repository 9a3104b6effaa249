#include "frm_compile.h"

#include <algorithm>

namespace rpn::translation {
namespace {

using K = ControlKind;

// The way of a symbol, right to left along the top: the expression, the symbol just read,
// the value register; the operator and the operands on the left, the stack below the register;
// the run buttons on the right.
constexpr walk::RpnArrowPlace kArrows[kScreenArrows] = {
    {{5340, 240, 495, 495}, u"入力から取出し結果への矢印"},
    {{2040, 1080, 495, 495}, u"値からスタックへの矢印"},
    {{2880, 600, 495, 495}, u"取出し結果から値への矢印"},
    {{300, 1080, 495, 495}, u"演算対象から演算子への矢印"},
    {{1020, 600, 495, 495}, u"演算子から値への矢印"},
    {{1260, 1800, 495, 375}, u"スタックから演算対象への矢印"}};

constexpr walk::RpnLayout kLayout{.frame1 = {5880, 120, 3735, 615},
                                  .frame2 = {3480, 120, 1815, 855},
                                  .frame2Inset = 120,
                                  .label4 = {120, 120, 3240, 255},
                                  .label5 = {1800, 420, 375, 255},
                                  .text2 = {1800, 690, 975, 285},
                                  .lblOpe = {240, 705, 615, 255},
                                  .frame4 = {120, 1680, 1095, 855},
                                  .frame5 = {1800, 1680, 1575, 2775},
                                  .command1Caption = u"変換開始",
                                  .command1 = {8160, 1080, 1335, 375},
                                  .check1 = {9600, 1140, 1575, 255},
                                  .command3 = {8160, 1560, 1455, 495},
                                  .command4 = {9720, 1560, 1455, 495},
                                  .label6 = {8160, 2175, 1215, 255},
                                  .label6WordWrap = false,
                                  .text3 = {9480, 2160, 735, 285},
                                  .arrows = kArrows};

// The variable table and the object listing in the middle, the optimiser and the hand-off on
// the right.
constexpr ControlSpec kOwnControls[] = {
    {u"Frame3", K::Frame, u"変数名テーブル", {3480, 1080, 1455, 4095}},
    {u"Label8", K::Label, u"個数", {120, 270, 495, 255}, {}, u"Frame3"},
    {u"lblPtr", K::Cell, {}, {660, 270, 615, 255}, u"変数名テーブルの個数", u"Frame3"},
    {u"lblName", K::Cell, {}, {180, 600, 1095, 255}, u"変数名 %1", u"Frame3", kNameLabels, 240},
    {u"Label7", K::Label, u"オブジェクト", {5040, 1080, 1215, 255}},
    {u"Command5", K::Button, u"オブジェクト最適化", {8160, 2640, 3015, 495}},
    {u"Command6", K::Button, u"擬似アセンブラ", {8160, 3240, 3015, 495}},
};

} // namespace

FrmCompile::FrmCompile(Dialogs* dialogs, QWidget* parent) : RpnScreen(dialogs, parent) {
  setObjectName(QStringLiteral("frmCompile"));
  setWindowTitle(QStringLiteral("逆ポーランド記法の翻訳"));
  setClientSizeTwips(11400, 5400);
  m_rpn = walk::buildRpnControls(this, kLayout);
  const Controls c = buildControls(this, kOwnControls);
  m_frame3 = c.get<QGroupBox>(u"Frame3");
  m_lblPtr = c.get<QLabel>(u"lblPtr");
  for (int i = 0; i < kNameLabels; ++i)
    m_lblName.at(static_cast<std::size_t>(i)) = c.at<QLabel>(u"lblName", i);
  m_list1 = new QListWidget(this);
  m_list1->setObjectName(QStringLiteral("List1"));
  m_list1->setAccessibleName(QStringLiteral("オブジェクトの一覧"));
  placeAt(m_list1, twipsRect(5040, 1320, 3015, 3855));
  m_list1->setFont(fixedPitchFont());
  m_list1->setSelectionMode(QAbstractItemView::SingleSelection);
  auto* command5 = c.get<QPushButton>(u"Command5");
  auto* command6 = c.get<QPushButton>(u"Command6");

  m_rpn.raiseArrows();
  // The inputs (expression, value register, interval), the run controls in reading order, the
  // optimiser and the hand-off, the reset, then the listing.
  setTabOrderChain({m_rpn.Text1, m_rpn.Text2, m_rpn.Text3, m_rpn.Command1, m_rpn.Check1,
                    m_rpn.Command3, m_rpn.Command4, command5, command6, m_rpn.Command2, m_list1});
  giveShortcut(command5, QKeySequence(Qt::ALT | Qt::Key_O));
  giveShortcut(command6, QKeySequence(Qt::ALT | Qt::Key_G));
  connectRpnControls(m_rpn);
  connectPress(command5, &TranslationEngine::Command5_Click);
  connect(command6, &QPushButton::clicked, this, &FrmCompile::Command6_Click);
  // Going back and forth: under the hand-off button, sharing its width.
  addMoveButtons(this, {{8160, 3960, 1455, 375}, {9720, 3960, 1455, 375}, {8160, 4440, 3015, 375}});
  refresh();
}

FrmCompile::~FrmCompile() = default;

void FrmCompile::Command6_Click() {
  const std::optional<QString> source = mutableEngine().Command6_Click();
  refresh();
  if (source && m_handOff)
    m_handOff(*source);
}

void FrmCompile::showListing(const QStringList& lines) {
  // The listing is compared with what it was last given (the user cannot edit it): reading 300
  // items back from the list at every repaint cost more than the rest of the repaint. A listing
  // that only grew at its end gets its new lines alone, so a traced translation does not build
  // the whole list again at every box.
  if (m_shownList == lines)
    return;
  const qsizetype shown = m_shownList.size();
  const bool grew =
      shown < lines.size() && std::equal(m_shownList.begin(), m_shownList.end(), lines.begin());
  if (!grew)
    m_list1->clear();
  m_list1->addItems(grew ? lines.mid(shown) : lines);
  m_shownList = lines;
}

void FrmCompile::paint() {
  const TranslationView& view = engine().view();
  walk::paintRpnControls(m_rpn, view);
  setTextIfChanged(m_lblPtr, view.lblPtr);
  for (std::size_t i = 0; i < m_lblName.size(); ++i) {
    setTextIfChanged(m_lblName[i], view.lblName[i]);
    paintMark(m_lblName[i], view.lblNameMark[i], MarkSense::NameTable);
  }
  showListing(view.List1);
  paintMark(m_list1, view.List1Mark, MarkSense::Blink);
  paintMark(m_frame3, view.Frame3Mark, MarkSense::Blink);
}

} // namespace rpn::translation
