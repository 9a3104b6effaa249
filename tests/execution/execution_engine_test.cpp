#include "execution/execution_engine.h"
#include "support/recording_dialogs.h"
#include "support/state_harness.h"

#include <gtest/gtest.h>

namespace rpn::execution {
namespace {

using namespace Qt::StringLiterals;
using test::RecordingDialogs;

// The occupied cells, bottom first.
QString cells(const ExecutionView& view) {
  QStringList list;
  for (int i = 0; i < view.StackCount; ++i)
    list << view.lblValue.at(static_cast<std::size_t>(i));
  return list.join(u' ');
}

// The numbers of the arrows shown ("458"), and the names of the red value boxes.
QString arrows(const ExecutionView& view) {
  QString shown;
  for (int i = 0; i < walk::kArrowCount; ++i)
    if (!view.lblArrow.at(static_cast<std::size_t>(i)).isEmpty())
      shown += QString::number(i + 1);
  return shown;
}
QString redBoxes(const ExecutionView& view) {
  QString red;
  for (std::size_t i = 0; i < kVariableCount; ++i)
    if (view.txtNameMark.at(i) == Mark::Red)
      red += view.lblName.at(i);
  return red;
}

// The state a run reaches whichever way it went: trace mode, the interval box, the auto-run clock
// and the end display (its count, caption and blinking cell) are the way.
ExecutionState outcome(ExecutionState state) {
  state.view.Check1 = false;
  state.view.Text3.clear();
  state.view.Label4.clear();
  state.view.lblValueMark = {};
  state.clock = {};
  state.EndBlinkCount = 0;
  return state;
}

// Runs input by one press on a freshly loaded engine whose first value boxes hold values.
std::pair<ExecutionState, QStringList> run(const QString& input, const QStringList& values) {
  RecordingDialogs boxes;
  ExecutionEngine engine{boxes};
  engine.Form_Load();
  engine.setCheck1(false);
  for (int i = 0; i < values.size(); ++i)
    engine.setTxtName(i, values.at(i));
  engine.setText1(input);
  engine.Command1_Click();
  return {engine.state(), boxes.texts()};
}

// "input | cells | boxes | the first value boxes before | the first value boxes after" (the value
// boxes hold 1 to 6 and nothing unless given; a run that writes none leaves them as before). Trace
// mode and auto-run reach the same state with the same boxes: the fuzz target's part.
class Runs : public ::testing::TestWithParam<const char16_t*> {};

TEST_P(Runs, LeaveTheStackTheBoxesAndTheValues) {
  QStringList c = QString::fromUtf16(GetParam()).split(u" | "_s);
  c.resize(5);
  const auto list = [](const QString& text) {
    return text.isEmpty() ? QStringList() : text.split(u',');
  };
  const QStringList before = list(c[3]);
  const auto [once, boxes] = run(c[0], before);
  EXPECT_EQ(QStringList({cells(once.view), boxes.join(u' ')}), c.mid(1, 2));
  QStringList values = u"1,2,3,4,5,6,"_s.split(u',');
  const QStringList after = c[4].isEmpty() ? before : list(c[4]);
  std::copy(after.begin(), after.end(), values.begin());
  EXPECT_EQ(QStringList(once.view.txtName.begin(), once.view.txtName.end()), values);
}

INSTANTIATE_TEST_SUITE_P(
    Expressions, Runs,
    ::testing::Values(
        // Whole-number sums, products, exact quotients, signs, assignments: the chain's part.
        u"XABC*DE-/+F-= | -11 |  |  | 1,2,3,4,5,6,-11", u"", u"AB | Name:A Name:B", u"AB/ | 0.5",
        // Value boxes are read by their leading number, and reading never rewrites them.
        u"ABCDE++++ | 294.5 |  | 2.5kg, 1 2,2.5E1,&HFF,",
        // Missing operands, unknown names (digits are names) and targets that are not names.
        u"+ | 0 | スタック空", u"A+ | 1 | スタック空", u"－ | 0 | スタック空",
        u"AAAAAAAAAAA | Name:A Name:A Name:A Name:A Name:A Name:A Name:A Name:A Name:A Name:A | "
        u"スタックオーバーフロー",
        u"34+ | 0 | 変数名が見つかりません 変数名が見つかりません", u"AB+C= | 3 | 代入できません.3",
        u"A= | 1 | スタック空 代入できません.", u"xA= | 0 | 変数名が見つかりません",
        // Left operand before right, the value before the target (A is out of range).
        u"aA+ | 0 | 変数名が見つかりません 数値が範囲を超えました | 1E400",
        u"Aa+ | 0 | 数値が範囲を超えました 変数名が見つかりません | 1E400",
        u"aA= | 0 | 数値が範囲を超えました 変数名が見つかりません | 1E400",
        u"A－ | 0 | 数値が範囲を超えました | 1E400",
        u"Aa= | 0 | 変数名が見つかりません | 1E400 | 0",
        // Results beyond the double range and divisions by zero give 0 with a box.
        u"AB* | 0 | 数値が範囲を超えました | 1E308,10",
        u"AB+ | 0 | 数値が範囲を超えました | 1E308,1E308",
        u"AB- | 0 | 数値が範囲を超えました | -1E308,1E308",
        u"AB/ | 0 | 数値が範囲を超えました | 1E308,0.1", u"AB/ | 0 | 0で割ることはできません | 1,0",
        u"AB/ | 0 | 0で割ることはできません | 0,0", u"AB/ | 0 | 0で割ることはできません | -1,-0",
        u"AB/ | 0 |  | 1E-308,1E308", u"AB* | 1.79769313486231E+308 |  | 1.79769313486231E308,1",
        u"XAB+= | 0 | 数値が範囲を超えました | 1.5E308,1.5E308 | 1.5E308,1.5E308,3,4,5,6,0"));

class ExecutionEngineTest : public ::testing::Test {
protected:
  ExecutionEngineTest() { engine.Form_Load(); }

