// Every window as assistive tools and keyboard users meet it, in process through Qt's
// accessibility interfaces: names, values and marks in words, text set through the interface
// reaching the engine, the Tab key, shortcuts, Enter, and colours that read.
#include "common/screen_kit.h"
#include "conversion/form1.h"
#include "execution/form2.h"
#include "machine/frm_assembler.h"
#include "shell/frm_main.h"
#include "support/recording_dialogs.h"
#include "support/widget_lookup.h"
#include "translation/frm_compile.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace rpn {
namespace {

using namespace Qt::StringLiterals;
using test::control;

class AccessibilityTest : public ::testing::Test {
protected:
  AccessibilityTest() {
    menu.show();
    for (ScreenWindow* screen : screens())
      screen->showScreen();
  }

  std::vector<ScreenWindow*> screens() {
    return {&menu.form1(), &menu.form2(), &menu.frmCompile(), &menu.frmAssembler()};
  }
  // The menu, the screens and the help pages.
  std::vector<QWidget*> windows() {
    std::vector<QWidget*> all{&menu};
    for (ScreenWindow* screen : screens())
      all.push_back(screen);
    for (int page = 1; page <= machine::kHelpPageCount; ++page)
      all.push_back(&menu.frmAssembler().helpPages().page(page));
    return all;
  }
  void click(QWidget* window, const QString& name) { control<QPushButton>(window, name)->click(); }
  void traceOffEverywhere() {
    for (ScreenWindow* screen : screens())
      control<QCheckBox>(screen, u"Check1"_s)->setChecked(false);
  }
  // Trace mode off on every screen, then a run on each, so that cells hold values and marks.
  void runEverywhere() {
    traceOffEverywhere();
    control<QLineEdit>(&menu.form1(), u"Text1"_s)->setText(u"A*(B+C"_s);
    click(&menu.form1(), u"Command1"_s);
    click(&menu.form2(), u"Command1"_s);
    click(&menu.frmCompile(), u"Command1"_s);
    control<QListWidget>(&menu.frmAssembler(), u"List1"_s)->setCurrentRow(0);
    click(&menu.frmAssembler(), u"Command1"_s);
    click(&menu.frmAssembler(), u"Command2"_s);
  }

