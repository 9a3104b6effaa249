#include "common/screen_kit.h"
#include "execution/form2.h"
#include "support/recording_dialogs.h"
#include "support/widget_lookup.h"

#include <QTest>
#include <gtest/gtest.h>

namespace rpn::execution {
namespace {

using test::control;
using test::RecordingDialogs;

QColor background(const QWidget* widget) {
  return widget->autoFillBackground() ? widget->palette().color(widget->backgroundRole())
                                      : QColor();
}

class Form2Test : public ::testing::Test {
protected:
  Form2Test() { form.showScreen(); }

  QLabel* label(const QString& name) { return control<QLabel>(&form, name); }
  QLineEdit* edit(const QString& name) { return control<QLineEdit>(&form, name); }
  QLabel* arrow(int number) { return label(QStringLiteral("lblArrow%1").arg(number)); }
  QLabel* cell(int i) { return label(indexedName(QStringLiteral("lblValue"), i)); }
  QLineEdit* value(int i) { return edit(indexedName(QStringLiteral("txtName"), i)); }
  void click(const QString& button) {
    QTest::mouseClick(control<QPushButton>(&form, button), Qt::LeftButton);
  }
  void type(QLineEdit* box, const QString& text) {
    box->selectAll();
    QTest::keyClicks(box, text);
  }
  // Numbers of the arrows shown on the screen.
  std::vector<int> shownArrows() {
    std::vector<int> shown;
    for (int i = 1; i <= kArrowCount; ++i)
      if (!arrow(i)->text().isEmpty())
        shown.push_back(i);
    return shown;
  }

