#include "conversion/conversion_engine.h"
#include "support/recording_dialogs.h"
#include "support/state_harness.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <tuple>

namespace rpn::conversion {
namespace {

using namespace Qt::StringLiterals;
using test::RecordingDialogs;

class ConversionEngineTest : public ::testing::Test {
protected:
  // That a tick under an open box changes nothing is the fuzz target's part.
  ConversionEngineTest() { engine.Form_Load(); }

  void runOnce(const QString& input, bool trace = false) {
    engine.setCheck1(trace);
    engine.setText1(input);
    engine.Command1_Click();
  }
  void startOver() {
    engine.Command4_Click();
    engine.Command2_Click();
    boxes.clear();
  }

  // Starts auto-run on the input and ticks until the output blinks or auto-run stopped; returns
  // the ticks.
  int autoRunToFinale(const QString& input) {
    engine.setText1(input);
    engine.setText3(u"200"_s);
    engine.Command3_Click();
    return test::tickUntil(
        engine,
        [](const ConversionState& s) { return s.clock.interval <= 0 || s.clock.phase == kBlink; },
        10000);
  }

  // What a run leaves: output | unread input | boxes in order | operators left on the stack.
  QString outcome(const QStringList& seen) const {
    QStringList operators;
    for (int i = 0; i < engine.state().variables.StackCount; ++i)
      operators << engine.view().stack.at(static_cast<std::size_t>(i)).operation;
    return QStringList{engine.view().Text2, engine.view().Text1, seen.join(u'/'),
                       operators.join(u' ')}
        .join(u" | ");
  }

