#include "execution/execution_engine.h"
#include "support/recording_dialogs.h"

#include <gtest/gtest.h>

namespace rpn::execution {
namespace {

using namespace Qt::StringLiterals;
using test::RecordingDialogs;

QString q(const char16_t* text) {
  return QString::fromUtf16(text);
}

// The occupied cells, bottom first.
QString cells(const ExecutionView& view) {
  QStringList list;
  for (int i = 0; i < view.StackCount; ++i)
    list << view.lblValue.at(static_cast<std::size_t>(i));
  return list.join(u' ');
}

// The numbers of the arrows shown, e.g. "458".
QString arrows(const walk::RpnView& view) {
  QString shown;
  for (int i = 0; i < walk::kArrowCount; ++i)
    if (!view.lblArrow.at(static_cast<std::size_t>(i)).isEmpty())
      shown += QString::number(i + 1);
  return shown;
}

// The names of the red value boxes.
QString redBoxes(const ExecutionView& view) {
  QString red;
  for (std::size_t i = 0; i < kVariableCount; ++i)
    if (view.txtNameMark.at(i) == Mark::Red)
      red += view.lblName.at(i);
  return red;
}

// What an untraced run leaves: the cells, the boxes in order, the value boxes A to X.
QString outcome(const QString& cells, const QString& boxes, const QString& values) {
  return QStringList{cells, boxes, values}.join(u" | ");
}

// The seven initial value texts, comma-separated, with the first ones replaced by overrides.
QString initialValues(const QString& overrides) {
  QStringList values = u"1,2,3,4,5,6,"_s.split(u',');
  const QStringList given = overrides.isEmpty() ? QStringList() : overrides.split(u',');
  for (qsizetype i = 0; i < given.size(); ++i)
    values[i] = given.at(i);
  return values.join(u',');
}

// Runs input on a freshly loaded engine whose value boxes hold values, by one press or by
// auto-run up to the end display.
QString run(const QString& input, const QString& values, bool autoRun) {
  RecordingDialogs boxes;
  ExecutionEngine engine{boxes};
  engine.Form_Load();
  engine.setCheck1(false);
  const QStringList texts = values.split(u',');
  for (int i = 0; i < kVariableCount; ++i)
    engine.setTxtName(i, texts.at(i));
  engine.setText1(input);
  if (autoRun) {
    engine.Command3_Click();
    for (int ticks = 0; engine.driver().phase() != kEndState && ticks < 1000; ++ticks)
      engine.Timer1_Timer();
  } else {
    engine.Command1_Click();
  }
  const auto& names = engine.view().txtName;
  return outcome(cells(engine.view()), boxes.texts().join(u' '),
                 QStringList(names.begin(), names.end()).join(u','));
}

struct RunCase {
  const char16_t* input;
  const char16_t* cells;
  const char16_t* boxes = u"";
  const char16_t* values = u"";    // the first value boxes, when not the initial texts
  const char16_t* after = nullptr; // all seven value boxes, when the run writes one
};

void PrintTo(const RunCase& c, std::ostream* os) {
  *os << q(c.input).toStdString() << " with " << initialValues(q(c.values)).toStdString();
}

class Runs : public ::testing::TestWithParam<RunCase> {};

TEST_P(Runs, OneShotAndAutoRunLeaveTheSameCellsBoxesAndValues) {
  const RunCase& c = GetParam();
  const QString values = initialValues(q(c.values));
  const QString expected = outcome(q(c.cells), q(c.boxes), c.after ? q(c.after) : values);
  EXPECT_EQ(run(q(c.input), values, false), expected);
  EXPECT_EQ(run(q(c.input), values, true), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Expressions, Runs,
    ::testing::Values(
        RunCase{u"XABC*DE-/+F-=", u"-11", u"", u"", u"1,2,3,4,5,6,-11"}, RunCase{u"", u""},
        RunCase{u"AB", u"Name:A Name:B"}, RunCase{u"AB-", u"-1"}, RunCase{u"AB/", u"0.5"},
        RunCase{u"BA/", u"2"}, RunCase{u"A＋", u"1"}, RunCase{u"A－", u"-1"},
        RunCase{u"XA=", u"1", u"", u"", u"1,2,3,4,5,6,1"},
        RunCase{u"AB=", u"2", u"", u"", u"2,2,3,4,5,6,"},
        // Value boxes are read by their leading number, and reading never rewrites them.
        RunCase{u"ABCDE++++", u"294.5", u"", u"2.5kg, 1 2,2.5E1,&HFF,"},
        // Missing operands, unknown names (digits are names) and targets that are not names.
        RunCase{u"+", u"0", u"スタック空"}, RunCase{u"A+", u"1", u"スタック空"},
        RunCase{u"－", u"0", u"スタック空"},
        RunCase{u"AAAAAAAAAAA",
                u"Name:A Name:A Name:A Name:A Name:A Name:A Name:A Name:A Name:A Name:A",
                u"スタックオーバーフロー"},
        RunCase{u"34+", u"0", u"変数名が見つかりません 変数名が見つかりません"},
        RunCase{u"AB+C=", u"3", u"代入できません.3"},
        RunCase{u"A=", u"1", u"スタック空 代入できません."},
        RunCase{u"xA=", u"0", u"変数名が見つかりません"},
        // Left operand before right, the value before the target (A is out of range).
        RunCase{u"aA+", u"0", u"変数名が見つかりません 数値が範囲を超えました", u"1E400"},
        RunCase{u"Aa+", u"0", u"数値が範囲を超えました 変数名が見つかりません", u"1E400"},
        RunCase{u"aA=", u"0", u"数値が範囲を超えました 変数名が見つかりません", u"1E400"},
        RunCase{u"A－", u"0", u"数値が範囲を超えました", u"1E400"},
        RunCase{u"Aa=", u"0", u"変数名が見つかりません", u"1E400", u"0,2,3,4,5,6,"},
        // Results beyond the double range and divisions by zero give 0 with a box.
        RunCase{u"AB*", u"0", u"数値が範囲を超えました", u"1E308,10"},
        RunCase{u"AB+", u"0", u"数値が範囲を超えました", u"1E308,1E308"},
        RunCase{u"AB-", u"0", u"数値が範囲を超えました", u"-1E308,1E308"},
        RunCase{u"AB/", u"0", u"数値が範囲を超えました", u"1E308,0.1"},
        RunCase{u"AB/", u"0", u"0で割ることはできません", u"1,0"},
        RunCase{u"AB/", u"0", u"0で割ることはできません", u"0,0"},
        RunCase{u"AB/", u"0", u"0で割ることはできません", u"-1,-0"},
        RunCase{u"AB/", u"0", u"", u"1E-308,1E308"},
        RunCase{u"AB*", u"1.79769313486231E+308", u"", u"1.79769313486231E308,1"},
        RunCase{u"XAB+=", u"0", u"数値が範囲を超えました", u"1.5E308,1.5E308",
                u"1.5E308,1.5E308,3,4,5,6,0"}));

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
      kinds += engine.view().lblKind.at(0);
    } while (engine.view().lblKind != walk::endClass());
    return kinds;
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
  EXPECT_EQ(readAll(), u"名名名演名名演演演名演演終");
  EXPECT_EQ(v.lblCH + arrows(v), u"1"); // the end read leaves the arrows alone
  // Exactly seven operator characters; a surrogate pair is one symbol.
  engine.setText1(u"+-*/=＋－Ａa5 (＊𝐀"_s);
  EXPECT_EQ(readAll(), u"演演演演演演演名名名名名名名終");
}

TEST_F(ExecutionEngineTest, TracedWorkedExampleShowsFortyBoxesAndNeverUsesMoreThanFiveCells) {
  int most = 0;
  boxes.onBox = [&] { most = std::max<int>(most, v.StackCount); };
  runOnce(v.Text1, true);
  EXPECT_EQ(most, 5);
  QStringList expected{u"ポーランド記法取出し"_s};
  for (int i = 0; i < 13; ++i)
    expected << u"実行途中"_s << u"値プッシュ"_s << u"ポーランド記法取出し"_s;
  EXPECT_EQ(boxes.texts(), expected);
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

  // A run continues from the current stack and the unread rest of the input.
  runOnce(u"AB"_s);
  runOnce(u"+C*"_s);
  EXPECT_EQ(cells(v) + engine.state().SavedExpression, u"9+C*");

  // Again on the consumed input: one read box, nothing else changes; reset leaves it empty.
  runOnce(v.Text1, true);
  EXPECT_EQ(boxes.texts(), QStringList{u"ポーランド記法取出し"_s});
  EXPECT_EQ(cells(v), u"9");
  engine.Command2_Click();
  EXPECT_EQ(v.Text1, u"");

  // Trace mode is read afresh before each box.
  boxes.onBox = [&] { engine.setCheck1(false); };
  runOnce(u"AB+"_s, true);
  EXPECT_EQ(boxes.texts().size(), 2);
  EXPECT_EQ(cells(v), u"3");
}

TEST_F(ExecutionEngineTest, AutoRunCycleTakesFiftyOneTicksThenStartsOver) {
  // The restart, 13 symbols of three ticks, the end read, nine blinks and the clearing tick.
  engine.Command3_Click();
  int ticks = 0;
  do {
    engine.Timer1_Timer();
    ++ticks;
  } while (engine.driver().phase() != kRestart && ticks < 1000);
  EXPECT_EQ(ticks, 51);
  EXPECT_TRUE(boxes.texts().isEmpty());
  EXPECT_EQ(cells(v) + v.Label4, u"-11");
  engine.Timer1_Timer(); // the next tick restarts the same expression; the values stay
  EXPECT_EQ(v.Text1 + cells(v) + v.txtName.at(6), u"XABC*DE-/+F-=-11");
}

TEST_F(ExecutionEngineTest, StartSavesTheUnreadInputAndAnyOtherEndCountIsAbnormal) {
  const auto endCaption = [&] {
    for (int ticks = 0; engine.driver().phase() != kEndState && ticks < 100; ++ticks)
      engine.Timer1_Timer();
    engine.Timer1_Timer();
    return v.Label4;
  };
  engine.setText1(u"ABC"_s);
  engine.setText3(u"abc"_s);
  engine.Command3_Click();
  EXPECT_FALSE(engine.driver().running()); // an interval the timer cannot take
  engine.setText3(u"200"_s);
  engine.Command3_Click();
  engine.Timer1_Timer();
  engine.Timer1_Timer();
  // Mid-run, an interval out of range is refused with a box and changes nothing else; a good one
  // saves only the unread rest and restarts the cycle.
  engine.setText3(u"70000"_s);
  engine.Command3_Click();
  EXPECT_EQ(engine.state().SavedExpression + QString::number(engine.driver().interval()),
            u"ABC200");
  EXPECT_EQ(boxes.texts(), QStringList{timerIntervalRangeMessage()});
  engine.setText3(u"300"_s);
  engine.Command3_Click();
  EXPECT_EQ(engine.state().SavedExpression, u"BC");
  EXPECT_EQ(endCaption(), u"異常終了");
  EXPECT_EQ(cells(v), u"Name:B Name:C");
  engine.setText1(QString());
  engine.Command3_Click();
  EXPECT_EQ(endCaption(), u"異常終了");
  engine.Command4_Click();
  EXPECT_FALSE(engine.driver().running());
}

// "逐次実行" during auto-run stops it and finishes the same run: at every tick of the cycle the
// press ends with the single cell -11, the symbol in hand taken up by its next move.
TEST_F(ExecutionEngineTest, APressDuringAutoRunStopsItAndFinishesTheRun) {
  for (const bool trace : {false, true}) {
    for (int ticks = 0; ticks <= 53; ++ticks) {
      SCOPED_TRACE(testing::Message() << "trace " << trace << " ticks " << ticks);
      engine.Command4_Click();
      engine.Command2_Click();
      engine.setText1(u"XABC*DE-/+F-="_s);
      engine.Command3_Click();
      for (int i = 0; i < ticks; ++i)
        engine.Timer1_Timer();
      const std::int16_t phase = engine.driver().phase();
      boxes.clear();
      engine.setCheck1(trace);
      engine.Command1_Click();
      EXPECT_FALSE(engine.driver().running());
      EXPECT_EQ(cells(v), u"-11");
      EXPECT_EQ(v.txtName.at(6), u"-11");
      EXPECT_EQ(engine.state().SavedExpression, u"XABC*DE-/+F-=");
      const QString firstBox = phase == kExecute ? u"実行途中"_s
                               : phase == kPush  ? u"値プッシュ"_s
                                                 : u"ポーランド記法取出し"_s;
      EXPECT_EQ(boxes.texts().value(0), trace ? firstBox : QString());
    }
  }
}

TEST_F(ExecutionEngineTest, TicksAreHeldWhileABoxIsOpen) {
  engine.setText1(u"ab+"_s);
  engine.Command3_Click();
  boxes.onBox = [&] { engine.Timer1_Timer(); }; // a tick arriving while the box is up
  for (int i = 0; i < 9; ++i)                   // restart, two names, then read and execute "+"
    engine.Timer1_Timer();
  EXPECT_EQ(boxes.texts().size(), 2);
  EXPECT_EQ(engine.driver().phase(), kPush);
  EXPECT_EQ(v.Text2 + cells(v), u"0");
}

} // namespace
} // namespace rpn::execution
