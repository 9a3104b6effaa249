#include "conversion/form1.h"
#include "support/screen_fixture.h"

namespace rpn::conversion {
namespace {

using namespace Qt::StringLiterals;

QColor background(const QWidget* w) {
  return w->palette().color(QPalette::Window);
}

using Form1Test = test::ScreenFixture<Form1>;

// The widest text a value caption holds fits it (the rectangles, and the captions shown at every
// zoom, are the zoom test's part).
TEST_F(Form1Test, ValueCaptionsHoldTheirWidestTexts) {
  for (const auto& [name, longest] :
       {std::pair{u"lblMode"_s, u"演算子"_s}, std::pair{u"lblKindS(0)"_s, u"二項演算子"_s}})
    EXPECT_LE(get(name)->fontMetrics().horizontalAdvance(longest), get(name)->width())
        << name.toStdString();
}

TEST_F(Form1Test, LoadClearsTheArrowsAndShowsTheRulesOnButtonFaceAboveAReadOnlyOutput) {
  EXPECT_EQ(arrows(4), u"");
  EXPECT_EQ(get<QPlainTextEdit>(u"Text4"_s)->document()->blockCount(), 4);
  // What is drawn, not only the palette: the box paints its text on a viewport of its own.
  const QImage rules = get<QPlainTextEdit>(u"Text4"_s)->viewport()->grab().toImage();
  EXPECT_EQ(rules.pixelColor(rules.width() - 3, rules.height() - 3),
            QApplication::palette().color(QPalette::Button));
  EXPECT_TRUE(get<QLineEdit>(u"Text2"_s)->isReadOnly());
}

// At every box the screen shows the move it describes: step line | output | arrows (the engine
// test has the boxes' texts).
TEST_F(Form1Test, TracedRunShowsEachMoveBeforeItsBox) {
  type(u"Text1"_s, u"A*B+C"_s);
  QStringList shown;
  boxes.onBox = [&] { shown << text(u"Label5"_s) + u'|' + text(u"Text2"_s) + u'|' + arrows(4); };
  click(u"Command1"_s);
  EXPECT_EQ(
      shown.join(u'/'),
      u"語彙解析||1/Aを出力文に移動||2/語彙解析|A|1/演算子[*]をPush|A|3/語彙解析|A|1/"
      u"Bを出力文に移動|A|2/語彙解析|AB|1/優先度が高い演算子をPop|AB|34/演算子[+]をPush|AB*|3/"
      u"語彙解析|AB*|1/Cを出力文に移動|AB*|2/終了(括弧閉じ処理と同じ)|AB*C|4/"
      u"Popして出力文に移動|AB*C|4");
  EXPECT_EQ(text(u"Text2"_s) + u'|' + text(u"Text1"_s), u"AB*C+|");
}

TEST_F(Form1Test, UntracedRunPaintsTheLeftoverStackRed) {
  QTest::mouseClick(get<QCheckBox>(u"Check1"_s), Qt::LeftButton, {}, QPoint(5, 5));
  ASSERT_FALSE(form.engine().view().Check1);
  type(u"Text1"_s, u"A*(B+C"_s);
  click(u"Command1"_s);
  EXPECT_EQ(boxes.texts(), QStringList{u"括弧が閉じられていません"_s});
  EXPECT_EQ(QStringList({text(u"Text2"_s), text(u"lblOperation(0)"_s), text(u"lblPriority(0)"_s),
                         text(u"lblKindS(0)"_s)}),
            QStringList({u"ABC+"_s, u"*"_s, u"400"_s, u"二項演算子"_s}));
  for (const QString& cell : {u"lblOperation(0)"_s, u"lblPriority(0)"_s, u"lblKindS(0)"_s})
    EXPECT_EQ(background(get(cell)), QColor(255, 0, 0)) << cell.toStdString();
  EXPECT_EQ(background(get(u"lblOperation(1)"_s)), QColor(255, 255, 255));

  click(u"Command2"_s); // reset: the expression the run started from comes back
  EXPECT_EQ(text(u"Text1"_s) + text(u"lblKind"_s), u"A*(B+C終了");
  EXPECT_EQ(background(get(u"lblOperation(0)"_s)), QColor(255, 255, 255));
}

// The timer's ticks, counted: each is one move of the engine, and the screen shows it (the rest
// of the cycle, starting over included, is the engine test's part).
TEST_F(Form1Test, AutoRunBlinksTheOutput) {
  type(u"Text1"_s, u"A"_s);
  type(u"Text3"_s, u"60000"_s); // the real timer never fires during the test
  click(u"Command3"_s);
  EXPECT_TRUE(form.timer().isActive());
  EXPECT_EQ(form.timer().interval(), 60000);
  auto* timer = const_cast<QTimer*>(&form.timer());
  const auto tick = [&](int ticks) {
    for (int i = 0; i < ticks; ++i)
      QMetaObject::invokeMethod(timer, "timeout");
    form.refresh(); // the paint that would come with the next display frame
  };
  tick(9); // restart, "A" read and moved, the end read, its bracket close, then the first blink
  auto* output = get<QLineEdit>(u"Text2"_s);
  EXPECT_EQ(output->palette().color(QPalette::Base), QColor(255, 255, 0));
  EXPECT_EQ(output->text() + text(u"Label5"_s) + text(u"Text1"_s), u"A終了");
  click(u"Command4"_s);
  EXPECT_FALSE(form.timer().isActive());
}

} // namespace
} // namespace rpn::conversion
