#include "execution/execution_engine.h"
#include "support/recording_dialogs.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace rpn::execution {
namespace {

using test::RecordingDialogs;

QString q(const char16_t* text) {
  return QString::fromUtf16(text);
}

QStringList cells(const ExecutionView& view) {
  QStringList list;
  for (int i = 0; i < view.StackCount; ++i)
    list << view.lblValue.at(static_cast<std::size_t>(i));
  return list;
}

// Numbers of the arrows whose caption is shown.
std::vector<int> shownArrows(const RpnView& view) {
  std::vector<int> shown;
  for (int i = 0; i < kArrowCount; ++i)
    if (!view.lblArrow.at(static_cast<std::size_t>(i)).isEmpty())
      shown.push_back(i + 1);
  return shown;
}

std::vector<int> redVariables(const ExecutionView& view) {
  std::vector<int> red;
  for (int i = 0; i < kVariableCount; ++i)
    if (view.txtNameMark.at(static_cast<std::size_t>(i)) == Mark::Red)
      red.push_back(i);
  return red;
}

class ExecutionEngineTest : public ::testing::Test {
protected:
  ExecutionEngineTest() { engine.Form_Load(); }

  void runOnce(const QString& input, bool trace = false) {
    engine.setCheck1(trace);
    engine.setText1(input);
    engine.Command1_Click();
  }

  // Starts auto-run on the input and ticks until the end display begins; returns the ticks.
  int autoRunToEndDisplay(const QString& input) {
    engine.setText1(input);
    engine.setText3(QStringLiteral("200"));
    engine.Command3_Click();
    int ticks = 0;
    while (engine.driver().phase() != kEndState && ticks < 1000) {
      engine.Timer1_Timer();
      ++ticks;
    }
    return ticks;
  }

  RecordingDialogs boxes;
  ExecutionEngine engine{boxes};
};

TEST_F(ExecutionEngineTest, LoadEmptiesTheDisplaysAndKeepsTheInitialTexts) {
  const ExecutionView& v = engine.view();
  EXPECT_EQ(v.Text1, u"XABC*DE-/+F-=");
  EXPECT_EQ(v.Text2, u"");
  EXPECT_EQ(v.Label4, u"");
  EXPECT_EQ(v.lblOpe, u"");
  EXPECT_TRUE(shownArrows(v).empty());
  EXPECT_EQ(v.txtName.at(0), u"1");
  EXPECT_EQ(v.txtName.at(6), u"");
  EXPECT_TRUE(v.Check1);
  EXPECT_EQ(v.StackCount, 0);
}

TEST_F(ExecutionEngineTest, ReadsTheInitialExpressionSymbolBySymbol) {
  engine.ReadSymbol();
  EXPECT_EQ(engine.view().Text1, u"ABC*DE-/+F-=");
  EXPECT_EQ(engine.view().lblCH, u"X");
  EXPECT_EQ(engine.view().lblKind, u"名前");
  EXPECT_EQ(engine.view().Label4, u"逆ポーランド記法取出し");
  EXPECT_EQ(shownArrows(engine.view()), std::vector<int>{1});
  EXPECT_EQ(engine.driver().phase(), 2);

  QStringList kinds{engine.view().lblKind};
  for (int i = 1; i < 13; ++i) {
    engine.ReadSymbol();
    kinds << engine.view().lblKind;
  }
  const QString name = QStringLiteral("名前");
  const QString op = QStringLiteral("演算子");
  EXPECT_EQ(kinds, (QStringList{name, name, name, name, op, name, name, op, op, op, name, op, op}));

  engine.ReadSymbol();
  EXPECT_EQ(engine.view().lblKind, u"終了");
  EXPECT_EQ(engine.view().lblCH, u"");
  // The end read leaves the arrows and the caption as they were.
  EXPECT_EQ(engine.view().Label4, u"逆ポーランド記法取出し");
  EXPECT_EQ(shownArrows(engine.view()), std::vector<int>{1});
}

TEST_F(ExecutionEngineTest, ClassifiesExactlySevenOperatorCharacters) {
  const std::pair<const char16_t*, bool> symbols[] = {
      {u"+", true},  {u"-", true},  {u"*", true},   {u"/", true},  {u"=", true},
      {u"＋", true}, {u"－", true}, {u"Ａ", false}, {u"a", false}, {u"5", false},
      {u" ", false}, {u"(", false}, {u"＊", false}, {u"𝐀", false}};
  for (const auto& [symbol, isOperator] : symbols) {
    engine.setText1(q(symbol) + QStringLiteral("Z"));
    engine.ReadSymbol();
    EXPECT_EQ(engine.view().lblCH, q(symbol));
    EXPECT_EQ(engine.view().lblKind, isOperator ? u"演算子" : u"名前")
        << QString(q(symbol)).toStdString();
    EXPECT_EQ(engine.view().Text1, u"Z"); // a surrogate pair is one symbol
  }
}

struct RunCase {
  const char16_t* input;
  QStringList cells;
  QStringList boxes; // boxes of the untraced run, in order
};

void PrintTo(const RunCase& c, std::ostream* os) {
  *os << q(c.input).toStdString();
}

class Runs : public ExecutionEngineTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(Runs, OneShotAndAutoRunAgree) {
  const RunCase& c = GetParam();
  runOnce(q(c.input));
  EXPECT_EQ(cells(engine.view()), c.cells);
  EXPECT_EQ(boxes.texts(), c.boxes);
  EXPECT_EQ(engine.view().Text1, u"");
  EXPECT_EQ(engine.view().lblKind, u"終了");
  const auto variablesAfterOneShot = engine.view().txtName;

