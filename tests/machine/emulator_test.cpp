#include "machine/emulator.h"
#include "machine/instruction_set.h"
#include "machine_fixture.h"
#include "support/state_harness.h"

#include <algorithm>
#include <tuple>

namespace rpn::machine {
namespace {

using EmulatorTest = MachineFixture;

// The listing line the screen shows selected.
QString selectedLine(const AssemblerView& view) {
  return view.Text2.mid(view.Text2SelStart, view.Text2SelLength);
}

TEST_F(EmulatorTest, AutoRunReassemblesTheSourceAsItIsAfterTheIdleTick) {
  const auto idle = [](const MachineScreenState& s) { return s.clock.phase == kIdle; };
  engine.List1_Click(0);
  engine.Command4_Click(); // trace mode is ticked and has no effect on auto-run
  engine.Timer1_Timer();
  test::tickUntil(engine, idle, 1000);
  // The next cycle assembles the source as it is then, after one idle tick.
  engine.List1_Click(1);
  engine.Timer1_Timer();
  EXPECT_EQ(engine.state().machine.ProgramSize, 28);
  EXPECT_EQ(test::tickUntil(engine, idle, 1000), 1 + 3 * 68);
  EXPECT_EQ(engine.state().machine.ProgramSize, 22);
  EXPECT_TRUE(engine.view().Text3.endsWith(u"* 45\r\n プログラムの終了です."_s));
  EXPECT_TRUE(boxes.texts().isEmpty());

  engine.Command5_Click();
  engine.Timer1_Timer(); // a tick already on its way does nothing
  EXPECT_EQ(engine.state().clock.phase, kIdle);
}

// A snapshot taken at any tick of a whole auto-run cycle, or at any box of a traced "実行", and put
// back replays the same states; a press that ends the program or meets a fault included.
TEST_F(EmulatorTest, SnapshotsReplayAtEveryTickAndEveryTracedBox) {
  engine.List1_Click(0);
  engine.Command4_Click();
  test::expectSnapshotReplay(
      engine, [&] { engine.Timer1_Timer(); }, 2 + 3 * 80 + 1, 3);
  engine.Command5_Click();
  const auto press = [&](int times) {
    std::size_t traced = 0;
    for (int i = 0; i < times; ++i) {
      boxes.answerText(u"5"_s);
      boxes.answerText(u"5"_s); // the replay's answer
      traced +=
          test::expectPressReplay(engine, boxes, [](MachineEngine& e) { e.Command2_Click(); });
    }
    return traced;
  };
  EXPECT_EQ(press(80), 3u * 80);
  assemble(u" IN 2\r\n LI 1\r\n DIVI 0"_s);
  EXPECT_EQ(press(4), 4u + 3 + 3 + 3); // the input box; the fault box instead of the last phase's
}

// IN asks through the input box and reads the leading number as the assembler reads operands
// (their forms: the Encodings table); the cases follow each other so that every one changes the
// register.
TEST_F(EmulatorTest, InReadsTheLeadingNumberOfWhatIsTyped) {
  assemble(u" IN 2"_s);
  const struct {
    QString typed;
    std::int32_t read;
  } cases[] = {{u"  -7xyz"_s, -7}, {u"abc"_s, 0}, {u"13.5"_s, 14}, {u"99999999999"_s, 0}};
  for (const auto& c : cases) {
    engine.Command3_Click();
    boxes.answerText(c.typed);
    step();
    EXPECT_EQ(engine.state().machine.Register[2], c.read) << c.typed.toStdString();
  }
  EXPECT_EQ(boxes.boxes().front().kind, test::RecordingDialogs::Box::Kind::AskText);
  EXPECT_EQ(boxes.texts(), QStringList(4, u"データ入力"_s) << u"数値が範囲外です: 99999999999"_s);
}

TEST_F(EmulatorTest, InitialiseMidRunRestartsAtZeroKeepingRegistersAndMemory) {
  engine.List1_Click(0);
  engine.Command1_Click();
  step(12);
  MachineState expected = engine.state().machine;
  ASSERT_NE(expected.ExecAddress, 0);
  expected.ExecAddress = 0;
  engine.Command3_Click();
  EXPECT_EQ(engine.state().machine, expected);
  EXPECT_EQ(selectedLine(engine.view()), u"0000 : B000 000A  :     LI      10"_s);
  EXPECT_EQ(stepsToEnd(), 80);
  EXPECT_EQ(engine.view().Text3, u"\r\n* 45\r\nプログラムの終了です."_s);
}

TEST_F(EmulatorTest, OutputKeepsItsLast5000CharactersBeforeTheNewLine) {
  assemble(sourceLines({u"     LI      7", u"     OUT     0", u"     SVC     0"}));
  engine.setText3(QString(1000, u'a') + QString(5000, u'b'));
  step(2);
  EXPECT_EQ(engine.view().Text3, QString(5000, u'b') + u"\r\n* 7"_s);
  step();
  EXPECT_EQ(engine.view().Text3, QString(5000 - 5, u'b') + u"\r\n* 7\r\nプログラムの終了です."_s);
}

TEST_F(EmulatorTest, SelectionSkipsALabelOnItsOwnLineAndStaysInsideAnInstruction) {
  assemble(sourceLines({u"     JMP     HERE", u"HERE", u"     LI      1", u"     SVC     0"}));
  step();
  EXPECT_EQ(selectedLine(engine.view()), u"0002 : B000 0001  :     LI      1"_s);
  engine.Command3_Click();
  MachineState state = engine.state().machine;
  state.ExecAddress = 3; // the second word of LI 1: no line starts there
  engine.moves().restoreMachine(state);
  EXPECT_EQ(selectedLine(engine.view()), u"0000 : E000 0002  :     JMP     HERE"_s);
}

// The jump lands on the first word beyond the 64 cells of the panel.
TEST_F(EmulatorTest, ImageBeyondThePanelRunsAndItsMarksAreNotDrawn) {
  assemble(u" JMP FAR\r\n DA 62\r\nFAR LI 5\r\n STOR X\r\n SVC 0\r\nX DC 0"_s);
  EXPECT_EQ(engine.state().machine.ProgramSize, 70);
  step();
  EXPECT_EQ(engine.view().txtExecAddress, u"0040"_s);
  EXPECT_EQ(engine.view().lblCodeMarks, (std::array<Mark, kMemoryCells>{}));
  EXPECT_EQ(stepsToEnd(), 3);
  EXPECT_EQ(engine.state().machine.Memory[69], 5);
}

// Wherever a press of "実行" falls in auto-run, it stops auto-run and finishes an instruction that
// auto-run has fetched rather than skipping it or running it twice; pressing on then ends the
// program with the undisturbed result.
TEST_F(EmulatorTest, PressDuringAutoRunStopsItAndLosesNoInstruction) {
  engine.List1_Click(0);
  engine.Command1_Click();
  for (int ticks = 0; ticks < 2 + 3 * 20; ++ticks) { // every phase of the first 20 instructions
    engine.Command3_Click();
    engine.setText3(QString());
    engine.Command4_Click();
    for (int tick = 0; tick < ticks; ++tick)
      engine.Timer1_Timer();
    step();
    EXPECT_FALSE(engine.state().clock.interval > 0) << ticks;
    for (int tick = 0; tick < 3; ++tick)
      engine.Timer1_Timer(); // ticks already on their way do nothing
    if (!engine.view().Text3.contains(u"プログラムの終了です."_s))
      stepsToEnd();
    ASSERT_EQ(engine.view().Text3, u"\r\n* 45\r\nプログラムの終了です."_s) << ticks;
    ASSERT_EQ(engine.state().machine.Memory[0x1A], 45) << ticks; // A
    ASSERT_EQ(engine.state().machine.Memory[0x1B], 0) << ticks;  // I
  }
  EXPECT_TRUE(boxes.texts().isEmpty());
}

// The panel shows what the memory holds: a STOR past the program image repaints its cell, which
// stays painted over later steps and a reload of the screen, until the next assembly blanks it.
TEST_F(EmulatorTest, StoreBeyondTheImageRepaintsItsCell) {
  assemble(u" LI 9\r\n STOR 40\r\n STOR 63\r\n STOR 64\r\n SVC 0"_s);
  step(2);
  EXPECT_EQ(engine.view().lblCode[40], u"0009"_s);
  EXPECT_EQ(engine.view().lblCodeMarks[40], Mark::Yellow);
  step(3);
  EXPECT_EQ(engine.view().lblCode[40], u"0009"_s);
  EXPECT_EQ(engine.view().lblCode[63], u"0009"_s);
  EXPECT_EQ(engine.state().machine.Memory[64], 9);
  engine.unload();
  engine.Form_Load();
  EXPECT_EQ(engine.view().lblCode[40], u"0009"_s);
  engine.setText1(u" SVC 0"_s);
  engine.Command1_Click();
  EXPECT_EQ(engine.view().lblCode[40], u"0000"_s);
}

// One instruction after `before` others, on the emulator alone (without the screen or any box)
// and on the screen: what it gives and where it leaves the execution address. A fault or a code
// outside the table changes nothing but the execution address, put back on it. The screen leaves
// the same machine (the end of the program puts it back to 0), shows a box for each input, notice
// and fault (naming the instruction's address), and a fault stays the same when pressed again.
// The phases against the whole step, and auto-run stopping at a fault: fuzz/emulator_fuzz.cpp.
struct StepCase {
  QString source;
  int before;
  Happening happened;
  std::int16_t execAfter;
};

void PrintTo(const StepCase& c, std::ostream* os) {
  *os << c.source.toStdString();
}

class Instructions : public MachineFixture, public ::testing::WithParamInterface<StepCase> {};

TEST_P(Instructions, SayWhatHappenedAloneAndOnTheScreen) {
  const StepCase& c = GetParam();
  MachineState m;
  loadImage(machine::assemble(c.source), m);
  Happening last;
  MachineState before;
  QStringList shown;
  for (int i = 0; i <= c.before; ++i) {
    before = m;
    last = stepInstruction(m);
    if (last.kind == Happening::Input)
      shown << u"データ入力"_s;
    else if (last.kind == Happening::Notice || last.kind == Happening::Fault)
      shown << last.text + (last.kind == Happening::Fault
                                ? u" (命令アドレス "_s + hex4(last.address) + u')'
                                : QString());
  }
  EXPECT_EQ(last, c.happened);
  EXPECT_EQ(m.ExecAddress, c.execAfter);
  if (last.kind == Happening::Fault || last.kind == Happening::Nothing) {
    EXPECT_EQ(std::tie(m.Register, m.Memory, m.Status),
              std::tie(before.Register, before.Memory, before.Status));
  }
  if (last.kind == Happening::End)
    m.ExecAddress = 0;

  assemble(c.source);
  step(c.before + 1);
  EXPECT_EQ(engine.state().machine, m);
  if (last.kind == Happening::Fault) {
    step(); // the same fault again
    EXPECT_EQ(engine.state().machine, m);
    shown << shown.last();
  }
  EXPECT_EQ(boxes.texts(), shown);
}

using H = Happening;
// clang-format off
INSTANTIATE_TEST_SUITE_P(Machine, Instructions, ::testing::Values(
    StepCase{u" LI 7\r\n OUT 0"_s, 1, {H::Output, u"* 7"_s, 0, 0}, 3},
    StepCase{u" IN 3"_s, 0, {H::Input, {}, 0, 3}, 1},
    StepCase{u" SVC 5\r\n SVC 0"_s, 0, {H::Notice, u"サポートされていないSVCです: 5"_s, 0, 0}, 1},
    StepCase{u" SVC 5\r\n SVC 0"_s, 1, {H::End, {}, 0, 0}, 2}, // execution goes on
    StepCase{u" DC 34048\r\n DC 30464\r\n DC -1"_s, 2, {}, 4}, // codes outside the table
    StepCase{u" LI 1\r\n LOAD 201"_s, 1, {H::Fault, u"メモリ範囲外のアドレスです: 00C9"_s, 2, 0}, 2},
    StepCase{u" STOR -1"_s, 0, {H::Fault, u"メモリ範囲外のアドレスです: FFFF"_s, 0, 0}, 0},
    StepCase{u" LI 195,2\r\n ADD 6,1,2"_s, 1, {H::Fault, u"メモリ範囲外のアドレスです: 00C9"_s, 2, 0}, 2},
    StepCase{u" LI 7\r\n DIV Z\r\nZ DC 0"_s, 1, {H::Fault, u"0で割ることはできません"_s, 2, 0}, 2},
    StepCase{u" DIVI 0"_s, 0, {H::Fault, u"0で割ることはできません"_s, 0, 0}, 0},
    StepCase{u" LOAD M\r\n DIVI -1\r\nM DC &H80000000"_s, 1,
             {H::Fault, u"除算の結果が32ビットに収まりません"_s, 2, 0}, 2},
    StepCase{u" OUT 16"_s, 0, {H::Fault, u"レジスタ番号が範囲外です: 16"_s, 0, 0}, 0},
    StepCase{u" JMP 300"_s, 1, {H::Fault, u"メモリ範囲外から命令を読み出そうとしました: 012C"_s, 300, 0},
             300},
    StepCase{u" LOAD W\r\n STOR 200\r\n JMP 200\r\nW DC 45056"_s, 3,
             {H::Fault, u"メモリ範囲外から命令を読み出そうとしました: 00C9"_s, 200, 0}, 200}));
// clang-format on

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

  assemble(u"     "_s + QString::fromUtf16(c.line) + u"\r\n     DC      0\r\nV    DC      "_s +
           QString::number(c.v) + u"\r\n"_s);
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

  // Nothing else changes but the instruction register and what the emulator decoded from it.
  const MachineState& after = engine.state().machine;
  MachineState expected = state;
  expected.Register[1] = c.x1After;
  expected.Memory[static_cast<std::size_t>(size + 1)] = c.vAfter;
  expected.Status = c.flagsAfter;
  expected.ExecAddress = static_cast<std::int16_t>(c.execAfter);
  std::tie(expected.Ope, expected.EffectAddress, expected.InstructionAddress, expected.SvcCode,
           expected.EndOfProgram) =
      std::tie(after.Ope, after.EffectAddress, after.InstructionAddress, after.SvcCode,
               after.EndOfProgram);
  EXPECT_EQ(after, expected);
  EXPECT_EQ(row->setsFlags, c.flagsAfter != c.flags);
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
