#include "machine/instruction_set.h"
#include "machine_fixture.h"

#include <algorithm>

namespace rpn::machine {
namespace {

using Flags = std::array<std::int16_t, 3>; // P, Z, M
constexpr Flags kNone{0, 0, 0};
constexpr Flags kP{1, 0, 0};
constexpr Flags kZ{0, 1, 0};
constexpr Flags kM{0, 0, 1};
constexpr std::int32_t kMax = 2147483647;
constexpr std::int32_t kMin = -2147483647 - 1;

// One instruction executed on a small machine: the line is assembled at address 0, followed by a
// filler word and the data word V, so V lies at 3 after a two-word and at 2 after a one-word
// instruction, and a jump taken to V is told from one that falls through.
struct RowCase {
  const char16_t* line;
  std::vector<std::int32_t> words; // what the line assembles to
  std::int32_t x1 = 0;
  std::int32_t x2 = 0;
  Flags flags = kNone;
  std::int32_t v = 0;
  // after one "実行"
  std::int32_t x1After = 0;
  std::int32_t vAfter = 0;
  Flags flagsAfter = kNone;
  int execAfter = 0;
  const char16_t* output = u"";
};

QString mnemonicOf(const RowCase& c) {
  return QString::fromUtf16(c.line).section(u' ', 0, 0);
}

void PrintTo(const RowCase& c, std::ostream* os) {
  *os << QString::fromUtf16(c.line).toStdString();
}

// clang-format off
const std::vector<RowCase> kRowCases = {
    // line         words            X1 X2 flags      V   X1 after V after flags next output
    {u"LOAD V,1",   {0xA010, 3},         5, 0, kNone,   -7,   -7,   -7,    kM, 2},
    {u"STOR V,1",   {0xA210, 3},        -3, 0, kNone,    9,   -3,   -3,    kM, 2},
    {u"LI 300,1",   {0xB010, 300},       5, 0, kNone,    0,  300,    0,    kP, 2},
    {u"LI -1,1,2",  {0xB012, -1},        5, 4, kNone,    0,    3,    0,    kP, 2},
    {u"ADD V,1",    {0x8110, 3},         5, 0, kNone,    7,   12,    7,    kP, 2},
    {u"SUB V,1",    {0x8210, 3},         5, 0, kNone,    7,   -2,    7,    kM, 2},
    {u"MULT V,1",   {0x8310, 3},         5, 0, kNone,   -7,  -35,   -7,    kM, 2},
    {u"DIV V,1",    {0x8410, 3},        -7, 0, kNone,    2,   -3,    2,    kM, 2},
    {u"AND V,1",    {0x8810, 3},        12, 0, kNone,   10,    8,   10,    kP, 2},
    {u"OR V,1",     {0x8910, 3},        12, 0, kNone,   10,   14,   10,    kP, 2},
    {u"XOR V,1",    {0x8A10, 3},        12, 0, kNone,   12,    0,   12,    kZ, 2},
    {u"EQV V,1",    {0x8B10, 3},        12, 0, kNone,   10,   -7,   10,    kM, 2},
    {u"IMP V,1",    {0x8C10, 3},        12, 0, kNone,   10,   -5,   10,    kM, 2},
    {u"ADDI 7,1",   {0x9110, 7},         5, 0, kNone,    0,   12,    0,    kP, 2},
    {u"SUBI 7,1",   {0x9210, 7},         5, 0, kNone,    0,   -2,    0,    kM, 2},
    {u"MULTI -7,1", {0x9310, -7},        5, 0, kNone,    0,  -35,    0,    kM, 2},
    {u"DIVI 2,1",   {0x9410, 2},        -7, 0, kNone,    0,   -3,    0,    kM, 2},
    {u"ANDI 10,1",  {0x9810, 10},       12, 0, kNone,    0,    8,    0,    kP, 2},
    {u"ORI 10,1",   {0x9910, 10},       12, 0, kNone,    0,   14,    0,    kP, 2},
    {u"XORI 10,1",  {0x9A10, 10},       12, 0, kNone,    0,    6,    0,    kP, 2},
    {u"EQVI 0,1",   {0x9B10, 0},         0, 0, kNone,    0,   -1,    0,    kM, 2},
    {u"IMPI 10,1",  {0x9C10, 10},       12, 0, kNone,    0,   -5,    0,    kM, 2},
    {u"JMP V",      {0xE000, 3},         1, 0, kNone,    0,    1,    0, kNone, 3},
    {u"JP V",       {0xE100, 3},         1, 0, kP,       0,    1,    0,    kP, 3},
    {u"JP V",       {0xE100, 3},         1, 0, kZ,       0,    1,    0,    kZ, 2},
    {u"JZ V",       {0xE200, 3},         1, 0, kZ,       0,    1,    0,    kZ, 3},
    {u"JZ V",       {0xE200, 3},         1, 0, kM,       0,    1,    0,    kM, 2},
    {u"JZ V",       {0xE200, 3},         0, 0, kNone,    0,    0,    0, kNone, 2},
    {u"JM V",       {0xE300, 3},         1, 0, kM,       0,    1,    0,    kM, 3},
    {u"JM V",       {0xE300, 3},         1, 0, kP,       0,    1,    0,    kP, 2},
    {u"OUT 1",      {0x6001},          -42, 0, kZ,       0,  -42,    0,    kZ, 1, u"\r\n* -42"},
    {u"IN 1",       {0x6101},            5, 0, kZ,       0,   77,    0,    kZ, 1},
    {u"MOVR 1,2",   {0x5012},            5, 0, kP,       0,    0,    0,    kZ, 1},
    {u"MINUS 1",    {0x2101},            5, 0, kNone,    0,   -5,    0,    kM, 1},
    {u"NOT 1",      {0x2801},            0, 0, kNone,    0,   -1,    0,    kM, 1},
    {u"SVC 0",      {0x0100},            5, 0, kP,       0,    5,    0,    kP, 0, u"\r\nプログラムの終了です."},
    // Overflow wraps around in 32-bit two's complement, with the flags of the result.
    {u"ADD V,1",    {0x8110, 3},         1, 0, kNone, kMax, kMin, kMax,    kM, 2},
    {u"ADDI 1,1",   {0x9110, 1},      kMax, 0, kNone,    0, kMin,    0,    kM, 2},
    {u"SUB V,1",    {0x8210, 3},         0, 0, kNone, kMin, kMin, kMin,    kM, 2},
    {u"SUBI 1,1",   {0x9210, 1},      kMin, 0, kNone,    0, kMax,    0,    kP, 2},
    {u"MULT V,1",   {0x8310, 3},         2, 0, kNone, kMax,   -2, kMax,    kM, 2},
    {u"MULTI -1,1", {0x9310, -1},     kMin, 0, kNone,    0, kMin,    0,    kM, 2},
    {u"MULTI 2,1",  {0x9310, 2},   1 << 30, 0, kNone,    0, kMin,    0,    kM, 2},
    {u"MINUS 1",    {0x2101},         kMin, 0, kNone,    0, kMin,    0,    kM, 1},
    {u"DIV V,1",    {0x8410, 3},      kMin, 0, kNone, kMin,    1, kMin,    kP, 2},
};
// clang-format on

class Rows : public MachineFixture, public ::testing::WithParamInterface<RowCase> {};

TEST_P(Rows, AssembleAndExecuteAsTheTableSays) {
  const RowCase& c = GetParam();
  const Instruction* row = findMnemonic(mnemonicOf(c));
  ASSERT_NE(row, nullptr);

  // The mnemonic in lower case: it is the same mnemonic.
  const QString line = QString::fromUtf16(c.line);
  const qsizetype blank = line.indexOf(u' ');
  assemble(u"     "_s + line.left(blank).toLower() + line.mid(blank) +
           u"\r\n     DC      0\r\nV    DC      "_s + QString::number(c.v) + u"\r\n"_s);
  const auto size = static_cast<int>(c.words.size());
  EXPECT_EQ(std::vector<std::int32_t>(engine.state().machine.Memory.begin(),
                                      engine.state().machine.Memory.begin() + size),
            c.words);
  EXPECT_EQ(c.words[0] / 256, row->code);
  EXPECT_EQ(size, row->format == Format::OneWord || row->format == Format::RegisterPair ? 1 : 2);

  MachineState state = engine.state().machine;
  state.Register[1] = c.x1;
  state.Register[2] = c.x2;
  state.Status = c.flags;
  engine.moves().restoreMachine(state);
  boxes.answerText(u"77"_s);
  step();

  const MachineState& after = engine.state().machine;
  EXPECT_EQ(after.Register[1], c.x1After);
  EXPECT_EQ(after.Register[2], c.x2);
  EXPECT_EQ(after.Memory[static_cast<std::size_t>(size + 1)], c.vAfter);
  EXPECT_EQ(after.Status, c.flagsAfter);
  EXPECT_EQ(row->setsFlags, c.flagsAfter != c.flags);
  EXPECT_EQ(after.ExecAddress, c.execAfter);
  EXPECT_EQ(engine.view().Text3, QString::fromUtf16(c.output));
  const bool asks = row->action == Action::Input;
  EXPECT_EQ(boxes.texts(), asks ? QStringList{u"データ入力"_s} : QStringList{});

  // The result box: the register an instruction sets the flags from, the cell STOR writes.
  const bool result = row->setsFlags && row->action != Action::Store;
  EXPECT_EQ(engine.view().txtRegisterMarks[1], result ? Mark::Yellow : Mark::White);
  // The cell of V is red when a jump made it the next instruction.
  const Mark vMark = row->action == Action::Store ? Mark::Yellow
                     : c.execAfter == size + 1    ? Mark::Red
                                                  : Mark::White;
  EXPECT_EQ(engine.view().lblCodeMarks[static_cast<std::size_t>(size + 1)], vMark);
  EXPECT_EQ(engine.view().lblCode[static_cast<std::size_t>(size + 1)], hex4(c.vAfter));
}

INSTANTIATE_TEST_SUITE_P(InstructionSet, Rows, ::testing::ValuesIn(kRowCases));

TEST(InstructionTable, EveryInstructionHasARowCase) {
  for (const Instruction& row : kInstructionSet) {
    const bool covered = std::any_of(kRowCases.begin(), kRowCases.end(), [&](const RowCase& c) {
      return mnemonicText(row) == mnemonicOf(c);
    });
    EXPECT_TRUE(covered || row.code < 0) << mnemonicText(row).toString().toStdString();
  }
}

} // namespace
} // namespace rpn::machine