  boxes.clear();
  engine.Command2_Click();
  for (int i = 0; i < kVariableCount; ++i) // restore the initial values
    engine.setTxtName(i, ExecutionView{}.txtName.at(static_cast<std::size_t>(i)));
  autoRunToEndDisplay(q(c.input));
  EXPECT_EQ(cells(engine.view()), c.cells);
  EXPECT_EQ(boxes.texts(), c.boxes);
  EXPECT_EQ(engine.view().txtName, variablesAfterOneShot);
}

const QString kEmpty = QStringLiteral("スタック空");
const QString kOverflow = QStringLiteral("スタックオーバーフロー");
const QString kNotFound = QStringLiteral("変数名が見つかりません");

INSTANTIATE_TEST_SUITE_P(
    Expressions, Runs,
    ::testing::Values(
        RunCase{u"XABC*DE-/+F-=", {QStringLiteral("-11")}, {}},
        RunCase{u"AB", {QStringLiteral("Name:A"), QStringLiteral("Name:B")}, {}},
        RunCase{u"AB-", {QStringLiteral("-1")}, {}}, RunCase{u"AB/", {QStringLiteral("0.5")}, {}},
        RunCase{u"BA/", {QStringLiteral("2")}, {}}, RunCase{u"CB/", {QStringLiteral("1.5")}, {}},
        RunCase{u"ABC++", {QStringLiteral("6")}, {}}, RunCase{u"A＋", {QStringLiteral("1")}, {}},
        RunCase{u"A－", {QStringLiteral("-1")}, {}}, RunCase{u"AA－+", {QStringLiteral("0")}, {}},
        RunCase{u"XA=", {QStringLiteral("1")}, {}}, RunCase{u"+", {QStringLiteral("0")}, {kEmpty}},
        RunCase{u"A+", {QStringLiteral("1")}, {kEmpty}},
        RunCase{u"－", {QStringLiteral("0")}, {kEmpty}},
        RunCase{u"34+", {QStringLiteral("0")}, {kNotFound, kNotFound}},
        RunCase{u"aA+", {QStringLiteral("1")}, {kNotFound}},
        RunCase{u"AB+C=", {QStringLiteral("3")}, {QStringLiteral("代入できません.3")}},
        RunCase{u"=", {QStringLiteral("0")}, {kEmpty, QStringLiteral("代入できません.")}},
        RunCase{u"A=", {QStringLiteral("1")}, {kEmpty, QStringLiteral("代入できません.")}},
        RunCase{u"xA=", {QStringLiteral("0")}, {kNotFound}},
        RunCase{u"ab=", {QStringLiteral("0")}, {kNotFound, kNotFound}},
        RunCase{u"AAAAAAAAAAA", QStringList(10, QStringLiteral("Name:A")), {kOverflow}},
        RunCase{u"AAA-/", {QStringLiteral("0")}, {QStringLiteral("0で割ることはできません")}},
        RunCase{u"AA-AA-/", {QStringLiteral("0")}, {QStringLiteral("0で割ることはできません")}},
        RunCase{u"", {}, {}}));

TEST_F(ExecutionEngineTest, WorkedExampleAssignsXAndNeverUsesMoreThanFiveCells) {
  int most = 0;
  boxes.onBox = [&] { most = std::max<int>(most, engine.view().StackCount); };
  runOnce(engine.view().Text1, true);
  EXPECT_EQ(cells(engine.view()), QStringList{QStringLiteral("-11")});
  EXPECT_EQ(engine.view().txtName.at(6), u"-11");
  EXPECT_EQ(most, 5);
  EXPECT_EQ(engine.view().Label4, u"値Push");
  EXPECT_EQ(engine.driver().phase(), 2);

  // One box after the first read, then three per symbol.
  QStringList expected{QStringLiteral("ポーランド記法取出し")};
  for (int i = 0; i < 13; ++i)
    expected << QStringLiteral("実行途中") << QStringLiteral("値プッシュ")
             << QStringLiteral("ポーランド記法取出し");
  EXPECT_EQ(boxes.texts(), expected);
}

TEST_F(ExecutionEngineTest, TraceIsReadAfreshBeforeEachBox) {
  boxes.onBox = [&] { engine.setCheck1(false); };
  runOnce(QStringLiteral("AB+"), true);
  EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("ポーランド記法取出し")});
  EXPECT_EQ(cells(engine.view()), QStringList{QStringLiteral("3")});
}

