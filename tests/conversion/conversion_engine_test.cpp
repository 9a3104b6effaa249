#include "conversion/conversion_engine.h"
#include "support/recording_dialogs.h"

#include <gtest/gtest.h>
#include <random>

namespace rpn::conversion {
namespace {

using namespace Qt::StringLiterals;
using test::RecordingDialogs;

class ConversionEngineTest : public ::testing::Test {
protected:
  ConversionEngineTest() { engine.Form_Load(); }

  // A one-shot run of the given input, without trace unless asked for.
  void runOnce(const QString& input, bool trace = false) {
    engine.setCheck1(trace);
    engine.setText1(input);
    engine.Command1_Click();
  }

  // Starts auto-run on the input and ticks until the conversion has ended (the blinking starts)
  // or auto-run stopped; returns the number of ticks. Each bracket message the step line turns
  // to is collected in bracketMessages.
  int autoRunToFinale(const QString& input) {
    engine.setText1(input);
    engine.setText3(QStringLiteral("200"));
    engine.Command3_Click();
    bracketMessages.clear();
    int ticks = 0;
    while (engine.driver().running() && engine.driver().phase() != kBlink && ticks < 10000) {
      const QString before = engine.view().Label5;
      engine.Timer1_Timer();
      const QString& after = engine.view().Label5;
      if (after != before && isBracketMessage(after))
        bracketMessages << after;
      ++ticks;
    }
    return ticks;
  }

  static bool isBracketMessage(const QString& text) {
    return text == unclosedBracketMessage() || text == unmatchedBracketMessage();
  }
  static QStringList withoutBracketMessages(QStringList texts) {
    texts.removeIf(isBracketMessage);
    return texts;
  }
  static QStringList onlyBracketMessages(QStringList texts) {
    texts.removeIf([](const QString& text) { return !isBracketMessage(text); });
    return texts;
  }

