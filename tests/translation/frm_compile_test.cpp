#include "common/screen_kit.h"
#include "support/recording_dialogs.h"
#include "support/widget_lookup.h"
#include "translation/frm_compile.h"

#include <QApplication>
#include <QFontMetrics>
#include <QTest>
#include <gtest/gtest.h>

namespace rpn::translation {
namespace {

using namespace Qt::StringLiterals;
using test::control;
using test::RecordingDialogs;

QColor background(const QWidget* widget) {
  return widget->autoFillBackground() ? widget->palette().color(widget->backgroundRole())
                                      : QColor();
}

const QColor kWhite(255, 255, 255);
const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);
const QColor kBlue(0, 0, 255);
QColor buttonFace() {
  return QApplication::palette().color(QPalette::Button);
}

class FrmCompileTest : public ::testing::Test {
protected:
  FrmCompileTest() { form.showScreen(); }

  QLabel* label(const QString& name) { return control<QLabel>(&form, name); }
  QLineEdit* edit(const QString& name) { return control<QLineEdit>(&form, name); }
  QLabel* name(int i) { return label(indexedName(u"lblName"_s, i)); }
  QLabel* cell(int i) { return label(indexedName(u"lblValue"_s, i)); }
  QListWidget* list() { return control<QListWidget>(&form, u"List1"_s); }
  QGroupBox* frame3() { return control<QGroupBox>(&form, u"Frame3"_s); }
  void click(const QString& button) {
    QTest::mouseClick(control<QPushButton>(&form, button), Qt::LeftButton);
  }
  void traceOff() { control<QCheckBox>(&form, u"Check1"_s)->setChecked(false); }
  QStringList listing() {
    QStringList lines;
    for (int i = 0; i < list()->count(); ++i)
      lines << list()->item(i)->text();
    return lines;
  }
  QStringList shownArrows() {
    QStringList shown;
    for (int i = 1; i <= kScreenArrows; ++i)
      if (!label(u"lblArrow%1"_s.arg(i))->text().isEmpty())
        shown << label(u"lblArrow%1"_s.arg(i))->text();
    return shown;
  }