TEST_F(ExecutionEngineTest, MovesShowTheirArrowsCaptionsAndRedBoxes) {
  engine.setText1(QStringLiteral("AB="));
  engine.ReadSymbol();
  engine.ExecuteSymbol();
  EXPECT_EQ(shownArrows(engine.view()), std::vector<int>{3});
  EXPECT_EQ(engine.view().Label4, u"変数Aの設定");
  EXPECT_EQ(engine.view().Text2, u"Name:A");
  engine.PushValue();
  EXPECT_EQ(shownArrows(engine.view()), std::vector<int>{2});
  EXPECT_EQ(engine.view().Label4, u"値Push");
  EXPECT_EQ(engine.view().lblValueMark.at(0), Mark::Red);
  EXPECT_EQ(engine.view().lblValueMark.at(1), Mark::White);
  engine.ReadSymbol();
  engine.ExecuteSymbol();
  engine.PushValue();

  engine.ReadSymbol();
  engine.ExecuteSymbol(); // "=": reads B, writes A
  EXPECT_EQ(engine.view().lblOpe, u"=");
  EXPECT_EQ(engine.view().lblOpe1, u"Name:A");
  EXPECT_EQ(engine.view().lblOpe2, u"Name:B");
  EXPECT_EQ(engine.view().Label4, u"演算対象Popと演算の実行");
  EXPECT_EQ(shownArrows(engine.view()), (std::vector<int>{4, 5, 6, 7, 8}));
  EXPECT_EQ(engine.view().txtName.at(0), u"2");
  EXPECT_EQ(redVariables(engine.view()), std::vector<int>{0});
  EXPECT_EQ(engine.view().Text2, u"2");
  EXPECT_EQ(engine.view().StackCount, 0);
  engine.PushValue(); // the push keeps lblArrow7 and lblArrow8 as they are
  EXPECT_EQ(shownArrows(engine.view()), (std::vector<int>{2, 7, 8}));

  runOnce(QStringLiteral("CB*"));
  EXPECT_EQ(redVariables(engine.view()), (std::vector<int>{1, 2}));
  runOnce(QStringLiteral("5－"));
  EXPECT_TRUE(redVariables(engine.view()).empty()); // each operator repaints the boxes first
}

TEST_F(ExecutionEngineTest, OperandsAreEvaluatedLeftThenRightAndTheValueBeforeTheTarget) {
  const QString range = QStringLiteral("数値が範囲を超えました");
  engine.setTxtName(0, QStringLiteral("1E400"));
  const std::pair<const char16_t*, QStringList> cases[] = {
      {u"aA+", {kNotFound, range}},
      {u"Aa+", {range, kNotFound}},
      {u"aA=", {range, kNotFound}},
      {u"A－", {range}},
      {u"Aa=", {kNotFound}}}; // the value of a is 0, and A takes it
  for (const auto& [input, expected] : cases) {
    boxes.clear();
    engine.Command2_Click();
    runOnce(q(input));
    EXPECT_EQ(boxes.texts(), expected) << q(input).toStdString();
    EXPECT_EQ(cells(engine.view()), QStringList{QStringLiteral("0")});
  }
  EXPECT_EQ(engine.view().txtName.at(0), u"0");
}

