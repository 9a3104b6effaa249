// The program's zoom, window by window and step by step: every control keeps its 100 % rectangle
// times the zoom, every font grows by the zoom, no caption outgrows its control, no two controls
// start to overlap, and the windows keep their proportions. The largest step runs again under
// QT_SCALE_FACTOR 2 and 1.5 (see CMakeLists.txt).
#include "common/screen_kit.h"
#include "shell_windows.h"

#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QTimer>
#include <climits>
#include <cmath>
#include <map>
#include <set>

namespace rpn {
namespace {

using namespace Qt::StringLiterals;

// The controls as the layout places them, by their path of objectNames below the window. The
// menu bar and the menus are sized by the style, not laid out in twips.
struct Placed {
  QWidget* widget;
  QRect rect;
  qreal points;
};
using Layout = std::map<QString, Placed>;

Layout layoutOf(QWidget* window) {
  Layout layout;
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    if (widget->objectName().isEmpty() || widget->objectName().startsWith(u"qt_"_s) ||
        widget->isWindow() || widget->objectName() == u"MenuBar"_s)
      continue;
    QString path = widget->objectName();
    for (QWidget* up = widget->parentWidget(); up && up != window; up = up->parentWidget())
      path = up->objectName() + u'/' + path;
    layout[path] = {widget, widget->geometry(), widget->font().pointSizeF()};
  }
  return layout;
}

// Where the ink of a wrapped caption falls when the label centres it vertically: outside the
// label's rows, or nothing at all, is a problem.
QString wrappedInk(const QLabel* label, const QRect& area) {
  const int flags = static_cast<int>(Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop);
  const QRect needed =
      label->fontMetrics().boundingRect(QRect(0, 0, area.width(), 10000), flags, label->text());
  QImage image(area.width(), needed.height() + 2, QImage::Format_Grayscale8);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setFont(label->font());
  painter.drawText(QRect(0, 0, area.width(), needed.height()), flags, label->text());
  painter.end();
  int first = -1, last = -1;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 160) {
        first = first < 0 ? y : first;
        last = y;
        break;
      }
  const int offset = (needed.height() - area.height()) / 2;
  return first < 0 || last - offset >= area.height()
             ? u"wrapped text inked from row %1 to %2 of %3"_s.arg(first - offset)
                   .arg(last - offset)
                   .arg(area.height())
             : QString();
}

// What would be cut off: a caption wider or taller than its control, a picture of another size,
// ink of a wrapped caption outside its label.
QString clipping(const QWidget* widget) {
  const QFontMetrics metrics = widget->fontMetrics();
  const auto fits = [&metrics](const QString& text, int width, int height = 1 << 20) {
    if (metrics.horizontalAdvance(text) > width)
      return u"\"%1\" wider than %2"_s.arg(text).arg(width);
    return metrics.ascent() + metrics.descent() > height + 1
               ? u"\"%1\" taller than %2"_s.arg(text).arg(height)
               : QString();
  };
  if (const auto* label = qobject_cast<const QLabel*>(widget)) {
    const QRect area = label->contentsRect();
    if (const QPixmap picture = label->pixmap(); !picture.isNull()) {
      const QSize size = picture.deviceIndependentSize().toSize();
      return std::abs(size.width() - area.width()) > 1 ||
                     std::abs(size.height() - area.height()) > 1
                 ? u"picture of %1x%2 in %3x%4"_s.arg(size.width())
                       .arg(size.height())
                       .arg(area.width())
                       .arg(area.height())
                 : QString();
    }
    if (label->text().isEmpty())
      return {};
    return label->wordWrap() ? wrappedInk(label, area)
                             : fits(label->text(), area.width(), area.height());
  }
  if (const auto* check = qobject_cast<const QCheckBox*>(widget))
    return check->sizeHint().width() > check->width()
               ? u"tick box needs %1 in %2"_s.arg(check->sizeHint().width()).arg(check->width())
               : QString();
  if (const auto* button = qobject_cast<const QPushButton*>(widget))
    return fits(QString(button->text()).remove(u'&'), button->width() - 4, button->height() - 2);
  if (const auto* frame = qobject_cast<const QGroupBox*>(widget))
    return fits(frame->title(), frame->width() - 8);
  if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
    return fits(edit->text(), edit->width() - 4, edit->height() - 2);
  if (const auto* list = qobject_cast<const QListWidget*>(widget))
    for (int i = 0; i < list->count(); ++i)
      if (QString problem = fits(list->item(i)->text(), list->viewport()->width());
          !problem.isEmpty())
        return problem;
  return {};
}

