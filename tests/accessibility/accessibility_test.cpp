// Every screen as assistive tools and keyboard users meet it, in process through Qt's
// accessibility interfaces: names, values and marks in words, text set through the interface
// reaching the engine, tab order, shortcuts, Enter, and colours that read.
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
#include <QClipboard>
#include <QGroupBox>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTest>
#include <functional>
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
  template <class W = QWidget> W* get(QWidget* window, const QString& name) {
    return control<W>(window, name);
  }
  void click(QWidget* window, const QString& name) { get<QPushButton>(window, name)->click(); }
  void traceOffEverywhere() {
    for (ScreenWindow* screen : screens())
      get<QCheckBox>(screen, u"Check1"_s)->setChecked(false);
  }
  // Trace mode off on every screen, then a run on each, so that cells hold values and marks.
  void runEverywhere() {
    traceOffEverywhere();
    get<QLineEdit>(&menu.form1(), u"Text1"_s)->setText(u"A*(B+C"_s);
    click(&menu.form1(), u"Command1"_s);
    click(&menu.form2(), u"Command1"_s);
    click(&menu.frmCompile(), u"Command1"_s);
    get<QListWidget>(&menu.frmAssembler(), u"List1"_s)->setCurrentRow(0);
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

TEST_F(AccessibilityTest, EveryControlHasItsOwnNameEveryLabelReadsWhatItShowsAndMarksAreWords) {
  runEverywhere();
  for (QWidget* window : windows()) {
    std::vector<QAccessibleInterface*> nodes;
    collect(face(window), nodes);
    std::map<QString, int> names;
    for (QAccessibleInterface* node : nodes)
      if (node->object() != window && node->role() != QAccessible::Client)
        ++names[node->text(QAccessible::Name)];
    for (QAccessibleInterface* node : nodes)
      if (node->text(QAccessible::Name).isEmpty() && node->role() != QAccessible::Client)
        ADD_FAILURE() << window->objectName().toStdString() << " unnamed " << node->role() << ' '
                      << node->object()->objectName().toStdString() << ' '
                      << node->object()->metaObject()->className();
    for (const auto& [name, count] : names)
      EXPECT_EQ(count, 1) << window->objectName().toStdString() << ": " << name.toStdString();
    EXPECT_EQ(names.count(QString()), 0u) << window->objectName().toStdString();
    EXPECT_EQ(face(window)->role(), QAccessible::Window);

    for (QLabel* label : window->findChildren<QLabel*>()) {
      QAccessibleInterface* node = face(label);
      ASSERT_NE(node->textInterface(), nullptr) << label->objectName().toStdString();
      const QString where = window->objectName() + u' ' + label->objectName();
      EXPECT_EQ(node->text(QAccessible::Value), label->text()) << where.toStdString();
      EXPECT_EQ(node->textInterface()->text(0, node->textInterface()->characterCount()),
                label->text())
          << where.toStdString();
      EXPECT_FALSE(node->text(QAccessible::Name).isEmpty()) << where.toStdString();
    }
  }
  // Values and marks that a run left, as a screen reader reads them: "name|value|description",
  // "-" where that part is not looked at.
  const std::pair<QWidget*, const char16_t*> said[] = {
      {&menu.form1(), u"lblOperation(0) 演算子 0|*|使用中"},
      {&menu.form1(), u"lblKind -|終了|-"},
      {&menu.form2(), u"lblValue(0) -|-11|-"},
      {&menu.form2(), u"txtName(6) -|-|読み書き中"},
      {&menu.frmCompile(), u"lblPtr -|12|-"},
      {&menu.frmAssembler(), u"lblCode(0) -|B000|-"},
      {&menu.frmAssembler(), u"lblCode(2) -|-|次の命令"},
      {&menu.frmAssembler(), u"lblCode(26) メモリ 001A|-|-"},
      {&menu.frmAssembler(), u"txtRegister(0) -|-|強調"},
      {&menu.frmAssembler(), u"txtOpe(0) -|-|"},
  };
  for (const auto& [window, line] : said) {
    const QString text = QString::fromUtf16(line);
    QAccessibleInterface* node = face(get(window, text.section(u' ', 0, 0)));
    const QStringList parts = text.section(u' ', 1).split(u'|');
    const QStringList read{node->text(QAccessible::Name),
                           node->textInterface() ? node->textInterface()->text(0, -1) : u"?"_s,
                           node->text(QAccessible::Description)};
    for (int part = 0; part < 3; ++part)
      EXPECT_TRUE(parts[part] == u"-"_s || read[part] == parts[part])
          << text.toStdString() << ": " << read[part].toStdString();
  }

  // The description follows the colour on every control of every screen.
  const std::map<QRgb, std::set<QString>> wordsOf = {
      {qRgb(255, 0, 0), {u"使用中"_s, u"読み書き中"_s, u"未参照"_s, u"次の命令"_s}},
      {qRgb(255, 255, 0), {u"点滅中"_s, u"強調"_s}},
      {qRgb(0, 0, 255), {u"新規登録"_s}}};
  int marked = 0;
  for (ScreenWindow* screen : screens())
    for (QWidget* widget : screen->findChildren<QWidget*>()) {
      if (!widget->autoFillBackground())
        continue;
      const auto words = wordsOf.find(widget->palette().color(QPalette::Window).rgb());
      const QString description = face(widget)->text(QAccessible::Description);
      if (words == wordsOf.end()) {
        EXPECT_TRUE(description.isEmpty() || qobject_cast<QAbstractButton*>(widget))
            << widget->objectName().toStdString() << ": " << description.toStdString();
      } else {
        ++marked;
        EXPECT_TRUE(words->second.contains(description))
            << widget->objectName().toStdString() << ": " << description.toStdString();
      }
    }
  EXPECT_GE(marked, 4);

  // The listing line of the next instruction is the selected text.
  QAccessibleTextInterface* listing = face(get(&menu.frmAssembler(), u"Text2"_s))->textInterface();
  ASSERT_EQ(listing->selectionCount(), 1);
  int start = 0;
  int end = 0;
  listing->selection(0, &start, &end);
  EXPECT_EQ(listing->text(start, end), u"0002 : A200 001B  :     STOR    I"_s);
}

// A text put into a box in any way other than keys is what the next press uses.
TEST_F(AccessibilityTest, AnyChangeOfABoxIsWhatTheRunUses) {
  using Put = std::function<void(QLineEdit*, const QString&)>;
  const std::pair<const char*, Put> ways[] = {
      {"accessibility interface",
       [](QLineEdit* box, const QString& text) {
         face(box)->editableTextInterface()->replaceText(0, static_cast<int>(box->text().size()),
                                                         text);
       }},
      {"accessible value",
       [](QLineEdit* box, const QString& text) { face(box)->setText(QAccessible::Value, text); }},
      {"paste", [](QLineEdit* box, const QString& text) {
         QApplication::clipboard()->setText(text);
         box->selectAll();
         box->paste();
       }}};
  for (const auto& [way, put] : ways) {
    SCOPED_TRACE(way);
    traceOffEverywhere();
    conversion::Form1& form1 = menu.form1();
    put(get<QLineEdit>(&form1, u"Text1"_s), u"A-B"_s);
    put(get<QLineEdit>(&form1, u"Text3"_s), u"7"_s);
    click(&form1, u"Command1"_s);
    EXPECT_EQ(get<QLineEdit>(&form1, u"Text2"_s)->text(), u"AB-"_s);
    click(&form1, u"Command3"_s);
    EXPECT_EQ(form1.timer().interval(), 7);
    click(&form1, u"Command4"_s);

    execution::Form2& form2 = menu.form2();
    click(&form2, u"Command2"_s);
    put(get<QLineEdit>(&form2, u"Text1"_s), u"XAB*="_s);
    put(get<QLineEdit>(&form2, u"txtName(0)"_s), u"7"_s);
    click(&form2, u"Command1"_s);
    EXPECT_EQ(get<QLineEdit>(&form2, u"txtName(6)"_s)->text(), u"14"_s);

    translation::FrmCompile& compile = menu.frmCompile();
    click(&compile, u"Command2"_s);
    put(get<QLineEdit>(&compile, u"Text1"_s), u"YPQ+="_s);
    click(&compile, u"Command1"_s);
    EXPECT_EQ(get<QListWidget>(&compile, u"List1"_s)->item(0)->text().simplified(), u"LOAD P"_s);

    machine::FrmAssembler& assembler = menu.frmAssembler();
    put(get<QLineEdit>(&assembler, u"txtTimer"_s), u"9"_s);
    click(&assembler, u"Command4"_s);
    EXPECT_EQ(assembler.timer().interval(), 9);
    click(&assembler, u"Command5"_s);
  }
  EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join(u'|').toStdString();
}

// The keys visit the controls that take the focus, in this order, and come back to the first.
TEST_F(AccessibilityTest, TabOrderOfEveryScreen) {
  QStringList buttons; // the menu's, from the top
  for (QPushButton* button : menu.findChildren<QPushButton*>())
    buttons << button->objectName();
  std::ranges::sort(buttons, {}, [&](const QString& name) { return get(&menu, name)->y(); });
  const QString rpnRun = u" Command1 Check1 Command3 Command4 "_s;
  const std::pair<QWidget*, QString> orders[] = {
      {&menu, buttons.join(u' ')},
      {&menu.form1(), u"Text1 Text3"_s + rpnRun + u"Command2 Text2 Text4 cmdForward cmdSaveTrace"_s},
      {&menu.form2(), u"Text1 txtName(0) txtName(1) txtName(2) txtName(3) txtName(4) txtName(5) "
                      u"txtName(6) Text2 Text3"_s +
                          rpnRun + u"Command2 cmdForward cmdSaveTrace"_s},
      {&menu.frmCompile(), u"Text1 Text2 Text3"_s + rpnRun + u"Command5 Command6 Command2 List1 cmdForward cmdSaveTrace"_s},
      {&menu.frmAssembler(),
       u"Text1 txtTimer Command1 Command2 Check1 Command3 Command4 Command5 cmdRunToEnd List1 Command6 Text2 "
       u"Text3 txtExecAddress txtOpe(0) txtOpe(1) txtOpe(2) txtOpe(3) txtEffectAddress "
       u"txtRegister(0) txtRegister(1) txtRegister(2) txtRegister(3) txtRegister(4) txtRegister(5) "
       u"txtRegister(6) txtRegister(7) txtRegister(8) txtRegister(9) txtRegister(10) "
       u"txtRegister(11) txtRegister(12) txtRegister(13) txtRegister(14) txtRegister(15) "
       u"txtStatus(0) txtStatus(1) txtStatus(2) cmdForward cmdSaveTrace"_s}};
  for (const auto& [window, order] : orders) {
    const QStringList expected = order.split(u' ');
    QWidget* first = get(window, expected.first());
    QStringList visited;
    QWidget* widget = first;
    do {
      if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(window) &&
          widget->isEnabled() && widget->window() == window)
        visited << widget->objectName();
      widget = widget->nextInFocusChain();
    } while (widget != first && visited.size() <= expected.size());
    EXPECT_EQ(visited, expected) << window->objectName().toStdString();
  }
}