TEST_F(ExecutionEngineTest, ValueBoxesAreReadByTheLeadingNumberRule) {
  const std::pair<const char16_t*, double> cases[] = {
      {u"2.5kg", 2.5}, {u"", 0},    {u" 1 2", 12}, {u"2.5E1", 25},
      {u"&HFF", 255},  {u"abc", 0}, {u"-0", 0},    {u"1D2", 100}};
  for (const auto& [text, value] : cases) {
    engine.setTxtName(2, q(text));
    EXPECT_EQ(engine.OperandValue(QStringLiteral("Name:C")), value) << q(text).toStdString();
    EXPECT_EQ(engine.view().txtNameMark.at(2), Mark::Red);
    EXPECT_EQ(engine.view().txtName.at(2), q(text)); // reading never rewrites the box
  }
  EXPECT_TRUE(boxes.texts().isEmpty());

  // A number text touches no box; "Name:" is case-sensitive and must be the first five characters.
  ExecutionEngine fresh{boxes};
  fresh.Form_Load();
  EXPECT_EQ(fresh.OperandValue(QStringLiteral("-6")), -6);
  EXPECT_EQ(fresh.OperandValue(QStringLiteral("name:A")), 0);
  EXPECT_EQ(fresh.OperandValue(QStringLiteral(" Name:A")), 0);
  EXPECT_TRUE(redVariables(fresh.view()).empty());
  EXPECT_TRUE(shownArrows(fresh.view()).empty());
  EXPECT_EQ(fresh.OperandValue(QStringLiteral("Name:AB")), 0);
  EXPECT_EQ(boxes.texts(), QStringList{kNotFound});
}

TEST_F(ExecutionEngineTest, AssignsOnlyToVariableReferences) {
  engine.setTxtName(3, QStringLiteral("x"));
  engine.OperandValue(QStringLiteral("Name:D")); // paints D red
  EXPECT_EQ(engine.AssignVariable(QStringLiteral("Name:X"), -11), -11);
  EXPECT_EQ(engine.view().txtName.at(6), u"-11");
  EXPECT_EQ(redVariables(engine.view()), std::vector<int>{6});
  EXPECT_EQ(shownArrows(engine.view()), (std::vector<int>{7, 8}));

  EXPECT_EQ(engine.AssignVariable(QStringLiteral("7"), 3), 3);
  EXPECT_EQ(engine.AssignVariable(QString(), 3), 3);
  EXPECT_EQ(engine.AssignVariable(QStringLiteral("Name:Q"), 3), 0);
  EXPECT_EQ(boxes.texts(), (QStringList{QStringLiteral("代入できません.7"),
                                        QStringLiteral("代入できません."), kNotFound}));
  EXPECT_EQ(redVariables(engine.view()), std::vector<int>{6}); // failures repaint nothing

  EXPECT_EQ(engine.AssignVariable(QStringLiteral("Name:A"), 1.0 / 3.0), 1.0 / 3.0);
  EXPECT_EQ(engine.view().txtName.at(0), u"0.333333333333333");
  EXPECT_EQ(engine.FindVariable(QStringLiteral("X")), 6);
  EXPECT_EQ(engine.FindVariable(QStringLiteral("x")), -1);
}

TEST_F(ExecutionEngineTest, ResultsBeyondTheDoubleRangeBecomeZeroWithABox) {
  const QString range = QStringLiteral("数値が範囲を超えました");
  const QString byZero = QStringLiteral("0で割ることはできません");
  struct Case {
    const char16_t *a, *b, *input, *result;
    QStringList boxes;
  };
  const Case cases[] = {
      {u"1E308", u"10", u"AB*", u"0", {range}},
      {u"1E308", u"1E308", u"AB+", u"0", {range}},
      {u"-1E308", u"1E308", u"AB-", u"0", {range}},
      {u"1E308", u"0.1", u"AB/", u"0", {range}},
      {u"1", u"0", u"AB/", u"0", {byZero}},
      {u"0", u"0", u"AB/", u"0", {byZero}},
      {u"-1", u"-0", u"AB/", u"0", {byZero}},
      {u"1E-308", u"1E308", u"AB/", u"0", {}},
      {u"1E400", u"2", u"AB*", u"0", {range}},
      {u"1.5E308", u"1.5E308", u"XAB+=", u"0", {range}},
      {u"1.79769313486231E308", u"1", u"AB*", u"1.79769313486231E+308", {}},
  };
  for (const Case& c : cases) {
    boxes.clear();
    engine.Command2_Click();
    engine.setTxtName(0, q(c.a));
    engine.setTxtName(1, q(c.b));
    runOnce(q(c.input));
    EXPECT_EQ(cells(engine.view()), QStringList{q(c.result)}) << q(c.input).toStdString();
    EXPECT_EQ(boxes.texts(), c.boxes) << q(c.a).toStdString() << q(c.input).toStdString();
    for (const QString& text : engine.view().txtName) {
      EXPECT_FALSE(text.contains(u"inf", Qt::CaseInsensitive));
      EXPECT_FALSE(text.contains(u"nan", Qt::CaseInsensitive));
    }
  }
  EXPECT_EQ(engine.view().txtName.at(6), u"0");
}