  RecordingDialogs boxes;
  FrmCompile form{&boxes};
};

TEST_F(FrmCompileTest, EveryControlIsThereWithItsCaption) {
  const struct {
    const char* name;
    const char16_t* caption;
  } controls[] = {
      {"Frame1", u"逆ポーランド記法"},
      {"Text1", u"XABC*DE-/+F-="},
      {"Frame2", u"取出し結果"},
      {"Label1", u"文字"},
      {"lblCH", u""},
      {"Label3", u"判別結果"},
      {"lblKind", u""},
      {"Text2", u""},
      {"Label5", u"値"},
      {"Frame5", u"スタック"},
      {"Label2(0)", u"0"},
      {"Label2(9)", u"9"},
      {"lblValue(9)", u""},
      {"lblOpe", u""},
      {"Frame4", u"演算対象"},
      {"lblOpe1", u""},
      {"lblOpe2", u""},
      {"Frame3", u"変数名テーブル"},
      {"lblPtr", u"0"},
      {"lblName(0)", u""},
      {"lblName(13)", u""},
      {"Label7", u"オブジェクト"},
      {"Label4", u""},
      {"lblArrow1", u""},
      {"lblArrow6", u""},
      {"Command1", u"変換開始"},
      {"Command2", u"リセット"},
      {"Command3", u"自動実行開始"},
      {"Command4", u"自動実行停止"},
      {"Text3", u"200"},
      {"Label6", u"Timer Interval"},
      {"Check1", u"トレースモード"},
      {"Command5", u"オブジェクト最適化"},
      {"Command6", u"擬似アセンブラ"},
  };
  for (const auto& c : controls) {
    const QWidget* widget = control<QWidget>(&form, QString::fromLatin1(c.name));
    QString caption;
    if (const auto* l = qobject_cast<const QLabel*>(widget))
      caption = l->text();
    else if (const auto* e = qobject_cast<const QLineEdit*>(widget))
      caption = e->text();
    else if (const auto* b = qobject_cast<const QAbstractButton*>(widget))
      caption = b->text();
    else if (const auto* g = qobject_cast<const QGroupBox*>(widget))
      caption = g->title();
    EXPECT_EQ(caption, QString::fromUtf16(c.caption)) << c.name;
    EXPECT_FALSE(widget->accessibleName().isEmpty()) << c.name;
    // Inside the window, and not cut off by its frame.
    const QRect inWindow(widget->mapTo(&form, QPoint(0, 0)), widget->size());
    EXPECT_TRUE(form.rect().contains(inWindow)) << c.name;
    if (widget->parentWidget() != &form) {
      EXPECT_TRUE(widget->parentWidget()->rect().contains(widget->geometry())) << c.name;
    }
  }
  EXPECT_EQ(form.windowTitle(), u"逆ポーランド記法の翻訳");
  EXPECT_EQ(form.objectName(), u"frmCompile");
  EXPECT_TRUE(control<QCheckBox>(&form, u"Check1"_s)->isChecked());
  EXPECT_FALSE(form.timer().isActive());
  // The listing's columns line up: every half-width character is as wide as a blank.
  const QFontMetrics metrics(list()->font());
  for (const char16_t* c : {u"W", u"i", u"$", u"*", u"0"})
    EXPECT_EQ(metrics.horizontalAdvance(QString::fromUtf16(c)), metrics.horizontalAdvance(u' '));
  EXPECT_EQ(label(u"lblArrow5"_s)->palette().color(QPalette::WindowText), kRed);
  EXPECT_EQ(background(frame3()), buttonFace());
  EXPECT_EQ(background(list()), kWhite);
}

TEST_F(FrmCompileTest, TranslationFillsTheTableTheListingAndTheStack) {
  traceOff();
  click(u"Command1"_s);
  EXPECT_TRUE(boxes.texts().isEmpty());
  EXPECT_EQ(label(u"lblPtr"_s)->text(), u"12");
  EXPECT_EQ(name(4)->text(), u"T$00");
  EXPECT_EQ(name(11)->text(), u"T$04");
  EXPECT_EQ(name(12)->text(), u"");
  EXPECT_EQ(background(name(10)), kBlue); // F, the last name read
  EXPECT_EQ(background(name(0)), kWhite);
  ASSERT_EQ(list()->count(), 17);
  EXPECT_EQ(list()->item(16)->text(), u"           STOR   X");
  EXPECT_EQ(cell(0)->text(), u"X");
  EXPECT_EQ(background(cell(0)), kRed);
  EXPECT_EQ(background(cell(1)), kWhite);
  EXPECT_EQ(label(u"Label4"_s)->text(), u"変数Push");
  EXPECT_EQ(shownArrows(), QStringList{u"↓"_s});

  click(u"Command2"_s);
  EXPECT_EQ(edit(u"Text1"_s)->text(), u"XABC*DE-/+F-=");
  EXPECT_EQ(list()->count(), 0);
  EXPECT_EQ(name(0)->text(), u"");
  EXPECT_EQ(label(u"lblPtr"_s)->text(), u"0");
  EXPECT_EQ(cell(0)->text(), u"");
}

TEST_F(FrmCompileTest, TraceBoxesSeeTheMoveTheyDescribe) {
  struct Seen {
    QString box, caption, value;
    QStringList arrows;
  };
  std::vector<Seen> seen;
  boxes.onBox = [&] {
    seen.push_back({boxes.texts().last(), label(u"Label4"_s)->text(), edit(u"Text2"_s)->text(),
                    shownArrows()});
  };
  QLineEdit* text1 = edit(u"Text1"_s);
  text1->selectAll();
  QTest::keyClicks(text1, u"AB+"_s);
  click(u"Command1"_s);
  ASSERT_EQ(seen.size(), 10u);
  EXPECT_EQ(seen[1].box, u"実行途中");
  EXPECT_EQ(seen[1].caption, u"変数Aの取出し");
  EXPECT_EQ(seen[1].value, u"A");
  EXPECT_EQ(seen[1].arrows, QStringList{u"←"_s}); // lblArrow3, towards the register
  EXPECT_EQ(seen[2].box, u"値プッシュ");
  EXPECT_EQ(seen[2].caption, u"変数Push");
  EXPECT_EQ(seen[7].caption, u"演算対象Popと演算の実行");
  EXPECT_EQ(seen[7].value, u"T$00");
  EXPECT_EQ(seen[7].arrows, (QStringList{u"↑"_s, u"→"_s, u"←"_s}));
}

TEST_F(FrmCompileTest, OptimiserBoxesShowMarkedLinesAndRedWorkVariables) {
  traceOff();
  click(u"Command1"_s);
  std::vector<QStringList> listings;
  std::vector<QColor> t03;
  boxes.onBox = [&] {
    listings.push_back(listing());
    t03.push_back(background(name(9)));
  };
  click(u"Command5"_s);
  ASSERT_EQ(boxes.texts().size(), 3);
  EXPECT_EQ(listings[0].at(11), u" *useless* STOR   T$03");
  EXPECT_EQ(listings[1].size(), 13);
  EXPECT_EQ(t03[2], kRed);
  EXPECT_EQ(list()->count(), 13);
  EXPECT_EQ(name(9)->text(), u"F");
  EXPECT_EQ(name(10)->text(), u"");
  EXPECT_EQ(background(name(9)), kWhite);
}

TEST_F(FrmCompileTest, AutoRunBlinksTheListAndTheTable) {
  traceOff();
  edit(u"Text3"_s)->clear();
  QTest::keyClicks(edit(u"Text3"_s), u"1000"_s);
  click(u"Command3"_s);
  EXPECT_TRUE(form.timer().isActive());
  EXPECT_EQ(form.timer().interval(), 1000);
  std::vector<std::pair<QColor, QColor>> colours; // list, table frame
  std::vector<QString> captions;
  for (int tick = 0; tick < 81; ++tick) {
    form.Timer1_Timer();
    colours.emplace_back(background(list()), background(frame3()));
    captions.push_back(label(u"Label4"_s)->text());
  }
  EXPECT_EQ(colours.at(52), std::make_pair(kWhite, buttonFace())); // tick 53: count 9
  EXPECT_EQ(colours.at(53), std::make_pair(kYellow, buttonFace()));
  EXPECT_EQ(captions.at(53), u"無駄な命令削除");
  EXPECT_EQ(colours.at(65), std::make_pair(kWhite, kYellow)); // tick 66: count 8
  EXPECT_EQ(captions.at(65), u"無駄な変数削除");
  EXPECT_EQ(colours.at(75), std::make_pair(kWhite, buttonFace())); // tick 76: count 5
  EXPECT_EQ(colours.at(76), std::make_pair(kYellow, kYellow));
  EXPECT_EQ(captions.at(76), u"最適化完了");
  EXPECT_EQ(colours.back(), std::make_pair(kWhite, buttonFace()));
  EXPECT_EQ(list()->count(), 13);
  click(u"Command4"_s);
  EXPECT_FALSE(form.timer().isActive());
}

TEST_F(FrmCompileTest, HandOffDeliversTheSourceAndKeepsTheScreen) {
  click(u"Command6"_s); // nothing connected: nothing happens
  QStringList delivered;
  form.setHandOff([&](const QString& source) { delivered << source; });
  click(u"Command6"_s);
  EXPECT_EQ(delivered, QStringList{u"           SVC    0"_s});
  traceOff();
  click(u"Command1"_s);
  click(u"Command6"_s);
  ASSERT_EQ(delivered.size(), 2);
  EXPECT_EQ(delivered.last(), form.engine().BuildAssemblerSource());
  EXPECT_TRUE(delivered.last().startsWith(u"           LOAD   B\r\n"_s));
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(list()->count(), 17);
}

TEST_F(FrmCompileTest, ClosingUnloadsAndShowingLoadsAgain) {
  traceOff();
  click(u"Command1"_s);
  form.close();
  EXPECT_FALSE(form.isLoaded());
  form.showScreen();
  EXPECT_EQ(edit(u"Text1"_s)->text(), u"XABC*DE-/+F-=");
  EXPECT_EQ(list()->count(), 0);
  EXPECT_EQ(label(u"lblPtr"_s)->text(), u"0");
  EXPECT_TRUE(control<QCheckBox>(&form, u"Check1"_s)->isChecked());
  // The saved expression is a form variable and survives.
  edit(u"Text1"_s)->clear();
  click(u"Command2"_s);
  EXPECT_EQ(edit(u"Text1"_s)->text(), u"XABC*DE-/+F-=");
}

} // namespace
} // namespace rpn::translation