// Every button of a window answers to its own keys and to Enter; keys name it in the tooltip.
TEST_F(AccessibilityTest, EveryButtonHasItsOwnKeysAndEnterPressesIt) {
  for (QWidget* window : windows()) {
    std::set<QKeySequence> taken;
    if (auto* bar = window->findChild<QMenuBar*>())
      for (QAction* action : bar->actions())
        taken.insert(QKeySequence::mnemonic(action->text()));
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
      if (button->objectName().startsWith(u"qt_")) // the menu bar's own overflow button
        continue;
      const std::string name = (window->objectName() + u' ' + button->objectName()).toStdString();
      EXPECT_FALSE(button->shortcut().isEmpty()) << name;
      EXPECT_TRUE(taken.insert(button->shortcut()).second) << name << " shares its keys";
      EXPECT_TRUE(button->toolTip().contains(button->shortcut().toString(QKeySequence::NativeText)))
          << name;
      if (auto* push = qobject_cast<QPushButton*>(button)) {
        EXPECT_TRUE(push->autoDefault()) << name;
      }
    }
  }
  conversion::Form1& form1 = menu.form1();
  get<QCheckBox>(&form1, u"Check1"_s)->setChecked(false);
  get<QLineEdit>(&form1, u"Text1"_s)->setText(u"A/B"_s);
  QTest::keyClick(get(&form1, u"Command1"_s), Qt::Key_Return);
  EXPECT_EQ(get<QLineEdit>(&form1, u"Text2"_s)->text(), u"AB/"_s);
  // The keys press the button from anywhere in the window.
  execution::Form2& form2 = menu.form2();
  form2.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form2));
  get(&form2, u"txtName(0)"_s)->setFocus();
  // A shortcut presses its button as a click that shows, a moment later.
  QTest::keyClick(form2.windowHandle(), Qt::Key_T, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form2.engine().view().Check1; }, 2000));
  QTest::keyClick(form2.windowHandle(), Qt::Key_R, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return get<QLabel>(&form2, u"lblKind"_s)->text() == u"終了"_s; }, 2000));
  EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join(u'|').toStdString();
}