TEST_F(ExecutionEngineTest, PopsReportAnEmptyStackAndKeepWhatTheyGot) {
  engine.setText2(QStringLiteral("7"));
  engine.PushValue();
  engine.PopOperands();
  EXPECT_EQ(engine.view().lblOpe2, u"7");
  EXPECT_EQ(engine.view().lblOpe1, u"");
  EXPECT_EQ(engine.view().StackCount, 0);
  EXPECT_EQ(engine.view().lblValue.at(0), u"");
  engine.PopOperand();
  EXPECT_EQ(engine.view().lblOpe2, u""); // a pop empties both displays first
  EXPECT_EQ(engine.view().StackCount, 0);
  EXPECT_EQ(boxes.texts(), (QStringList{kEmpty, kEmpty}));

  for (int i = 0; i < 11; ++i) {
    engine.setText2(QString::number(i));
    engine.PushValue();
  }
  EXPECT_EQ(engine.view().StackCount, 10);
  EXPECT_EQ(engine.view().lblValue.at(9), u"9");
  EXPECT_EQ(engine.view().Text2, u"10"); // the refused push keeps the register
  EXPECT_EQ(boxes.texts().last(), kOverflow);
  EXPECT_TRUE(std::all_of(engine.view().lblValueMark.begin(), engine.view().lblValueMark.end(),
                          [](Mark m) { return m == Mark::Red; }));
}

TEST_F(ExecutionEngineTest, OneShotRunContinuesFromTheStackAndTheUnreadInput) {
  runOnce(QStringLiteral("AB"));
  runOnce(QStringLiteral("+C*"));
  EXPECT_EQ(cells(engine.view()), QStringList{QStringLiteral("9")});
  EXPECT_EQ(engine.variables().SavedExpression, u"+C*");

  // Again on the consumed input: one read box, nothing else changes.
  boxes.clear();
  runOnce(engine.view().Text1, true);
  EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("ポーランド記法取出し")});
  EXPECT_EQ(cells(engine.view()), QStringList{QStringLiteral("9")});
  engine.Command2_Click();
  EXPECT_EQ(engine.view().Text1, u"");

  // The register is an ordinary box: whatever it holds is pushed.
  engine.setText1(QStringLiteral("A"));
  engine.ReadSymbol();
  engine.ExecuteSymbol();
  engine.setText2(QStringLiteral("Name:F"));
  engine.PushValue();
  EXPECT_EQ(cells(engine.view()), QStringList{QStringLiteral("Name:F")});
}

TEST_F(ExecutionEngineTest, ResetPutsBackTheSavedExpressionButNotTheValues) {
  engine.Command2_Click(); // before any run: nothing saved yet
  EXPECT_EQ(engine.view().Text1, u"");

  runOnce(QStringLiteral("XABC*DE-/+F-="));
  engine.Command2_Click();
  const ExecutionView& v = engine.view();
  EXPECT_EQ(v.Text1, u"XABC*DE-/+F-=");
  EXPECT_EQ(v.txtName.at(6), u"-11");
  EXPECT_EQ(v.StackCount, 0);
  EXPECT_TRUE(cells(v).isEmpty());
  EXPECT_EQ(v.lblValue.at(0), u"");
  EXPECT_EQ(v.lblValueMark.at(0), Mark::White);
  EXPECT_TRUE(shownArrows(v).empty());
  EXPECT_EQ(v.Text2 + v.lblOpe + v.lblOpe1 + v.lblOpe2 + v.Label4, u"");
  EXPECT_EQ(v.lblKind, u"終了"); // the symbol display is left alone
  EXPECT_EQ(redVariables(v), std::vector<int>{6});
}

