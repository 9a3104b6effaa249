#include "machine_fixture.h"

#include <vector>

namespace rpn::machine {
namespace {

using AssemblerTest = MachineFixture;
// The label table as "name=address" in hexadecimal.
QString labels(const AssemblyTables& tables) {
  QStringList list;
  for (const LabelEntry& entry : tables.Labels) {
    list << entry.Name + u'=' + QString::number(entry.Value, 16).toUpper();
  }
  return list.join(u' ');
}

const QString kEndOutput = u"\r\n* 45\r\nプログラムの終了です."_s;

struct SampleCase {
  int item;
  QString listing; // golden file
  int programSize;
  QString labels;
  int steps;
};

class Samples : public MachineFixture, public ::testing::WithParamInterface<SampleCase> {};

// A sample is the source column of its listing; it assembles to that listing over a used machine,
// writing only the listed words, and runs to its end, twice alike.
TEST_P(Samples, AssembleToTheirListingAndRunToTheirEnd) {
  const SampleCase& c = GetParam();
  const QString listing = goldenListing(c.listing);
  MachineState used;
  used.Register[3] = 77;
  used.Status = {0, 0, 1};
  used.ExecAddress = 6;
  used.Memory[150] = 1234; // beyond the image
  engine.moves().restoreMachine(used);
  engine.List1_Click(c.item);
  MachineState expected = used;
  expected.ProgramSize = static_cast<std::int16_t>(c.programSize);
  QString source;
  for (const QString& line : listing.split(u"\r\n"_s, Qt::SkipEmptyParts)) {
    source += line.mid(19) + u"\r\n"_s;
    int address = line.left(4).toInt(nullptr, 16);
    for (const QString& word : line.mid(7, 9).split(u' ', Qt::SkipEmptyParts))
      expected.Memory[static_cast<std::size_t>(address++)] = word.toInt(nullptr, 16);
  }
  EXPECT_EQ(engine.view().Text1, source);
  for (int pass = 0; pass < 2; ++pass) {
    engine.Command1_Click();
    EXPECT_EQ(engine.view().Text2, listing);
    EXPECT_EQ(engine.state().machine, expected);
    EXPECT_EQ(labels(engine.state().tables), c.labels);
  }

  engine.Command3_Click();
  EXPECT_EQ(stepsToEnd(), c.steps);
  EXPECT_EQ(engine.view().Text3, kEndOutput);
  EXPECT_EQ(engine.view().txtRegister[0], u"002D"_s);
  // The program initialises its own data, so pressing on runs it the same again.
  const MachineScreenState start = engine.state();
  EXPECT_EQ(stepsToEnd(), c.steps);
  EXPECT_EQ(engine.view().Text3, kEndOutput + kEndOutput);
  const MachineScreenState pressed = engine.state();

  // Trace mode ends in the same state, three boxes an instruction later, but for the trace
  // switch (auto-run against the presses: fuzz/emulator_fuzz.cpp).
  engine.restore(start);
  engine.setCheck1(true);
  for (int i = 0; i < c.steps; ++i)
    engine.Command2_Click();
  EXPECT_EQ(boxes.texts().size(), 3 * c.steps);
  MachineScreenState traced = engine.state();
  traced.view.Check1 = false;
  EXPECT_TRUE(traced == pressed);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, Samples,
    ::testing::Values(SampleCase{0, u"compare.lst"_s, 28, u"LOOP=8 ENDP=16 A=1A I=1B"_s, 80},
                      SampleCase{1, u"registers.lst"_s, 22, u"LOOP=6 ENDP=11 A=15"_s, 68}));

// One source, the words of its program image from address 0, and its complaints.
struct EncodingCase {
  QString source;
  std::vector<std::int32_t> words;
  QStringList boxes = {};
};

void PrintTo(const EncodingCase& c, std::ostream* os) {
  *os << c.source.toStdString();
}

// The box about a line that is not what it looks like: its number and text, then each problem.
QString lineBox(int line, const QString& source, const QStringList& problems) {
  return QStringLiteral("%1行目: ").arg(line) + source + u'\n' + problems.join(u'\n');
}
const QString kRegister = u"レジスタ番号が0～15の範囲外です(隣の欄にはみ出します): "_s;
const QString kIndex = u"インデックスレジスタ番号が0～15の範囲外です(隣の欄にはみ出します): "_s;
const QString kByte = u"オペランドが0～255の範囲外です(隣の欄にはみ出します): "_s;
const QString kNoNumber = u"オペランドが数値でもラベルでもありません(0とみなします): "_s;
const QString kTwice = u"ラベルが二重に定義されています(最初の定義を使います): "_s;

class Encodings : public ::testing::TestWithParam<EncodingCase> {};

// The assembler alone, without the screen or any box.
TEST_P(Encodings, AssembleToTheirWords) {
  const EncodingCase& c = GetParam();
  const Assembly assembly = assemble(c.source);
  EXPECT_EQ(assembly.words, c.words);
  EXPECT_EQ(assembly.complaints, c.boxes);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Operands, Encodings, ::testing::Values(
    EncodingCase{u""_s, {}},
    EncodingCase{u"\r\n LI 10\r\n\r\n  \r\n OUT 0\r\n\r\n"_s, {0xB000, 10, 0x6000}},
    EncodingCase{u" LI 1\r\n*End*\r\n LI 2"_s, {0xB000, 1}}, // *End* ends the source
    EncodingCase{u" LI -5"_s, {0xB000, -5}},
    EncodingCase{u" LI &HFF"_s, {0xB000, 255}},
    EncodingCase{u" LI &HFFFF"_s, {0xB000, -1}},        // four hexadecimal digits: 16-bit signed
    EncodingCase{u" LI &H10000"_s, {0xB000, 65536}},    // more digits: 32-bit
    EncodingCase{u" DC &HFFFFFFFF"_s, {-1}},
    EncodingCase{u" LI 2.5\r\n LI 3.5"_s, {0xB000, 2, 0xB000, 4}}, // halves to even
    EncodingCase{u" LI 1ST"_s, {0xB000, 1}},
    EncodingCase{u" LOAD 7,1,2"_s, {0xA012, 7}},
    EncodingCase{u" LOAD 7,X,Y"_s, {0xA000, 7},          // a label as a register reads 0
                 {lineBox(1, u" LOAD 7,X,Y"_s, {kNoNumber + u'X', kNoNumber + u'Y'})}},
    EncodingCase{u" ADD 5,1,2,3"_s, {0x8112, 5}},        // further commas go to the index
    EncodingCase{u" LI 0,16"_s, {0xB100, 0},             // fields spill unmasked
                 {lineBox(1, u" LI 0,16"_s, {kRegister + u"16"_s})}},
    EncodingCase{u"\r\n LI 0,15,15\r\n\r\n LOAD 1,-1,&H10\r\n OUT 255\r\n OUT 256"_s,
                 {0xB0FF, 0, 0xA000, 1, 0x60FF, 0x6100}, // -1 borrows what 16 carries
                 {lineBox(4, u" LOAD 1,-1,&H10"_s, {kRegister + u"-1"_s, kIndex + u"&H10"_s}),
                  lineBox(6, u" OUT 256"_s, {kByte + u"256"_s})}},
    EncodingCase{u" MOVR 16,1\r\n MOVR 1,X\r\n LI -\r\n LI &HZ,+2\r\n LI &O7"_s,
                 {0x5101, 0x5010, 0xB000, 0, 0xB020, 0, 0xB000, 7},
                 {lineBox(1, u" MOVR 16,1"_s, {kRegister + u"16"_s}),
                  lineBox(2, u" MOVR 1,X"_s, {kNoNumber + u'X'}),
                  lineBox(3, u" LI -"_s, {kNoNumber + u'-'}),
                  lineBox(4, u" LI &HZ,+2"_s, {kNoNumber + u"&HZ"_s})}},
    // An undefined label keeps its box, before the line's own.
    EncodingCase{u" JMP NO,X\r\n SVC 0"_s, {0xE000, 0, 0x100},
                 {u"未定義ラベル=NO"_s, lineBox(1, u" JMP NO,X"_s, {kNoNumber + u'X'})}},
    EncodingCase{u" MINUS"_s, {0x2100}},
    EncodingCase{u"X load X\r\n Stor X\r\n dc 5"_s, {0xA000, 0, 0xA200, 0, 5}},
    EncodingCase{u" LI 5 ; five, 6\r\n LI 6"_s, {0xB000, 5, 0xB000, 6}},
    EncodingCase{u"L\tLI\u3000\u30007\r\n\tJMP L,,"_s, {0xB000, 7, 0xE000, 0}},
    EncodingCase{u"X DC X"_s, {0}, {lineBox(1, u"X DC X"_s, {kNoNumber + u'X'})}},
    EncodingCase{u"X DA 5\r\n LI X"_s, {0, 0, 0, 0, 0, 0xB000, 0}},
    EncodingCase{u" SVC 0\r\nX Da 4"_s, {0x100, 0, 0, 0, 0}},
    EncodingCase{u"Loop LI 1\r\nLOOP LI 2\r\n JMP Loop\r\n JMP LOOP"_s,
                 {0xB000, 1, 0xB000, 2, 0xE000, 0, 0xE000, 2}},
    EncodingCase{u"L LI 1\r\nL LI 2\r\n JMP L\r\nL DC 1"_s,
                 {0xB000, 1, 0xB000, 2, 0xE000, 0, 1},
                 {lineBox(2, u"L LI 2"_s, {kTwice + u'L'}), lineBox(4, u"L DC 1"_s, {kTwice + u'L'})}},
    EncodingCase{u" LI 5\r\nHERE\r\n JMP HERE"_s, {0xB000, 5, 0xE000, 2}},
    EncodingCase{u" JMP NOWHERE\r\n JM NOWHERE"_s, {0xE000, 0, 0xE300, 0},
                 {u"未定義ラベル=NOWHERE"_s, u"未定義ラベル=NOWHERE"_s}},
    EncodingCase{u" FOO 1,2\r\n LI 5\r\nL JMP L"_s, {0, 0xB000, 5, 0xE000, 3},
                 {u"未定義命令=FOO"_s}},
    EncodingCase{u"X DA 0\r\nY DA -3\r\n LI Z\r\nZ DC 7"_s, {0xB000, 2, 7},
                 {u"DAの語数が不正です: 0"_s, u"DAの語数が不正です: -3"_s}},
    EncodingCase{u" LI 2147483648\r\n DC -2147483648"_s, {0xB000, 0, -2147483647 - 1},
                 {u"数値が範囲外です: 2147483648"_s}},
    EncodingCase{u" LI 1,&H100000000"_s, {0xB000, 1}, {u"数値が範囲外です: &H100000000"_s}},
    EncodingCase{u" OUT &H7FFFFFFF"_s, {static_cast<std::int32_t>(0x80005FFFu)},
                 {lineBox(1, u" OUT &H7FFFFFFF"_s, {kByte + u"&H7FFFFFFF"_s})}}));
// clang-format on

TEST_F(AssemblerTest, ListingSkipsBlankLinesAndShowsWordlessLinesAndAreas) {
  assemble(
      sourceLines({u"     FOO     1,2", u"", u"X    DA      5", u"HERE", u"     JMP     HERE"}));
  EXPECT_EQ(
      engine.view().Text2,
      sourceLines({u"0000 : 0000       :     FOO     1,2", u"0001 : 0000 0000  :X    DA      5",
                   u"0006 :            :HERE", u"0006 : E000 0006  :     JMP     HERE"}));
}

TEST(AssemblerLimits, AreRefusedOnceAndNothingIsWrittenBeyondThem) {
  QString lines; // 103 lines with blank lines between them
  for (int i = 0; i < 103; ++i)
    lines += QStringLiteral("     DC      %1\r\n\r\n").arg(i);
  const Assembly tooLong = assemble(lines);
  EXPECT_EQ(tooLong.tables.Lines.size(), 101u);
  EXPECT_EQ(tooLong.words.size(), 101u);
  EXPECT_EQ(tooLong.words[100], 100);
  EXPECT_EQ(tooLong.complaintEntries, std::vector<int>{kLineSlots});

  QString labelLines; // 22 labels, one more than the table holds
  for (int i = 0; i < 22; ++i)
    labelLines += QStringLiteral("L%1   DC      %1\r\n").arg(i);
  const Assembly manyLabels = assemble(labelLines + u"     LI      L20\r\n     LI      L21\r\n"_s);
  EXPECT_EQ(manyLabels.tables.Labels.size(), 21u);
  EXPECT_EQ(manyLabels.words[23], 20); // LI L20: the address of L20
  EXPECT_EQ(manyLabels.words[25], 0);

  const Assembly full = assemble(u"X    DA      199\r\n     LI      7\r\n     DC      5\r\n"_s);
  EXPECT_EQ(full.words.size(), std::size_t(kMemoryWords));
  EXPECT_EQ(full.words[200], 7);
  EXPECT_TRUE(full.listing.endsWith(u"00C9 : 0005       :     DC      5\r\n"_s));
  const Assembly huge =
      assemble(u"X    DA      2147483647\r\n     DA      2147483647\r\n     SVC     0\r\n"_s);
  EXPECT_EQ(huge.words.size(), std::size_t(kMemoryWords));

  const QString memoryFull = u"プログラムがメモリに収まりません(最大201語)"_s;
  EXPECT_EQ(tooLong.complaints + manyLabels.complaints + full.complaints + huge.complaints,
            (QStringList{u"ソースプログラムの行数が多すぎます(空白行を除き最大101行)"_s,
                         u"ラベルが多すぎます(最大21個): L21"_s, u"未定義ラベル=L21"_s, memoryFull,
                         memoryFull}));
}

} // namespace
} // namespace rpn::machine
