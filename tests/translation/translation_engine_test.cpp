#include "support/recording_dialogs.h"
#include "support/state_harness.h"
#include "translation/translation_engine.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace rpn::translation {
namespace {

using namespace Qt::StringLiterals;
using test::RecordingDialogs;

// "LOAD A; ADD B" as a list; the empty text as the empty list.
QStringList qs(const QString& texts) {
  return texts.split(u"; "_s, Qt::SkipEmptyParts);
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

// Entries of the table with the given mark.
QStringList marked(const TranslationView& view, Mark mark) {
  QStringList names;
  for (std::size_t i = 0; i < view.lblName.size(); ++i)
    if (view.lblNameMark.at(i) == mark)
      names << view.lblName.at(i);
  return names;
}

// A line in three columns: label (11 characters), operation (7), operand.
QString line(const QString& label, const QString& operation, const QString& operand) {
  return label.leftJustified(11) + operation.leftJustified(7) + operand;
}

// The listing of code() texts; the instructions at the positions given carry the optimiser's mark.
QStringList listing(const QStringList& program, std::initializer_list<qsizetype> useless = {}) {
  QStringList lines;
  for (qsizetype i = 0; i < program.size(); ++i) {
    const bool mark = std::find(useless.begin(), useless.end(), i) != useless.end();
    lines << line(mark ? u" *useless* "_s : QString(), program[i].section(u' ', 0, 0),
                  program[i].section(u' ', 1));
  }
  return lines;
}

const QString kExample = u"XABC*DE-/+F-="_s;
const QString kCommonStart =
    u"LOAD B; MULT C; STOR T$00; LOAD D; SUB E; STOR T$01; LOAD T$00; DIV T$01; STOR T$02; "_s;
const QStringList kExampleCode =
    qs(kCommonStart +
       u"LOAD A; ADD T$02; STOR T$03; LOAD T$03; SUB F; STOR T$04; LOAD T$04; STOR X"_s);
const QStringList kOptimisedCode = qs(kCommonStart + u"LOAD A; ADD T$02; SUB F; STOR X"_s);
const QString kTableFull = u"変数表がオーバフローしました"_s;

class TranslationEngineTest : public ::testing::Test {
protected:
  TranslationEngineTest() { engine.Form_Load(); }

  void translate(const QString& input) {
    engine.setCheck1(false);
    engine.setText1(input);
    engine.Command1_Click();
  }
  RecordingDialogs boxes;
  TranslationEngine engine{boxes};
};

TEST_F(TranslationEngineTest, WorkedExampleFillsTheTableTheListingAndTheStack) {
  translate(kExample);
  EXPECT_TRUE(boxes.texts().isEmpty());
  EXPECT_EQ(engine.VariableTable(), qs(u"X; A; B; C; T$00; D; E; T$01; T$02; T$03; F; T$04"_s));
  EXPECT_EQ(code(engine), kExampleCode);
  EXPECT_EQ(cells(engine.view()), QStringList{u"X"_s});
  EXPECT_EQ(engine.view().lblPtr, u"12");
  EXPECT_EQ(marked(engine.view(), Mark::Blue), QStringList{u"F"_s}); // the last name read
  // A name met again is not entered twice; its entry turns blue.
  translate(u"A"_s);
  EXPECT_EQ(engine.state().VariableCount, 12);
  EXPECT_EQ(marked(engine.view(), Mark::Blue), QStringList{u"A"_s});
}

// The templates of the four operations and "=" are in the worked example's code.
TEST_F(TranslationEngineTest, SignsAppendTheirTemplatesAndOperatorsEvenWithMissingOperands) {
  const struct {
    const char16_t *input, *code, *pushed, *boxes = u"";
  } cases[] = {{u"X5=", u"LOAD 5; STOR X", u"X"}, // any other character is a name
               {u"XA＋=", u"LOAD A; STOR X", u"X"},
               {u"XA－=", u"LOAD A; MINUS; STOR T$00; LOAD T$00; STOR X", u"X"},
               {u"A＋", u"", u"A"},
               {u"+", u"LOAD; ADD; STOR T$00", u"T$00", u"スタック空"},
               {u"A-", u"LOAD; SUB A; STOR T$00", u"T$00", u"スタック空"},
               {u"=", u"LOAD; STOR", u"", u"スタック空"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(QString::fromUtf16(c.input).toStdString());
    engine.Command2_Click();
    boxes.clear();
    translate(QString::fromUtf16(c.input));
    EXPECT_EQ(code(engine), qs(QString::fromUtf16(c.code)));
    EXPECT_EQ(cells(engine.view()), QStringList{QString::fromUtf16(c.pushed)});
    EXPECT_EQ(boxes.texts(), qs(QString::fromUtf16(c.boxes)));
  }
}

TEST_F(TranslationEngineTest, TheTableTakesThirteenEntriesAndRefusesANameOrAWorkVariableMore) {
  translate(u"ABCDEFGHIJ++K"_s);
  EXPECT_TRUE(boxes.texts().isEmpty());
  EXPECT_EQ(engine.VariableTable(), qs(u"A; B; C; D; E; F; G; H; I; J; T$00; T$01; K"_s));
  // A fourteenth name: the table and the register stay, so K is pushed again.
  translate(u"L"_s);
  EXPECT_EQ(boxes.texts(), QStringList{kTableFull});
  EXPECT_EQ(engine.state().VariableCount, 13);
  EXPECT_EQ(cells(engine.view()).mid(8), qs(u"K; K"_s));
  // A fourteenth work variable: no STOR, an empty name is pushed, and the number T$02 is used.
  boxes.clear();
  translate(u"+"_s);
  EXPECT_EQ(boxes.texts(), QStringList{kTableFull});
  EXPECT_EQ(code(engine).mid(6), qs(u"LOAD K; ADD K"_s));
  EXPECT_EQ(cells(engine.view()).last(), u"");
  translate(u"A"_s); // a name already in the full table is still found
  EXPECT_EQ(boxes.texts(), QStringList{kTableFull});
  engine.Command5_Click();
  translate(u"+"_s);
  EXPECT_EQ(code(engine).last(), u"STOR T$03");
}

TEST_F(TranslationEngineTest, ATemplateMayStartAt297ButNotAt298) {
  // "A=" appends two instructions and leaves one name on the stack.
  translate(u"AB+"_s + u"A="_s.repeated(147));
  ASSERT_EQ(engine.state().objectCount(), 297);
  translate(u"A+"_s);
  EXPECT_TRUE(boxes.texts().isEmpty());
  EXPECT_EQ(engine.state().objectCount(), 300);

  engine.Command2_Click();
  translate(u"A"_s + u"A="_s.repeated(149));
  ASSERT_EQ(engine.state().objectCount(), 298);
  for (const QString& input : qs(u"A+; A=; －"_s)) {
    boxes.clear();
    translate(input);
    EXPECT_EQ(boxes.texts(), QStringList{u"オブジェクト生成バッファオーバーフロー"_s});
    EXPECT_EQ(engine.state().objectCount(), 298);
    EXPECT_EQ(engine.view().Text2, u"");
  }
  EXPECT_EQ(engine.state().WorkCounter, 0); // no work variable was allocated
}

TEST_F(TranslationEngineTest, OptimiserMarksAndRemovesPairsThenUnreferencedEntries) {
  const struct {
    const char16_t* input;
    std::initializer_list<qsizetype> pairs; // positions marked useless
    QString optimised, red, table;
  } cases[] = {
      {u"XABC*DE-/+F-=",
       {11, 12, 14, 15},
       kOptimisedCode.join(u"; "),
       u"T$03; T$04"_s,
       u"X; A; B; C; T$00; D; E; T$01; T$02; F"_s},
      // The chained assignment: of the pair STOR X / LOAD X only the load goes, X keeps its value.
      {u"YXAB+==", {2, 3, 5}, u"LOAD A; ADD B; STOR X; STOR Y"_s, u"T$00"_s, u"Y; X; A; B"_s},
      {u"ZYXA－===",
       {2, 3, 5, 7},
       u"LOAD A; MINUS; STOR X; STOR Y; STOR Z"_s,
       u"T$00"_s,
       u"Z; Y; X; A"_s},
      // A store followed by a load of another name stays.
      {u"XA=YB=", {}, u"LOAD A; STOR X; LOAD B; STOR Y"_s, {}, u"X; A; Y; B"_s},
      // STOR X; LOAD X; STOR X: only the first two are a pair, and of it only the load goes.
      {u"XA=X=", {2}, u"LOAD A; STOR X; STOR X"_s, {}, u"X; A"_s},
      // An assignment used as an operand: the value stays in the register for the next operation.
      {u"XA=B+", {2}, u"LOAD A; STOR X; ADD B; STOR T$00"_s, {}, u"X; A; B; T$00"_s},
      // A name left on the stack by an incomplete expression leaves without being red.
      {u"ABC+", {}, u"LOAD B; ADD C; STOR T$00"_s, {}, u"B; C; T$00"_s},
      {u"", {}, {}, {}, {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(QString::fromUtf16(c.input).toStdString());
    engine.Command2_Click();
    translate(QString::fromUtf16(c.input));
    const QStringList translated = code(engine);
    std::vector<std::pair<QStringList, QStringList>> seen; // listing and red entries at each box
    boxes.clear();
    boxes.onBox = [&] { seen.emplace_back(engine.view().List1, marked(engine.view(), Mark::Red)); };
    engine.Command5_Click();
    EXPECT_EQ(boxes.texts(),
              (QStringList{u"*useless*と表示されている命令は無駄です。\r\n\r\n"
                           u"無駄な命令を削除します。*useless*と表示"_s,
                           u"命令中に使用されていない作業変数をチェックします。"_s,
                           u"命令中で使用されていない作業変数が赤で示されています。\r\n\r\n"
                           u"無駄な作業変数を削除します."_s}));
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].first, listing(translated, c.pairs));
    EXPECT_EQ(seen[1], std::pair(listing(qs(c.optimised)), QStringList())); // nothing red yet
    EXPECT_EQ(seen[2].second, qs(c.red));
    EXPECT_EQ(code(engine), qs(c.optimised));
    const QStringList table = qs(c.table);
    EXPECT_EQ(engine.VariableTable(), table);
    EXPECT_EQ(engine.view().lblPtr, QString::number(table.size()));
    EXPECT_EQ(engine.view().lblName.at(static_cast<std::size_t>(table.size())), u"");
    EXPECT_TRUE(marked(engine.view(), Mark::Red).isEmpty());
    boxes.onBox = nullptr;
  }
}

// A drawn listing keeps the lines that already show their instruction: a line shows one exactly
// when it is the line formatted from it (operations cut or padded to their column alike).
TEST(TranslationListingLine, ShowsAnInstructionExactlyWhenFormattedFromIt) {
  const QString labels[] = {plainLabelColumn(), uselessLabelColumn(), u"X"_s};
  const ObjectInstruction instructions[] = {
      {u"LOAD"_s, u"A"_s},    {u"LOAD"_s, u"AB"_s},    {u"MINUS"_s, {}},
      {u"STOR"_s, u"T$00"_s}, {u"ABCDEFGH"_s, u"X"_s}, {u"ABCDEFG"_s, u"X"_s},
      {u"ADD "_s, u"A"_s},    {u"ADD"_s, u"A"_s},      {{}, u"A"_s},
      {u"LOAD"_s, u"    A"_s}};
  for (const QString& label : labels)
    for (const ObjectInstruction& drawn : instructions) {
      const QString line = FormatInstructionLine(label, drawn);
      for (const QString& other : labels)
        for (const ObjectInstruction& instruction : instructions)
          EXPECT_EQ(ShowsInstructionLine(line, other, instruction),
                    FormatInstructionLine(other, instruction) == line)
              << line.toStdString() << " / " << instruction.Operation.toStdString();
    }
  EXPECT_EQ(FormatInstructionLine(plainLabelColumn(), {u"ABCDEFGH"_s, u"X"_s}),
            line({}, u"ABCDEFG"_s, u"X"_s));
}

// The hand-off text column for column: the code, the end, DC for each program variable valued by
// its position, DA for each work variable; marks never reach it. (The worked example's hand-off,
// optimised and not, runs on the machine in the chain.)
TEST_F(TranslationEngineTest, HandOffText) {
  EXPECT_EQ(engine.BuildAssemblerSource(), u"           SVC    0"); // empty buffer and table
  translate(u"XAB-="_s);
  const QString text = engine.BuildAssemblerSource();
  EXPECT_EQ(text, u"           LOAD   A\r\n           SUB    B\r\n           STOR   T$00\r\n"
                  u"           LOAD   T$00\r\n           STOR   X\r\n           SVC    0\r\n"
                  u"X          DC     1\r\nA          DC     2\r\nB          DC     3\r\n"
                  u"T$00       DA     1");
  engine.moves().MarkUselessInstructions();
  EXPECT_EQ(engine.BuildAssemblerSource(), text);
}

// The hand-off passes on only what the assembler reads as meant: otherwise one box says why and
// nothing is handed over.
TEST_F(TranslationEngineTest, HandOffRefusesWhatTheAssemblerWouldMisread) {
  const QString label = u"擬似アセンブラのラベルにできない変数名です: [%1]"_s;
  const QString empty = u"オペランドが空の命令は擬似アセンブラに渡せません: [%1]"_s;
  const QString words = u"擬似アセンブラのメモリに収まりません(最大201語): [%1語]"_s;
  const QString lines = u"擬似アセンブラの行数が多すぎます(空白行を除き最大101行): [%1行]"_s;
  // Rounds of an assignment to the X left on the stack, each optimised: LOAD A; ADD B; STOR X
  // (6 words) or LOAD A; MINUS; STOR X (5 words), three lines each.
  const auto rounds = [&](const QString& round, int count) {
    translate(u"X"_s + round);
    engine.Command5_Click();
    for (int i = 1; i < count; ++i) {
      translate(round);
      engine.Command5_Click();
    }
  };
  const struct {
    std::function<void()> setUp;
    QString box; // empty: handed over
  } cases[] = {
      {[&] { translate(u"X1="_s); }, label.arg(u"1")},
      {[&] { translate(u"X&="_s); }, label.arg(u"&")},
      {[&] { translate(u"X,="_s); }, label.arg(u",")},
      {[&] { translate(u"X =B+"_s); }, label.arg(u" ")},
      {[&] { translate(u"X\t="_s); }, label.arg(u"\t")},
      {[&] { translate(u"X\u3000="_s); }, label.arg(u"\u3000")},
      {[&] { translate(u"Xa＋="_s); }, {}}, // lower case and a full-width sign are labels
      {[&] { translate(u"XA－="_s); }, {}}, // MINUS has no operand
      // "スタック空" leaves empty operands: today they would address word 0.
      {[&] { translate(u"+"_s); }, empty.arg(u"1行目 LOAD")},
      {[&] { translate(u"A-"_s); }, empty.arg(u"1行目 LOAD")},
      {[&] { translate(u"XA=="_s); }, empty.arg(u"4行目 STOR")},
      // A full table pushes an empty name: 11 sums fill it, the 13th "+" loads the empty name.
      {[&] { translate(u"A"_s + u"B+"_s.repeated(120)); }, empty.arg(u"36行目 LOAD")},
      // The optimiser drops a name still on the stack from the table; a later operator loads it.
      {[&] {
         translate(u"ABC+"_s);
         engine.Command5_Click();
         translate(u"+"_s);
       },
       u"変数名テーブルにない変数は擬似アセンブラに渡せません: [4行目 LOAD A]"_s},
      // A name typed into the value register is in no table entry.
      {[&] {
         engine.setText1(u"A"_s);
         engine.moves().ReadSymbol();
         engine.moves().TranslateSymbol();
         engine.setText2(u"Q"_s);
         engine.moves().PushValue();
         translate(u"A+"_s);
       },
       u"変数名テーブルにない変数は擬似アセンブラに渡せません: [1行目 LOAD Q]"_s},
      // The machine's 201 words and the assembler's 101 lines (blank lines aside).
      {[&] { rounds(u"AB+="_s, 33); }, words.arg(202)},
      {[&] { // 201 words fit; the 103 lines do not
         rounds(u"AB+="_s, 32);
         translate(u"A－="_s);
         engine.Command5_Click();
       },
       lines.arg(103)},
      {[&] {
         rounds(u"A－="_s, 32);
         translate(u"A="_s);
       },
       {}}, // 101 lines, 167 words
      {[&] { rounds(u"A－="_s, 33); }, lines.arg(102)},
  };
  for (const auto& c : cases) {
    engine.Command2_Click();
    c.setUp();
    SCOPED_TRACE(code(engine).join(u"; "_s).toStdString());
    boxes.clear();
    const std::optional<QString> handOff = engine.Command6_Click();
    EXPECT_EQ(boxes.texts(), c.box.isEmpty() ? QStringList() : QStringList{c.box});
    EXPECT_EQ(handOff,
              c.box.isEmpty() ? std::optional(engine.BuildAssemblerSource()) : std::nullopt);
  }
}

// The one-press buttons stop a running auto-run first. "変換開始" finishes the auto-run's
// translation (the symbol in hand is translated and pushed once) at every tick before the end:
// the state is that of one press from the start; the optimiser and the hand-off act on what is
// there.
TEST_F(TranslationEngineTest, APressDuringAutoRunStopsItFirst) {
  const auto startAndTick = [&](int ticks) {
    engine.Command4_Click();
    engine.Command2_Click();
    engine.setText1(kExample);
    engine.Command3_Click();
    for (int i = 0; i < ticks; ++i)
      engine.Timer1_Timer();
    boxes.clear();
  };
  translate(kExample);
  TranslationState finished = engine.state();
  for (int ticks = 0;; ++ticks) {
    SCOPED_TRACE(ticks);
    startAndTick(ticks);
    const bool ended = engine.state().clock.phase == kTranslationEnd;
    engine.setCheck1(false);
    engine.Command1_Click();
    // Apart from the way: stopped at the phase of the last read, the end display begun.
    finished.clock = engine.state().clock;
    finished.BlinkCount = engine.state().BlinkCount;
    finished.view.Label4 = engine.view().Label4;
    finished.view.lblValueMark = engine.view().lblValueMark;
    EXPECT_FALSE(engine.driver().running());
    EXPECT_TRUE(engine.state() == finished);
    EXPECT_TRUE(boxes.texts().isEmpty());
    if (ended)
      break;
  }
  // In the middle of the auto-run's optimisation the button optimises at once.
  startAndTick(1 + 13 * 3 + 1 + 10 + 1 + 3); // marked, blinking the listing
  ASSERT_EQ(engine.state().clock.phase, kBlinkList);
  engine.Command5_Click();
  EXPECT_FALSE(engine.driver().running());
  EXPECT_EQ(code(engine), kOptimisedCode);
  EXPECT_EQ(engine.state().VariableCount, 10);
  // The hand-off hands the state as it is.
  startAndTick(1 + 3 * 3);
  EXPECT_EQ(engine.Command6_Click(), engine.BuildAssemblerSource());
  EXPECT_FALSE(engine.driver().running());
}

// Every state of a traced translation and optimisation, and of a whole auto-run cycle, comes
// again from a snapshot.
TEST_F(TranslationEngineTest, TracedPressesAndAWholeAutoRunCycleReplayFromSnapshots) {
  const auto press = [](TranslationEngine& e) {
    e.setCheck1(true);
    e.Command1_Click();
    e.Command5_Click();
  };
  EXPECT_EQ(test::expectPressReplay(engine, boxes, press), 40u + 3u);
  engine.Command2_Click();
  engine.Command3_Click();
  test::expectSnapshotReplay(
      engine, [&] { engine.Timer1_Timer(); }, 82, 4);
}

} // namespace
} // namespace rpn::translation