  void runOnce(const QString& input, bool trace = false) {
    engine.setCheck1(trace);
    engine.setText1(input);
    engine.Command1_Click();
  }
  // Reads until the end; the first character of each class read.
  QString readAll() {
    QString kinds;
    do {
      engine.moves().ReadSymbol();
      kinds += v.lblKind.at(0);
    } while (v.lblKind != walk::endClass());
    return kinds;
  }
  int tickUntil(std::int16_t phase) {
    return test::tickUntil(
        engine, [phase](const ExecutionState& s) { return s.clock.phase == phase; }, 1000);
  }
  // Arrows shown, step caption, value register, red value boxes, cells.
  QString shows() const {
    return QStringList{arrows(v), v.Label4, v.Text2, redBoxes(v), cells(v)}.join(u" | ");
  }

  RecordingDialogs boxes;
  ExecutionEngine engine{boxes};
  const ExecutionView& v = engine.view();
};

TEST_F(ExecutionEngineTest, ReaderTakesOneSymbolAtATimeAndClassifiesIt) {
  engine.moves().ReadSymbol();
  EXPECT_EQ(QStringList({v.Text1, v.lblCH, v.lblKind, v.Label4, arrows(v)}).join(u'|'),
            u"ABC*DE-/+F-=|X|名前|逆ポーランド記法取出し|1");
  engine.moves().ExecuteSymbol(); // a name: its reference into the value register
  EXPECT_EQ(shows(), u"3 | 変数Xの設定 | Name:X |  | ");
  EXPECT_EQ(readAll(), u"名名名演名名演演演名演演終");
  EXPECT_EQ(v.lblCH + arrows(v), u"1"); // the end read leaves the arrows alone
  // Exactly seven operator characters; a surrogate pair is one symbol.
  engine.setText1(u"+-*/=＋－Ａa5 (＊𝐀"_s);
  EXPECT_EQ(readAll(), u"演演演演演演演名名名名名名名終");
}

// Every state of a traced press and of a whole auto-run cycle comes again from a snapshot.
TEST_F(ExecutionEngineTest, TracedWorkedExampleShowsFortyBoxesAndReplaysFromSnapshots) {
  const auto press = [](ExecutionEngine& e) {
    e.setCheck1(true);
    e.Command1_Click();
  };
  press(engine);
  QStringList expected{u"ポーランド記法取出し"_s};
  for (int i = 0; i < 13; ++i)
    expected << u"実行途中"_s << u"値プッシュ"_s << u"ポーランド記法取出し"_s;
  EXPECT_EQ(boxes.texts(), expected);
  engine.Command2_Click();
  EXPECT_EQ(test::expectPressReplay(engine, boxes, press), 40u);
  engine.Command3_Click();
  test::expectSnapshotReplay(
      engine, [&] { engine.Timer1_Timer(); }, 53, 4);
}

TEST_F(ExecutionEngineTest, AssignmentReadsTheRightOperandAndPaintsOnlyTheTargetRed) {
  runOnce(u"AB"_s);
  engine.setText1(u"="_s);
  engine.moves().ReadSymbol();
  engine.moves().ExecuteSymbol();
  EXPECT_EQ(v.lblOpe + v.lblOpe1 + u',' + v.lblOpe2, u"=Name:A,Name:B");
  EXPECT_EQ(shows(), u"45678 | 演算対象Popと演算の実行 | 2 | A | ");
  engine.moves().PushValue(); // the push keeps lblArrow7 and lblArrow8 as they are
  EXPECT_EQ(shows(), u"278 | 値Push | 2 | A | 2");
  runOnce(u"CB*"_s);
  EXPECT_EQ(redBoxes(v), u"BC");
  runOnce(u"5－"_s);
  EXPECT_EQ(redBoxes(v), u""); // each operator repaints the boxes first
}

TEST_F(ExecutionEngineTest, ResetRestoresTheSavedExpressionAndRunsContinueFromTheStack) {
  engine.Command2_Click(); // before any run: nothing saved yet
  EXPECT_EQ(v.Text1, u"");
  runOnce(u"XABC*DE-/+F-="_s);
  engine.Command2_Click();
  EXPECT_EQ(shows() + v.Text1 + v.lblOpe + v.lblOpe1 + v.lblOpe2 + v.lblValue.at(0) + v.lblKind +
                v.txtName.at(6),
            u" |  |  | X | XABC*DE-/+F-=終了-11"); // the symbol display is left alone
  EXPECT_EQ(v.lblValueMark.at(0), Mark::White);
  // A run continues from the current stack and the unread rest of the input; again on the
  // consumed input: one read box. Trace mode is read afresh before each box.
  runOnce(u"AB"_s);
  runOnce(u"+C*"_s);
  EXPECT_EQ(cells(v) + engine.state().SavedExpression, u"9+C*");
  runOnce(v.Text1, true);
  EXPECT_EQ(boxes.texts(), QStringList{u"ポーランド記法取出し"_s});
  boxes.onBox = [&] { engine.setCheck1(false); };
  runOnce(u"AB+"_s, true);
  EXPECT_EQ(boxes.texts().size(), 2);
  EXPECT_EQ(cells(v), u"9 3");
}

// The restart, 13 symbols of three ticks, the end read, nine blinks and the clearing tick; the
// next tick restarts the same expression, the values staying. An interval the timer cannot take
// is refused with a box and changes nothing; a good one saves only the unread rest.
TEST_F(ExecutionEngineTest, AutoRunCycleTakesFiftyOneTicksAndAStartSavesTheUnreadInput) {
  engine.Command3_Click();
  engine.Timer1_Timer();
  EXPECT_EQ(tickUntil(kRestart), 50);
  EXPECT_EQ(cells(v) + v.Label4, u"-11");
  engine.Timer1_Timer();
  EXPECT_EQ(v.Text1 + cells(v) + v.txtName.at(6), u"XABC*DE-/+F-=-11");
  EXPECT_TRUE(boxes.texts().isEmpty());
  engine.setText1(u"ABC"_s);
  engine.setText3(u"abc"_s); // reads as 0: auto-run stops
  engine.Command3_Click();
  EXPECT_FALSE(engine.driver().running());
  engine.setText3(u"200"_s);
  engine.Command3_Click();
  engine.Timer1_Timer();
  engine.Timer1_Timer();
  const ExecutionState before = engine.state();
  engine.setText3(u"70000"_s);
  engine.Command3_Click();
  engine.setText3(before.view.Text3);
  EXPECT_TRUE(engine.state() == before);
  EXPECT_EQ(boxes.texts(), QStringList{timerIntervalRangeMessage()});
  engine.Command3_Click();
  EXPECT_EQ(engine.state().SavedExpression, u"BC");
  tickUntil(kEndState);
  engine.Timer1_Timer();
  EXPECT_EQ(v.Label4 + cells(v), u"異常終了Name:B Name:C"); // any count but one is abnormal
  engine.Command4_Click();
  EXPECT_FALSE(engine.driver().running());
}

// "逐次実行" during auto-run stops it and finishes the same run: at every tick of the cycle the
// press reaches the state of one press from the start, the symbol in hand taken up by its move.
TEST_F(ExecutionEngineTest, APressDuringAutoRunStopsItAndFinishesTheRun) {
  runOnce(v.Text1);
  const ExecutionState finished = outcome(engine.state());
  for (const bool trace : {false, true}) {
    for (int ticks = 0; ticks <= 53; ++ticks) {
      SCOPED_TRACE(testing::Message() << "trace " << trace << " ticks " << ticks);
      engine.Command4_Click();
      engine.Command2_Click();
      engine.Command3_Click();
      for (int i = 0; i < ticks; ++i)
        engine.Timer1_Timer();
      const std::int16_t phase = engine.driver().phase();
      boxes.clear();
      engine.setCheck1(trace);
      engine.Command1_Click();
      EXPECT_FALSE(engine.driver().running());
      EXPECT_TRUE(outcome(engine.state()) == finished);
      const QString firstBox = phase == kExecute ? u"実行途中"_s
                               : phase == kPush  ? u"値プッシュ"_s
                                                 : u"ポーランド記法取出し"_s;
      EXPECT_EQ(boxes.texts().value(0), trace ? firstBox : QString());
    }
  }
}

} // namespace
} // namespace rpn::execution
