#include "rpn_stack.h"

#include "common/characters.h"

#include <algorithm>
#include <cstddef>

namespace rpn::walk {
namespace {

constexpr std::int16_t kPhaseAfterRead = 2;

QString stackEmptyMessage() {
  return QStringLiteral("スタック空");
}
QString stackOverflowMessage() {
  return QStringLiteral("スタックオーバーフロー");
}

} // namespace

QString arrowCharacter(int number) {
  switch (number) {
  case 1:
  case 6:
  case 7:
    return QStringLiteral("←");
  case 2:
  case 3:
    return QStringLiteral("↓");
  case 4:
    return QStringLiteral("↑");
  case 5:
  case 8:
    return QStringLiteral("→");
  default:
    return {};
  }
}

bool isReference(QStringView text) {
  return text.startsWith(referencePrefix());
}

QString referencedName(const QString& reference) {
  return reference.mid(referencePrefix().size());
}

bool isOperatorSymbol(QStringView symbol) {
  static constexpr char16_t operators[] = u"+-/*=＋－";
  return symbol.size() == 1 && QStringView(operators).contains(symbol[0]);
}

void RpnStack::refresh() {
  if (m_rules.refresh)
    m_rules.refresh();
  else
    PaintStack();
}

void RpnStack::setArrows(std::initializer_list<int> shown, std::initializer_list<int> hidden) {
  for (const int number : shown)
    m_view.lblArrow.at(static_cast<std::size_t>(number - 1)) = m_rules.arrowCharacter(number);
  for (const int number : hidden)
    m_view.lblArrow.at(static_cast<std::size_t>(number - 1)).clear();
}

void RpnStack::hideAllArrows() {
  for (QString& arrow : m_view.lblArrow)
    arrow.clear();
}

void RpnStack::clearCells() {
  m_view.StackCount = 0;
  for (QString& cell : m_view.lblValue)
    cell.clear();
}

void RpnStack::ReadSymbol() {
  QString& s = m_view.Text1;
  if (s.isEmpty()) {
    m_view.lblCH.clear();
    m_view.lblKind = endClass();
    m_driver.setPhase(kPhaseAfterRead);
    return;
  }
  const qsizetype length = firstCharacterLength(s);
  // The symbol display keeps its text when the same symbol is read again.
  if (const QStringView c = QStringView(s).left(length); m_view.lblCH != c)
    m_view.lblCH = c.toString();
  // Removing from the front moves the start of the text and copies nothing, so reading a long
  // input costs the same for every symbol.
  s.remove(0, length);
  m_view.lblKind = isOperatorSymbol(m_view.lblCH) ? operatorClass() : nameClass();
  setArrows({1}, {2, 3, 4, 5, 6});
  m_view.Label4 = QStringLiteral("逆ポーランド記法取出し");
  m_driver.setPhase(kPhaseAfterRead);
}

void RpnStack::PushValue() {
  setArrows({2}, {1, 3, 4, 5, 6});
  m_view.Label4 = m_rules.pushCaption;
  if (m_view.StackCount < kStackCells) {
    m_view.lblValue.at(static_cast<std::size_t>(m_view.StackCount)) = m_view.Text2;
    ++m_view.StackCount;
    refresh();
  } else {
    inform(stackOverflowMessage());
    refresh();
  }
}

void RpnStack::PopOperands() {
  m_view.lblOpe1.clear();
  m_view.lblOpe2.clear();
  if (m_view.StackCount == 0) {
    inform(stackEmptyMessage());
    refresh();
    return;
  }
  --m_view.StackCount;
  QString& top = m_view.lblValue.at(static_cast<std::size_t>(m_view.StackCount));
  m_view.lblOpe2 = top;
  top.clear();
  if (m_view.StackCount == 0) {
    inform(stackEmptyMessage());
    refresh();
    return;
  }
  --m_view.StackCount;
  QString& next = m_view.lblValue.at(static_cast<std::size_t>(m_view.StackCount));
  m_view.lblOpe1 = next;
  next.clear();
  refresh();
}

void RpnStack::PopOperand() {
  m_view.lblOpe1.clear();
  m_view.lblOpe2.clear();
  if (m_view.StackCount == 0) {
    inform(stackEmptyMessage());
  } else {
    --m_view.StackCount;
    QString& top = m_view.lblValue.at(static_cast<std::size_t>(m_view.StackCount));
    m_view.lblOpe1 = top;
    top.clear();
  }
  refresh();
}

void RpnStack::PaintStack() {
  auto& marks = m_view.lblValueMark;
  const auto occupied = std::clamp<std::ptrdiff_t>(m_view.StackCount, 0, kStackCells);
  std::fill(marks.begin(), marks.begin() + occupied, Mark::Red);
  std::fill(marks.begin() + occupied, marks.end(), Mark::White);
}

void RpnStack::PressRunToEnd(const std::function<void()>& executeSymbol, QString& savedExpression,
                             std::int16_t symbolPhase, std::int16_t pushPhase) {
  if (!m_driver.running()) {
    savedExpression = m_view.Text1;
    RunToEnd(executeSymbol);
    return;
  }
  m_driver.stop();
  const std::int16_t phase = m_driver.phase();
  RunToEnd(executeSymbol, phase == symbolPhase ? Resume::Execute
                          : phase == pushPhase ? Resume::Push
                                               : Resume::Read);
}

void RpnStack::RunToEnd(const std::function<void()>& executeSymbol, Resume from) {
  const auto trace = [this](const QString& text) {
    if (m_view.Check1)
      inform(text);
  };
  const QString readBox = QStringLiteral("ポーランド記法取出し");
  if (from == Resume::Read) {
    ReadSymbol();
    trace(readBox);
  }
  // A push in hand belongs to a symbol already read and stepped, whatever lblKind shows now.
  bool pushInHand = from == Resume::Push;
  while (pushInHand || m_view.lblKind != endClass()) {
    if (!pushInHand) {
      executeSymbol();
      trace(QStringLiteral("実行途中"));
    }
    pushInHand = false;
    PushValue();
    trace(QStringLiteral("値プッシュ"));
    ReadSymbol();
    trace(readBox);
  }
}

bool RpnStack::BlinkTopCell(std::int16_t& count) {
  // A count that is not positive (never set) ends the display at once rather than blinking on.
  count = count > 1 ? static_cast<std::int16_t>(count - 1) : std::int16_t{0};
  if (count == 0) {
    m_view.Label4.clear();
    return true;
  }
  const Mark colour = count % 2 != 0 ? Mark::White : Mark::Yellow;
  if (m_view.StackCount > 0)
    m_view.lblValueMark.at(static_cast<std::size_t>(m_view.StackCount - 1)) = colour;
  m_view.Label4 = m_view.StackCount == 1 ? QStringLiteral("正常終了") : QStringLiteral("異常終了");
  return false;
}

} // namespace rpn::walk
