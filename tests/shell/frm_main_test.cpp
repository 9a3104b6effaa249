#include "conversion/form1.h"
#include "execution/form2.h"
#include "machine/frm_assembler.h"
#include "machine/samples.h"
#include "shell/frm_main.h"
#include "support/recording_dialogs.h"
#include "support/scripted_file_dialogs.h"
#include "support/widget_lookup.h"
#include "translation/frm_compile.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <tuple>

namespace rpn {
namespace {

using namespace Qt::StringLiterals;
using test::control;

class FrmMainTest : public ::testing::Test {
protected:
  FrmMainTest() { menu.show(); }
  void press(const QString& name) {
    QTest::mouseClick(control<QPushButton>(&menu, name), Qt::LeftButton);
  }
  QLineEdit* form1Input() {
    return control<QLineEdit>(menu.existingForm1(), QStringLiteral("Text1"));
  }

  test::RecordingDialogs boxes;
  machine::test::ScriptedFileDialogs files;
  FrmMain menu{&boxes, nullptr, &files};
};

// The four buttons: caption, place, and the screen each one opens (created on first use only).
struct MenuButton {
  const char* name;
  const char16_t* caption;
  int top; // twips; every button is 2415 x 495 at left 120
  const char* screen;
  const char16_t* screenTitle;
  friend void PrintTo(const MenuButton& b, std::ostream* os) { *os << b.name; }
};
const MenuButton kButtons[] = {
    {"Command1", u"逆ポーランド記法変換", 120, "Form1", u"ポーランド記法変換"},
    {"Command2", u"逆ポーランド記法実行", 720, "Form2", u"逆ポーランド記法の直接実行"},
    {"Command3", u"逆ポーランド記法の翻訳", 1320, "frmCompile", u"逆ポーランド記法の翻訳"},
    {"Command4", u"擬似アセンブラ", 1920, "frmAssembler", u"擬似アセンブラ"},
};

// Every screen the menu has created so far, by objectName.
QStringList createdScreens(const FrmMain& menu) {
  QStringList names;
  for (const QWidget* screen : std::initializer_list<const QWidget*>{
           menu.existingForm1(), menu.existingForm2(), menu.existingFrmCompile(),
           menu.existingFrmAssembler()})
    if (screen)
      names << screen->objectName();
  return names;
}

class MenuButtonTest : public FrmMainTest, public ::testing::WithParamInterface<MenuButton> {};

// The menu has its caption and size, and no screen until a button opens one.
TEST_P(MenuButtonTest, SitsAtItsPlaceAndOpensItsScreenAlone) {
  const MenuButton& b = GetParam();
  EXPECT_EQ(menu.windowTitle(), u"逆ポーランド記法"_s);
  EXPECT_EQ(menu.size(), QSize(twips(3420), twips(2475))); // one button step below the third
  EXPECT_EQ(menu.findChildren<QPushButton*>().size(), std::size(kButtons));
  EXPECT_EQ(createdScreens(menu), QStringList());
  const auto* button = control<QPushButton>(&menu, QString::fromLatin1(b.name));
  EXPECT_EQ(button->text(), QString::fromUtf16(b.caption));
  EXPECT_EQ(button->geometry(), twipsRect(120, b.top, 2415, 495));
  press(QString::fromLatin1(b.name));
  ASSERT_EQ(createdScreens(menu), QStringList(QString::fromLatin1(b.screen)));
  const QWidget* shown = nullptr;
  for (const QWidget* window : QApplication::topLevelWidgets())
    if (window->objectName() == QLatin1String(b.screen) && window->isVisible())
      shown = window;
  ASSERT_NE(shown, nullptr) << b.screen;
  EXPECT_EQ(shown->windowTitle(), QString::fromUtf16(b.screenTitle));
  EXPECT_TRUE(menu.isVisible()); // modeless: the menu stays usable
}

INSTANTIATE_TEST_SUITE_P(Buttons, MenuButtonTest, ::testing::ValuesIn(kButtons),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(FrmMainTest, PressingAgainBringsTheSameScreenForwardUnchanged) {
  press(QStringLiteral("Command1"));
  conversion::Form1* first = menu.existingForm1();
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->isVisible());
  form1Input()->setText(QStringLiteral("P*Q"));
  emit form1Input()->textEdited(QStringLiteral("P*Q"));
  press(QStringLiteral("Command1"));
  EXPECT_EQ(menu.existingForm1(), first);
  EXPECT_EQ(form1Input()->text(), QStringLiteral("P*Q"));
  EXPECT_TRUE(menu.isVisible()); // modeless: the menu stays usable
}

TEST_F(FrmMainTest, TranslationHandsItsCodeToTheAssemblerScreen) {
  press(QStringLiteral("Command3"));
  translation::FrmCompile* compile = menu.existingFrmCompile();
  ASSERT_NE(compile, nullptr);
  EXPECT_EQ(compile->windowTitle(), QStringLiteral("逆ポーランド記法の翻訳"));
  QTest::mouseClick(control<QCheckBox>(compile, QStringLiteral("Check1")), Qt::LeftButton, {},
                    QPoint(5, 5)); // no trace boxes
  QTest::mouseClick(control<QPushButton>(compile, QStringLiteral("Command1")), Qt::LeftButton);
  const QString listing = control<QListWidget>(compile, QStringLiteral("List1"))->item(0)->text();
  EXPECT_EQ(menu.existingFrmAssembler(), nullptr);

  QTest::mouseClick(control<QPushButton>(compile, QStringLiteral("Command6")), Qt::LeftButton);
  machine::FrmAssembler* assembler = menu.existingFrmAssembler();
  ASSERT_NE(assembler, nullptr);
  EXPECT_TRUE(assembler->isVisible());
  const QString source = control<QPlainTextEdit>(assembler, QStringLiteral("Text1"))->toPlainText();
  EXPECT_TRUE(source.startsWith(QStringLiteral("           LOAD   B\n           MULT   C")))
      << source.toStdString();
  EXPECT_TRUE(compile->isVisible()); // the translation screen keeps its state
  EXPECT_EQ(control<QListWidget>(compile, QStringLiteral("List1"))->item(0)->text(), listing);
}

TEST_F(FrmMainTest, FourthButtonShowsTheAssemblerWithTheSourceItHolds) {
  menu.frmAssembler().setSourceText(QStringLiteral("     SVC     0\r\n"));
  for (int round = 0; round < 2; ++round) { // shown, then brought forward as it is
    press(QStringLiteral("Command4"));
    machine::FrmAssembler* assembler = menu.existingFrmAssembler();
    ASSERT_TRUE(assembler->isVisible());
    EXPECT_EQ(assembler->engine().view().Text1, QStringLiteral("     SVC     0\r\n"));
    EXPECT_EQ(control<QPlainTextEdit>(assembler, QStringLiteral("Text1"))->toPlainText(),
              QStringLiteral("     SVC     0\n"));
  }
}

// A file named on the command line is read exactly as ファイル > 開く reads it: the same text, or
// the same box for the same path, the source box keeping its text.
struct FileArgument {
  const char* name;
  QByteArray bytes; // "<none>": no such file; "<folder>": the folder itself
  QString text;
  friend void PrintTo(const FileArgument& a, std::ostream* os) { *os << a.name; }
};

class FileArgumentTest : public FrmMainTest, public ::testing::WithParamInterface<FileArgument> {
protected:
  QTemporaryDir dir;
};

TEST_P(FileArgumentTest, OpensTheAssemblerScreenAsTheFileMenuWould) {
  const FileArgument& c = GetParam();
  const QString path = c.bytes == "<folder>" ? dir.path() : dir.filePath(u"prog.txt"_s);
  if (c.bytes != "<none>" && c.bytes != "<folder>")
    test::writeFile(path, c.bytes);
  test::RecordingDialogs menuBoxes;
  machine::test::ScriptedFileDialogs chosen;
  chosen.choose(path);
  machine::FrmAssembler byMenu(&menuBoxes, &chosen);
  byMenu.setSourceText(u"     SVC     0"_s);
  byMenu.mnuOpen_Click();

  menu.frmAssembler().setSourceText(u"     SVC     0"_s);
  menu.openSourceFile(path);
  machine::FrmAssembler* assembler = menu.existingFrmAssembler();
  EXPECT_TRUE(assembler->isVisible());
  EXPECT_EQ(assembler->engine().view().Text1, c.text);
  EXPECT_EQ(byMenu.engine().view().Text1, c.text);
  EXPECT_EQ(boxes.texts(), menuBoxes.texts());
  EXPECT_EQ(boxes.texts().size(), c.text == u"     SVC     0"_s ? 1 : 0);
  EXPECT_TRUE(boxes.texts().value(0, u" File Name="_s + path).endsWith(u" File Name="_s + path));
  EXPECT_EQ(createdScreens(menu), QStringList(u"frmAssembler"_s));
}

INSTANTIATE_TEST_SUITE_P(
    Files, FileArgumentTest,
    ::testing::Values(
        FileArgument{"ShiftJisCrLf",
                     QByteArray("A    DC      1 \x83\x65\x83\x58\x83\x67\r\n     SVC     0\r\n"),
                     u"A    DC      1 テスト\r\n     SVC     0"_s},
        FileArgument{"Utf8Lf", QByteArray("A    DC      1 \xe3\x83\x86\n     SVC     0"),
                     u"A    DC      1 テ\r\n     SVC     0"_s},
        FileArgument{"Empty", QByteArray(), QString()},
        FileArgument{"Missing", "<none>", u"     SVC     0"_s},
        FileArgument{"Folder", "<folder>", u"     SVC     0"_s},
        FileArgument{"TooLarge", QByteArray(machine::kSourceFileLimit + 1, 'A'),
                     u"     SVC     0"_s}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(FrmMainTest, CloseAndReopenRunsTheLoadStepAgain) {
  press(QStringLiteral("Command1"));
  conversion::Form1* form = menu.existingForm1();
  form1Input()->setText(QStringLiteral("P*Q"));
  emit form1Input()->textEdited(QStringLiteral("P*Q"));
  QTest::mouseClick(control<QPushButton>(form, QStringLiteral("Command1")), Qt::LeftButton);
  QTest::mouseClick(control<QPushButton>(form, QStringLiteral("Command3")), Qt::LeftButton);
  ASSERT_TRUE(form->timer().isActive());
  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(form->timer().isActive()); // unloading stops the timer
  press(QStringLiteral("Command1"));
  EXPECT_EQ(menu.existingForm1(), form); // the same object
  EXPECT_EQ(form1Input()->text(), QStringLiteral("A+B*C/(D-E)-F"));
  EXPECT_EQ(form->engine().state().variables.SavedExpression, QStringLiteral("A+B*C/(D-F)+G"));
  EXPECT_EQ(control<QLineEdit>(form, QStringLiteral("Text2"))->text(), QString());
}

TEST_F(FrmMainTest, ClosingTheMenuEndsTheProgram) {
  press(QStringLiteral("Command1"));
  QTest::mouseClick(control<QPushButton>(menu.existingForm1(), QStringLiteral("Command3")),
                    Qt::LeftButton); // auto-run going on
  menu.frmAssembler().showScreen();
  menu.frmAssembler().Command6_Click(); // a help page open too
  bool quitByClose = false;
  QTimer::singleShot(0, &menu, [&] { quitByClose = menu.close(); });
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  watchdog.start(10000);
  EXPECT_EQ(QApplication::exec(), 0); // the event loop ended because the menu closed
  EXPECT_TRUE(quitByClose);
  EXPECT_FALSE(menu.existingForm1()->isVisible());
  EXPECT_FALSE(menu.existingForm1()->timer().isActive());
  EXPECT_FALSE(menu.existingFrmAssembler()->isVisible());
  for (const QWidget* window : QApplication::topLevelWidgets())
    EXPECT_FALSE(window->isVisible()) << window->objectName().toStdString();
}

// Everything that replaces or discards the assembler screen's source, against every way of
// answering the question about a changed source.
enum class Trigger { Sample, SampleKey, HandOff, Open, Exit, CloseWindow, CloseMenu };
enum class Reply { Saved, SaveFails, SaveCancelled, No, Cancel, Unchanged };

void PrintTo(Trigger trigger, std::ostream* os) {
  static const char* const names[] = {"Sample", "SampleKey",   "HandOff",  "Open",
                                      "Exit",   "CloseWindow", "CloseMenu"};
  *os << names[static_cast<int>(trigger)];
}
void PrintTo(Reply reply, std::ostream* os) {
  static const char* const names[] = {"Saved", "SaveFails", "SaveCancelled",
                                      "No",    "Cancel",    "Unchanged"};
  *os << names[static_cast<int>(reply)];
}
std::string caseName(const ::testing::TestParamInfo<std::tuple<Trigger, Reply>>& param) {
  return ::testing::PrintToString(std::get<0>(param.param)) + '_' +
         ::testing::PrintToString(std::get<1>(param.param));
}

class UnsavedSource : public FrmMainTest,
                      public ::testing::WithParamInterface<std::tuple<Trigger, Reply>> {};

// The assembler screen gets the translation screen's code, then the sample "比較の例", and the
// user edits it (except when the source is to stay unchanged); then the trigger.
TEST_P(UnsavedSource, IsAskedAboutBeforeItIsReplacedOrDiscarded) {
  const auto [trigger, reply] = GetParam();
  QTemporaryDir dir;
  const QString savePath = dir.filePath(QStringLiteral("saved.txt"));
  const QString missingPath = dir.filePath(QStringLiteral("missing/saved.txt"));
  const QString openPath = dir.filePath(QStringLiteral("other.txt"));
  QFile other(openPath);
  ASSERT_TRUE(other.open(QIODevice::WriteOnly));
  other.write("     SVC     0\r\n");
  other.close();

  press(QStringLiteral("Command3"));
  translation::FrmCompile* compile = menu.existingFrmCompile();
  QTest::mouseClick(control<QCheckBox>(compile, QStringLiteral("Check1")), Qt::LeftButton, {},
                    QPoint(5, 5));
  QTest::mouseClick(control<QPushButton>(compile, QStringLiteral("Command1")), Qt::LeftButton);
  const auto handOff = [&] {
    QTest::mouseClick(control<QPushButton>(compile, QStringLiteral("Command6")), Qt::LeftButton);
  };
  handOff();
  machine::FrmAssembler& assembler = menu.frmAssembler();
  auto* source = control<QPlainTextEdit>(&assembler, QStringLiteral("Text1"));
  auto* list = control<QListWidget>(&assembler, QStringLiteral("List1"));
  const QString handed = source->toPlainText();
  const auto clickSample = [&](int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
  };
  clickSample(0);
  const QString edited = QStringLiteral("     LI      7\n     OUT     0");
  if (reply != Reply::Unchanged)
    source->setPlainText(edited);
  const QString before = source->toPlainText();
  ASSERT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join(u' ').toStdString();

  const bool yes =
      reply == Reply::Saved || reply == Reply::SaveFails || reply == Reply::SaveCancelled;
  if (yes)
    boxes.answerAsk(Answer::Yes);
  if (reply == Reply::No)
    boxes.answerAsk(Answer::No);
  // Cancel is not scripted: the question's default answers.
  if (reply == Reply::Saved)
    files.choose(savePath);
  if (reply == Reply::SaveFails)
    files.choose(missingPath);
  if (reply == Reply::SaveCancelled)
    files.choose(QString());
  files.choose(openPath);

  switch (trigger) {
  case Trigger::Sample:
    clickSample(1);
    break;
  case Trigger::SampleKey: // the selection moves, and a cancel puts it back
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    break;
  case Trigger::HandOff:
    handOff();
    break;
  case Trigger::Open:
    control<QAction>(&assembler, QStringLiteral("mnuOpen"))->trigger();
    break;
  case Trigger::Exit:
    control<QAction>(&assembler, QStringLiteral("mnuExit"))->trigger();
    break;
  case Trigger::CloseWindow:
    assembler.close();
    break;
  case Trigger::CloseMenu:
    menu.close();
    break;
  }

  const bool goesOn = reply == Reply::Saved || reply == Reply::No || reply == Reply::Unchanged;
  const bool closes =
      trigger == Trigger::Exit || trigger == Trigger::CloseWindow || trigger == Trigger::CloseMenu;
  QStringList expectedBoxes;
  if (reply != Reply::Unchanged)
    expectedBoxes << QStringLiteral("ソースプログラムが変更されています。保存しますか?");
  if (reply == Reply::SaveFails)
    expectedBoxes << QStringLiteral("<the save error naming the path>");
  QStringList shown = boxes.texts();
  if (shown.size() == 2 && shown[1].contains(missingPath))
    shown[1] = QStringLiteral("<the save error naming the path>");
  EXPECT_EQ(shown, expectedBoxes);
  if (!boxes.boxes().empty()) {
    const test::RecordingDialogs::Box& question = boxes.boxes().front();
    EXPECT_EQ(question.kind, test::RecordingDialogs::Box::Kind::Ask);
    EXPECT_EQ(question.title, applicationTitle());
    EXPECT_TRUE(question.withCancel);
    EXPECT_EQ(question.byDefault, Answer::Cancel);
  }

  QString after = before;
  int row = 0;
  if (goesOn && (trigger == Trigger::Sample || trigger == Trigger::SampleKey)) {
    after = machine::sampleRegisters().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    row = 1;
  } else if (goesOn && trigger == Trigger::HandOff) {
    after = handed;
  } else if (goesOn && trigger == Trigger::Open) {
    after = QStringLiteral("     SVC     0");
  } else if (goesOn && closes) {
    after.clear(); // the closed screen's source box is emptied
    row = -1;
  }
  EXPECT_EQ(source->toPlainText(), after);
  EXPECT_EQ(list->currentRow(), row);
  EXPECT_EQ(list->selectedItems().size(), row < 0 ? 0 : 1);
  EXPECT_EQ(assembler.engine().SourceChanged(), !goesOn);
  EXPECT_EQ(assembler.isVisible(), !(goesOn && closes));
  EXPECT_EQ(menu.isVisible(), !(goesOn && trigger == Trigger::CloseMenu));

  QFile saved(savePath);
  EXPECT_EQ(saved.exists(), reply == Reply::Saved);
  if (saved.open(QIODevice::ReadOnly)) {
    EXPECT_EQ(saved.readAll(), "     LI      7\r\n     OUT     0\r\n");
  }
  EXPECT_FALSE(QFile::exists(missingPath));
}

INSTANTIATE_TEST_SUITE_P(
    EveryTriggerAndAnswer, UnsavedSource,
    ::testing::Combine(::testing::Values(Trigger::Sample, Trigger::SampleKey, Trigger::HandOff,
                                         Trigger::Open, Trigger::Exit, Trigger::CloseWindow,
                                         Trigger::CloseMenu),
                       ::testing::Values(Reply::Saved, Reply::SaveFails, Reply::SaveCancelled,
                                         Reply::No, Reply::Cancel, Reply::Unchanged)),
    caseName);

} // namespace
} // namespace rpn
