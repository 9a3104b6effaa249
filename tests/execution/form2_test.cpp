#include "common/screen_kit.h"
#include "execution/form2.h"
#include "support/screen_fixture.h"

namespace rpn::execution {
namespace {

using namespace Qt::StringLiterals;

class Form2Test : public test::ScreenFixture<Form2> {
protected:
  QString arrows() { return ScreenFixture::arrows(walk::kArrowCount); }
  // The painted backgrounds of the first count controls of an array: R(ed), Y(ellow), W(hite).
  QString colours(const QString& array, int count) {
    QString letters;
    for (int i = 0; i < count; ++i) {
      const QWidget* widget = get(indexedName(array, i));
      const QColor c = widget->palette().color(widget->backgroundRole());
      letters += !widget->autoFillBackground() ? u'-'
                 : c == Qt::red                ? u'R'
                 : c == Qt::yellow             ? u'Y'
                 : c == Qt::white              ? u'W'
                                               : u'?';
    }
    return letters;
  }
  QCheckBox* check1() { return get<QCheckBox>(u"Check1"_s); }
};

// The stack grows upwards; the arrows are bold and red, in the shade that reads on the window (the
// rectangles and the fonts at every zoom are the zoom test's part).
TEST_F(Form2Test, StackGrowsUpwardsAndArrowsAreBoldRed) {
  EXPECT_GT(get(u"lblValue(0)"_s)->y(), get(u"lblValue(9)"_s)->y());
  const QLabel* arrow = get<QLabel>(u"lblArrow5"_s);
  EXPECT_TRUE(arrow->font().bold());
  const QColor red = arrow->palette().color(QPalette::WindowText);
  EXPECT_TRUE(red.green() == 0 && red.blue() == 0 && red.red() >= 160) << red.name().toStdString();
}

TEST_F(Form2Test, OneShotRunPaintsRedAndClosingUnloadsOnlyTheControls) {
  check1()->click(); // trace off
  type(u"Text1"_s, u"XA="_s);
  click(u"Command3"_s);
  click(u"Command1"_s);
  EXPECT_TRUE(boxes.texts().isEmpty());
  EXPECT_EQ(text(u"lblValue(0)"_s) + u' ' + text(u"txtName(6)"_s), u"1 1");
  EXPECT_EQ(colours(u"lblValue"_s, 2), u"RW");
  EXPECT_EQ(colours(u"txtName"_s, kVariableCount), u"WWWWWWR");
  EXPECT_EQ(arrows(), u"278");

  form.close();
  EXPECT_FALSE(form.timer().isActive());
  form.showScreen();
  EXPECT_EQ(text(u"Text1"_s), u"XABC*DE-/+F-=");
  EXPECT_EQ(text(u"txtName(6)"_s) + text(u"lblValue(0)"_s) + text(u"Label4"_s), u"");
  EXPECT_TRUE(check1()->isChecked());
  click(u"Command2"_s); // the saved expression survives
  EXPECT_EQ(text(u"Text1"_s), u"XA=");
}

// The value register is an ordinary box: what it holds when the push comes is pushed (the other
// boxes reach the engine in the accessibility test).
TEST_F(Form2Test, AnEditOfTheValueRegisterDuringAutoRunIsPushed) {
  type(u"txtName(0)"_s, u"8"_s);
  type(u"Text1"_s, u"AB/"_s);
  click(u"Command3"_s);
  for (int i = 0; i < 6; ++i) // restart, A read, execute and push, B read and execute
    form.Timer1_Timer();
  type(u"Text2"_s, u"4"_s);
  for (int i = 0; i < 4; ++i) // push, read "/", execute, push
    form.Timer1_Timer();
  EXPECT_EQ(text(u"lblValue(0)"_s) + text(u"lblValue(1)"_s), u"2");
  click(u"Command4"_s);
  EXPECT_FALSE(form.timer().isActive());
}

} // namespace
} // namespace rpn::execution
