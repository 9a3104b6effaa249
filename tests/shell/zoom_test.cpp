// The program's zoom, window by window and step by step: every control keeps its 100 % rectangle
// times the zoom, every font grows by the zoom, no caption outgrows its control, no two controls
// start to overlap, and the windows keep their proportions. The same table runs again under
// QT_SCALE_FACTOR 2 and 1.5 (see CMakeLists.txt).
#include "common/screen_kit.h"
#include "conversion/form1.h"
#include "execution/form2.h"
#include "machine/frm_assembler.h"
#include "shell/frm_main.h"
#include "support/recording_dialogs.h"
#include "support/widget_lookup.h"
#include "translation/frm_compile.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace rpn {
namespace {

using namespace Qt::StringLiterals;

struct WindowCase {
  const char* name;
  QWidget* (*open)(FrmMain&);
};

void PrintTo(const WindowCase& window, std::ostream* os) {
  *os << window.name;
}

machine::HelpPages& help(FrmMain& menu) {
  return menu.frmAssembler().helpPages();
}

const WindowCase kWindows[] = {
    {"frmMain", [](FrmMain& m) -> QWidget* { return &m; }},
    {"Form1", [](FrmMain& m) -> QWidget* { return (m.form1().showScreen(), &m.form1()); }},
    {"Form2", [](FrmMain& m) -> QWidget* { return (m.form2().showScreen(), &m.form2()); }},
    {"frmCompile",
     [](FrmMain& m) -> QWidget* { return (m.frmCompile().showScreen(), &m.frmCompile()); }},
    {"frmAssembler",
     [](FrmMain& m) -> QWidget* { return (m.frmAssembler().showScreen(), &m.frmAssembler()); }},
    {"frmHelp1", [](FrmMain& m) -> QWidget* { return (help(m).show(1), &help(m).page(1)); }},
    {"frmHelp2", [](FrmMain& m) -> QWidget* { return (help(m).show(2), &help(m).page(2)); }},
    {"frmHelp3", [](FrmMain& m) -> QWidget* { return (help(m).show(3), &help(m).page(3)); }},
};

// A control as the layout places it, by its path of objectNames below the window.
struct Placed {
  QWidget* widget;
  QRect rect;
  qreal points;
};
using Layout = std::map<QString, Placed>;

Layout layoutOf(QWidget* window) {
  Layout layout;
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    // The menu bar and the menus are sized by the style, not laid out in twips.
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

// The rows a wrapped text puts ink on when the label centres it in area: the first and the last,
// counted from the top of area.
std::pair<int, int> inkRows(const QLabel* label, const QRect& area) {
  const QFontMetrics metrics = label->fontMetrics();
  const int flags = static_cast<int>(Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop);
  const QRect needed = metrics.boundingRect(QRect(0, 0, area.width(), 10000), flags, label->text());
  QImage image(area.width(), needed.height() + 2, QImage::Format_Grayscale8);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setFont(label->font());
  painter.setPen(Qt::black);
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
  return {first - offset, last - offset};
}

// What would be cut off: a caption wider than its control, a text taller than its line, ink of
// a wrapped caption outside its label.
QString clipping(const QWidget* widget) {
  const QFontMetrics metrics = widget->fontMetrics();
  const auto tooWide = [&](const QString& text, int room) {
    return metrics.horizontalAdvance(text) > room
               ? u"text \""_s + text + u"\" wider than "_s + QString::number(room)
               : QString();
  };
  const auto tooTall = [&](int room) {
    return metrics.ascent() + metrics.descent() > room + 1
               ? u"text taller than "_s + QString::number(room)
               : QString();
  };
  if (const auto* label = qobject_cast<const QLabel*>(widget)) {
    const QRect area = label->contentsRect();
    if (const QPixmap picture = label->pixmap(); !picture.isNull()) {
      const QSize size = picture.deviceIndependentSize().toSize();
      return std::abs(size.width() - area.width()) > 1 ||
                     std::abs(size.height() - area.height()) > 1
                 ? u"picture of "_s + QString::number(size.width()) + u'x' +
                       QString::number(size.height()) + u" in "_s + QString::number(area.width()) +
                       u'x' + QString::number(area.height())
                 : QString();
    }
    if (label->text().isEmpty())
      return {};
    if (label->wordWrap()) {
      const auto [first, last] = inkRows(label, area);
      return first < 0 || last >= area.height()
                 ? u"wrapped text inked from row "_s + QString::number(first) + u" to "_s +
                       QString::number(last) + u" of "_s + QString::number(area.height())
                 : QString();
    }
    QString problem = tooWide(label->text(), area.width());
    return problem.isEmpty() ? tooTall(area.height()) : problem;
  }
  if (const auto* check = qobject_cast<const QCheckBox*>(widget))
    return check->sizeHint().width() > check->width()
               ? u"tick box needs "_s + QString::number(check->sizeHint().width()) + u" in "_s +
                     QString::number(check->width()) + u" "_s + check->font().family() + u" "_s +
                     QString::number(check->font().pointSizeF())
               : QString();
  if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
    QString problem = tooWide(QString(button->text()).remove(u'&'), button->width() - 4);
    return problem.isEmpty() ? tooTall(button->height() - 2) : problem;
  }
  if (const auto* frame = qobject_cast<const QGroupBox*>(widget))
    return tooWide(frame->title(), frame->width() - 8);
  if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
    QString problem = tooWide(edit->text(), edit->width() - 4);
    return problem.isEmpty() ? tooTall(edit->height() - 2) : problem;
  }
  if (const auto* list = qobject_cast<const QListWidget*>(widget))
    for (int i = 0; i < list->count(); ++i)
      if (QString problem = tooWide(list->item(i)->text(), list->viewport()->width());
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

class ZoomTable : public ::testing::TestWithParam<std::tuple<WindowCase, int>> {
protected:
  // Compares window at zoom with the 100 % layout.
  void expectScaled(QWidget* window, const Layout& base, QSize baseSize, double zoom) {
    const Layout now = layoutOf(window);
    ASSERT_EQ(now.size(), base.size());
    for (const auto& [path, was] : base) {
      const auto found = now.find(path);
      ASSERT_NE(found, now.end()) << path.toStdString();
      const QRect is = found->second.rect;
      const QRect& r = was.rect;
      // A panel placed by a layout (the assembler screen's client area below its menu bar) keeps
      // its size times the zoom; where it stands is the layout's business.
      if (found->second.widget->parentWidget()->layout())
        EXPECT_TRUE(near(is.width(), r.width() * zoom) && near(is.height(), r.height() * zoom))
            << path.toStdString();
      else
        EXPECT_TRUE(near(is.left(), r.left() * zoom) && near(is.top(), r.top() * zoom) &&
                    near(is.left() + is.width(), (r.left() + r.width()) * zoom) &&
                    near(is.top() + is.height(), (r.top() + r.height()) * zoom))
            << path.toStdString() << " at " << zoom << ": " << is.x() << ',' << is.y() << ' '
            << is.width() << 'x' << is.height() << " from " << r.x() << ',' << r.y() << ' '
            << r.width() << 'x' << r.height();
      EXPECT_NEAR(found->second.points, was.points * zoom, 0.01) << path.toStdString();
      const QString problem = clipping(found->second.widget);
      EXPECT_TRUE(problem.isEmpty())
          << path.toStdString() << " at " << zoom << ": " << problem.toStdString();
    }
    EXPECT_EQ(overlaps(now), overlaps(base));
    // The window keeps its proportions; the assembler screen's menu bar follows its font.
    const QSize size = window->size();
    EXPECT_TRUE(near(size.width(), baseSize.width() * zoom)) << size.width();
    EXPECT_NEAR(static_cast<double>(size.width()) / size.height(),
                static_cast<double>(baseSize.width()) / baseSize.height(), 0.015)
        << size.width() << 'x' << size.height();
  }

  test::RecordingDialogs boxes;
};

TEST_P(ZoomTable, EveryControlScalesWithTheWindow) {
  const auto& [window, percent] = GetParam();
  const double zoom = percent / 100.0;

  // Opened at 100 %, then zoomed, past the largest zoom and back: the layout never drifts.
  FrmMain menu{&boxes};
  QWidget* shown = window.open(menu);
  const Layout base = layoutOf(shown);
  const QSize baseSize = shown->size();
  ASSERT_GT(base.size(), 1u);
  for (const auto& [path, placed] : base)
    EXPECT_TRUE(clipping(placed.widget).isEmpty())
        << path.toStdString() << ": " << clipping(placed.widget).toStdString();
  for (int step : {300, 125, percent}) {
    menu.setZoomPercent(step);
    EXPECT_EQ(menu.zoomPercent(), step);
  }
  expectScaled(shown, base, baseSize, zoom);

  // Created while the program is zoomed: it opens at the zoom.
  FrmMain zoomed{&boxes};
  zoomed.setZoomPercent(percent);
  expectScaled(window.open(zoomed), base, baseSize, zoom);
}

std::string caseName(const ::testing::TestParamInfo<std::tuple<WindowCase, int>>& info) {
  return std::string(std::get<0>(info.param).name) + '_' + std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(WindowsAndSteps, ZoomTable,
                         ::testing::Combine(::testing::ValuesIn(kWindows),
                                            ::testing::Values(100, 125, 150, 200, 250, 300)),
                         caseName);

TEST(ZoomSteps, StepUpAndDownWithinTheRange) {
  const struct {
    int from, direction, to;
  } cases[] = {{100, +1, 125}, {125, +1, 150}, {275, +1, 300}, {300, +1, 300}, {300, -1, 275},
               {125, -1, 100}, {100, -1, 100}, {160, +1, 175}, {160, -1, 150}, {40, -1, 100},
               {40, +1, 125},  {900, -1, 275}, {900, +1, 300}, {200, 0, 200}};
  for (const auto& c : cases)
    EXPECT_EQ(steppedZoom(c.from, c.direction), c.to) << c.from << ' ' << c.direction;
  for (int percent = 0; percent <= 400; ++percent)
    EXPECT_EQ(isZoomStep(percent), percent >= 100 && percent <= 300 && percent % 25 == 0);
}

TEST(ZoomSteps, TheMenuTakesAnyPercentToTheNearestStep) {
  test::RecordingDialogs boxes;
  FrmMain menu{&boxes};
  const struct {
    int asked, taken;
  } cases[] = {{160, 150},    {163, 175},     {0, 100},       {-5000, 100}, {301, 300},
               {100000, 300}, {INT_MIN, 100}, {INT_MAX, 300}, {287, 275},   {288, 300}};
  for (const auto& c : cases) {
    menu.setZoomPercent(c.asked);
    EXPECT_EQ(menu.zoomPercent(), c.taken) << c.asked;
  }
}

// The keys work in whichever window of the program is active, and every window follows.
TEST(ZoomKeys, CtrlPlusMinusAndZeroInAnyWindow) {
  test::RecordingDialogs boxes;
  FrmMain menu{&boxes};
  menu.show();
  menu.form1().showScreen();
  menu.frmAssembler().showScreen();
  menu.frmAssembler().Command6_Click();
  QWidget* page = &menu.frmAssembler().helpPages().page(1);
  QWidget* windows[] = {&menu, &menu.form1(), &menu.frmAssembler(), page};
  const QSize base[] = {menu.size(), menu.form1().size(), menu.frmAssembler().size(), page->size()};

  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int window;
    int percent;
  } presses[] = {
      {Qt::Key_Plus, Qt::ControlModifier, 0, 125},
      {Qt::Key_Equal, Qt::ControlModifier, 1, 150},
      {Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier, 2, 175},
      {Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier, 3, 150},
      {Qt::Key_Plus, Qt::ControlModifier, 3, 175},
      {Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier, 1, 200},
      {Qt::Key_Plus, Qt::ControlModifier, 1, 225},
      {Qt::Key_Plus, Qt::ControlModifier, 1, 250},
      {Qt::Key_Plus, Qt::ControlModifier, 1, 275},
      {Qt::Key_Plus, Qt::ControlModifier, 1, 300},
      {Qt::Key_Plus, Qt::ControlModifier, 2, 300},
      {Qt::Key_0, Qt::ControlModifier, 2, 100},
      {Qt::Key_Minus, Qt::ControlModifier, 0, 100},
      {Qt::Key_Plus, Qt::NoModifier, 1, 100}, // a plain "+" is typing, not zooming
  };
  for (const auto& press : presses) {
    QWidget* window = windows[press.window];
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window)) << window->objectName().toStdString();
    QWidget* target = window->focusWidget() ? window->focusWidget() : window;
    QTest::keyClick(target, press.key, press.modifiers);
    EXPECT_EQ(menu.zoomPercent(), press.percent)
        << window->objectName().toStdString() << ' ' << press.key;
    const double zoom = press.percent / 100.0;
    for (std::size_t i = 0; i < std::size(windows); ++i)
      EXPECT_TRUE(near(windows[i]->width(), base[i].width() * zoom))
          << windows[i]->objectName().toStdString() << ' ' << windows[i]->width();
  }
}

// Boxes and menus are as large as the window they belong to.
TEST(ZoomKeys, BoxesAndMenusFollowTheZoom) {
  test::RecordingDialogs boxes;
  FrmMain menu{&boxes};
  const qreal points = menu.font().pointSizeF();
  menu.setZoomPercent(200);
  machine::FrmAssembler& assembler = menu.frmAssembler();
  for (const char* name : {"mnuFile", "mnuRecent"})
    EXPECT_NEAR(test::control<QMenu>(&assembler, QString::fromLatin1(name))->font().pointSizeF(),
                2 * points, 0.01)
        << name;
  MessageBoxDialogs real(&assembler);
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_NE(box, nullptr);
    EXPECT_NEAR(box->font().pointSizeF(), 2 * points, 0.01);
    box->close();
  });
  real.inform(u"テスト"_s);
}

} // namespace
} // namespace rpn