TEST_F(ExecutionEngineTest, AutoRunCycleTakesFiftyOneTicksAndBlinksTheTopCell) {
  engine.setText3(QStringLiteral("200"));
  engine.Command3_Click();
  EXPECT_EQ(engine.driver().interval(), 200);
  EXPECT_EQ(engine.driver().phase(), 0);

  QStringList captions;
  std::vector<Mark> topMarks;
  int ticks = 0;
  do {
    engine.Timer1_Timer();
    ++ticks;
    if (engine.driver().phase() == kEndState || ticks == 51) {
      captions << engine.view().Label4;
      topMarks.push_back(engine.view().lblValueMark.at(0));
    }
  } while (engine.driver().phase() != kRestart && ticks < 1000);
  EXPECT_EQ(ticks, 51);
  EXPECT_TRUE(boxes.texts().isEmpty());
  // The end read, nine blinks, then the tick that clears the caption.
  const QString ok = QStringLiteral("正常終了");
  EXPECT_EQ(captions,
            (QStringList{QStringLiteral("値Push"), ok, ok, ok, ok, ok, ok, ok, ok, ok, QString()}));
  const Mark W = Mark::White, Y = Mark::Yellow, R = Mark::Red;
  EXPECT_EQ(topMarks, (std::vector<Mark>{R, W, Y, W, Y, W, Y, W, Y, W, W}));
  EXPECT_EQ(cells(engine.view()), QStringList{QStringLiteral("-11")});

  // The next tick restarts the same expression; the values stay.
  engine.Timer1_Timer();
  EXPECT_EQ(engine.view().Text1, u"XABC*DE-/+F-=");
  EXPECT_EQ(engine.view().StackCount, 0);
  EXPECT_EQ(engine.view().txtName.at(6), u"-11");
  EXPECT_EQ(engine.driver().phase(), kRead);
}

TEST_F(ExecutionEngineTest, EndDisplayReportsAnyOtherCountAsAbnormal) {
  for (const char16_t* input : {u"AB", u""}) {
    EXPECT_EQ(autoRunToEndDisplay(q(input)), 2 + 3 * static_cast<int>(q(input).size()));
    engine.Timer1_Timer();
    EXPECT_EQ(engine.view().Label4, u"異常終了");
    for (int i = 0; i < engine.view().StackCount - 1; ++i)
      EXPECT_EQ(engine.view().lblValueMark.at(static_cast<std::size_t>(i)), Mark::Red);
  }
  EXPECT_EQ(engine.view().StackCount, 0);
  EXPECT_EQ(engine.view().lblValueMark.at(0), Mark::White);
}

TEST_F(ExecutionEngineTest, StartAndStopFollowTheIntervalBox) {
  engine.setText1(QStringLiteral("AB"));
  engine.setText3(QStringLiteral("abc"));
  engine.Command3_Click();
  EXPECT_FALSE(engine.driver().running());
  EXPECT_EQ(engine.variables().SavedExpression, u"AB");

  engine.setText3(QStringLiteral("200.5"));
  engine.Command3_Click();
  EXPECT_EQ(engine.driver().interval(), 200);
  engine.setText3(QStringLiteral("70000"));
  engine.Command3_Click();
  EXPECT_EQ(engine.driver().interval(), 200);
  EXPECT_EQ(boxes.texts().size(), 1);

  // Starting again mid-run saves only the unread rest and restarts from it.
  engine.Timer1_Timer();
  engine.Timer1_Timer();
  engine.setText3(QStringLiteral("100"));
  engine.Command3_Click();
  EXPECT_EQ(engine.variables().SavedExpression, u"B");
  EXPECT_EQ(engine.driver().phase(), kRestart);
  engine.Command4_Click();
  EXPECT_FALSE(engine.driver().running());
}