  RecordingDialogs boxes;
  ConversionEngine engine{boxes};
};

// Valid expressions of the chain's grammar (sums, products, signs that start a term, brackets,
// assignments) are converted in every engine by the differential chain, random texts in every
// form by the fuzz target, which also holds one press, trace mode and auto-run to the same result;
// rpnw's tests print chained assignments, odd signs and the empty text. These are the rest: faults,
// digits, wide characters, the stack's ten slots.
TEST_F(ConversionEngineTest, OnePressLeavesTheOutputTheUnreadInputTheBoxesAndTheStack) {
  const QString open = u"括弧が閉じられていません"_s, unmatched = u"対応する「(」がありません"_s;
  // clang-format off
  const std::pair<const char16_t*, QString> cases[] = {
      {u"A+B*C/(D-E)-F", u"ABC*DE-/+F- |  |  | "_s}, {u"1+2", u"12+ |  |  | "_s},
      {u"((A))", u"A |  |  | "_s}, {u"𝑥+A*𝑦", u"𝑥A𝑦*+ |  |  | "_s},
      {u"A+B)*C", u"AB+C* |  | "_s + unmatched + u" | "_s},
      {u"A*(B+C", u"ABC+ |  | "_s + open + u" | *"_s},
      {u"A))", u"A |  | "_s + unmatched + u'/' + unmatched + u" | "_s},
      {u"(A))", u"A |  | "_s + unmatched + u" | "_s}, {u"((A)", u"A |  | "_s + open + u" | "_s},
      {u"A)+(B", u"AB |  | "_s + unmatched + u'/' + open + u" | +"_s},
      {u"A(B", u"AB |  | "_s + open + u" | "_s}, {u"A*B(C", u"ABC |  | "_s + open + u" | *"_s},
      {u"A)B", u"A |  | "_s + unmatched + u"/構文エラー B | "_s},
      {u"AB", u"A |  | 構文エラー B | "_s}, {u"*A", u" | A | 構文エラー * | "_s},
      {u"A +B", u"A | +B | 構文エラー   | "_s}, {u"AB+C", u"A | +C | 構文エラー B | "_s},
      {u"A+)", u"A |  | 構文エラー ) | +"_s},
      {u"(((((((((((A)))))))))))", u"A |  | スタックが満杯です/"_s + unmatched + u" | "_s},
      // Ten "(" fit; the end pops the tenth and stops there, leaving nine.
      {u"(((((((((((",
       u" |  | スタックが満杯です/"_s + open + u" | "_s + QStringList(9, u"("_s).join(u' ')},
  };
  // clang-format on
  for (const auto& [input, expected] : cases) {
    startOver();
    runOnce(QString::fromUtf16(input));
    EXPECT_EQ(outcome(boxes.texts()), expected) << QString::fromUtf16(input).toStdString();
  }
  // A "(" where an operator is expected is stacked as a binary operator.
  startOver();
  engine.setCheck1(false);
  engine.setText1(u"A("_s);
  engine.moves().ConvertStep();
  engine.moves().ConvertStep();
  EXPECT_EQ(engine.view().stack[0], (StackSlot{u"("_s, QString(), u"二項演算子"_s}));
}

// At each box of trace mode: the box | the step line | the arrows | the output so far. A bracket
// fault is shown on the step line while its box is up.
TEST_F(ConversionEngineTest, TraceBoxesComeInOrderAndSeeTheMoveTheyDescribe) {
  // clang-format off
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"A*B+C", u"語彙解析 名前[A] > 語彙解析 | ← | /出力文 ← 名前[A] > Aを出力文に移動 | ← | /"
                 u"語彙解析 演算子[*] > 語彙解析 | ← | A/スタック ←　演算子[*] > 演算子[*]をPush | ↓ | A/"
                 u"語彙解析 名前[B] > 語彙解析 | ← | A/出力文 ← 名前[B] > Bを出力文に移動 | ← | A/"
                 u"語彙解析 演算子[+] > 語彙解析 | ← | AB/"
                 u"出力文 ←　スタック > 優先度が高い演算子をPop | ↓↑ | AB/"
                 u"スタック ←　演算子[+] > 演算子[+]をPush | ↓ | AB*/語彙解析 名前[C] > 語彙解析 | ← | AB*/"
                 u"出力文 ← 名前[C] > Cを出力文に移動 | ← | AB*/"
                 u"終了(括弧閉じ処理と同じ) > 終了(括弧閉じ処理と同じ) | ↑ | AB*C/"
                 u"出力文 ←　スタック > Popして出力文に移動 | ↑ | AB*C"},
      {u"(A", u"語彙解析 演算子[(] > 語彙解析 | ← | /スタック ←　演算子[(] > 演算子[(]をPush | ↓ | /"
              u"語彙解析 名前[A] > 語彙解析 | ← | /出力文 ← 名前[A] > Aを出力文に移動 | ← | /"
              u"括弧が閉じられていません > 括弧が閉じられていません | ← | A/"
              u"終了(括弧閉じ処理と同じ) > 終了(括弧閉じ処理と同じ) | ↑ | A/"
              u"出力文 ←　スタック > Popして出力文に移動 | ↑ | A"},
      {u"A)", u"語彙解析 名前[A] > 語彙解析 | ← | /出力文 ← 名前[A] > Aを出力文に移動 | ← | /"
              u"語彙解析 演算子[)] > 語彙解析 | ← | A/"
              u"対応する「(」がありません > 対応する「(」がありません | ← | A/"
              u"括弧閉じ処理 > 括弧閉じ処理 | ↑ | A/"
              u"終了(括弧閉じ処理と同じ) > 終了(括弧閉じ処理と同じ) | ↑ | A"},
      {u"", u"終了(括弧閉じ処理と同じ) > 終了(括弧閉じ処理と同じ) | ↑ | "},
  };
  // clang-format on
  for (const auto& [input, expected] : cases) {
    startOver();
    QStringList seen;
    boxes.onBox = [&] {
      const ConversionView& v = engine.view();
      seen << boxes.texts().last() + u" > "_s + v.Label5 + u" | "_s + v.lblArrow[0] +
                  v.lblArrow[1] + v.lblArrow[2] + v.lblArrow[3] + u" | "_s + v.Text2;
    };
    runOnce(QString::fromUtf16(input), true);
    EXPECT_EQ(seen, QString::fromUtf16(expected).split(u'/'))
        << QString::fromUtf16(input).toStdString();
  }
  EXPECT_EQ(engine.view().lblCH + u'|' + engine.view().lblKind, u"|終了");
  EXPECT_EQ(engine.view().lblArrow, (std::array<QString, 4>{}));
}