// Pairs of sibling controls that overlap.
std::set<std::pair<QString, QString>> overlaps(const Layout& layout) {
  std::set<std::pair<QString, QString>> pairs;
  for (auto a = layout.begin(); a != layout.end(); ++a)
    for (auto b = std::next(a); b != layout.end(); ++b)
      if (a->second.widget->parentWidget() == b->second.widget->parentWidget() &&
          a->second.rect.intersects(b->second.rect))
        pairs.emplace(a->first, b->first);
  return pairs;
}

bool near(int actual, double expected) {
  return std::abs(actual - expected) <= 1.0;
}

// A window at zoom against its 100 % layout: every control scaled, legible and inside its frame,
// no new overlap, the window's proportions kept (the assembler screen's menu bar follows its font).
void expectScaled(QWidget* window, const Layout& base, QSize baseSize, double zoom) {
  const Layout now = layoutOf(window);
  ASSERT_EQ(now.size(), base.size());
  for (const auto& [path, was] : base) {
    const auto found = now.find(path);
    ASSERT_NE(found, now.end()) << path.toStdString();
    const QRect is = found->second.rect;
    const QRect& r = was.rect;
    SCOPED_TRACE(path.toStdString() + " at " + std::to_string(zoom));
    // A panel placed by a layout (the assembler screen's client area below its menu bar) keeps
    // its size times the zoom; where it stands is the layout's business.
    if (found->second.widget->parentWidget()->layout())
      EXPECT_TRUE(near(is.width(), r.width() * zoom) && near(is.height(), r.height() * zoom));
    else
      EXPECT_TRUE(near(is.left(), r.left() * zoom) && near(is.top(), r.top() * zoom) &&
                  near(is.right() + 1, (r.right() + 1) * zoom) &&
                  near(is.bottom() + 1, (r.bottom() + 1) * zoom))
          << is.x() << ',' << is.y() << ' ' << is.width() << 'x' << is.height() << " from " << r.x()
          << ',' << r.y() << ' ' << r.width() << 'x' << r.height();
    EXPECT_NEAR(found->second.points, was.points * zoom, 0.01);
    EXPECT_EQ(clipping(found->second.widget), QString());
    EXPECT_TRUE(found->second.widget->parentWidget()->rect().contains(is)) << "outside its frame";
  }
  EXPECT_EQ(overlaps(now), overlaps(base));
  const QSize size = window->size();
  EXPECT_TRUE(near(size.width(), baseSize.width() * zoom)) << size.width();
  EXPECT_NEAR(static_cast<double>(size.width()) / size.height(),
              static_cast<double>(baseSize.width()) / baseSize.height(), 0.015)
      << size.width() << 'x' << size.height();
}

class ZoomTable : public ::testing::TestWithParam<std::tuple<test::Window, int>> {
protected:
  test::RecordingDialogs boxes;
};