TEST_F(ExecutionEngineTest, TicksAreHeldWhileABoxIsOpen) {
  engine.setText1(QStringLiteral("ab+"));
  engine.setText3(QStringLiteral("200"));
  engine.Command3_Click();
  boxes.onBox = [&] { engine.Timer1_Timer(); }; // a tick arriving while the box is up
  for (int i = 0; i < 9; ++i)                   // restart, two names, then read and execute "+"
    engine.Timer1_Timer();
  EXPECT_EQ(boxes.texts(), (QStringList{kNotFound, kNotFound}));
  EXPECT_EQ(engine.driver().phase(), kPush);
  EXPECT_EQ(engine.view().Text2, u"0");
  EXPECT_EQ(engine.view().StackCount, 0);
  engine.Timer1_Timer();
  EXPECT_EQ(cells(engine.view()), QStringList{QStringLiteral("0")});
  EXPECT_EQ(engine.driver().phase(), kRead);
}

TEST_F(ExecutionEngineTest, UnloadRestoresTheControlsAndKeepsTheFormVariables) {
  runOnce(QStringLiteral("XA="));
  engine.setText1(QStringLiteral("AB"));
  engine.setText3(QStringLiteral("50"));
  engine.Command3_Click();
  engine.setCheck1(false);
  engine.unload();
  EXPECT_FALSE(engine.driver().running());
  engine.Form_Load();
  EXPECT_EQ(engine.view().txtName.at(6), u"");
  EXPECT_EQ(engine.view().Text1, u"XABC*DE-/+F-=");
  EXPECT_EQ(engine.view().Text3, u"200");
  EXPECT_TRUE(engine.view().Check1);
  EXPECT_EQ(engine.view().Label4, u"");
  EXPECT_EQ(engine.variables().SavedExpression, u"AB");
  engine.Command2_Click();
  EXPECT_EQ(engine.view().Text1, u"AB");
}

// Random expressions and values: the one-shot run and the auto-run cycle reach the same stack,
// the same variables and the same boxes, and no text ever spells an infinity or a NaN.
TEST(ExecutionRandom, OneShotAndAutoRunAgreeOnRandomExpressions) {
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  const QString symbols = QStringLiteral("ABCDEFXa5 +-*/=＋－");
  const QStringList values = {QStringLiteral("1"),      QStringLiteral("-2.5"),
                              QStringLiteral("0"),      QStringLiteral("1E308"),
                              QStringLiteral("-1E308"), QStringLiteral("1E400"),
                              QStringLiteral("abc"),    QStringLiteral("&HFFFF"),
                              QStringLiteral("1E-320"), QString()};
  const auto pick = [&](qsizetype size) {
    return std::uniform_int_distribution<qsizetype>(0, size - 1)(random);
  };
  const auto spellsNonNumber = [](const QString& text) {
    return text.contains(u"inf", Qt::CaseInsensitive) || text.contains(u"nan", Qt::CaseInsensitive);
  };

  for (int round = 0; round < 300; ++round) {
    QString input;
    const qsizetype length = pick(16);
    for (qsizetype i = 0; i < length; ++i)
      input += symbols.at(pick(symbols.size()));
    std::array<QString, kVariableCount> initial;
    for (QString& v : initial)
      v = values.at(pick(values.size()));

    struct Outcome {
      QStringList cells, boxes;
      std::array<QString, kVariableCount> variables;
    };
    const auto run = [&](bool autoRun) {
      RecordingDialogs boxes;
      ExecutionEngine engine{boxes};
      engine.Form_Load();
      engine.setCheck1(false);
      for (int i = 0; i < kVariableCount; ++i)
        engine.setTxtName(i, initial.at(static_cast<std::size_t>(i)));
      engine.setText1(input);
      if (autoRun) {
        engine.Command3_Click();
        for (int ticks = 0; engine.driver().phase() != kEndState && ticks < 1000; ++ticks)
          engine.Timer1_Timer();
      } else {
        engine.Command1_Click();
      }
      const ExecutionView& v = engine.view();
      EXPECT_GE(v.StackCount, 0);
      EXPECT_LE(v.StackCount, kStackCells);
      for (const QString& text : v.lblValue)
        EXPECT_FALSE(spellsNonNumber(text)) << text.toStdString();
      for (const QString& text : v.txtName)
        EXPECT_FALSE(spellsNonNumber(text)) << text.toStdString();
      return Outcome{cells(v), boxes.texts(), v.txtName};
    };
    const Outcome oneShot = run(false);
    const Outcome cycle = run(true);
    EXPECT_EQ(oneShot.cells, cycle.cells) << input.toStdString();
    EXPECT_EQ(oneShot.boxes, cycle.boxes) << input.toStdString();
    EXPECT_EQ(oneShot.variables, cycle.variables) << input.toStdString();
  }
}

} // namespace
} // namespace rpn::execution