  test::RecordingDialogs boxes;
  FrmMain menu{&boxes};
};

QAccessibleInterface* face(QObject* object) {
  return QAccessible::queryAccessibleInterface(object);
}

// The controls of a window as assistive tools list them: the parts of a compound control (the
// viewport and scroll bars of a text box, the items of a list) are not controls of their own.
void collect(QAccessibleInterface* node, std::vector<QAccessibleInterface*>& found) {
  found.push_back(node);
  const QAccessible::Role role = node->role();
  if (role == QAccessible::EditableText || role == QAccessible::List ||
      role == QAccessible::ScrollBar || role == QAccessible::MenuBar)
    return;
  for (int i = 0; i < node->childCount(); ++i)
    if (QAccessibleInterface* child = node->child(i))
      collect(child, found);
}

double ratioOf(QWidget* widget) {
  // The text's colour against what is painted behind it: the nearest filled background.
  QPalette::ColorRole text = QPalette::WindowText;
  QPalette::ColorRole back = QPalette::Window;
  if (qobject_cast<QLineEdit*>(widget) || qobject_cast<QAbstractScrollArea*>(widget)) {
    text = QPalette::Text;
    back = QPalette::Base;
  } else if (qobject_cast<QPushButton*>(widget)) {
    text = QPalette::ButtonText;
    back = QPalette::Button;
  }
  const QColor foreground = widget->palette().color(text);
  QWidget* behind = widget;
  while (back == QPalette::Window && !behind->autoFillBackground() && !behind->isWindow())
    behind = behind->parentWidget();
  return contrastRatio(foreground, behind->palette().color(back));
}

// One walk after a run on every screen: every control of every window has a name of its own,
// every label reads what it shows, a coloured control says its mark in words, every caption and
// value reads on its background, every button has keys of its own that its tooltip names, and
// Tab reaches every control. Marks and values of particular cells, as read over the bus:
// atspi_test.py.
TEST_F(AccessibilityTest, EveryControlIsNamedMarkedInWordsReadableAndReachedByKeys) {
  for (const Mark mark : {Mark::White, Mark::Red, Mark::Yellow, Mark::Blue, Mark::ButtonFace})
    EXPECT_GE(contrastRatio(markTextColor(mark), markColor(mark)), kReadableContrast)
        << static_cast<int>(mark);
  EXPECT_NEAR(contrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
  EXPECT_NEAR(contrastRatio(Qt::black, Qt::red), 5.25, 0.01);
  EXPECT_NEAR(contrastRatio(Qt::white, Qt::blue), 8.59, 0.01);
  EXPECT_EQ(readableOn(Qt::black, Qt::white), QColor(Qt::black)); // already readable: unchanged
  const std::map<QRgb, std::set<QString>> wordsOf = {
      {qRgb(255, 0, 0), {u"使用中"_s, u"読み書き中"_s, u"未参照"_s, u"次の命令"_s}},
      {qRgb(255, 255, 0), {u"点滅中"_s, u"強調"_s}},
      {qRgb(0, 0, 255), {u"新規登録"_s}}};
  int marked = 0;
  runEverywhere();
  for (QWidget* window : windows()) {
    std::vector<QAccessibleInterface*> nodes;
    collect(face(window), nodes);
    std::map<QString, int> names;
    for (QAccessibleInterface* node : nodes)
      if (node->object() != window && node->role() != QAccessible::Client)
        ++names[node->text(QAccessible::Name)];
    for (const auto& [name, count] : names)
      EXPECT_EQ(count, 1) << window->objectName().toStdString() << ": " << name.toStdString();
    EXPECT_EQ(names.count(QString()), 0u) << window->objectName().toStdString();
    EXPECT_EQ(face(window)->role(), QAccessible::Window);

    std::set<QKeySequence> taken;
    QStringList focusable;
    if (auto* bar = window->findChild<QMenuBar*>())
      for (QAction* action : bar->actions())
        taken.insert(QKeySequence::mnemonic(action->text()));
    for (QWidget* widget : window->findChildren<QWidget*>()) {
      const std::string where = (window->objectName() + u' ' + widget->objectName()).toStdString();
      if (auto* label = qobject_cast<QLabel*>(widget)) {
        ASSERT_NE(face(label)->textInterface(), nullptr) << where;
        EXPECT_EQ(face(label)->text(QAccessible::Value), label->text()) << where;
        EXPECT_EQ(face(label)->textInterface()->text(0, -1), label->text()) << where;
      }
      if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(window) &&
          widget->isEnabled() && widget->window() == window)
        focusable << widget->objectName();
      // The description follows the colour.
      const auto words = wordsOf.find(widget->palette().color(QPalette::Window).rgb());
      const QString description = face(widget)->text(QAccessible::Description);
      if (widget->autoFillBackground() && words != wordsOf.end()) {
        ++marked;
        EXPECT_TRUE(words->second.contains(description))
            << where << ": " << description.toStdString();
      } else if (widget->autoFillBackground()) {
        EXPECT_TRUE(description.isEmpty() || qobject_cast<QAbstractButton*>(widget))
            << where << ": " << description.toStdString();
      }
      if (qobject_cast<QLabel*>(widget) || qobject_cast<QLineEdit*>(widget) ||
          qobject_cast<QAbstractButton*>(widget) || qobject_cast<QGroupBox*>(widget) ||
          qobject_cast<QAbstractScrollArea*>(widget)) {
        EXPECT_GE(ratioOf(widget), kReadableContrast) << where;
      }
      auto* button = qobject_cast<QAbstractButton*>(widget);
      if (!button || button->objectName().startsWith(u"qt_")) // the menu bar's overflow button
        continue;
      EXPECT_FALSE(button->shortcut().isEmpty()) << where;
      EXPECT_TRUE(taken.insert(button->shortcut()).second) << where << " shares its keys";
      EXPECT_TRUE(button->toolTip().contains(button->shortcut().toString(QKeySequence::NativeText)))
          << where;
      if (auto* push = qobject_cast<QPushButton*>(button)) {
        EXPECT_TRUE(push->autoDefault()) << where;
      }
    }
    // Tab visits each control that takes the focus once and comes back: no box keeps the key.
    window->show(); // a help page too
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window)) << window->objectName().toStdString();
    QWidget* const start = QApplication::focusWidget();
    ASSERT_NE(start, nullptr) << window->objectName().toStdString();
    QStringList visited;
    for (qsizetype i = 0; i < focusable.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(QApplication::focusWidget(), start) << window->objectName().toStdString();
    std::ranges::sort(focusable);
    std::ranges::sort(visited);
    EXPECT_EQ(visited, focusable) << window->objectName().toStdString();
  }
  EXPECT_GE(marked, 4);
}