// Opened at 100 %, then zoomed, past the largest zoom and back: the layout never drifts. Created
// while the program is zoomed: the window opens at the zoom.
TEST_P(ZoomTable, EveryControlScalesWithTheWindow) {
  const auto& [window, percent] = GetParam();
  FrmMain menu{&boxes};
  QWidget* shown = window.open(menu);
  const Layout base = layoutOf(shown);
  const QSize baseSize = shown->size();
  ASSERT_GT(base.size(), 1u);
  for (int step : {300, 125, percent})
    menu.setZoomPercent(step);
  EXPECT_EQ(menu.zoomPercent(), percent);
  expectScaled(shown, base, baseSize, percent / 100.0);
  FrmMain zoomed{&boxes};
  zoomed.setZoomPercent(percent);
  expectScaled(window.open(zoomed), base, baseSize, percent / 100.0);
}

INSTANTIATE_TEST_SUITE_P(WindowsAndSteps, ZoomTable,
                         ::testing::Combine(::testing::ValuesIn(test::kWindows),
                                            ::testing::Values(100, 125, 150, 200, 250, 300)),
                         [](const auto& param) {
                           return std::string(std::get<0>(param.param).name) + '_' +
                                  std::to_string(std::get<1>(param.param));
                         });

// The keys work in whichever window of the program is active (that every window follows a zoom:
// the zoom table). A step up or down stays within 100..300 in steps of 25; the menu takes any
// percent to the nearest step; boxes and menus are as large as the window they belong to.
TEST(ZoomSteps, KeysInAnyWindowStepsWithinTheRangeAndBoxesAndMenusFollow) {
  test::RecordingDialogs boxes;
  FrmMain menu{&boxes};
  const qreal points = menu.font().pointSizeF();
  QWidget* windows[] = {test::kWindows[0].open(menu), test::kWindows[1].open(menu),
                        test::kWindows[4].open(menu), test::kWindows[5].open(menu)};
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int window, percent;
  } presses[] = {
      // clang-format off
      {Qt::Key_Plus, Qt::ControlModifier, 0, 125}, {Qt::Key_Equal, Qt::ControlModifier, 1, 150},
      {Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier, 2, 175},
      {Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier, 3, 150},
      {Qt::Key_Plus, Qt::ControlModifier, 3, 175},
      {Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier, 1, 200},
      {Qt::Key_0, Qt::ControlModifier, 2, 100}, {Qt::Key_Minus, Qt::ControlModifier, 0, 100},
      {Qt::Key_Plus, Qt::NoModifier, 1, 100}, // a plain "+" is typing, not zooming
      // clang-format on
  };
  for (const auto& press : presses) {
    QWidget* window = windows[press.window];
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window)) << window->objectName().toStdString();
    QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, press.key,
                    press.modifiers);
    EXPECT_EQ(menu.zoomPercent(), press.percent)
        << window->objectName().toStdString() << ' ' << press.key;
  }
  const struct {
    int from, direction, to;
  } cases[] = {{275, +1, 300}, {300, +1, 300}, {100, -1, 100}, {160, +1, 175}, {160, -1, 150},
               {40, -1, 100},  {40, +1, 125},  {900, -1, 275}, {200, 0, 200}};
  for (const auto& c : cases)
    EXPECT_EQ(steppedZoom(c.from, c.direction), c.to) << c.from << ' ' << c.direction;
  const std::pair<int, int> asked[] = {{160, 150}, {163, 175}, {INT_MIN, 100},
                                       {287, 275}, {288, 300}, {INT_MAX, 300}};
  for (const auto& [percent, taken] : asked) {
    menu.setZoomPercent(percent);
    EXPECT_EQ(menu.zoomPercent(), taken) << percent;
  }
  machine::FrmAssembler& assembler = menu.frmAssembler();
  for (const QString& name : {u"mnuFile"_s, u"mnuRecent"_s})
    EXPECT_NEAR(test::control<QMenu>(&assembler, name)->font().pointSizeF(), 3 * points, 0.01);
  MessageBoxDialogs real(&assembler);
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_NE(box, nullptr);
    EXPECT_NEAR(box->font().pointSizeF(), 3 * points, 0.01);
    box->close();
  });
  real.inform(u"テスト"_s);
}

} // namespace
} // namespace rpn
