// Breakpoints and "最後まで実行" through the assembler screen's controls: F9 and double clicks
// mark lines in the listing's margin and leave its text alone; an endless loop runs in slices
// while the event loop goes on, and the stop button, going back and closing the window end it.
#include "machine/frm_assembler.h"
#include "machine/samples.h"
#include "support/screen_fixture.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>

namespace rpn::machine {
namespace {

using namespace Qt::StringLiterals;

class RunToEndScreen : public test::ScreenFixture<FrmAssembler> {
protected:
  RunToEndScreen() {
    traceOff();
    // A heartbeat of the event loop: it counts the beats that find a run to the end under way.
    QObject::connect(&heart, &QTimer::timeout, [this] { beatsWhileRunning += running() ? 1 : 0; });
    heart.start(1);
  }
  void load(const QString& source) {
    form.setSourceText(source);
    click(u"Command1"_s);
  }
  ListingBox* listing() { return get<ListingBox>(u"Text2"_s); }
  QPoint lineCentre(int line) {
    return listing()->cursorRect(QTextCursor(listing()->document()->findBlockByNumber(line))).center();
  }
  bool running() const { return form.engine().state().runningToEnd; }
  // "最後まで実行" on a loop that never ends, until the heart has beaten twice during it.
  void startEndlessRun() {
    load(u"LOOP JMP     LOOP\r\n"_s);
    before = form.engine().state();
    click(u"cmdRunToEnd"_s);
    ASSERT_TRUE(QTest::qWaitFor([this] { return beatsWhileRunning >= 2; }, 20000));
  }

  QTimer heart;
  int beatsWhileRunning = 0;
  MachineScreenState before;
};

TEST_F(RunToEndScreen, F9AndDoubleClicksMarkInstructionLinesInTheMargin) {
  load(sampleCompare());
  const QString text = listing()->toPlainText();
  QTextCursor cursor(listing()->document()->findBlockByNumber(8)); // ADD A
  listing()->setTextCursor(cursor);
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  QTest::keyClick(listing(), Qt::Key_F9);
  QTest::mouseDClick(listing()->viewport(), Qt::LeftButton, {}, lineCentre(11)); // ENDP LOAD A
  QTest::mouseDClick(listing()->viewport(), Qt::LeftButton, {}, lineCentre(14)); // A DA 1: no
  EXPECT_EQ(form.engine().state().breakpoints, (std::vector<int>{8, 11}));
  EXPECT_EQ(listing()->markedLines(), (std::vector<int>{8, 11}));
  EXPECT_EQ(listing()->accessibleDescription(), u"ブレークポイント: 9行目、12行目"_s);
  EXPECT_EQ(listing()->toPlainText(), text);
  QTest::mouseDClick(listing()->viewport(), Qt::LeftButton, {}, lineCentre(11));
  EXPECT_EQ(listing()->markedLines(), (std::vector<int>{8}));
  // The run (F5) stops before ADD A, its line selected.
  QTest::keyClick(listing(), Qt::Key_F5); // a click that shows, a moment later
  ASSERT_TRUE(QTest::qWaitFor(
      [this] { return form.engine().state().machine.ExecAddress == 0x10 && !running(); }, 20000));
  EXPECT_EQ(listing()->textCursor().selectedText(), u"0010 : 8100 001A  :     ADD     A"_s);
  // A listing edited by hand is no longer the table's: no dots on it, none marked through it,
  // until the next assembly.
  listing()->appendPlainText(u"*"_s);
  EXPECT_TRUE(listing()->markedLines().empty());
  QTest::mouseDClick(listing()->viewport(), Qt::LeftButton, {}, lineCentre(11));
  EXPECT_EQ(form.engine().state().breakpoints, (std::vector<int>{8}));
  click(u"Command1"_s);
  EXPECT_EQ(listing()->markedLines(), (std::vector<int>{8}));
  // Each character at which the box starts a new line counts.
  EXPECT_EQ(boxLinesOfEngineLines(u"a\r\nb\u2029c\rd\r\ne"_s), (std::vector<int>{0, 1, 4}));
}

// In trace mode too, a run with a box in it (IN, which also stops it) is one move: going back
// returns to the state before it.
TEST_F(RunToEndScreen, ABoxInARunInTraceModeIsNoMoveOfItsOwn) {
  get<QCheckBox>(u"Check1"_s)->setChecked(true);
  load(u"     IN      0\r\n     OUT     0\r\n     SVC     0\r\n"_s);
  before = form.engine().state();
  boxes.answerText(u"7"_s);
  click(u"cmdRunToEnd"_s);
  ASSERT_TRUE(QTest::qWaitFor([this] { return !running(); }, 20000));
  EXPECT_EQ(boxes.texts(), QStringList{u"データ入力"_s});
  EXPECT_EQ(form.engine().state().machine.Register[0], 7);
  form.stepBack();
  EXPECT_TRUE(form.engine().state() == before);
}

// An endless loop runs while the event loop goes on (the heart beats) until the million-instruction
// limit stops it with a box; the stop button, going back and closing the window each end it at
// once, without a box, and a cancelled question before closing lets it go on. The stop button and
// going back keep what the run reached as one move that going back undoes.
TEST_F(RunToEndScreen, EndlessLoopEndsAtTheLimitOrByStopBackOrClose) {
  const std::function<void()> ends[] = {
      [this] { ASSERT_TRUE(QTest::qWaitFor([this] { return !running(); }, 120000)); },
      [this] { click(u"Command5"_s); },
      [this] { form.stepBack(); },
      [this] { form.close(); },
      [this] { // a changed source: the run waits while the question is open, goes on after Cancel
        get<QPlainTextEdit>(u"Text1"_s)->appendPlainText(u"*"_s);
        boxes.onBox = [] { QTest::qWait(50); };
        form.close();
        boxes.onBox = {};
        EXPECT_TRUE(running());
        ASSERT_TRUE(QTest::qWaitFor([this] { return !running(); }, 120000));
      },
  };
  for (std::size_t way = 0; way < std::size(ends); ++way) {
    SCOPED_TRACE(way);
    form.showScreen();
    traceOff();
    beatsWhileRunning = 0;
    startEndlessRun();
    ends[way]();
    EXPECT_FALSE(running());
    const int beats = beatsWhileRunning;
    QTest::qWait(30);
    EXPECT_EQ(beatsWhileRunning, beats);
    const QStringList expected[] = {{runLimitMessage()}, {}, {}, {},
                                    {sourceChangedQuestion(), runLimitMessage()}};
    EXPECT_EQ(boxes.texts(), expected[way]);
    EXPECT_TRUE(get<QPushButton>(u"cmdRunToEnd"_s)->isEnabled());
    if (way < 2)
      form.stepBack();
    if (way < 3) {
      EXPECT_TRUE(form.engine().state() == before);
    }
    boxes.clear();
  }
}

} // namespace
} // namespace rpn::machine
