#include "machine/assembler.h"
#include "machine/samples.h"
#include "machine_fixture.h"

#include <random>
#include <vector>

namespace rpn::machine {
namespace {

using AssemblerTest = MachineFixture;

QString joined(std::initializer_list<const char16_t*> lines) {
  return sourceLines(lines);
}

const QString kCompareListing = joined({
    u"0000 : B000 000A  :     LI      10",
    u"0002 : A200 001B  :     STOR    I",
    u"0004 : B000 0000  :     LI      0",
    u"0006 : A200 001A  :     STOR    A",
    u"0008 : A000 001B  :LOOP LOAD    I",
    u"000A : 9200 0001  :     SUBI    1",
    u"000C : E300 0016  :     JM      ENDP",
    u"000E : A200 001B  :     STOR    I",
    u"0010 : 8100 001A  :     ADD     A",
    u"0012 : A200 001A  :     STOR    A",
    u"0014 : E000 0008  :     JMP     LOOP",
    u"0016 : A000 001A  :ENDP LOAD    A",
    u"0018 : 6000       :     OUT     0",
    u"0019 : 0100       :     SVC     0",
    u"001A : 0000       :A    DA      1",
    u"001B : 0000       :I    DA      1",
});

const QString kRegistersListing = joined({
    u"0000 : B010 000A  :     LI      10,1",
    u"0002 : B000 0000  :     LI      0",
    u"0004 : A200 0015  :     STOR    A",
    u"0006 : 9210 0001  :LOOP SUBI    1,1",
    u"0008 : E300 0011  :     JM      ENDP",
    u"000A : 5001       :     MOVR    0,1",
    u"000B : 8100 0015  :     ADD     A",
    u"000D : A200 0015  :     STOR    A",
    u"000F : E000 0006  :     JMP     LOOP",
    u"0011 : A000 0015  :ENDP LOAD    A",
    u"0013 : 6000       :     OUT     0",
    u"0014 : 0100       :     SVC     0",
    u"0015 : 0000       :A    DA      1",
});

std::vector<std::pair<QString, int>> labels(const Assembler& assembler) {
  std::vector<std::pair<QString, int>> list;
  for (int i = 0; i < assembler.LabelCount(); ++i)
    list.emplace_back(assembler.LabelTable()[static_cast<std::size_t>(i)].Name,
                      assembler.LabelTable()[static_cast<std::size_t>(i)].Value);
  return list;
}

std::vector<std::int32_t> memoryWords(const MachineState& machine, int count) {
  return {machine.Memory.begin(), machine.Memory.begin() + count};
}

TEST_F(AssemblerTest, SampleCompareGivesTheWorkedListingAndImage) {
  engine.List1_Click(0);
  engine.Command1_Click();
  EXPECT_EQ(engine.view().Text2, kCompareListing);
  EXPECT_EQ(engine.machine().ProgramSize, 28);
  using L = std::pair<QString, int>;
  EXPECT_EQ(labels(engine.assembler()),
            (std::vector<L>{{u"LOOP"_s, 8}, {u"ENDP"_s, 0x16}, {u"A"_s, 0x1A}, {u"I"_s, 0x1B}}));
  EXPECT_EQ(memoryWords(engine.machine(), 28),
            (std::vector<std::int32_t>{0xB000, 10,     0xA200, 0x1B,   0xB000, 0,      0xA200,
                                       0x1A,   0xA000, 0x1B,   0x9200, 1,      0xE300, 0x16,
                                       0xA200, 0x1B,   0x8100, 0x1A,   0xA200, 0x1A,   0xE000,
                                       8,      0xA000, 0x1A,   0x6000, 0x0100, 0,      0}));
  EXPECT_TRUE(boxes.texts().isEmpty());
  // The panel shows the image; the next instruction (two words at 0) is red.
  EXPECT_EQ(engine.view().lblCode[0], u"B000"_s);
  EXPECT_EQ(engine.view().lblCode[0x18], u"6000"_s);
  EXPECT_EQ(engine.view().lblCode[0x1C], u"0000"_s);
  EXPECT_EQ(engine.view().lblCodeMarks[0], Mark::Red);
  EXPECT_EQ(engine.view().lblCodeMarks[1], Mark::Red);
  EXPECT_EQ(engine.view().lblCodeMarks[2], Mark::White);
}

TEST_F(AssemblerTest, SampleRegistersGivesItsListingOf22Words) {
  engine.List1_Click(1);
  engine.Command1_Click();
  EXPECT_EQ(engine.view().Text2, kRegistersListing);
  EXPECT_EQ(engine.machine().ProgramSize, 22);
  using L = std::pair<QString, int>;
  EXPECT_EQ(labels(engine.assembler()),
            (std::vector<L>{{u"LOOP"_s, 6}, {u"ENDP"_s, 0x11}, {u"A"_s, 0x15}}));
  EXPECT_TRUE(boxes.texts().isEmpty());
}

TEST_F(AssemblerTest, SamplesAreTheExactLinesEachEndedByCrLf) {
  engine.List1_Click(0);
  const QString compare = engine.view().Text1;
  EXPECT_EQ(compare, sampleCompare());
  EXPECT_EQ(compare.count(u"\r\n"_s), 16);
  EXPECT_TRUE(compare.endsWith(u"I    DA      1\r\n"_s));
  EXPECT_TRUE(compare.startsWith(u"     LI      10\r\n     STOR    I\r\n"_s));
  engine.List1_Click(1);
  EXPECT_EQ(engine.view().Text1.count(u"\r\n"_s), 13);
  EXPECT_TRUE(engine.view().Text1.startsWith(u"     LI      10,1\r\n"_s));
  engine.List1_Click(-1); // no selection: nothing
  EXPECT_EQ(engine.view().Text1, sampleRegisters());
  EXPECT_EQ(sampleNames(), (QStringList{u"比較の例"_s, u"他レジスタの使用"_s}));
}

TEST_F(AssemblerTest, AssemblingTwiceChangesNeitherResultNorMachineState) {
  MachineState state;
  state.Register[3] = 77;
  state.Status = {0, 0, 1};
  state.ExecAddress = 6;
  state.EffectAddress = 9;
  state.Ope = {0xA0, 1, 2, 3};
  state.Memory[150] = 1234; // beyond the image: kept
  engine.restoreMachine(state);
  engine.List1_Click(0);
  engine.Command1_Click();
  const MachineState first = engine.machine();
  const QString listing = engine.view().Text2;
  engine.Command1_Click();
  EXPECT_EQ(engine.machine(), first);
  EXPECT_EQ(engine.view().Text2, listing);
  EXPECT_EQ(first.Register, state.Register);
  EXPECT_EQ(first.Status, state.Status);
  EXPECT_EQ(first.ExecAddress, 6);
  EXPECT_EQ(first.EffectAddress, 9);
  EXPECT_EQ(first.Ope, state.Ope);
  EXPECT_EQ(first.Memory[150], 1234);
}

TEST_F(AssemblerTest, EmptySourceGivesEmptyListingAndBlankPanel) {
  engine.List1_Click(0);
  engine.Command1_Click();
  assemble({});
  EXPECT_EQ(engine.view().Text2, QString());
  EXPECT_EQ(engine.machine().ProgramSize, 0);
  EXPECT_EQ(engine.view().lblCode, blankMemoryCells());
}

TEST_F(AssemblerTest, FinalCrLfAndBlankLinesChangeNothing) {
  assemble(u"     LI      10\r\n     OUT     0"_s);
  const QString listing = engine.view().Text2;
  const MachineState machine = engine.machine();
  assemble(u"     LI      10\r\n     OUT     0\r\n"_s);
  EXPECT_EQ(engine.view().Text2, listing);
  EXPECT_EQ(engine.machine(), machine);
  assemble(u"\r\n     LI      10\r\n\r\n      \r\n     OUT     0\r\n\r\n"_s);
  EXPECT_EQ(engine.view().Text2, listing);
  EXPECT_EQ(engine.machine(), machine);
}

TEST(AssemblerReading, GetLineSplitsAtCrLfOnlyAndStopsAtEnd) {
  Assembler assembler;
  assembler.LoadSource(u"A\rB\nC\r\nD\r\n"_s);
  EXPECT_EQ(assembler.GetLine(), u"A\rB\nC"_s);
  EXPECT_EQ(assembler.GetLine(), u"D"_s);
  EXPECT_EQ(assembler.GetLine(), u"*End*"_s);
  EXPECT_EQ(assembler.GetLine(), u"*End*"_s);

  // A line reading "*End*" ends the source.
  test::RecordingDialogs boxes;
  MachineState machine;
  const QString listing =
      assembler.Assemble(u"     LI      1\r\n*End*\r\n     LI      2\r\n"_s, machine, boxes);
  EXPECT_EQ(listing, u"0000 : B000 0001  :     LI      1\r\n"_s);
  EXPECT_EQ(machine.ProgramSize, 2);
}

struct SplitCase {
  const char16_t* line;
  SourceFields fields;
};

class SplitLineCases : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitLineCases, FieldsAreCutAtWhitespaceAndCommas) {
  EXPECT_EQ(Assembler::SplitLine(QString::fromUtf16(GetParam().line)), GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitLineCases,
    ::testing::Values(SplitCase{u"LOOP LOAD    I", {u"LOOP"_s, u"LOAD"_s, u"I"_s, {}, {}}},
                      SplitCase{u"     LI      10,1", {{}, u"LI"_s, u"10"_s, u"1"_s, {}}},
                      SplitCase{u"A    DA      1", {u"A"_s, u"DA"_s, u"1"_s, {}, {}}},
                      SplitCase{u"     LOAD    X ; comment", {{}, u"LOAD"_s, u"X"_s, {}, {}}},
                      SplitCase{u"     MINUS", {{}, u"MINUS"_s, {}, {}, {}}},
                      SplitCase{u"     SVC  end", {{}, u"SVC"_s, u"end"_s, {}, {}}},
                      SplitCase{u"\tADD\u3000 5,1,2,3", {{}, u"ADD"_s, u"5"_s, u"1"_s, u"2,3"_s}},
                      SplitCase{u"L\tJMP\tL,,", {u"L"_s, u"JMP"_s, u"L"_s, {}, {}}},
                      SplitCase{u"ONLY", {u"ONLY"_s, {}, {}, {}, {}}}));

TEST(AssemblerReading, NumberKindTellsNumbersFromLabels) {
  EXPECT_EQ(Assembler::NumberKind(u"7AB"), 7);
  EXPECT_EQ(Assembler::NumberKind(u"0"), 0);
  EXPECT_EQ(Assembler::NumberKind(u"-5"), 10);
  EXPECT_EQ(Assembler::NumberKind(u"+5"), 10);
  EXPECT_EQ(Assembler::NumberKind(u"&HFF"), 10);
  EXPECT_EQ(Assembler::NumberKind(u"T$01"), -1);
  EXPECT_EQ(Assembler::NumberKind(u".5"), -1);
  EXPECT_EQ(Assembler::NumberKind(u""), -1);
}

// One source, the words it puts into memory from address 0, and the boxes it shows.
struct EncodingCase {
  const char* name;
  QString source;
  std::vector<std::int32_t> words;
  QStringList boxes;
};

void PrintTo(const EncodingCase& c, std::ostream* os) {
  *os << c.name;
}

class Encodings : public MachineFixture, public ::testing::WithParamInterface<EncodingCase> {};

TEST_P(Encodings, AssembleToTheirWords) {
  const EncodingCase& c = GetParam();
  assemble(c.source);
  EXPECT_EQ(engine.machine().ProgramSize, static_cast<int>(c.words.size()));
  EXPECT_EQ(memoryWords(engine.machine(), static_cast<int>(c.words.size())), c.words);
  EXPECT_EQ(boxes.texts(), c.boxes);
}

INSTANTIATE_TEST_SUITE_P(
    Operands, Encodings,
    ::testing::Values(
        EncodingCase{"li_10", u"     LI      10"_s, {0xB000, 10}, {}},
        EncodingCase{"li_minus_5", u"     LI      -5"_s, {0xB000, -5}, {}},
        EncodingCase{"hex_ff", u"     LI      &HFF"_s, {0xB000, 255}, {}},
        EncodingCase{"hex_16_bit_is_signed", u"     LI      &HFFFF"_s, {0xB000, -1}, {}},
        EncodingCase{"hex_wider_is_32_bit", u"     LI      &H10000"_s, {0xB000, 65536}, {}},
        EncodingCase{"hex_32_bit_signed", u"     DC      &HFFFFFFFF"_s, {-1}, {}},
        EncodingCase{"octal", u"     LI      &O17"_s, {0xB000, 15}, {}},
        EncodingCase{"halves_to_even",
                     u"     LI      2.5\r\n     LI      3.5"_s,
                     {0xB000, 2, 0xB000, 4},
                     {}},
        EncodingCase{"exponent", u"     LI      1E2"_s, {0xB000, 100}, {}},
        EncodingCase{"digits_then_text", u"     LI      1ST"_s, {0xB000, 1}, {}},
        EncodingCase{"register_and_index", u"     LOAD    7,1,2"_s, {0xA012, 7}, {}},
        EncodingCase{"label_as_register_reads_0", u"     LOAD    7,X,Y"_s, {0xA000, 7}, {}},
        EncodingCase{"further_commas_in_index", u"     ADD     5,1,2,3"_s, {0x8112, 5}, {}},
        EncodingCase{"fields_spill_unmasked", u"     LI      0,16"_s, {0xB100, 0}, {}},
        EncodingCase{"minus_without_operand", u"     MINUS"_s, {0x2100}, {}},
        EncodingCase{"movr", u"     MOVR    0,1"_s, {0x5001}, {}},
        EncodingCase{"one_word_operand_byte", u"     OUT     1"_s, {0x6001}, {}},
        EncodingCase{"svc", u"     SVC     0"_s, {0x0100}, {}},
        EncodingCase{"lower_case_mnemonic",
                     u"X    load    X\r\n     Stor    X"_s,
                     {0xA000, 0, 0xA200, 0},
                     {}},
        EncodingCase{"comment_after_operand",
                     u"     LI      5 ; five, 6\r\n     LI      6"_s,
                     {0xB000, 5, 0xB000, 6},
                     {}},
        EncodingCase{"tab_and_ideographic_space",
                     u"L\tLI\u3000\u30007\r\n\tJMP L"_s,
                     {0xB000, 7, 0xE000, 0},
                     {}},
        EncodingCase{"dc_minus_1", u"X    DC      -1"_s, {-1}, {}},
        EncodingCase{"dc_of_a_label_is_0", u"X    DC      X"_s, {0}, {}},
        EncodingCase{
            "labels_are_case_sensitive",
            u"Loop LI      1\r\nLOOP LI      2\r\n     JMP     Loop\r\n     JMP     LOOP"_s,
            {0xB000, 1, 0xB000, 2, 0xE000, 0, 0xE000, 2},
            {}},
        EncodingCase{"first_definition_wins",
                     u"L    LI      1\r\nL    LI      2\r\n     JMP     L"_s,
                     {0xB000, 1, 0xB000, 2, 0xE000, 0},
                     {}},
        EncodingCase{"undefined_label_once_per_reference",
                     u"     JMP     NOWHERE\r\n     JM      NOWHERE"_s,
                     {0xE000, 0, 0xE300, 0},
                     {u"未定義ラベル=NOWHERE"_s, u"未定義ラベル=NOWHERE"_s}},
        EncodingCase{"decimal_beyond_32_bits",
                     u"     LI      2147483648\r\n     DC      -2147483648"_s,
                     {0xB000, 0, -2147483647 - 1},
                     {u"数値が範囲外です: 2147483648"_s}},
        EncodingCase{"hex_beyond_32_bits",
                     u"     LI      1,&H100000000"_s,
                     {0xB000, 1},
                     {u"数値が範囲外です: &H100000000"_s}},
        EncodingCase{"word_beyond_32_bits_keeps_low_bits",
                     u"     OUT     &H7FFFFFFF"_s,
                     {static_cast<std::int32_t>(0x80005FFFu)},
                     {}}));

TEST_F(AssemblerTest, DaReservesZeroWordsAndTheListingShowsTwo) {
  MachineState dirty;
  dirty.Memory.fill(99);
  engine.restoreMachine(dirty);
  assemble(u"X    DA      5\r\n     LI      X\r\n"_s);
  EXPECT_EQ(engine.view().Text2,
            joined({u"0000 : 0000 0000  :X    DA      5", u"0005 : B000 0000  :     LI      X"}));
  EXPECT_EQ(memoryWords(engine.machine(), 7),
            (std::vector<std::int32_t>{0, 0, 0, 0, 0, 0xB000, 0}));
  EXPECT_EQ(engine.machine().ProgramSize, 7);
  EXPECT_EQ(engine.machine().Memory[7], 99);
}

TEST_F(AssemblerTest, DaAtTheEndIsZeroedToItsLastWord) {
  MachineState dirty;
  dirty.Memory.fill(99);
  engine.restoreMachine(dirty);
  assemble(u"     SVC     0\r\nX    DA      4\r\n"_s);
  EXPECT_EQ(memoryWords(engine.machine(), 6), (std::vector<std::int32_t>{0x100, 0, 0, 0, 0, 99}));
  EXPECT_EQ(engine.machine().ProgramSize, 5);
  EXPECT_EQ(engine.view().lblCode[4], u"0000"_s);
}

TEST_F(AssemblerTest, UndefinedMnemonicIsOneWordOfZero) {
  assemble(u"     FOO     1,2\r\n     LI      5\r\nL    JMP     L\r\n"_s);
  EXPECT_EQ(boxes.texts(), QStringList{u"未定義命令=FOO"_s});
  EXPECT_EQ(engine.view().Text2,
            joined({u"0000 : 0000       :     FOO     1,2", u"0001 : B000 0005  :     LI      5",
                    u"0003 : E000 0003  :L    JMP     L"}));
  EXPECT_EQ(engine.machine().ProgramSize, 5);
}

TEST_F(AssemblerTest, LabelOnItsOwnLineMarksTheNextWord) {
  assemble(u"     LI      5\r\nHERE\r\n     JMP     HERE\r\n"_s);
  EXPECT_TRUE(boxes.texts().isEmpty());
  EXPECT_EQ(engine.view().Text2,
            joined({u"0000 : B000 0005  :     LI      5", u"0002 :            :HERE",
                    u"0002 : E000 0002  :     JMP     HERE"}));
  EXPECT_EQ(engine.machine().ProgramSize, 4);
}

TEST_F(AssemblerTest, DaOfNoWordsIsRefusedAndLaterWordsStayInPlace) {
  assemble(u"X    DA      0\r\nY    DA      -3\r\n     LI      Y\r\nZ    DC      7\r\n"_s);
  EXPECT_EQ(boxes.texts(), (QStringList{u"DAの語数が不正です: 0"_s, u"DAの語数が不正です: -3"_s}));
  EXPECT_EQ(memoryWords(engine.machine(), 3), (std::vector<std::int32_t>{0xB000, 0, 7}));
  EXPECT_EQ(engine.machine().ProgramSize, 3);
  using L = std::pair<QString, int>;
  EXPECT_EQ(labels(engine.assembler()), (std::vector<L>{{u"X"_s, 0}, {u"Y"_s, 0}, {u"Z"_s, 2}}));
}

TEST_F(AssemblerTest, MoreThan101LinesAreRefusedOnce) {
  QString source;
  for (int i = 0; i < 103; ++i)
    source += QStringLiteral("     DC      %1\r\n\r\n").arg(i);
  assemble(source);
  EXPECT_EQ(boxes.texts(),
            QStringList{u"ソースプログラムの行数が多すぎます(空白行を除き最大101行)"_s});
  EXPECT_EQ(engine.assembler().LineCount(), 101);
  EXPECT_EQ(engine.view().Text2.count(u"\r\n"_s), 101);
  EXPECT_EQ(engine.machine().ProgramSize, 101);
  EXPECT_EQ(engine.machine().Memory[100], 100);
}

TEST_F(AssemblerTest, AllTwentyOneLabelSlotsWorkAndMoreAreRefused) {
  QString source;
  for (int i = 0; i < 22; ++i)
    source += QStringLiteral("L%1   DC      %1\r\n").arg(i);
  source += u"     LI      L20\r\n     LI      L21\r\n"_s;
  assemble(source);
  EXPECT_EQ(boxes.texts(),
            (QStringList{u"ラベルが多すぎます(最大21個): L21"_s, u"未定義ラベル=L21"_s}));
  EXPECT_EQ(engine.assembler().LabelCount(), 21);
  EXPECT_EQ(engine.machine().Memory[23], 20); // LI L20: the address of L20
  EXPECT_EQ(engine.machine().Memory[25], 0);
}

TEST_F(AssemblerTest, ImageLargerThanMemoryIsRefusedAndNothingWrittenBeyond) {
  assemble(u"X    DA      199\r\n     LI      7\r\n     DC      5\r\n"_s);
  EXPECT_EQ(boxes.texts(), QStringList{u"プログラムがメモリに収まりません(最大201語)"_s});
  EXPECT_EQ(engine.machine().ProgramSize, kMemoryWords);
  EXPECT_EQ(engine.machine().Memory[199], 0xB000);
  EXPECT_EQ(engine.machine().Memory[200], 7);
  EXPECT_EQ(engine.view().Text2.count(u"\r\n"_s), 3);
  EXPECT_TRUE(engine.view().Text2.endsWith(u"00C9 : 0005       :     DC      5\r\n"_s));

  boxes.clear();
  assemble(u"X    DA      2147483647\r\n     DA      2147483647\r\n     SVC     0\r\n"_s);
  EXPECT_EQ(boxes.texts(), QStringList{u"プログラムがメモリに収まりません(最大201語)"_s});
  EXPECT_EQ(engine.machine().ProgramSize, kMemoryWords);
}

} // namespace
} // namespace rpn::machine