  RecordingDialogs boxes;
  ConversionEngine engine{boxes};
  QStringList bracketMessages;
};

struct ConversionCase {
  const char16_t* input;
  const char16_t* output;
  const char16_t* boxes = u""; // the boxes of the untraced run, one a line
  const char16_t* rest = u"";  // what is left in the input box
};

void PrintTo(const ConversionCase& c, std::ostream* os) {
  *os << QString::fromUtf16(c.input).toStdString();
}

class Conversions : public ConversionEngineTest,
                    public ::testing::WithParamInterface<ConversionCase> {};

// The untraced run shows the fault boxes, the traced run the same ones among its move boxes, and
// auto-run the same except that a bracket fault is a step message and no box.
TEST_P(Conversions, OneShotTraceAndAutoRunAgree) {
  const ConversionCase& c = GetParam();
  const QStringList expectedBoxes = QString::fromUtf16(c.boxes).split(u'\n', Qt::SkipEmptyParts);

  runOnce(QString::fromUtf16(c.input));
  EXPECT_EQ(engine.view().Text2, QString::fromUtf16(c.output));
  EXPECT_EQ(engine.view().Text1, QString::fromUtf16(c.rest));
  EXPECT_EQ(boxes.texts(), expectedBoxes);
  const auto oneShotStack = engine.view().stack;

  boxes.clear();
  runOnce(QString::fromUtf16(c.input), true);
  QStringList faults = boxes.texts();
  faults.removeIf([&](const QString& text) { return !expectedBoxes.contains(text); });
  EXPECT_EQ(faults, expectedBoxes);
  EXPECT_EQ(engine.view().stack, oneShotStack);

  boxes.clear();
  engine.Command2_Click();
  autoRunToFinale(QString::fromUtf16(c.input));
  EXPECT_EQ(engine.view().Text2, QString::fromUtf16(c.output));
  EXPECT_EQ(engine.view().Text1, QString::fromUtf16(c.rest));
  EXPECT_EQ(boxes.texts(), withoutBracketMessages(expectedBoxes));
  EXPECT_EQ(bracketMessages, onlyBracketMessages(expectedBoxes));
  for (std::size_t i = 0; i < oneShotStack.size(); ++i)
    EXPECT_EQ(engine.view().stack[i].operation, oneShotStack[i].operation) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Expressions, Conversions,
    ::testing::Values(
        ConversionCase{u"A+B*C/(D-E)-F", u"ABC*DE-/+F-"},
        ConversionCase{u"A+B*C/(D-F)+G", u"ABC*DF-/+G+"},
        ConversionCase{u"X=A+B*C/(D-E)-F", u"XABC*DE-/+F-="}, ConversionCase{u"-A", u"A－"},
        ConversionCase{u"A+-B", u"AB－+"}, ConversionCase{u"A-B-C", u"AB-C-"},
        ConversionCase{u"A=B=C", u"AB=C="}, ConversionCase{u"(A+B)*C", u"AB+C*"},
        ConversionCase{u"A+B)*C", u"AB+C*", u"対応する「(」がありません"},
        ConversionCase{u"A*(B+C", u"ABC+", u"括弧が閉じられていません"},
        ConversionCase{u"((A))", u"A"}, ConversionCase{u"(A)+(B)", u"AB+"},
        ConversionCase{u"A))", u"A", u"対応する「(」がありません\n対応する「(」がありません"},
        ConversionCase{u"(A))", u"A", u"対応する「(」がありません"},
        ConversionCase{u"((A)", u"A", u"括弧が閉じられていません"},
        ConversionCase{u"A)+(B", u"AB", u"対応する「(」がありません\n括弧が閉じられていません"},
        ConversionCase{u"A)B", u"A", u"対応する「(」がありません\n構文エラー B", u""},
        ConversionCase{u"(((((((((((A)))))))))))", u"A",
                       u"スタックが満杯です\n対応する「(」がありません"},
        ConversionCase{u"A*-B", u"A*B－"}, ConversionCase{u"--A", u"－A－"},
        ConversionCase{u"1+2", u"12+"}, ConversionCase{u"A(B)", u"AB"},
        ConversionCase{u"A(B", u"AB", u"括弧が閉じられていません"}, ConversionCase{u"", u""},
        ConversionCase{u"AB", u"A", u"構文エラー B"},
        ConversionCase{u"*A", u"", u"構文エラー *", u"A"},
        ConversionCase{u"A +B", u"A", u"構文エラー  ", u"+B"},
        ConversionCase{u"AB+C", u"A", u"構文エラー B", u"+C"},
        ConversionCase{u"A+)", u"A", u"構文エラー )"}, ConversionCase{u"𝑥+B", u"𝑥B+"},
        ConversionCase{u"A*𝑦", u"A𝑦*"}));

TEST_F(ConversionEngineTest, TracedRunOfAPlusBShowsEightBoxesInOrder) {
  runOnce(QStringLiteral("A+B"), true);
  EXPECT_EQ(boxes.texts(), (QStringList{
                               QStringLiteral("語彙解析 名前[A]"),
                               QStringLiteral("出力文 ← 名前[A]"),
                               QStringLiteral("語彙解析 演算子[+]"),
                               QStringLiteral("スタック ←　演算子[+]"),
                               QStringLiteral("語彙解析 名前[B]"),
                               QStringLiteral("出力文 ← 名前[B]"),
                               QStringLiteral("終了(括弧閉じ処理と同じ)"),
                               QStringLiteral("出力文 ←　スタック"),
                           }));
  EXPECT_EQ(engine.view().Text2, QStringLiteral("AB+"));
  EXPECT_EQ(engine.view().lblArrow, (std::array<QString, 4>{}));
}

// A ")" with nothing to close is reported as soon as it is read, a "(" left open as soon as the
// end is reached; the step line shows the fault while its box is up.
TEST_F(ConversionEngineTest, TracedBracketFaultsComeWhereTheyAreFound) {
  const struct {
    const char16_t* input;
    QStringList boxes;
  } cases[] = {
      {u"(A",
       {u"語彙解析 演算子[(]"_s, u"スタック ←　演算子[(]"_s, u"語彙解析 名前[A]"_s,
        u"出力文 ← 名前[A]"_s, u"括弧が閉じられていません"_s, u"終了(括弧閉じ処理と同じ)"_s,
        u"出力文 ←　スタック"_s}},
      {u"A)",
       {u"語彙解析 名前[A]"_s, u"出力文 ← 名前[A]"_s, u"語彙解析 演算子[)]"_s,
        u"対応する「(」がありません"_s, u"括弧閉じ処理"_s, u"終了(括弧閉じ処理と同じ)"_s}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(QString::fromUtf16(c.input).toStdString());
    boxes.clear();
    QStringList stepLines;
    boxes.onBox = [&] { stepLines << engine.view().Label5; };
    runOnce(QString::fromUtf16(c.input), true);
    EXPECT_EQ(boxes.texts(), c.boxes);
    const qsizetype fault = c.boxes.indexOf(unclosedBracketMessage()) >= 0
                                ? c.boxes.indexOf(unclosedBracketMessage())
                                : c.boxes.indexOf(unmatchedBracketMessage());
    ASSERT_GE(fault, 0);
    EXPECT_EQ(stepLines.value(fault), c.boxes.at(fault));
    boxes.onBox = nullptr;
  }
}

TEST_F(ConversionEngineTest, TraceBoxesSeeTheMoveTheyDescribe) {
  QStringList seen;
  boxes.onBox = [&] {
    const ConversionView& v = engine.view();
    seen << v.Label5 + u'|' + v.lblArrow[0] + v.lblArrow[1] + v.lblArrow[2] + v.lblArrow[3] + u'|' +
                v.Text2;
  };
  runOnce(QStringLiteral("A*B+C"), true);
  EXPECT_EQ(seen, (QStringList{
                      QStringLiteral("語彙解析|←|"),
                      QStringLiteral("Aを出力文に移動|←|"),
                      QStringLiteral("語彙解析|←|A"),
                      QStringLiteral("演算子[*]をPush|↓|A"),
                      QStringLiteral("語彙解析|←|A"),
                      QStringLiteral("Bを出力文に移動|←|A"),
                      QStringLiteral("語彙解析|←|AB"),
                      QStringLiteral("優先度が高い演算子をPop|↓↑|AB"),
                      QStringLiteral("演算子[+]をPush|↓|AB*"),
                      QStringLiteral("語彙解析|←|AB*"),
                      QStringLiteral("Cを出力文に移動|←|AB*"),
                      QStringLiteral("終了(括弧閉じ処理と同じ)|↑|AB*C"),
                      QStringLiteral("Popして出力文に移動|↑|AB*C"),
                  }));
}

TEST_F(ConversionEngineTest, EmptyInputInTraceShowsOnlyTheEndBox) {
  runOnce(QString(), true);
  EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("終了(括弧閉じ処理と同じ)")});
  EXPECT_EQ(engine.view().lblCH, QString());
  EXPECT_EQ(engine.view().lblKind, QStringLiteral("終了"));
}

TEST_F(ConversionEngineTest, BracketWhereAnOperatorIsExpectedIsStackedAsABinaryOperator) {
  engine.setCheck1(false);
  engine.setText1(QStringLiteral("A("));
  engine.ConvertStep();
  engine.ConvertStep();
  EXPECT_EQ(engine.view().stack[0],
            (StackSlot{QStringLiteral("("), QString(), QStringLiteral("二項演算子")}));
}

TEST_F(ConversionEngineTest, EleventhOpeningBracketDoesNotFit) {
  runOnce(QString(11, u'('));
  EXPECT_EQ(boxes.texts(), (QStringList{QStringLiteral("スタックが満杯です"),
                                        QStringLiteral("括弧が閉じられていません")}));
  // Ten were stacked: the end pops the tenth "(" and stops there, leaving nine.
  EXPECT_EQ(engine.variables().StackCount, 9);
}

TEST_F(ConversionEngineTest, AssignmentPriorityCaptionDependsOnTheForm) {
  auto assignmentCaption = [&](const QString& input, bool autoRun) -> QString {
    boxes.clear();
    engine.Command2_Click();
    engine.setCheck1(false);
    engine.setText1(input);
    if (!autoRun) {
      // Stop right after "=" was inserted: one step per character.
      for (qsizetype i = 0; i < input.indexOf(u'=') + 1; ++i)
        engine.ConvertStep();
    } else {
      engine.Command3_Click();
      while (engine.view().Text1.size() > input.size() - input.indexOf(u'=') - 1 ||
             engine.driver().phase() != kNext)
        engine.Timer1_Timer();
    }
    for (const StackSlot& slot : engine.view().stack)
      if (slot.operation == u"=")
        return slot.priority;
    return QStringLiteral("<none>");
  };
  EXPECT_EQ(assignmentCaption(QStringLiteral("A+B=C"), true), QStringLiteral("0"));
  EXPECT_EQ(assignmentCaption(QStringLiteral("X=A+B"), true), QString());
  EXPECT_EQ(assignmentCaption(QStringLiteral("A+B=C"), false), QStringLiteral("100"));
  EXPECT_EQ(assignmentCaption(QStringLiteral("X=A+B"), false), QStringLiteral("100"));
}

TEST_F(ConversionEngineTest, AutoRunCycleOfAPlusB) {
  engine.setText1(QStringLiteral("A+B"));
  engine.Command3_Click();
  std::vector<int> phases;
  QStringList messages;
  std::vector<Mark> colours;
  for (int i = 0; i < 36; ++i) {
    phases.push_back(engine.driver().phase());
    engine.Timer1_Timer();
    messages << engine.view().Label5;
    colours.push_back(engine.view().Text2Background);
  }
  std::vector<int> expectedPhases = {0, 1, 2, 90, 1, 2, 90, 1, 2, 90, 1, 2, 11, 11, 90};
  expectedPhases.resize(36, kBlink);
  EXPECT_EQ(phases, expectedPhases);
  const QString a = QStringLiteral("Aを出力文に移動"), b = QStringLiteral("Bを出力文に移動");
  const QString read = QStringLiteral("語彙解析"), push = QStringLiteral("演算子[+]をPush");
  const QString pop = QStringLiteral("Popして出力文に移動");
  QStringList expectedMessages = {QString(), read, a,  a, read, push,
                                  push,      read, b,  b, b,    QStringLiteral("括弧閉じ処理"),
                                  pop,       pop,  pop};
  for (int i = 0; i < 20; ++i)
    expectedMessages << QStringLiteral("終了");
  expectedMessages << QString();
  EXPECT_EQ(messages, expectedMessages);
  for (std::size_t i = 15; i < 35; ++i) // the output blinks yellow first, white last
    EXPECT_EQ(colours[i], i % 2 == 1 ? Mark::Yellow : Mark::White) << i;
  EXPECT_EQ(engine.view().Text2, QStringLiteral("AB+"));
  EXPECT_TRUE(boxes.texts().isEmpty());

  engine.Timer1_Timer(); // the 37th tick starts over with the saved expression
  EXPECT_EQ(engine.view().Text1, QStringLiteral("A+B"));
  EXPECT_EQ(engine.view().Text2, QString());
}
TEST_F(ConversionEngineTest, TickCostsFollowPopsAndBrackets) {
  // Restart 1, three ticks per character, one per insertion pop, one per bracket pop (the "("
  // included) plus the empty-stack tick of the end, the end read and dispatch 2, phase 90 once,
  // 21 for the finale.
  struct {
    const char16_t* input;
    int ticks;
  } cases[] = {{u"A+B", 36},
               {u"A*B+C", 1 + 15 + 1 + 2 + 2 + 1 + 21},
               {u"(A)", 1 + 9 + 1 + 2 + 1 + 1 + 21},
               {u"", 1 + 2 + 1 + 1 + 21}};
  for (const auto& c : cases) {
    boxes.clear();
    const int toFinale = autoRunToFinale(QString::fromUtf16(c.input));
    EXPECT_EQ(toFinale + 21, c.ticks) << QString::fromUtf16(c.input).toStdString();
  }
}

TEST_F(ConversionEngineTest, SyntaxErrorInAutoRunHoldsTicksThenStops) {
  engine.setText1(QStringLiteral("AB"));
  engine.Command3_Click();
  std::int16_t phaseAfterTicksUnderTheBox = -1;
  boxes.onBox = [&] {
    engine.Timer1_Timer(); // the timer fires while the syntax error box is up
    engine.Timer1_Timer();
    phaseAfterTicksUnderTheBox = engine.driver().phase();
  };
  while (boxes.texts().isEmpty())
    engine.Timer1_Timer();
  EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("構文エラー B")});
  EXPECT_EQ(phaseAfterTicksUnderTheBox, kNext); // not advanced underneath the box
  EXPECT_EQ(engine.driver().phase(), kStopped);
  EXPECT_TRUE(engine.driver().running());
  engine.Timer1_Timer();
  EXPECT_FALSE(engine.driver().running());
  EXPECT_EQ(engine.view().Text2, QStringLiteral("A")); // the state at the error stays
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
      const bool blinking = engine.driver().phase() == kBlink;
      if (typed && !blinking)
        continue;
      if (typed)
        engine.setText1(u"-(A)"_s);
      engine.setCheck1(false);
      engine.Command1_Click();
      EXPECT_FALSE(engine.driver().running());
      EXPECT_EQ(engine.view().Text2, typed ? u"A－"_s : u"ABC+*D-"_s);
      EXPECT_EQ(engine.view().Text1, u"");
      EXPECT_EQ(engine.variables().StackCount, 0);
      EXPECT_TRUE(boxes.texts().isEmpty());
    }
  }
}

