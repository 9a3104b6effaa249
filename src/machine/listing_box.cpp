#include "listing_box.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTextBlock>
#include <algorithm>

namespace rpn::machine {

class ListingBox::Margin final : public QWidget {
public:
  explicit Margin(ListingBox& box) : QWidget(&box), m_box(box) {
    setCursor(Qt::PointingHandCursor);
  }

protected:
  void paintEvent(QPaintEvent* event) override { m_box.paintMargin(event); }
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    const int line = m_box.lineAt(event->position().toPoint().y());
    if (line >= 0)
      emit m_box.lineDoubleClicked(line);
  }

private:
  ListingBox& m_box;
};

namespace {

int marginWidth(const QWidget& box) {
  return box.fontMetrics().height() * 3 / 4 + 4;
}

} // namespace

ListingBox::ListingBox(QWidget* parent) : QPlainTextEdit(parent), m_margin(new Margin(*this)) {
  setViewportMargins(marginWidth(*this), 0, 0, 0);
  // The dots follow the text as it scrolls and as lines come and go.
  connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
    if (dy != 0)
      m_margin->scroll(0, dy);
    else
      m_margin->update(0, rect.y(), m_margin->width(), rect.height());
  });
}

void ListingBox::setMarkedLines(std::vector<int> lines) {
  if (lines == m_marked)
    return;
  m_marked = std::move(lines);
  m_margin->update();
}

int ListingBox::lineAt(int y) const {
  for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
    const QRectF box = blockBoundingGeometry(block).translated(contentOffset());
    if (y < box.top())
      return -1;
    if (y < box.bottom())
      return block.blockNumber();
  }
  return -1;
}

void ListingBox::changeEvent(QEvent* event) {
  QPlainTextEdit::changeEvent(event);
  if (event->type() == QEvent::FontChange) { // the zoom: the dots grow with the text
    setViewportMargins(marginWidth(*this), 0, 0, 0);
    placeMargin();
  }
}

void ListingBox::placeMargin() {
  const QRect area = contentsRect();
  m_margin->setGeometry(area.left(), area.top(), marginWidth(*this), area.height());
}

void ListingBox::resizeEvent(QResizeEvent* event) {
  QPlainTextEdit::resizeEvent(event);
  placeMargin();
}

void ListingBox::mouseDoubleClickEvent(QMouseEvent* event) {
  // A double click marks or unmarks its line rather than selecting a word.
  const int line = lineAt(event->position().toPoint().y());
  if (line >= 0)
    emit lineDoubleClicked(line);
  event->accept();
}

void ListingBox::paintMargin(QPaintEvent* event) {
  QPainter painter(m_margin);
  painter.fillRect(event->rect(), palette().color(QPalette::Base));
  if (m_marked.empty())
    return;
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(255, 0, 0));
  const int diameter = std::max(6, fontMetrics().height() / 2);
  for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
    const QRectF box = blockBoundingGeometry(block).translated(contentOffset());
    if (box.top() > event->rect().bottom())
      break;
    if (!std::binary_search(m_marked.begin(), m_marked.end(), block.blockNumber()))
      continue;
    const int top = static_cast<int>(box.top()) + (fontMetrics().height() - diameter) / 2;
    painter.drawEllipse((m_margin->width() - diameter) / 2, top, diameter, diameter);
  }
}

} // namespace rpn::machine