namespace rpn::machine {
namespace {

// Random sources of known and unknown mnemonics, labels and operands of every kind: the
// assembler stays within its tables and the memory, and assembling again gives the same result.
TEST_F(AssemblerTest, RandomSourcesStayWithinTablesAndRepeatExactly) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE(::testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  const QStringList labelsPool{u""_s, u""_s, u"L"_s, u"LOOP"_s, u"Loop"_s, u"T$01"_s, u"X"_s};
  const QStringList mnemonics{u"LI"_s,   u"load"_s, u"STOR"_s, u"DA"_s, u"DC"_s,  u"JMP"_s,
                              u"MOVR"_s, u"OUT"_s,  u"FOO"_s,  u""_s,   u"svc"_s, u"ADDI"_s};
  const QStringList operands{u""_s,      u"L"_s,       u"LOOP"_s,       u"10"_s,
                             u"-5"_s,    u"&HFFFF"_s,  u"&H7FFFFFFF"_s, u"99999999999"_s,
                             u"2.5"_s,   u"300"_s,     u"0"_s,          u"-1"_s,
                             u"X,1,2"_s, u"1,16,15"_s, u"T$01,,"_s};
  const QStringList separators{u" "_s, u"\t"_s, u"\u3000"_s, u"   "_s};
  auto pick = [&](const QStringList& list) {
    return list[static_cast<qsizetype>(random() % static_cast<std::size_t>(list.size()))];
  };
  for (int round = 0; round < 200; ++round) {
    QString source;
    const auto lines = random() % 130;
    for (std::size_t i = 0; i < lines; ++i) {
      source +=
          pick(labelsPool) + pick(separators) + pick(mnemonics) + pick(separators) + pick(operands);
      source += random() % 5 == 0 ? u"\n"_s : u"\r\n"_s;
    }
    boxes.clear();
    assemble(source);
    const MachineState first = engine.machine();
    const QString listing = engine.view().Text2;
    const QStringList firstBoxes = boxes.texts();
    ASSERT_LE(first.ProgramSize, kMemoryWords);
    ASSERT_LE(engine.assembler().LineCount(), kLineSlots);
    ASSERT_LE(engine.assembler().LabelCount(), kLabelSlots);
    ASSERT_EQ(listing.count(u"\r\n"_s), engine.assembler().LineCount());
    for (int i = 0; i < engine.assembler().LineCount(); ++i) {
      const LineEntry& line = engine.assembler().LineTable()[static_cast<std::size_t>(i)];
      EXPECT_TRUE(listing.contains(hex4(line.Address) + u" : "_s));
    }
    boxes.clear();
    assemble(source);
    EXPECT_EQ(engine.machine(), first);
    EXPECT_EQ(engine.view().Text2, listing);
    EXPECT_EQ(boxes.texts(), firstBoxes);
  }
}

} // namespace
} // namespace rpn::machine