TEST_F(ConversionEngineTest, IntervalRules) {
  struct {
    const char16_t* text;
    int interval;
    bool refused;
  } cases[] = {{u"200.5", 200, false}, {u"201.5", 202, false}, {u"", 0, false},
               {u"0", 0, false},       {u"abc", 0, false},     {u"65536", 0, true},
               {u"-1", 0, true},       {u"1E10", 0, true}};
  for (const auto& c : cases) {
    engine.Command4_Click();
    boxes.clear();
    engine.setText3(QString::fromUtf16(c.text));
    engine.Command3_Click();
    EXPECT_EQ(engine.driver().interval(), c.interval) << QString::fromUtf16(c.text).toStdString();
    EXPECT_EQ(boxes.texts().size(), c.refused ? 1 : 0);
  }
}

TEST_F(ConversionEngineTest, RefusedIntervalLeavesARunningCycleAlone) {
  engine.setText1(QStringLiteral("A+B"));
  engine.Command3_Click();
  engine.Timer1_Timer();
  engine.Timer1_Timer();
  const std::int16_t phase = engine.driver().phase();
  engine.setText1(QStringLiteral("Q"));
  engine.setText3(QStringLiteral("70000"));
  engine.Command3_Click();
  EXPECT_EQ(boxes.texts().size(), 1);
  EXPECT_EQ(engine.driver().interval(), 200);
  EXPECT_EQ(engine.driver().phase(), phase);
  EXPECT_EQ(engine.variables().SavedExpression, QStringLiteral("A+B"));
}