  RecordingDialogs boxes;
  Form2 form{&boxes};
};

TEST_F(Form2Test, EveryControlSitsAtItsPlaceWithItsCaption) {
  struct Place {
    const char* name;
    int left, top, width, height;
    const char16_t* caption;
  };
  const Place places[] = {
      {"Frame1", 5640, 120, 3735, 615, u"逆ポーランド記法"},
      {"Text1", 120, 240, 2655, 270, u"XABC*DE-/+F-="},
      {"Command2", 2880, 240, 735, 255, u"リセット"},
      {"Frame2", 3360, 120, 1815, 855, u"取出し結果"},
      {"Label1", 360, 240, 495, 255, u"文字"},
      {"lblCH", 960, 240, 375, 255, u""},
      {"Label3", 0, 480, 855, 255, u"判別結果"},
      {"lblKind", 960, 480, 615, 255, u""},
      {"Label4", 120, 480, 3135, 255, u""},
      {"Command1", 5640, 840, 1095, 375, u"逐次実行"},
      {"Check1", 6840, 840, 1575, 255, u"トレースモード"},
      {"lblOpe", 2280, 1440, 615, 255, u""},
      {"Label5", 3720, 1440, 375, 255, u"値"},
      {"Text2", 4080, 1440, 735, 270, u""},
      {"Command3", 5640, 1680, 1455, 495, u"自動実行開始"},
      {"Command4", 7200, 1680, 1455, 495, u"自動実行停止"},
      {"Label6", 6480, 2280, 735, 375, u"Timer Interval"},
      {"Text3", 7320, 2280, 735, 375, u"200"},
      {"Frame3", 120, 1680, 1215, 2055, u"変数値"},
      {"lblName(0)", 120, 240, 255, 255, u"A"},
      {"txtName(0)", 360, 240, 735, 270, u"1"},
      {"lblName(6)", 120, 1680, 255, 255, u"X"},
      {"txtName(6)", 360, 1680, 735, 270, u""},
      {"Frame4", 1800, 2040, 1095, 855, u"演算対象"},
      {"lblOpe1", 120, 240, 855, 255, u""},
      {"lblOpe2", 120, 480, 855, 255, u""},
      {"Frame5", 3360, 2040, 1695, 2775, u"スタック"},
      {"Label2(0)", 120, 2400, 375, 255, u"0"},
      {"lblValue(0)", 600, 2400, 855, 255, u""},
      {"Label2(9)", 120, 240, 375, 255, u"9"},
      {"lblValue(9)", 600, 240, 855, 255, u""},
      {"lblArrow1", 5160, 240, 495, 495, u""},
      {"lblArrow3", 4200, 960, 495, 375, u""},
      {"lblArrow8", 1320, 2280, 495, 495, u""},
  };
  for (const Place& p : places) {
    const QString name = QString::fromLatin1(p.name);
    const QWidget* widget = control<QWidget>(&form, name);
    EXPECT_EQ(widget->geometry(), twipsRect(p.left, p.top, p.width, p.height)) << p.name;
    QString caption;
    if (const auto* l = qobject_cast<const QLabel*>(widget))
      caption = l->text();
    else if (const auto* e = qobject_cast<const QLineEdit*>(widget))
      caption = e->text();
    else if (const auto* b = qobject_cast<const QAbstractButton*>(widget))
      caption = b->text();
    else if (const auto* g = qobject_cast<const QGroupBox*>(widget))
      caption = g->title();
    EXPECT_EQ(caption, QString::fromUtf16(p.caption)) << p.name;
    EXPECT_FALSE(widget->accessibleName().isEmpty()) << p.name;
  }
  EXPECT_EQ(form.windowTitle(), u"逆ポーランド記法の直接実行");
  EXPECT_EQ(form.size(), QSize(twips(9435), twips(4920)));
  EXPECT_TRUE(control<QCheckBox>(&form, QStringLiteral("Check1"))->isChecked());
  EXPECT_FALSE(form.timer().isActive());

  const QFont font = arrow(5)->font();
  EXPECT_TRUE(font.bold());
  EXPECT_DOUBLE_EQ(font.pointSizeF(), 20.25);
  EXPECT_EQ(arrow(5)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

TEST_F(Form2Test, OneShotRunPaintsTheResultAndTheWrittenVariable) {
  control<QCheckBox>(&form, QStringLiteral("Check1"))->click(); // trace off
  click(QStringLiteral("Command1"));
  EXPECT_TRUE(boxes.texts().isEmpty());
  EXPECT_EQ(cell(0)->text(), u"-11");
  EXPECT_EQ(background(cell(0)), QColor(255, 0, 0));
  EXPECT_EQ(cell(1)->text(), u"");
  EXPECT_EQ(background(cell(1)), QColor(255, 255, 255));
  EXPECT_EQ(value(6)->text(), u"-11");
  for (int i = 0; i < kVariableCount; ++i)
    EXPECT_EQ(background(value(i)), i == 6 ? QColor(255, 0, 0) : QColor(255, 255, 255)) << i;
  EXPECT_EQ(edit(QStringLiteral("Text1"))->text(), u"");
  EXPECT_EQ(label(QStringLiteral("lblKind"))->text(), u"終了");
  EXPECT_EQ(label(QStringLiteral("Label4"))->text(), u"値Push");
  EXPECT_EQ(shownArrows(), (std::vector<int>{2, 7})); // "=" read a number, wrote a variable

  click(QStringLiteral("Command2"));
  EXPECT_EQ(edit(QStringLiteral("Text1"))->text(), u"XABC*DE-/+F-=");
  EXPECT_EQ(cell(0)->text(), u"");
  EXPECT_EQ(background(cell(0)), QColor(255, 255, 255));
  EXPECT_EQ(value(6)->text(), u"-11");
  EXPECT_TRUE(shownArrows().empty());
}

TEST_F(Form2Test, TraceBoxesSeeTheMoveTheyDescribe) {
  struct Seen {
    QString box, caption, register_, ope;
    std::vector<int> arrows;
  };
  std::vector<Seen> seen;
  boxes.onBox = [&] {
    seen.push_back({boxes.texts().last(), label(QStringLiteral("Label4"))->text(),
                    edit(QStringLiteral("Text2"))->text(), label(QStringLiteral("lblOpe"))->text(),
                    shownArrows()});
  };
  click(QStringLiteral("Command1"));
  ASSERT_EQ(seen.size(), 40u);
  EXPECT_EQ(seen[0].box, u"ポーランド記法取出し");
  EXPECT_EQ(seen[0].caption, u"逆ポーランド記法取出し");
  EXPECT_EQ(seen[0].arrows, std::vector<int>{1});
  EXPECT_EQ(seen[1].box, u"実行途中");
  EXPECT_EQ(seen[1].caption, u"変数Xの設定");
  EXPECT_EQ(seen[1].register_, u"Name:X");
  EXPECT_EQ(seen[1].arrows, std::vector<int>{3});
  EXPECT_EQ(seen[2].box, u"値プッシュ");
  EXPECT_EQ(seen[2].caption, u"値Push");
  EXPECT_EQ(seen[2].arrows, std::vector<int>{2});
  // The "*" is the fifth symbol: its execute box shows the operator arrows and the read of B, C.
  const Seen& times = seen[1 + 4 * 3];
  EXPECT_EQ(times.box, u"実行途中");
  EXPECT_EQ(times.ope, u"*");
  EXPECT_EQ(times.register_, u"6");
  EXPECT_EQ(times.caption, u"演算対象Popと演算の実行");
  EXPECT_EQ(times.arrows, (std::vector<int>{4, 5, 6, 8}));
}

TEST_F(Form2Test, EditsFlowIntoTheEngineAsTheyHappen) {
  control<QCheckBox>(&form, QStringLiteral("Check1"))->click();
  type(value(1), QStringLiteral("0"));
  type(edit(QStringLiteral("Text1")), QStringLiteral("AB/"));
  click(QStringLiteral("Command1"));
  EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("0で割ることはできません")});
  EXPECT_EQ(cell(0)->text(), u"0");

  // The value register is an ordinary box: what it holds is what the next push pushes.
  type(edit(QStringLiteral("Text1")), QStringLiteral("A"));
  click(QStringLiteral("Command3")); // interval 200
  EXPECT_TRUE(form.timer().isActive());
  EXPECT_EQ(form.timer().interval(), 200);
  for (int i = 0; i < 3; ++i) // restart, read, execute
    form.Timer1_Timer();
  type(edit(QStringLiteral("Text2")), QStringLiteral("42"));
  form.Timer1_Timer();
  EXPECT_EQ(cell(0)->text(), u"42");
  EXPECT_EQ(background(cell(0)), QColor(255, 0, 0));
  click(QStringLiteral("Command4"));
  EXPECT_FALSE(form.timer().isActive());
}

TEST_F(Form2Test, AutoRunBlinksTheTopCellUnderTheEndCaption) {
  click(QStringLiteral("Command3"));
  for (int i = 0; i < 41; ++i) // the restart, 13 symbols, the end read
    form.Timer1_Timer();
  EXPECT_EQ(label(QStringLiteral("lblKind"))->text(), u"終了");
  QStringList captions;
  std::vector<QColor> colours;
  for (int i = 0; i < 10; ++i) {
    form.Timer1_Timer();
    captions << label(QStringLiteral("Label4"))->text();
    colours.push_back(background(cell(0)));
  }
  const QString ok = QStringLiteral("正常終了");
  EXPECT_EQ(captions, (QStringList{ok, ok, ok, ok, ok, ok, ok, ok, ok, QString()}));
  const QColor w(255, 255, 255), y(255, 255, 0);
  EXPECT_EQ(colours, (std::vector<QColor>{w, y, w, y, w, y, w, y, w, w}));
  EXPECT_EQ(cell(0)->text(), u"-11");

  // Typing an interval the timer cannot take keeps the running one.
  type(edit(QStringLiteral("Text3")), QStringLiteral("70000"));
  click(QStringLiteral("Command3"));
  EXPECT_EQ(form.timer().interval(), 200);
  EXPECT_EQ(boxes.texts().size(), 1);
  type(edit(QStringLiteral("Text3")), QStringLiteral("abc"));
  click(QStringLiteral("Command3"));
  EXPECT_FALSE(form.timer().isActive());
}

TEST_F(Form2Test, ClosingUnloadsAndShowingLoadsAgain) {
  control<QCheckBox>(&form, QStringLiteral("Check1"))->click();
  click(QStringLiteral("Command3"));
  click(QStringLiteral("Command1"));
  form.close();
  EXPECT_FALSE(form.isLoaded());
  EXPECT_FALSE(form.timer().isActive());
  form.showScreen();
  EXPECT_EQ(value(6)->text(), u"");
  EXPECT_EQ(edit(QStringLiteral("Text1"))->text(), u"XABC*DE-/+F-=");
  EXPECT_EQ(label(QStringLiteral("Label4"))->text(), u"");
  EXPECT_EQ(cell(0)->text(), u"");
  EXPECT_TRUE(control<QCheckBox>(&form, QStringLiteral("Check1"))->isChecked());
  // The saved expression survives: reset puts back what the last run started from.
  click(QStringLiteral("Command2"));
  EXPECT_EQ(edit(QStringLiteral("Text1"))->text(), u"XABC*DE-/+F-=");
  EXPECT_EQ(form.engine().variables().SavedExpression, u"XABC*DE-/+F-=");
}

} // namespace
} // namespace rpn::execution
