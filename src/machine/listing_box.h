// The listing box of the assembler screen: a text box with a narrow margin at its left in which
// the lines marked as breakpoints carry a red dot. The margin lies outside the text, so the
// listing's columns stay as they are.
#pragma once

#include <QPlainTextEdit>
#include <vector>

namespace rpn::machine {

class ListingBox final : public QPlainTextEdit {
  Q_OBJECT
public:
  explicit ListingBox(QWidget* parent = nullptr);

  // The lines of the box (from 0) that carry a mark.
  void setMarkedLines(std::vector<int> lines);
  const std::vector<int>& markedLines() const { return m_marked; }
  // The line of the box at a height in the viewport (or the margin), -1 below the last.
  int lineAt(int y) const;

signals:
  // A double click on a line of the text or beside it in the margin.
  void lineDoubleClicked(int line);

protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
  class Margin;
  void paintMargin(QPaintEvent* event);
  void placeMargin();
  Margin* m_margin;
  std::vector<int> m_marked;
};

} // namespace rpn::machine
