#include "common/screen_kit.h"
#include "support/screen_fixture.h"
#include "translation/frm_compile.h"

#include <QApplication>
#include <QFontMetrics>

namespace rpn::translation {
namespace {

using namespace Qt::StringLiterals;

// The colour actually drawn near the bottom-right corner (inside any border); a list draws its
// contents on a viewport of its own.
QColor background(QWidget* widget) {
  if (auto* area = qobject_cast<QAbstractScrollArea*>(widget))
    widget = area->viewport();
  const QImage image = widget->grab().toImage();
  return image.pixelColor(image.width() - 4, image.height() - 4);
}

const QColor kWhite(255, 255, 255);
const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);
const QColor kBlue(0, 0, 255);

class FrmCompileTest : public test::ScreenFixture<FrmCompile> {
protected:
  QLabel* label(const QString& name) { return get<QLabel>(name); }
  QListWidget* list() { return get<QListWidget>(u"List1"_s); }
  void translateExample() {
    traceOff();
    click(u"Command1"_s);
  }
  // Each label of the group named, as "text/colour"; the arrows as their numbers.
  QStringList painted(const QString& group, int count) {
    QStringList shown;
    for (int i = 0; i < count; ++i) {
      QLabel* l = label(indexedName(group, i));
      const QColor colour = background(l);
      shown << l->text() + (colour == kBlue ? u"/B"_s : colour == kRed ? u"/R"_s : QString());
    }
    return shown;
  }
};

// The listing's columns line up: every half-width character is as wide as a blank (the places of
// the controls are the zoom test's).
TEST_F(FrmCompileTest, TheListingLinesUp) {
  const QFontMetrics metrics(list()->font());
  for (const QChar c : u"Wi$*0"_s)
    EXPECT_EQ(metrics.horizontalAdvance(c), metrics.horizontalAdvance(u' '));
}

TEST_F(FrmCompileTest, EachTranslationStepIsShownBeforeItsTraceBox) {
  QStringList seen; // Label4, Text2, the arrows shown, the lblValue labels
  boxes.onBox = [&] {
    if (boxes.texts().last() == u"実行途中")
      seen << QStringList{text(u"Label4"_s), text(u"Text2"_s), arrows(kScreenArrows),
                          painted(u"lblValue"_s, 2).join(u',')}
                  .join(u' ');
  };
  type(u"Text1"_s, u"AB+"_s);
  click(u"Command1"_s);
  EXPECT_EQ(boxes.texts().size(), 10);
  EXPECT_EQ(seen, QStringList({u"変数Aの取出し A 3 ,"_s, u"変数Bの取出し B 3 A/R,"_s,
                               u"演算対象Popと演算の実行 T$00 456 ,"_s}));
  EXPECT_EQ(painted(u"lblName"_s, kNameLabels),
            QStringList({u"A"_s, u"B/B"_s, u"T$00"_s}) + QStringList(11, QString()));
  EXPECT_EQ(painted(u"lblValue"_s, 2), QStringList({u"T$00/R"_s, u""_s}));
  EXPECT_EQ(text(u"lblPtr"_s), u"3");
  EXPECT_EQ(list()->item(2)->text(), u"           STOR   T$00");
  // A second press finds the expression box empty: one read, nothing else.
  boxes.clear();
  click(u"Command1"_s);
  EXPECT_EQ(boxes.texts(), QStringList{u"ポーランド記法取出し"_s});
  EXPECT_EQ(list()->count(), 3);
}

// Every letter again and again: past the thirteenth name the table refuses each name and each
// work variable, and past slot 297 the buffer refuses each template, the two in turn. The press
// opens each complaint once, its repeats counted (how they are counted is the common test's).
TEST_F(FrmCompileTest, APressOpensEachComplaintOnceWithItsRepeats) {
  QString input = u"A"_s;
  for (int round = 0; round < 8; ++round)
    for (char16_t c = u'B'; c <= u'Z'; ++c)
      input += QString(QChar(c)) + u'+';
  type(u"Text1"_s, input);
  translateExample();
  ASSERT_EQ(boxes.texts().size(), 2);
  EXPECT_TRUE(boxes.texts()[0].startsWith(tableOverflowMessage() + u" (ほか"_s));
  EXPECT_TRUE(boxes.texts()[1].startsWith(bufferOverflowMessage() + u" (ほか"_s));
}

TEST_F(FrmCompileTest, AutoRunCycleOfTheExample) {
  type(u"Text3"_s, u"1000"_s);
  click(u"Command3"_s);
  EXPECT_EQ(form.timer().interval(), 1000);
  struct Tick {
    std::int16_t phase;
    QString caption;
    QColor top, list, frame;
  };
  std::vector<Tick> ticks;
  do {
    form.Timer1_Timer();
    const int top = form.engine().view().StackCount - 1;
    ticks.push_back({form.engine().driver().phase(), text(u"Label4"_s),
                     top < 0 ? QColor() : background(label(indexedName(u"lblValue"_s, top))),
                     background(list()), background(get(u"Frame3"_s))});
  } while (ticks.back().phase != kRestart && ticks.size() < 1000);
  EXPECT_TRUE(boxes.texts().isEmpty());

  // The phase after each tick (in hexadecimal): restart, read / translate / push for 13 symbols,
  // the end read, then the end display, the optimiser's steps and their blinks.
  QString phases;
  for (const Tick& t : ticks)
    phases += QString::number(t.phase, 16);
  ASSERT_EQ(phases, u"1"_s + u"231"_s.repeated(13) + u"4"_s.repeated(10) + u"5"_s +
                        u"6"_s.repeated(10) + u"78"_s + u"9"_s.repeated(10) + u"a"_s +
                        u"b"_s.repeated(6) + u"0"_s);

  // Blinks by the count left: odd plain, even yellow, down to 1 on the last coloured tick.
  const QColor buttonFace = QApplication::palette().color(QPalette::Button);
  const struct {
    int first, last; // ticks counted from 1
    const char16_t* caption;
    QColor Tick::*target;
    QColor plain;
  } blinks[] = {{42, 50, u"正常終了", &Tick::top, kWhite},
                {53, 61, u"無駄な命令削除", &Tick::list, kWhite},
                {65, 73, u"無駄な変数削除", &Tick::frame, buttonFace},
                {76, 80, u"最適化完了", &Tick::list, kWhite},
                {76, 80, u"最適化完了", &Tick::frame, buttonFace}};
  for (const auto& b : blinks)
    for (int tick = b.first; tick <= b.last + 1; ++tick) { // the tick after them empties Label4
      const Tick& t = ticks.at(static_cast<std::size_t>(tick - 1));
      EXPECT_EQ(t.caption, tick > b.last ? QString() : QString::fromUtf16(b.caption)) << tick;
      EXPECT_EQ(t.*b.target, (b.last - tick) % 2 == 1 ? kYellow : b.plain) << tick;
    }
  EXPECT_EQ(ticks.at(51).caption, u"無駄な命令の削除");
  EXPECT_EQ(ticks.at(63).caption, u"無駄な変数の削除");
  EXPECT_EQ(list()->count(), 13);
  // The next tick starts the same expression over.
  form.Timer1_Timer();
  EXPECT_EQ(text(u"Text1"_s), u"XABC*DE-/+F-=");
  EXPECT_EQ(list()->count(), 0);
  click(u"Command4"_s);
  EXPECT_FALSE(form.timer().isActive());
}

TEST_F(FrmCompileTest, OptimisingHoldsTheTimerAndAHandOffKeepsTheScreen) {
  translateExample();
  click(u"Command3"_s); // auto-run: a tick acted on now would restart the translation
  QStringList redAtLastBox;
  boxes.onBox = [&] {
    form.Timer1_Timer();
    redAtLastBox = painted(u"lblName"_s, 12);
  };
  click(u"Command5"_s);
  EXPECT_EQ(redAtLastBox.mid(9), QStringList({u"T$03/R"_s, u"F"_s, u"T$04/R"_s}));
  EXPECT_EQ(form.engine().driver().phase(), kRestart);
  click(u"Command6"_s); // nothing connected: nothing happens (what is handed over is rpnw's test's)
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(list()->count(), 13);
}

TEST_F(FrmCompileTest, ResetAndClosingKeepOnlyTheSavedExpression) {
  click(u"Command2"_s); // nothing saved yet
  EXPECT_EQ(text(u"Text1"_s), u"");
  type(u"Text1"_s, u"XAB+="_s);
  translateExample();
  form.close();
  EXPECT_FALSE(form.isLoaded());
  form.showScreen();
  EXPECT_EQ(text(u"Text1"_s), u"XABC*DE-/+F-=");
  EXPECT_EQ(list()->count(), 0);
  EXPECT_TRUE(get<QCheckBox>(u"Check1"_s)->isChecked());
  click(u"Command2"_s); // the saved expression is a form variable
  EXPECT_EQ(text(u"Text1"_s), u"XAB+=");
}

} // namespace
} // namespace rpn::translation
