#include "support/recording_dialogs.h"
#include "translation/translation_engine.h"

#include <gtest/gtest.h>

namespace rpn::translation {
namespace {

using namespace Qt::StringLiterals;
using test::RecordingDialogs;

QString q(const char16_t* text) {
  return QString::fromUtf16(text);
}

QStringList qs(std::initializer_list<const char16_t*> texts) {
  QStringList list;
  for (const char16_t* text : texts)
    list << q(text);
  return list;
}

// The program as "OPERATION operand" texts ("MINUS" alone for an empty operand).
QStringList code(const TranslationEngine& engine) {
  QStringList list;
  for (const ObjectInstruction& instruction : engine.program())
    list << (instruction.Operation + u' ' + instruction.Operand).trimmed();
  return list;
}

QStringList cells(const TranslationView& view) {
  QStringList list;
  for (int i = 0; i < view.StackCount; ++i)
    list << view.lblValue.at(static_cast<std::size_t>(i));
  return list;
}

std::vector<int> shownArrows(const TranslationView& view) {
  std::vector<int> shown;
  for (int i = 0; i < kScreenArrows; ++i)
    if (!view.lblArrow.at(static_cast<std::size_t>(i)).isEmpty())
      shown.push_back(i + 1);
  return shown;
}

// Entries of the table with the given mark.
QStringList marked(const TranslationView& view, Mark mark) {
  QStringList names;
  for (int i = 0; i < kNameLabels; ++i)
    if (view.lblNameMark.at(static_cast<std::size_t>(i)) == mark)
      names << view.lblName.at(static_cast<std::size_t>(i));
  return names;
}

const QStringList kExampleTable =
    qs({u"X", u"A", u"B", u"C", u"T$00", u"D", u"E", u"T$01", u"T$02", u"T$03", u"F", u"T$04"});
const QStringList kExampleCode =
    qs({u"LOAD B", u"MULT C", u"STOR T$00", u"LOAD D", u"SUB E", u"STOR T$01", u"LOAD T$00",
        u"DIV T$01", u"STOR T$02", u"LOAD A", u"ADD T$02", u"STOR T$03", u"LOAD T$03", u"SUB F",
        u"STOR T$04", u"LOAD T$04", u"STOR X"});
const QStringList kOptimisedCode =
    qs({u"LOAD B", u"MULT C", u"STOR T$00", u"LOAD D", u"SUB E", u"STOR T$01", u"LOAD T$00",
        u"DIV T$01", u"STOR T$02", u"LOAD A", u"ADD T$02", u"SUB F", u"STOR X"});

class TranslationEngineTest : public ::testing::Test {
protected:
  TranslationEngineTest() { engine.Form_Load(); }

  void translate(const QString& input) {
    engine.setCheck1(false);
    engine.setText1(input);
    engine.Command1_Click();
  }
  // Ticks until the phase is reached; false if it is not reached within a thousand ticks.
  bool tickUntil(std::int16_t phase) {
    for (int i = 0; i < 1000 && engine.driver().phase() != phase; ++i)
      engine.Timer1_Timer();
    return engine.driver().phase() == phase;
  }
  void optimise() {
    const std::size_t before = boxes.boxes().size();
    engine.Command5_Click();
    ASSERT_EQ(boxes.boxes().size(), before + 3);
  }