// "=" is stacked with 100 by the one-press run, with no priority by auto-run, where a pop it
// waited for turns the empty priority into "0".
TEST_F(ConversionEngineTest, AssignmentPriorityCaptionDependsOnTheRun) {
  for (const auto& [input, autoRun, caption] :
       {std::tuple{u"A+B=C"_s, true, u"0"_s}, std::tuple{u"X=A+B"_s, true, u""_s},
        std::tuple{u"A+B=C"_s, false, u"100"_s}, std::tuple{u"X=A+B"_s, false, u"100"_s}}) {
    startOver();
    engine.setCheck1(false);
    engine.setText1(input);
    const qsizetype rest = input.size() - input.indexOf(u'=') - 1;
    if (autoRun)
      engine.Command3_Click();
    while (engine.view().Text1.size() > rest || (autoRun && engine.state().clock.phase != kNext))
      autoRun ? engine.Timer1_Timer() : engine.moves().ConvertStep();
    const auto& stack = engine.view().stack;
    const auto slot = std::ranges::find(stack, u"="_s, &StackSlot::operation);
    EXPECT_EQ(slot == stack.end() ? u"<none>"_s : slot->priority, caption) << input.toStdString();
  }
}

// Each tick of the cycle of "A+B": the phase before it, then the step line and the output's
// colour after it (Y yellow, W white).
TEST_F(ConversionEngineTest, AutoRunCycleOfAPlusB) {
  engine.setText1(u"A+B"_s);
  engine.Command3_Click();
  QStringList ticks;
  for (int i = 0; i < 36; ++i) {
    const int phase = engine.state().clock.phase;
    engine.Timer1_Timer();
    ticks << u"%1 %2 %3"_s.arg(phase)
                 .arg(engine.view().Label5)
                 .arg(engine.view().Text2Background == Mark::Yellow ? u"Y"_s : u"W"_s);
  }
  QStringList expected = u"0  W/1 語彙解析 W/2 Aを出力文に移動 W/90 Aを出力文に移動 W/1 語彙解析 W/"
                         u"2 演算子[+]をPush W/90 演算子[+]をPush W/1 語彙解析 W/"
                         u"2 Bを出力文に移動 W/90 Bを出力文に移動 W/1 Bを出力文に移動 W/"
                         u"2 括弧閉じ処理 W/11 Popして出力文に移動 W/11 Popして出力文に移動 W/"
                         u"90 Popして出力文に移動 W"_s.split(u'/');
  for (int i = 0; i < 20; ++i) // the output blinks yellow first, white last
    expected << u"99 終了 "_s + (i % 2 == 0 ? u'Y' : u'W');
  expected << u"99  W"_s;
  EXPECT_EQ(ticks, expected);
  EXPECT_EQ(engine.view().Text2, u"AB+");
  EXPECT_TRUE(boxes.texts().isEmpty());
  engine.Timer1_Timer(); // the 37th tick starts over with the saved expression
  EXPECT_EQ(engine.view().Text1 + u'|' + engine.view().Text2, u"A+B|");
}

TEST_F(ConversionEngineTest, TickCostsFollowPopsAndBrackets) {
  // Restart 1, three ticks per character, one per insertion pop, one per bracket pop (the "("
  // included) plus the empty-stack tick of the end, the end read and dispatch 2, phase 90 once,
  // 21 for the finale.
  const std::pair<const char16_t*, int> cases[] = {{u"A*B+C", 1 + 15 + 1 + 2 + 2 + 1 + 21},
                                                   {u"(A)", 1 + 9 + 1 + 2 + 1 + 1 + 21},
                                                   {u"", 1 + 2 + 1 + 1 + 21}};
  for (const auto& [input, ticks] : cases) {
    startOver();
    EXPECT_EQ(autoRunToFinale(QString::fromUtf16(input)) + 21, ticks);
  }
}