// A sample is loaded by Enter (a changed source let go) and through the accessibility interface.
TEST_F(AccessibilityTest, TheSampleListLoadsByEnterAndByTheAccessibilityInterface) {
  machine::FrmAssembler& assembler = menu.frmAssembler();
  auto* list = get<QListWidget>(&assembler, u"List1"_s);
  auto* source = get<QPlainTextEdit>(&assembler, u"Text1"_s);
  list->setCurrentRow(0);
  source->setPlainText(u"changed"_s);
  boxes.answerAsk(Answer::No);
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_TRUE(source->toPlainText().startsWith(u"     LI      10\n     STOR    I"_s));
  QAccessibleInterface* second = face(list)->child(1);
  ASSERT_NE(second, nullptr);
  ASSERT_NE(second->actionInterface(), nullptr);
  second->actionInterface()->doAction(second->actionInterface()->actionNames().first());
  EXPECT_TRUE(source->toPlainText().startsWith(u"     LI      10,1\n"_s));
  EXPECT_EQ(list->currentRow(), 1);
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

TEST_F(AccessibilityTest, EveryCaptionAndValueReadsOnItsBackground) {
  for (const Mark mark : {Mark::White, Mark::Red, Mark::Yellow, Mark::Blue, Mark::ButtonFace})
    EXPECT_GE(contrastRatio(markTextColor(mark), markColor(mark)), kReadableContrast)
        << static_cast<int>(mark);
  EXPECT_NEAR(contrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
  EXPECT_NEAR(contrastRatio(Qt::black, Qt::red), 5.25, 0.01);
  EXPECT_NEAR(contrastRatio(Qt::white, Qt::blue), 8.59, 0.01);
  EXPECT_EQ(readableOn(Qt::black, Qt::white), QColor(Qt::black)); // already readable: unchanged

  runEverywhere();
  for (QWidget* window : windows())
    for (QWidget* widget : window->findChildren<QWidget*>()) {
      if (!qobject_cast<QLabel*>(widget) && !qobject_cast<QLineEdit*>(widget) &&
          !qobject_cast<QAbstractButton*>(widget) && !qobject_cast<QGroupBox*>(widget) &&
          !qobject_cast<QAbstractScrollArea*>(widget))
        continue;
      EXPECT_GE(ratioOf(widget), kReadableContrast)
          << window->objectName().toStdString() << ' ' << widget->objectName().toStdString();
    }
}

} // namespace
} // namespace rpn
