#include "conversion/form1.h"
#include "execution/form2.h"
#include "machine/frm_assembler.h"
#include "shell/frm_main.h"
#include "support/recording_dialogs.h"
#include "support/widget_lookup.h"
#include "translation/frm_compile.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace rpn {
namespace {

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
  FrmMain menu{&boxes};
};

TEST_F(FrmMainTest, HasItsCaptionButtonsAndSize) {
  EXPECT_EQ(menu.windowTitle(), QStringLiteral("逆ポーランド記法"));
  EXPECT_EQ(menu.size(), QSize(twips(3420), twips(1875)));
  EXPECT_EQ(control<QPushButton>(&menu, QStringLiteral("Command1"))->text(),
            QStringLiteral("逆ポーランド記法変換"));
  EXPECT_EQ(control<QPushButton>(&menu, QStringLiteral("Command3"))->geometry(),
            twipsRect(120, 1320, 2415, 495));
  EXPECT_EQ(menu.existingForm1(), nullptr); // created on first use only
  EXPECT_EQ(menu.existingForm2(), nullptr);
}

TEST_F(FrmMainTest, SecondButtonOpensTheExecutionScreen) {
  press(QStringLiteral("Command2"));
  ASSERT_NE(menu.existingForm2(), nullptr);
  EXPECT_TRUE(menu.existingForm2()->isVisible());
  EXPECT_EQ(menu.existingForm2()->windowTitle(), QStringLiteral("逆ポーランド記法の直接実行"));
  EXPECT_EQ(menu.existingForm1(), nullptr);
}

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
  EXPECT_EQ(form->engine().variables().SavedExpression, QStringLiteral("A+B*C/(D-F)+G"));
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

} // namespace
} // namespace rpn