// Auto-run shows a bracket fault on the step line only, never in a box. After a syntax error the
// state stays (what it holds is the table's part); the next tick stops the timer.
TEST_F(ConversionEngineTest, FaultsInAutoRun) {
  engine.setText1(u"A)+(B"_s);
  engine.Command3_Click();
  for (const QString& message : {unmatchedBracketMessage(), unclosedBracketMessage()})
    test::tickUntil(
        engine, [&](const ConversionState& s) { return s.view.Label5 == message; }, 100);
  EXPECT_TRUE(boxes.texts().isEmpty());
  startOver();
  engine.setText1(u"AB"_s);
  engine.Command3_Click();
  test::tickUntil(
      engine, [&](const ConversionState&) { return !boxes.texts().isEmpty(); }, 100);
  ConversionState stopped = engine.state();
  ASSERT_TRUE(stopped.clock.phase == kStopped && stopped.clock.interval > 0);
  stopped.clock.interval = 0;
  engine.Timer1_Timer();
  EXPECT_TRUE(engine.state() == stopped);
}

// "変換開始" during auto-run stops it and converts the auto-run's whole expression at every tick of
// the cycle; a new expression typed while the output blinks is converted instead.
TEST_F(ConversionEngineTest, APressDuringAutoRunStopsItAndConvertsTheWholeExpression) {
  const QString input = u"A*(B+C)-D"_s;
  const int cycle = autoRunToFinale(input) + 21;
  for (int ticks = 0; ticks <= cycle + 2; ++ticks) {
    for (const bool typed : {false, true}) {
      SCOPED_TRACE(testing::Message() << ticks << (typed ? " typed" : ""));
      engine.Command4_Click();
      boxes.clear();
      engine.setText1(input);
      engine.Command3_Click();
      for (int i = 0; i < ticks; ++i)
        engine.Timer1_Timer();
      if (typed && engine.state().clock.phase != kBlink)
        continue;
      if (typed)
        engine.setText1(u"-(A)"_s);
      engine.setCheck1(false);
      engine.Command1_Click();
      EXPECT_FALSE(engine.state().clock.interval > 0);
      EXPECT_EQ(outcome(boxes.texts()), typed ? u"A－ |  |  | "_s : u"ABC+*D- |  |  | "_s);
    }
  }
}

// The interval box's rules and what a start saves are the execution engine test's part (the
// same step driver).
TEST_F(ConversionEngineTest, LoadAndResetRules) {
  EXPECT_EQ(engine.state().variables.SavedExpression, u"A+B*C/(D-F)+G");
  EXPECT_EQ(engine.view().Text1, u"A+B*C/(D-E)-F");
  engine.Command2_Click();
  EXPECT_EQ(engine.view().Text1, u"A+B*C/(D-F)+G");
  runOnce(u"A*(B"_s);
  engine.Command2_Click();
  EXPECT_EQ(outcome({}), u" | A*(B |  | ");
  EXPECT_EQ(engine.view().stackMarks[0], Mark::White);
  // The message line and the lexical result stay.
  EXPECT_EQ(engine.view().lblKind + engine.view().lblMode, u"終了名前");

  // A stop while the output is yellow keeps the colour through a reset.
  startOver();
  autoRunToFinale(u"A"_s);
  engine.Timer1_Timer();
  ASSERT_EQ(engine.view().Text2Background, Mark::Yellow);
  startOver();
  EXPECT_EQ(engine.view().Text2Background, Mark::Yellow);

  EXPECT_EQ(engine.moves().PopOperator(), QString()); // a pop on the empty stack is guarded
  EXPECT_EQ(boxes.texts(), QStringList{u"スタックが空です"_s});
  EXPECT_EQ(engine.state().variables.StackCount, 0);
}

// A snapshot taken anywhere, restored, replays the same states: at every tick of whole auto-run
// cycles (a syntax error and a pop that waits a tick included) and at every box of traced presses.
TEST_F(ConversionEngineTest, SnapshotsReplayTheSameStates) {
  for (const QString& input : {u"A+B*C/(D-E)-F"_s, u"-(A=B*C"_s, u"A)B"_s, u"AB"_s}) {
    engine.setText1(input);
    engine.setText3(u"200"_s);
    engine.Command3_Click();
    test::expectSnapshotReplay(
        engine, [&] { engine.Timer1_Timer(); }, 6 * static_cast<int>(input.size()) + 30, 4);
    startOver();
    engine.setCheck1(true);
    engine.setText1(input);
    EXPECT_GT(
        test::expectPressReplay(engine, boxes, [](ConversionEngine& e) { e.Command1_Click(); }),
        0U);
    startOver();
  }
}

} // namespace
} // namespace rpn::conversion