  RecordingDialogs boxes;
  TranslationEngine engine{boxes};
};

TEST_F(TranslationEngineTest, LoadEmptiesTheDisplaysAndShowsAnEmptyTable) {
  const TranslationView& v = engine.view();
  EXPECT_EQ(v.Text1, u"XABC*DE-/+F-=");
  EXPECT_EQ(v.Text2, u"");
  EXPECT_EQ(v.Label4, u"");
  EXPECT_EQ(v.lblOpe, u"");
  EXPECT_EQ(v.lblPtr, u"0");
  EXPECT_TRUE(v.List1.isEmpty());
  EXPECT_TRUE(shownArrows(v).empty());
  EXPECT_TRUE(v.Check1);
  EXPECT_EQ(v.Frame3Mark, Mark::ButtonFace);
  // Before the load the controls carry their design-time captions and arrows.
  const TranslationView fresh;
  EXPECT_EQ(fresh.lblPtr, u"Label7");
  EXPECT_EQ(fresh.Text2, u"Text2");
  EXPECT_EQ(fresh.lblOpe, u"lblOp");
  QStringList arrows;
  for (int i = 0; i < kScreenArrows; ++i)
    arrows << fresh.lblArrow.at(static_cast<std::size_t>(i));
  EXPECT_EQ(arrows, qs({u"←", u"↓", u"←", u"↑", u"→", u"←"}));
}

TEST_F(TranslationEngineTest, WorkedExampleFillsTheTableAndTheListing) {
  translate(QStringLiteral("XABC*DE-/+F-="));
  EXPECT_TRUE(boxes.texts().isEmpty());
  EXPECT_EQ(engine.VariableTable(), kExampleTable);
  EXPECT_EQ(code(engine), kExampleCode);
  EXPECT_EQ(cells(engine.view()), QStringList{u"X"_s});
  EXPECT_EQ(engine.view().lblPtr, u"12");
  EXPECT_EQ(engine.variables().WorkCounter, 5);
  // Entries 12 and 13 stay empty; F, the last name translated, is the blue one.
  EXPECT_EQ(engine.view().lblName.at(12), u"");
  EXPECT_EQ(engine.view().lblName.at(13), u"");
  EXPECT_EQ(marked(engine.view(), Mark::Blue), QStringList{u"F"_s});
  // The listing shows every instruction in the three columns, without marks.
  ASSERT_EQ(engine.view().List1.size(), 17);
  EXPECT_EQ(engine.view().List1.at(0), u"           LOAD   B");
  EXPECT_EQ(engine.view().List1.at(6), u"           LOAD   T$00");
  EXPECT_EQ(engine.view().List1.at(16), u"           STOR   X");
  EXPECT_EQ(engine.view().Label4, u"変数Push");
  EXPECT_EQ(engine.view().lblKind, u"終了");
  EXPECT_EQ(engine.driver().phase(), 2); // the last read leaves it so
}

TEST_F(TranslationEngineTest, FormatsInstructionsInThreeColumns) {
  const struct {
    const char16_t *label, *operation, *operand, *line;
  } cases[] = {
      {u"           ", u"LOAD", u"T$00", u"           LOAD   T$00"},
      {u"           ", u"MINUS", u"", u"           MINUS  "},
      {u" *useless* ", u"STOR", u"T$03", u" *useless* STOR   T$03"},
      {u"           ", u"LONGNAME", u"A", u"           LONGNAMA"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatInstructionLine(q(c.label), {q(c.operation), q(c.operand), false}), q(c.line));
}

TEST_F(TranslationEngineTest, NamesAreEnteredOnceAndHighlightedInBlue) {
  engine.setText1(QStringLiteral("XAA*="));
  engine.ReadSymbol();
  engine.TranslateSymbol();
  EXPECT_EQ(engine.view().Label4, u"変数Xの取出し");
  EXPECT_EQ(shownArrows(engine.view()), std::vector<int>{3});
  EXPECT_EQ(engine.view().lblArrow.at(2), u"←");
  EXPECT_EQ(engine.view().Text2, u"X");
  EXPECT_EQ(engine.view().lblPtr, u"0"); // written by the refresh that ends the push
  engine.PushValue();
  EXPECT_EQ(engine.view().lblPtr, u"1");
  EXPECT_EQ(engine.view().Label4, u"変数Push");
  EXPECT_EQ(shownArrows(engine.view()), std::vector<int>{2});
  for (int i = 0; i < 2; ++i) {
    engine.ReadSymbol();
    engine.TranslateSymbol();
    engine.PushValue();
  }
  EXPECT_EQ(engine.VariableTable(), qs({u"X", u"A"}));
  EXPECT_EQ(marked(engine.view(), Mark::Blue), QStringList{u"A"_s});
  engine.ReadSymbol();
  engine.TranslateSymbol();
  EXPECT_EQ(engine.view().Label4, u"演算対象Popと演算の実行");
  EXPECT_EQ(shownArrows(engine.view()), (std::vector<int>{4, 5, 6}));
  EXPECT_EQ(engine.view().lblOpe, u"*");
  EXPECT_EQ(engine.view().lblOpe1, u"A");
  EXPECT_EQ(engine.view().lblOpe2, u"A");
  EXPECT_EQ(engine.view().Text2, u"T$00");
  EXPECT_EQ(code(engine), qs({u"LOAD A", u"MULT A", u"STOR T$00"}));
  // Any character that is not an operator is a name, a digit and a blank too.
  translate(QStringLiteral("5 "));
  EXPECT_EQ(engine.VariableTable(), qs({u"X", u"A", u"T$00", u"5", u" "}));
}

TEST_F(TranslationEngineTest, EachOperatorAppendsItsTemplate) {
  const struct {
    const char16_t* input;
    std::initializer_list<const char16_t*> code;
    const char16_t* result;
  } cases[] = {
      {u"AB+", {u"LOAD A", u"ADD B", u"STOR T$00"}, u"T$00"},
      {u"AB-", {u"LOAD A", u"SUB B", u"STOR T$00"}, u"T$00"},
      {u"AB*", {u"LOAD A", u"MULT B", u"STOR T$00"}, u"T$00"},
      {u"AB/", {u"LOAD A", u"DIV B", u"STOR T$00"}, u"T$00"},
      {u"XA=", {u"LOAD A", u"STOR X"}, u"X"},
      {u"XA＋=", {u"LOAD A", u"STOR X"}, u"X"},
      {u"XA－=", {u"LOAD A", u"MINUS", u"STOR T$00", u"LOAD T$00", u"STOR X"}, u"X"},
      {u"A＋", {}, u"A"},
  };
  for (const auto& c : cases) {
    engine.Command2_Click();
    translate(q(c.input));
    EXPECT_EQ(code(engine), qs(c.code)) << QString(q(c.input)).toStdString();
    EXPECT_EQ(cells(engine.view()), QStringList{q(c.result)});
    EXPECT_TRUE(boxes.texts().isEmpty());
  }
  // The prefix minus leaves the operand of its middle instruction empty.
  translate(QStringLiteral("B－"));
  EXPECT_EQ(engine.program().at(1).Operation, u"MINUS");
  EXPECT_EQ(engine.program().at(1).Operand, u"");
}

TEST_F(TranslationEngineTest, WorkNumbersAreNeverReusedUntilReset) {
  translate(QStringLiteral("XAB+="));
  EXPECT_EQ(code(engine).at(2), u"STOR T$00");
  translate(QStringLiteral("YCD*="));
  EXPECT_EQ(code(engine).at(7), u"STOR T$01");
  EXPECT_EQ(engine.VariableTable(), qs({u"X", u"A", u"B", u"T$00", u"Y", u"C", u"D", u"T$01"}));
  EXPECT_EQ(cells(engine.view()), qs({u"X", u"Y"})); // the stack carries on as well
  // Optimising removes entries, but not numbers.
  optimise();
  translate(QStringLiteral("AB+"));
  EXPECT_TRUE(code(engine).contains(u"STOR T$02"_s));
  engine.Command2_Click();
  translate(QStringLiteral("AB+"));
  EXPECT_EQ(code(engine).at(2), u"STOR T$00");
}

TEST_F(TranslationEngineTest, TheThirteenthEntryFitsAndTheFourteenthNameIsRefused) {
  translate(QStringLiteral("ABCDEFGHIJ"));
  translate(QStringLiteral("++")); // T$00 and T$01: eleven and twelve entries
  translate(QStringLiteral("K"));  // the thirteenth
  EXPECT_TRUE(boxes.texts().isEmpty());
  EXPECT_EQ(engine.variables().VariableCount, 13);
  EXPECT_EQ(engine.view().lblName.at(12), u"K");
  EXPECT_EQ(engine.view().Text2, u"K");

  engine.setText1(QStringLiteral("L"));
  engine.ReadSymbol();
  engine.TranslateSymbol();
  EXPECT_EQ(boxes.texts(), QStringList{tableOverflowMessage()});
  EXPECT_EQ(engine.variables().VariableCount, 13);
  EXPECT_EQ(engine.view().lblName.at(13), u"");
  EXPECT_EQ(engine.view().Text2, u"K"); // left as it was
  EXPECT_EQ(marked(engine.view(), Mark::Blue), QStringList{u"K"_s});
  EXPECT_EQ(engine.view().Label4, u"変数Lの取出し");
  // A name already in the full table is still found.
  engine.setText1(QStringLiteral("A"));
  engine.ReadSymbol();
  engine.TranslateSymbol();
  EXPECT_EQ(boxes.texts().size(), 1);
  EXPECT_EQ(engine.view().Text2, u"A");
}

TEST_F(TranslationEngineTest, AFullTableRefusesAWorkVariableButKeepsItsNumberAndCode) {
  translate(QStringLiteral("ABCDEFGHIJKLM")); // thirteen names, ten of them on the stack
  EXPECT_EQ(boxes.texts(), QStringList(3, u"スタックオーバーフロー"_s));
  boxes.clear();
  translate(QStringLiteral("+"));
  EXPECT_EQ(boxes.texts(), QStringList{tableOverflowMessage()});
  EXPECT_EQ(code(engine), qs({u"LOAD I", u"ADD J"})); // no STOR
  EXPECT_EQ(engine.variables().WorkCounter, 1);
  EXPECT_EQ(cells(engine.view()).last(), u""); // the empty name is pushed
  EXPECT_EQ(engine.variables().VariableCount, 13);
  // After optimising the unreferenced names away, the next work variable is T$01.
  optimise();
  translate(QStringLiteral("+"));
  EXPECT_EQ(code(engine).last(), u"STOR T$01");
}

TEST_F(TranslationEngineTest, ATemplateMayStartAt297ButNotAt298) {
  // "A=" appends two instructions and leaves one name on the stack.
  translate(QStringLiteral("AB+") + QStringLiteral("A=").repeated(147));
  ASSERT_EQ(engine.variables().ObjectCount, 297);
  translate(QStringLiteral("A+"));
  EXPECT_TRUE(boxes.texts().isEmpty());
  EXPECT_EQ(engine.variables().ObjectCount, 300);
  EXPECT_EQ(code(engine).last(), u"STOR T$01");
  EXPECT_EQ(engine.variables().ObjectBuffer.at(300), ObjectInstruction{}); // never written

  engine.Command2_Click();
  translate(QStringLiteral("A") + QStringLiteral("A=").repeated(149));
  ASSERT_EQ(engine.variables().ObjectCount, 298);
  for (const char16_t* op : {u"A+", u"A=", u"－"}) {
    boxes.clear();
    translate(q(op));
    EXPECT_EQ(boxes.texts(), QStringList{bufferOverflowMessage()});
    EXPECT_EQ(engine.variables().ObjectCount, 298);
    EXPECT_EQ(engine.view().Text2, u"");
  }
  EXPECT_EQ(engine.variables().WorkCounter, 0); // no work variable was allocated
}

TEST_F(TranslationEngineTest, MissingOperandsAreReportedAndTheTemplateStillEmits) {
  translate(QStringLiteral("+"));
  EXPECT_EQ(boxes.texts(), QStringList{u"スタック空"_s});
  EXPECT_EQ(code(engine), qs({u"LOAD", u"ADD", u"STOR T$00"}));
  EXPECT_EQ(engine.program().at(0).Operand, u"");

  engine.Command2_Click();
  boxes.clear();
  translate(QStringLiteral("A-"));
  EXPECT_EQ(boxes.texts(), QStringList{u"スタック空"_s});
  EXPECT_EQ(engine.view().lblOpe1, u"");
  EXPECT_EQ(engine.view().lblOpe2, u"A");
  EXPECT_EQ(code(engine), qs({u"LOAD", u"SUB A", u"STOR T$00"}));

  engine.Command2_Click();
  boxes.clear();
  translate(QStringLiteral("="));
  EXPECT_EQ(code(engine), qs({u"LOAD", u"STOR"}));
  EXPECT_EQ(cells(engine.view()), QStringList{QString()});
}

TEST_F(TranslationEngineTest, TraceBoxesFollowEveryMoveOfTheOneShotRun) {
  engine.setText1(QStringLiteral("A"));
  engine.Command1_Click();
  EXPECT_EQ(boxes.texts(),
            qs({u"ポーランド記法取出し", u"実行途中", u"値プッシュ", u"ポーランド記法取出し"}));
  // A second press finds the box empty: one read, nothing else changes.
  boxes.clear();
  const std::vector<ObjectInstruction> before = engine.program();
  engine.Command1_Click();
  EXPECT_EQ(boxes.texts(), qs({u"ポーランド記法取出し"}));
  EXPECT_EQ(engine.program(), before);
  EXPECT_EQ(cells(engine.view()), QStringList{u"A"_s});
  EXPECT_EQ(engine.variables().SavedExpression, u"");
}

TEST_F(TranslationEngineTest, ResetPutsBackTheSavedExpressionAndKeepsColours) {
  engine.Command2_Click(); // nothing saved yet
  EXPECT_EQ(engine.view().Text1, u"");

  translate(QStringLiteral("XAB+="));
  optimise();
  engine.Command5_Click(); // leaves the table white
  engine.setText1(QStringLiteral("YAB+"));
  engine.Command3_Click(); // auto-run on YAB+: the list blinks yellow at phase 6
  engine.Command4_Click();
  ASSERT_TRUE(tickUntil(kBlinkList));
  engine.Timer1_Timer();
  engine.Timer1_Timer();
  ASSERT_EQ(engine.view().List1Mark, Mark::Yellow);
  engine.Command2_Click();
  EXPECT_EQ(engine.view().Text1, u"YAB+");
  EXPECT_EQ(engine.variables().ObjectCount, 0);
  EXPECT_EQ(engine.variables().WorkCounter, 0);
  EXPECT_EQ(engine.view().lblPtr, u"0");
  EXPECT_TRUE(engine.view().List1.isEmpty());
  EXPECT_EQ(engine.view().List1Mark, Mark::Yellow); // not touched by the reset
  EXPECT_EQ(engine.driver().phase(), kBlinkList);   // nor is the phase
}

TEST_F(TranslationEngineTest, OptimiserWorkedExampleWithItsThreeBoxes) {
  translate(QStringLiteral("XABC*DE-/+F-="));
  struct Seen {
    QStringList listing;
    QStringList red;
    int count;
  };
  std::vector<Seen> seen;
  boxes.onBox = [&] {
    seen.push_back(
        {engine.view().List1, marked(engine.view(), Mark::Red), engine.variables().ObjectCount});
  };
  engine.Command5_Click();
  EXPECT_EQ(boxes.texts(),
            qs({u"*useless*と表示されている命令は無駄です。\r\n\r\n無駄な命令を削除します。"
                u"*useless*と表示",
                u"命令中に使用されていない作業変数をチェックします。",
                u"命令中で使用されていない作業変数が赤で示されています。\r\n\r\n"
                u"無駄な作業変数を削除します."}));
  ASSERT_EQ(seen.size(), 3u);
  // First box: pairs 11-12 and 14-15 are marked in the listing.
  ASSERT_EQ(seen[0].listing.size(), 17);
  for (int i = 0; i < 17; ++i) {
    const bool useless = i == 11 || i == 12 || i == 14 || i == 15;
    EXPECT_EQ(seen[0].listing.at(i).left(11), useless ? u" *useless* " : u"           ") << i;
  }
  EXPECT_EQ(seen[0].listing.at(11), u" *useless* STOR   T$03");
  // Second box: the pairs are gone.
  EXPECT_EQ(seen[1].count, 13);
  EXPECT_FALSE(seen[1].listing.join(QString()).contains(u"*useless*"_s));
  // Third box: the two unreferenced work variables are red.
  EXPECT_EQ(seen[2].red, qs({u"T$03", u"T$04"}));

  EXPECT_EQ(code(engine), kOptimisedCode);
  EXPECT_EQ(engine.VariableTable(),
            qs({u"X", u"A", u"B", u"C", u"T$00", u"D", u"E", u"T$01", u"T$02", u"F"}));
  for (int i = 10; i < kNameLabels; ++i)
    EXPECT_EQ(engine.view().lblName.at(static_cast<std::size_t>(i)), u"") << i;
  EXPECT_TRUE(marked(engine.view(), Mark::Red).isEmpty());
  EXPECT_TRUE(marked(engine.view(), Mark::Blue).isEmpty());
  // lblPtr is written by the next refresh, not by the optimiser.
  EXPECT_EQ(engine.view().lblPtr, u"12");
}

TEST_F(TranslationEngineTest, OptimiserCases) {
  const struct {
    const char16_t* input;
    std::initializer_list<const char16_t*> optimised;
    std::initializer_list<const char16_t*> red;
    std::initializer_list<const char16_t*> table;
  } cases[] = {
      // The chained assignment: the pair STOR X / LOAD X goes like a work-variable pair.
      {u"YXAB+==", {u"LOAD A", u"ADD B", u"STOR Y"}, {u"T$00"}, {u"Y", u"A", u"B"}},
      // A store followed by a load of another name stays.
      {u"XA=YB=", {u"LOAD A", u"STOR X", u"LOAD B", u"STOR Y"}, {}, {u"X", u"A", u"Y", u"B"}},
      // STOR X; LOAD X; STOR X: only the first two are a pair.
      {u"XA=X=", {u"LOAD A", u"STOR X"}, {}, {u"X", u"A"}},
      // A name left on the stack by an incomplete expression leaves without being red.
      {u"ABC+", {u"LOAD B", u"ADD C", u"STOR T$00"}, {}, {u"B", u"C", u"T$00"}},
      // Nothing to do.
      {u"", {}, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(QString(q(c.input)).toStdString());
    engine.Command2_Click();
    translate(q(c.input));
    QStringList red;
    boxes.onBox = [&] {
      if (boxes.boxes().size() == 3)
        red = marked(engine.view(), Mark::Red);
    };
    boxes.clear();
    engine.Command5_Click();
    EXPECT_EQ(boxes.boxes().size(), 3u);
    EXPECT_EQ(code(engine), qs(c.optimised));
    EXPECT_EQ(red, qs(c.red));
    EXPECT_EQ(engine.VariableTable(), qs(c.table));
    EXPECT_EQ(engine.view().List1.size(), static_cast<qsizetype>(c.optimised.size()));
    boxes.onBox = nullptr;
  }
  // The marking clears the marks of an earlier one: a second optimisation changes nothing.
  translate(QStringLiteral("XABC*DE-/+F-="));
  engine.Command5_Click();
  const std::vector<ObjectInstruction> once = engine.program();
  engine.Command5_Click();
  EXPECT_EQ(engine.program(), once);
}

TEST_F(TranslationEngineTest, HandOffOfTheOptimisedExampleLineByLine) {
  translate(QStringLiteral("XABC*DE-/+F-="));
  optimise();
  const QString source = engine.BuildAssemblerSource();
  EXPECT_FALSE(source.endsWith(u"\r\n"_s));
  const QStringList lines = source.split(QStringLiteral("\r\n"));
  ASSERT_EQ(lines.size(), 24);
  const QStringList operations =
      qs({u"LOAD", u"MULT", u"STOR", u"LOAD", u"SUB",  u"STOR", u"LOAD", u"DIV",
          u"STOR", u"LOAD", u"ADD",  u"SUB",  u"STOR", u"SVC",  u"DC",   u"DC",
          u"DC",   u"DC",   u"DC",   u"DC",   u"DC",   u"DA",   u"DA",   u"DA"});
  const QStringList labels = QStringList(14, QString()) + qs({u"X", u"A", u"B", u"C", u"D", u"E",
                                                              u"F", u"T$00", u"T$01", u"T$02"});
  const QStringList operands = qs({u"B",    u"C", u"T$00", u"D", u"E", u"T$01", u"T$00", u"T$01",
                                   u"T$02", u"A", u"T$02", u"F", u"X", u"0",    u"1",    u"2",
                                   u"3",    u"4", u"5",    u"6", u"7", u"1",    u"1",    u"1"});
  for (int i = 0; i < 24; ++i) {
    const QString& line = lines.at(i);
    EXPECT_EQ(line.left(11), labels.at(i).leftJustified(11)) << i;
    EXPECT_EQ(line.mid(11, 7), operations.at(i).leftJustified(7)) << i;
    EXPECT_EQ(line.mid(18), operands.at(i)) << i;
  }
  EXPECT_EQ(lines.at(13), u"           SVC    0");
  EXPECT_EQ(lines.at(14), u"X          DC     1");
  EXPECT_EQ(lines.at(23), u"T$02       DA     1");
}

TEST_F(TranslationEngineTest, HandOffOfUnoptimisedCodeKeepsEveryPair) {
  EXPECT_EQ(engine.BuildAssemblerSource(), u"           SVC    0"); // empty buffer and table
  translate(QStringLiteral("XABC*DE-/+F-="));
  const QStringList lines = engine.BuildAssemblerSource().split(QStringLiteral("\r\n"));
  ASSERT_EQ(lines.size(), 17 + 1 + 7 + 5);
  EXPECT_EQ(lines.at(11), u"           STOR   T$03");
  EXPECT_EQ(lines.at(12), u"           LOAD   T$03");
  EXPECT_EQ(lines.mid(25),
            qs({u"T$00       DA     1", u"T$01       DA     1", u"T$02       DA     1",
                u"T$03       DA     1", u"T$04       DA     1"}));
  // Marks never reach the hand-off.
  engine.MarkUselessInstructions();
  EXPECT_FALSE(engine.BuildAssemblerSource().contains(u"*useless*"_s));
}

TEST_F(TranslationEngineTest, AutoRunCycleOfTheExample) {
  engine.setText1(QStringLiteral("XABC*DE-/+F-="));
  engine.Command3_Click();
  EXPECT_EQ(engine.driver().interval(), 200);
  EXPECT_EQ(engine.driver().phase(), kRestart);
  engine.setText1(QString()); // the restart puts the saved expression back

  struct Tick {
    std::int16_t phase;
    QString caption;
    Mark top, list, frame;
  };
  std::vector<Tick> ticks;
  do {
    engine.Timer1_Timer();
    const TranslationView& v = engine.view();
    const Mark top = v.StackCount > 0
                         ? v.lblValueMark.at(static_cast<std::size_t>(v.StackCount - 1))
                         : Mark::White;
    ticks.push_back({engine.driver().phase(), v.Label4, top, v.List1Mark, v.Frame3Mark});
  } while (engine.driver().phase() != kRestart && ticks.size() < 1000);
  EXPECT_TRUE(boxes.texts().isEmpty());
  // 1 restart + 13 symbols x 3 + the end read + 10 + 1 + 10 + 1 + 1 + 10 + 1 + 6.
  ASSERT_EQ(ticks.size(), 81u);

  std::vector<std::int16_t> expected{kRead};
  for (int symbol = 0; symbol < 13; ++symbol)
    expected.insert(expected.end(), {kTranslate, kPush, kRead});
  const auto repeat = [&expected](std::int16_t phase, int times) {
    expected.insert(expected.end(), static_cast<std::size_t>(times), phase);
  };
  repeat(kTranslationEnd, 10);
  expected.push_back(kMarkInstructions);
  repeat(kBlinkList, 10);
  expected.push_back(kDeleteInstructions);
  expected.push_back(kMarkVariables);
  repeat(kBlinkTable, 10);
  expected.push_back(kDeleteVariables);
  repeat(kOptimisationDone, 6);
  expected.push_back(kRestart);
  std::vector<std::int16_t> phases;
  for (const Tick& t : ticks)
    phases.push_back(t.phase);
  EXPECT_EQ(phases, expected);

  // Captions and colours tick by tick (ticks counted from 1).
  const auto at = [&ticks](int tick) { return ticks.at(static_cast<std::size_t>(tick - 1)); };
  EXPECT_EQ(at(41).caption, u"変数Push"); // the end read changes nothing on the screen
  for (int tick = 42; tick <= 50; ++tick) {
    EXPECT_EQ(at(tick).caption, u"正常終了") << tick;
    EXPECT_EQ(at(tick).top, tick % 2 == 0 ? Mark::White : Mark::Yellow) << tick; // 9 first
  }
  EXPECT_EQ(at(51).caption, u"");
  EXPECT_EQ(at(52).caption, u"無駄な命令の削除");
  for (int tick = 53; tick <= 61; ++tick) {
    EXPECT_EQ(at(tick).caption, u"無駄な命令削除") << tick;
    EXPECT_EQ(at(tick).list, tick % 2 != 0 ? Mark::White : Mark::Yellow) << tick;
  }
  EXPECT_EQ(at(62).caption, u"");
  EXPECT_EQ(at(62).list, Mark::White);
  EXPECT_EQ(at(64).caption, u"無駄な変数の削除");
  for (int tick = 65; tick <= 73; ++tick) {
    EXPECT_EQ(at(tick).caption, u"無駄な変数削除") << tick;
    EXPECT_EQ(at(tick).frame, tick % 2 != 0 ? Mark::ButtonFace : Mark::Yellow) << tick;
    EXPECT_EQ(at(tick).list, Mark::White) << tick;
  }
  for (int tick = 76; tick <= 80; ++tick) {
    EXPECT_EQ(at(tick).caption, u"最適化完了") << tick;
    const Mark even = tick % 2 != 0 ? Mark::Yellow : Mark::White; // count 5 first: odd
    EXPECT_EQ(at(tick).list, even) << tick;
    EXPECT_EQ(at(tick).frame, even == Mark::White ? Mark::ButtonFace : Mark::Yellow) << tick;
  }
  EXPECT_EQ(at(81).caption, u"");
  EXPECT_EQ(at(81).list, Mark::White);
  EXPECT_EQ(at(81).frame, Mark::ButtonFace);
  // The cycle leaves the optimised code, and the next tick starts the same expression again.
  EXPECT_EQ(code(engine), kOptimisedCode);
  EXPECT_EQ(engine.VariableTable().size(), 10);
  engine.Timer1_Timer();
  EXPECT_EQ(engine.view().Text1, u"XABC*DE-/+F-=");
  EXPECT_EQ(engine.variables().ObjectCount, 0);
}

TEST_F(TranslationEngineTest, AutoRunReportsAnAbnormalEndForALeftoverStack) {
  engine.setText1(QStringLiteral("XAB"));
  engine.Command3_Click();
  ASSERT_TRUE(tickUntil(kTranslationEnd));
  engine.Timer1_Timer();
  EXPECT_EQ(engine.view().StackCount, 3);
  EXPECT_EQ(engine.view().Label4, u"異常終了");
  EXPECT_EQ(engine.view().lblValueMark.at(2), Mark::White);
  engine.Timer1_Timer();
  EXPECT_EQ(engine.view().lblValueMark.at(2), Mark::Yellow);
  EXPECT_EQ(engine.view().lblValueMark.at(1), Mark::Red);
  // An empty stack blinks nothing but still reports.
  engine.setText1(QString());
  engine.Command3_Click();
  ASSERT_TRUE(tickUntil(kTranslationEnd));
  engine.Timer1_Timer();
  EXPECT_EQ(engine.view().Label4, u"異常終了");
}

TEST_F(TranslationEngineTest, StartStopAndTicksHeldWhileABoxIsOpen) {
  engine.setText3(QStringLiteral("70000"));
  engine.Command3_Click();
  EXPECT_EQ(boxes.texts(), QStringList{timerIntervalRangeMessage()});
  EXPECT_EQ(engine.driver().interval(), 0);
  boxes.clear();
  engine.setText3(QStringLiteral("200.5"));
  engine.Command3_Click();
  EXPECT_EQ(engine.driver().interval(), 200);
  engine.Command4_Click();
  EXPECT_EQ(engine.driver().interval(), 0);

  // The optimiser's boxes hold the ticks that arrive while they are open.
  engine.Command2_Click();
  translate(QStringLiteral("XAB+="));
  engine.Command3_Click();
  std::vector<std::int16_t> phases;
  boxes.onBox = [&] {
    engine.Timer1_Timer();
    phases.push_back(engine.driver().phase());
  };
  engine.Command5_Click();
  EXPECT_EQ(phases, std::vector<std::int16_t>(3, kRestart));
}

TEST_F(TranslationEngineTest, ATranslationDuringTheOptimisationSendsTheCycleBackToTheEnd) {
  // Auto-run of the chained assignment up to the blinking of the marked table.
  engine.setText1(QStringLiteral("YXAB+=="));
  engine.Command3_Click();
  ASSERT_TRUE(tickUntil(kBlinkTable));
  EXPECT_EQ(marked(engine.view(), Mark::Red), QStringList{u"T$00"_s});
  // The user translates Z = X while the table blinks: X, unreferenced when it was marked, is
  // used again, and Z is a new entry. The read puts the cycle back to phase 2, so the end
  // display and a fresh marking come before any deletion.
  translate(QStringLiteral("ZX="));
  EXPECT_EQ(engine.driver().phase(), kTranslate);
  ASSERT_TRUE(tickUntil(kOptimisationDone));
  EXPECT_EQ(code(engine), qs({u"LOAD A", u"ADD B", u"STOR Y", u"LOAD X", u"STOR Z"}));
  EXPECT_EQ(engine.VariableTable(), qs({u"Y", u"X", u"A", u"B", u"Z"}));
  // The push phase pushed the register once more.
  EXPECT_EQ(cells(engine.view()), qs({u"Y", u"Z", u"Z"}));
}

TEST_F(TranslationEngineTest, UnloadRestoresTheControlsAndKeepsTheFormVariables) {
  translate(QStringLiteral("XAB+="));
  engine.setText3(QStringLiteral("300"));
  engine.Command3_Click();
  engine.unload();
  EXPECT_EQ(engine.view().Text1, u"XABC*DE-/+F-=");
  EXPECT_EQ(engine.view().Text3, u"200");
  EXPECT_EQ(engine.view().lblPtr, u"Label7");
  EXPECT_EQ(engine.driver().interval(), 0);
  EXPECT_EQ(engine.variables().SavedExpression, u"");
  engine.Form_Load();
  EXPECT_EQ(engine.view().lblPtr, u"0");
  EXPECT_EQ(engine.variables().ObjectCount, 0);
}

} // namespace
} // namespace rpn::translation
