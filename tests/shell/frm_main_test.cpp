// The main menu: its buttons and the screens they open once for all, a file named on the command
// line, unloading and closing, and every way of replacing or discarding a changed source.
#include "machine/samples.h"
#include "shell_windows.h"

#include <QAction>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <tuple>

namespace rpn {
namespace {

using namespace Qt::StringLiterals;
using test::control;

class FrmMainTest : public ::testing::Test {
protected:
  FrmMainTest() { menu.show(); }
  void press(const QString& name) { test::click(&menu, name); }
  // Every screen the menu has created so far, by objectName.
  QStringList createdScreens() const {
    QStringList names;
    for (const QWidget* screen : std::initializer_list<const QWidget*>{
             menu.existingForm1(), menu.existingForm2(), menu.existingFrmCompile(),
             menu.existingFrmAssembler()})
      if (screen)
        names << screen->objectName();
    return names;
  }

  test::RecordingDialogs boxes;
  machine::test::ScriptedFileDialogs files;
  FrmMain menu{&boxes, nullptr, &files};
};

// The four buttons: caption and the screen each one opens. No screen exists until its button opens
// it, alone and modeless (the menu stays usable); pressing again brings the same screen forward as
// the user left it.
TEST_F(FrmMainTest, EachButtonOpensItsScreenOnceForAll) {
  const struct {
    const char* name;
    const char16_t* caption;
    const char* screen;
    const char16_t* screenTitle;
  } buttons[] = {
      {"Command1", u"逆ポーランド記法変換", "Form1", u"ポーランド記法変換"},
      {"Command2", u"逆ポーランド記法実行", "Form2", u"逆ポーランド記法の直接実行"},
      {"Command3", u"逆ポーランド記法の翻訳", "frmCompile", u"逆ポーランド記法の翻訳"},
      {"Command4", u"擬似アセンブラ", "frmAssembler", u"擬似アセンブラ"},
  };
  EXPECT_EQ(menu.windowTitle(), u"逆ポーランド記法"_s);
  EXPECT_EQ(menu.findChildren<QPushButton*>().size(), std::size(buttons));
  QStringList created;
  for (const auto& b : buttons) {
    SCOPED_TRACE(b.name);
    const auto* button = control<QPushButton>(&menu, QString::fromLatin1(b.name));
    EXPECT_EQ(button->text(), QString::fromUtf16(b.caption));
    EXPECT_EQ(createdScreens(), created);
    created << QString::fromLatin1(b.screen);
    const QWidget* first = nullptr;
    for (int round = 0; round < 2; ++round) {
      press(QString::fromLatin1(b.name));
      ASSERT_EQ(createdScreens(), created);
      const QWidget* shown = nullptr;
      for (const QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String(b.screen) && window->isVisible())
          shown = window;
      ASSERT_NE(shown, nullptr);
      EXPECT_EQ(shown->windowTitle(), QString::fromUtf16(b.screenTitle));
      EXPECT_TRUE(menu.isVisible());
      EXPECT_EQ(control<QCheckBox>(shown, u"Check1"_s)->isChecked(), round == 0);
      EXPECT_EQ(shown, first ? first : shown);
      first = shown;
      test::untick(shown);
    }
  }
}

// A file named on the command line is read as ファイル > 開く reads it (the file variants are the
// assembler screen's): its text, or one box naming the path with the source box keeping its text.
// Only the assembler screen is created.
TEST_F(FrmMainTest, AFileArgumentOpensTheAssemblerScreenAsTheFileMenuWould) {
  QTemporaryDir dir;
  const QString good = test::writeFile(
      dir.filePath(u"prog.txt"_s), "A    DC      1 \x83\x65\x83\x58\x83\x67\r\n     SVC     0\r\n");
  const QString missing = dir.filePath(u"missing.txt"_s);
  for (const QString& path : {good, missing}) {
    boxes.clear();
    menu.frmAssembler().setSourceText(u"     SVC     0"_s);
    menu.openSourceFile(path);
    EXPECT_TRUE(menu.frmAssembler().isVisible());
    EXPECT_EQ(menu.frmAssembler().engine().view().Text1,
              path == good ? u"A    DC      1 テスト\r\n     SVC     0"_s : u"     SVC     0"_s);
    EXPECT_EQ(boxes.texts(), path == good
                                 ? QStringList()
                                 : QStringList(u"ファイルが見つかりません File Name="_s + missing));
    EXPECT_EQ(createdScreens(), QStringList(u"frmAssembler"_s));
  }
}

// Closing a screen unloads it (timer stopped, controls back to their first texts, form variables
// kept); the same object loads again when it is next shown.
TEST_F(FrmMainTest, CloseAndReopenRunsTheLoadStepAgain) {
  press(u"Command1"_s);
  conversion::Form1* form = menu.existingForm1();
  const auto input = [form] { return control<QLineEdit>(form, u"Text1"_s); };
  input()->setText(u"P*Q"_s);
  emit input()->textEdited(u"P*Q"_s);
  test::click(form, u"Command1"_s);
  test::click(form, u"Command3"_s);
  ASSERT_TRUE(form->timer().isActive());
  form->close();
  EXPECT_FALSE(form->isVisible() || form->timer().isActive());
  press(u"Command1"_s);
  EXPECT_EQ(menu.existingForm1(), form);
  EXPECT_EQ(input()->text(), u"A+B*C/(D-E)-F"_s);
  EXPECT_EQ(form->engine().state().variables.SavedExpression, u"A+B*C/(D-F)+G"_s);
  EXPECT_EQ(control<QLineEdit>(form, u"Text2"_s)->text(), QString());
}

TEST_F(FrmMainTest, ClosingTheMenuEndsTheProgram) {
  press(u"Command1"_s);
  test::click(menu.existingForm1(), u"Command3"_s); // auto-run going on
  menu.frmAssembler().showScreen();
  menu.frmAssembler().Command6_Click(); // a help page open too
  bool quitByClose = false;
  QTimer::singleShot(0, &menu, [&] { quitByClose = menu.close(); });
  QTimer::singleShot(10000, [] { QCoreApplication::exit(99); }); // a watchdog
  EXPECT_EQ(QApplication::exec(), 0); // the event loop ended because the menu closed
  EXPECT_TRUE(quitByClose);
  EXPECT_FALSE(menu.existingForm1()->timer().isActive());
  for (const QWidget* window : QApplication::topLevelWidgets())
    EXPECT_FALSE(window->isVisible()) << window->objectName().toStdString();
}

// Everything that replaces or discards the assembler screen's source, against every way of
// answering the question about a changed source. ファイル > 終了 closes the window as its close
// button does.
enum Trigger { Sample, SampleKey, HandOff, Open, Exit, CloseMenu };
enum Reply { Saved, SaveFails, SaveCancelled, No, Cancel, Unchanged };
const char* const kTriggers[] = {"Sample", "SampleKey", "HandOff", "Open", "Exit", "CloseMenu"};
const char* const kReplies[] = {"Saved", "SaveFails", "SaveCancelled", "No", "Cancel", "Unchanged"};

class UnsavedSource : public FrmMainTest,
                      public ::testing::WithParamInterface<std::tuple<int, int>> {};

// The assembler screen, created by the hand-off of the translation screen's code (which keeps
// its listing), then gets the sample "比較の例", and the user edits it (except when the source is
// to stay unchanged); then the trigger.
TEST_P(UnsavedSource, IsAskedAboutBeforeItIsReplacedOrDiscarded) {
  const auto [trigger, reply] = GetParam();
  QTemporaryDir dir;
  const QString savePath = dir.filePath(u"saved.txt"_s);
  const QString missingPath = dir.filePath(u"missing/saved.txt"_s);
  const QString openPath = test::writeFile(dir.filePath(u"other.txt"_s), "     SVC     0\r\n");
  press(u"Command3"_s);
  translation::FrmCompile* compile = menu.existingFrmCompile();
  test::untick(compile);
  test::click(compile, u"Command1"_s);
  test::click(compile, u"Command6"_s); // the hand-off creates the assembler screen
  machine::FrmAssembler& assembler = *menu.existingFrmAssembler();
  auto* source = control<QPlainTextEdit>(&assembler, u"Text1"_s);
  auto* list = control<QListWidget>(&assembler, u"List1"_s);
  const QString handed = source->toPlainText();
  EXPECT_TRUE(handed.startsWith(u"           LOAD   B\n           MULT   C"_s));
  test::clickRow(list, 0);
  if (reply != Unchanged)
    source->setPlainText(u"     LI      7\n     OUT     0"_s);
  const QString before = source->toPlainText();
  ASSERT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join(u' ').toStdString();
  // Yes and the save dialog's answer, or No; Cancel is not scripted: the question's default.
  if (reply <= SaveCancelled) {
    boxes.answerAsk(Answer::Yes);
    files.choose(reply == Saved ? savePath : reply == SaveFails ? missingPath : QString());
  }
  if (reply == No)
    boxes.answerAsk(Answer::No);
  files.choose(openPath);

  switch (trigger) {
  case Sample:
    test::clickRow(list, 1);
    break;
  case SampleKey: // the selection moves, and a cancel puts it back
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    break;
  case HandOff:
    test::click(compile, u"Command6"_s);
    break;
  case Open:
  case Exit:
    control<QAction>(&assembler, trigger == Open ? u"mnuOpen"_s : u"mnuExit"_s)->trigger();
    break;
  case CloseMenu:
    menu.close();
    break;
  }

  const bool goesOn = reply == Saved || reply == No || reply == Unchanged;
  const bool closes = trigger >= Exit;
  QStringList expectedBoxes;
  if (reply != Unchanged)
    expectedBoxes << u"ソースプログラムが変更されています。保存しますか?"_s;
  if (reply == SaveFails)
    expectedBoxes << u"保存先のフォルダが見つかりません File Name="_s + missingPath;
  EXPECT_EQ(boxes.texts(), expectedBoxes);
  if (const auto& question = boxes.boxes(); !question.empty()) { // the question comes first
    EXPECT_TRUE(question[0].kind == test::RecordingDialogs::Box::Kind::Ask &&
                question[0].title == applicationTitle() && question[0].withCancel &&
                question[0].byDefault == Answer::Cancel);
  }
  // Going on, the source box holds the new text (a closed screen's box is emptied) and the list
  // its new selection; stopping, both stay.
  const QString sample = QString(machine::sampleRegisters()).replace(u"\r\n"_s, u"\n"_s);
  const QString after[] = {sample, sample, handed, u"     SVC     0"_s, {}, {}};
  const int row[] = {1, 1, 0, 0, -1, -1};
  EXPECT_EQ(source->toPlainText(), goesOn ? after[trigger] : before);
  EXPECT_EQ(list->currentRow(), goesOn ? row[trigger] : 0);
  EXPECT_EQ(list->selectedItems().size(), goesOn && closes ? 0 : 1);
  EXPECT_EQ(assembler.engine().SourceChanged(), !goesOn);
  EXPECT_EQ(assembler.isVisible(), !(goesOn && closes));
  EXPECT_EQ(menu.isVisible(), !(goesOn && trigger == CloseMenu));
  QFile saved(savePath);
  EXPECT_EQ(saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray("<none>"),
            reply == Saved ? QByteArray("     LI      7\r\n     OUT     0\r\n") : "<none>");
  EXPECT_FALSE(QFile::exists(missingPath));
}

INSTANTIATE_TEST_SUITE_P(EveryTriggerAndAnswer, UnsavedSource,
                         ::testing::Combine(::testing::Range(0, 6), ::testing::Range(0, 6)),
                         [](const auto& param) {
                           return std::string(kTriggers[std::get<0>(param.param)]) + '_' +
                                  kReplies[std::get<1>(param.param)];
                         });

} // namespace
} // namespace rpn