TEST_F(ConversionEngineTest, LoadAndResetRules) {
  EXPECT_EQ(engine.variables().SavedExpression, QStringLiteral("A+B*C/(D-F)+G"));
  EXPECT_EQ(engine.view().Text1, QStringLiteral("A+B*C/(D-E)-F"));
  EXPECT_EQ(engine.view().Text4,
            QStringLiteral("変数名は1文字とします。\r\n演算子は+,-,*,/の4つとします\r\n"
                           "\r\n前置演算子として+-は，出力文では全角の＋－として区別します。"));
  EXPECT_EQ(engine.view().lblArrow, (std::array<QString, 4>{}));

  engine.Command2_Click();
  EXPECT_EQ(engine.view().Text1, QStringLiteral("A+B*C/(D-F)+G"));

  runOnce(QStringLiteral("A*(B"));
  EXPECT_EQ(engine.view().Text1, QString());
  engine.Command2_Click();
  EXPECT_EQ(engine.view().Text1, QStringLiteral("A*(B"));
  EXPECT_EQ(engine.variables().StackCount, 0);
  EXPECT_EQ(engine.view().Text2, QString());
  EXPECT_EQ(engine.view().stackMarks[0], Mark::White);
  // The message line and the lexical result stay.
  EXPECT_EQ(engine.view().lblKind, QStringLiteral("終了"));
  EXPECT_EQ(engine.view().lblMode, QStringLiteral("名前"));
}