// A text put into a box through the accessibility interface, as assistive tools do (no key
// events: no textEdited), is what the next press uses.
TEST_F(AccessibilityTest, AChangeThroughTheInterfaceIsWhatTheRunUses) {
  const auto put = [](QWidget* window, const QString& name, const QString& text) {
    auto* box = control<QLineEdit>(window, name);
    face(box)->editableTextInterface()->replaceText(0, static_cast<int>(box->text().size()), text);
  };
  traceOffEverywhere();
  conversion::Form1& form1 = menu.form1();
  put(&form1, u"Text1"_s, u"A-B"_s);
  put(&form1, u"Text3"_s, u"7"_s);
  click(&form1, u"Command1"_s);
  EXPECT_EQ(control<QLineEdit>(&form1, u"Text2"_s)->text(), u"AB-"_s);
  click(&form1, u"Command3"_s);
  EXPECT_EQ(form1.timer().interval(), 7);
  click(&form1, u"Command4"_s);

  execution::Form2& form2 = menu.form2();
  put(&form2, u"Text1"_s, u"XAB*="_s);
  put(&form2, u"txtName(0)"_s, u"7"_s);
  click(&form2, u"Command1"_s);
  EXPECT_EQ(control<QLineEdit>(&form2, u"txtName(6)"_s)->text(), u"14"_s);

  machine::FrmAssembler& assembler = menu.frmAssembler();
  put(&assembler, u"txtTimer"_s, u"9"_s);
  click(&assembler, u"Command4"_s);
  EXPECT_EQ(assembler.timer().interval(), 9);
  click(&assembler, u"Command5"_s);
  EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join(u'|').toStdString();
}

// Enter presses the button that has the focus, and loads the sample chosen in the list (a changed
// source let go; through the item's action over the bus: atspi_test.py); a button's keys press it
// from anywhere in its window, as a click that shows, a moment later.
TEST_F(AccessibilityTest, EnterAndTheKeysOfAButtonPressIt) {
  conversion::Form1& form1 = menu.form1();
  control<QCheckBox>(&form1, u"Check1"_s)->setChecked(false);
  control<QLineEdit>(&form1, u"Text1"_s)->setText(u"A/B"_s);
  QTest::keyClick(control<QWidget>(&form1, u"Command1"_s), Qt::Key_Return);
  EXPECT_EQ(control<QLineEdit>(&form1, u"Text2"_s)->text(), u"AB/"_s);
  auto* list = control<QListWidget>(&menu.frmAssembler(), u"List1"_s);
  auto* source = control<QPlainTextEdit>(&menu.frmAssembler(), u"Text1"_s);
  list->setCurrentRow(1);
  source->setPlainText(u"changed"_s);
  boxes.answerAsk(Answer::No);
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_TRUE(source->toPlainText().startsWith(u"     LI      10,1\n"_s));
  EXPECT_EQ(boxes.texts().size(), 1); // the question
  execution::Form2& form2 = menu.form2();
  form2.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form2));
  control<QWidget>(&form2, u"txtName(0)"_s)->setFocus();
  QTest::keyClick(form2.windowHandle(), Qt::Key_T, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form2.engine().view().Check1; }, 2000));
  QTest::keyClick(form2.windowHandle(), Qt::Key_R, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return control<QLabel>(&form2, u"lblKind"_s)->text() == u"終了"_s; }, 2000));
  EXPECT_EQ(boxes.texts().size(), 1) << boxes.texts().join(u'|').toStdString();
}

} // namespace
} // namespace rpn