TEST_F(ConversionEngineTest, StopWhileYellowKeepsTheColourThroughAReset) {
  autoRunToFinale(QStringLiteral("A"));
  engine.Timer1_Timer(); // first blink tick: yellow
  ASSERT_EQ(engine.view().Text2Background, Mark::Yellow);
  engine.Command4_Click();
  engine.Command2_Click();
  EXPECT_EQ(engine.view().Text2Background, Mark::Yellow);
  EXPECT_FALSE(engine.driver().running());
}

TEST_F(ConversionEngineTest, StartAfterAOneShotRunConvertsTheEmptyText) {
  runOnce(QStringLiteral("A+B"));
  engine.Command3_Click();
  EXPECT_EQ(engine.variables().SavedExpression, QString());
  EXPECT_EQ(autoRunToFinale(QString()), 5);
  EXPECT_EQ(engine.view().Text2, QString());
}

TEST_F(ConversionEngineTest, PopOnAnEmptyStackIsGuarded) {
  EXPECT_EQ(engine.PopOperator(), QString());
  EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("スタックが空です")});
  EXPECT_EQ(engine.variables().StackCount, 0);
}

// Random expressions over a small alphabet: the two forms of every operation must agree on the
// output, the stack left behind and the boxes (seed printed on failure).
TEST_F(ConversionEngineTest, RandomExpressionsConvertAlikeInBothForms) {
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  const QString alphabet = QStringLiteral("AB+-*/=() ");
  for (int n = 0; n < 300; ++n) {
    QString input;
    const int length = static_cast<int>(random() % 14);
    for (int i = 0; i < length; ++i)
      input += alphabet[static_cast<qsizetype>(random() % static_cast<unsigned>(alphabet.size()))];
    engine.Command4_Click(); // the last round's auto-run
    boxes.clear();
    runOnce(input);
    const QString output = engine.view().Text2;
    const QStringList oneShotBoxes = boxes.texts();
    const auto stack = engine.view().stack;

    boxes.clear();
    autoRunToFinale(input);
    ASSERT_EQ(engine.view().Text2, output) << "seed " << seed << " input " << input.toStdString();
    ASSERT_EQ(boxes.texts(), withoutBracketMessages(oneShotBoxes))
        << "seed " << seed << " input " << input.toStdString();
    ASSERT_EQ(bracketMessages, onlyBracketMessages(oneShotBoxes))
        << "seed " << seed << " input " << input.toStdString();
    for (std::size_t i = 0; i < stack.size(); ++i)
      ASSERT_EQ(engine.view().stack[i].operation, stack[i].operation)
          << "seed " << seed << " input " << input.toStdString();
  }
}

} // namespace
} // namespace rpn::conversion
