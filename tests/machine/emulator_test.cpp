#include "machine/samples.h"
#include "machine_fixture.h"

#include <functional>
#include <random>

namespace rpn::machine {
namespace {

using EmulatorTest = MachineFixture;

const QString kEndOutput = u"\r\n* 45\r\nプログラムの終了です."_s;

// The listing line the screen shows selected.
QString selectedLine(const AssemblerView& view) {
  return view.Text2.mid(view.Text2SelStart, view.Text2SelLength);
}

struct SampleRun {
  int item;
  int steps;
};

class SampleRuns : public MachineFixture, public ::testing::WithParamInterface<SampleRun> {};

TEST_P(SampleRuns, EndAfterTheirStepsWithOutput45) {
  engine.List1_Click(GetParam().item);
  engine.Command1_Click();
  EXPECT_EQ(stepsToEnd(), GetParam().steps);
  EXPECT_EQ(engine.view().Text3, kEndOutput);
  EXPECT_EQ(engine.view().txtExecAddress, u"0000"_s);
  EXPECT_EQ(engine.machine().ExecAddress, 0);
  EXPECT_EQ(engine.view().txtRegister[0], u"002D"_s);
  EXPECT_TRUE(boxes.texts().isEmpty());

  // The program initialises its own data, so pressing on runs it the same again.
  EXPECT_EQ(stepsToEnd(), GetParam().steps);
  EXPECT_EQ(engine.view().Text3, kEndOutput + kEndOutput);
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleRuns,
                         ::testing::Values(SampleRun{0, 80}, SampleRun{1, 68}));

TEST_F(EmulatorTest, FirstStepOfTheCompareSampleShowsEveryMark) {
  engine.List1_Click(0);
  engine.Command1_Click();
  step();
  const AssemblerView& v = engine.view();
  EXPECT_EQ(v.txtOpe, (std::array<QString, 4>{u"B0"_s, u"0"_s, u"0"_s, u"000A"_s}));
  EXPECT_EQ(v.txtOpeMark, Mark::White);
  EXPECT_EQ(v.txtEffectAddress, u"000A"_s);
  EXPECT_EQ(v.txtEffectAddressMark, Mark::White);
  EXPECT_EQ(v.txtRegister[0], u"000A"_s);
  for (int k = 0; k < kRegisters; ++k)
    EXPECT_EQ(v.txtRegisterMarks[static_cast<std::size_t>(k)], k == 0 ? Mark::Yellow : Mark::White)
        << k;
  EXPECT_EQ(v.txtStatus, (std::array<QString, 3>{u"1"_s, u"0"_s, u"0"_s}));
  EXPECT_EQ(v.txtExecAddress, u"0002"_s);
  for (int k = 0; k < kMemoryCells; ++k)
    EXPECT_EQ(v.lblCodeMarks[static_cast<std::size_t>(k)],
              k == 2 || k == 3 ? Mark::Red : Mark::White)
        << k;
  EXPECT_EQ(selectedLine(v), u"0002 : A200 001B  :     STOR    I"_s);
}

TEST_F(EmulatorTest, TraceModeShowsThreeBoxesOnTheStateOfTheirPhase) {
  engine.List1_Click(0);
  engine.Command1_Click();
  QStringList seen;
  boxes.onBox = [&] {
    const AssemblerView& v = engine.view();
    seen << QStringLiteral("%1 ope=%2 ea=%3 x0=%4")
                .arg(v.txtExecAddress)
                .arg(v.txtOpeMark == Mark::Yellow ? u"yellow"_s : u"white"_s)
                .arg(v.txtEffectAddressMark == Mark::Red ? u"red"_s : u"white"_s)
                .arg(v.txtRegisterMarks[0] == Mark::Yellow ? u"yellow"_s : u"white"_s);
  };
  engine.setCheck1(true);
  engine.Command2_Click();
  EXPECT_EQ(boxes.texts(), (QStringList{u"命令フェッチ&アドレスカウント"_s,
                                        u"オペランドアドレス計算"_s, u"命令実行"_s}));
  EXPECT_EQ(seen, (QStringList{u"0002 ope=yellow ea=white x0=white"_s,
                               u"0002 ope=yellow ea=red x0=white"_s,
                               u"0002 ope=white ea=white x0=yellow"_s}));

  // The trace switch is read before every box: unticking it in the first box ends the boxes.
  boxes.clear();
  boxes.onBox = [&] { engine.setCheck1(false); };
  engine.setCheck1(true);
  engine.Command2_Click();
  EXPECT_EQ(boxes.texts(), QStringList{u"命令フェッチ&アドレスカウント"_s});
  EXPECT_EQ(engine.view().txtExecAddress, u"0004"_s);
}

TEST_F(EmulatorTest, AutoRunTakesThreeTicksPerInstructionAndReassemblesAfterTheIdleTick) {
  engine.List1_Click(0);
  engine.setCheck1(true); // has no effect on auto-run
  engine.Command4_Click();
  EXPECT_EQ(engine.driver().interval(), 500);
  int ticks = 0;
  while (!engine.view().Text3.contains(u"終了"_s) && ticks < 1000) {
    engine.Timer1_Timer();
    ++ticks;
  }
  EXPECT_EQ(ticks, 2 + 3 * 80); // idle, assemble, three per instruction
  EXPECT_EQ(engine.view().Text3, u"\r\n* 45\r\n プログラムの終了です."_s);
  EXPECT_EQ(engine.driver().phase(), kIdle);
  EXPECT_EQ(engine.view().txtExecAddress, u"0000"_s);
  EXPECT_TRUE(boxes.texts().isEmpty());

  // The next cycle assembles the source as it is then, after one idle tick.
  engine.LoadSampleRegisters();
  engine.Timer1_Timer();
  EXPECT_EQ(engine.machine().ProgramSize, 28);
  engine.Timer1_Timer();
  EXPECT_EQ(engine.machine().ProgramSize, 22);
  EXPECT_EQ(engine.driver().phase(), kFetch);
  ticks = 0;
  while (engine.driver().phase() != kIdle && ticks < 1000) {
    engine.Timer1_Timer();
    ++ticks;
  }
  EXPECT_EQ(ticks, 3 * 68);
  EXPECT_TRUE(engine.view().Text3.endsWith(u"* 45\r\n プログラムの終了です."_s));

  engine.Command5_Click();
  EXPECT_FALSE(engine.driver().running());
  const MachineState stopped = engine.machine();
  engine.Timer1_Timer(); // a late tick does nothing
  EXPECT_EQ(engine.machine(), stopped);
  EXPECT_EQ(engine.driver().phase(), kIdle);
}

TEST_F(EmulatorTest, IntervalTextThatIsNoNumberLeavesAutoRunStopped) {
  for (const QString& text : {u""_s, u"0"_s, u"abc"_s}) {
    engine.setTxtTimer(text);
    engine.Command4_Click();
    EXPECT_FALSE(engine.driver().running()) << text.toStdString();
    engine.Timer1_Timer();
    EXPECT_EQ(engine.driver().phase(), kIdle);
  }
  engine.setTxtTimer(u"200.5"_s);
  engine.Command4_Click();
  EXPECT_EQ(engine.driver().interval(), 200);
  EXPECT_TRUE(boxes.texts().isEmpty());
}

struct InputCase {
  const char16_t* typed;
  const char16_t* output;
  QStringList extraBoxes;
};

class Inputs : public MachineFixture, public ::testing::WithParamInterface<InputCase> {};

TEST_P(Inputs, InThenOutEchoesTheNumberRead) {
  assemble(sourceLines({u"     LI      3", u"     IN      2", u"     OUT     2"}));
  step(); // P from LI 3
  boxes.answerText(QString::fromUtf16(GetParam().typed));
  step(2);
  EXPECT_EQ(boxes.boxes().front().kind, test::RecordingDialogs::Box::Kind::AskText);
  EXPECT_EQ(boxes.texts(), QStringList{u"データ入力"_s} + GetParam().extraBoxes);
  EXPECT_EQ(engine.view().Text3, u"\r\n"_s + QString::fromUtf16(GetParam().output));
  EXPECT_EQ(engine.machine().Status, (std::array<std::int16_t, 3>{1, 0, 0})); // unchanged by IN
}

INSTANTIATE_TEST_SUITE_P(
    Typed, Inputs,
    ::testing::Values(InputCase{u"12.5", u"* 12", {}}, InputCase{u"13.5", u"* 14", {}},
                      InputCase{u"abc", u"* 0", {}}, InputCase{u"", u"* 0", {}},
                      InputCase{u"  -7xyz", u"* -7", {}}, InputCase{u"&HFFFF", u"* -1", {}},
                      InputCase{u"99999999999", u"* 0", {u"数値が範囲外です: 99999999999"_s}}));

TEST_F(EmulatorTest, InitialiseMidRunRestartsAtZeroKeepingRegistersAndMemory) {
  engine.List1_Click(0);
  engine.Command1_Click();
  step(12);
  const MachineState before = engine.machine();
  ASSERT_NE(before.ExecAddress, 0);
  engine.Command3_Click();
  MachineState expected = before;
  expected.ExecAddress = 0;
  EXPECT_EQ(engine.machine(), expected);
  EXPECT_EQ(selectedLine(engine.view()), u"0000 : B000 000A  :     LI      10"_s);
  step();
  EXPECT_EQ(engine.view().txtOpe[3], u"000A"_s);
  EXPECT_EQ(stepsToEnd(), 79);
  EXPECT_EQ(engine.view().Text3, kEndOutput);
}

TEST_F(EmulatorTest, OutputKeepsItsLast5000CharactersBeforeTheNewLine) {
  assemble(sourceLines({u"     LI      7", u"     OUT     0", u"     SVC     0"}));
  const QString old = QString(1000, u'a') + QString(5000, u'b');
  engine.setText3(old);
  step(2);
  EXPECT_EQ(engine.view().Text3, QString(5000, u'b') + u"\r\n* 7"_s);
  step();
  EXPECT_EQ(engine.view().Text3, QString(5000 - 5, u'b') + u"\r\n* 7\r\nプログラムの終了です."_s);
}

TEST_F(EmulatorTest, CodesOutsideTheTableSkipTheirWordsAndChangeNothing) {
  MachineState state;
  state.Memory[0] = 0x8500; // two words: 0x85 is no instruction
  state.Memory[1] = 0x1234;
  state.Memory[2] = 0x7700; // one word
  state.Memory[3] = -1;     // code 0, operand byte -1
  state.Register[0] = 5;    // and from 4 on memory that holds no program: words 0000
  engine.restoreMachine(state);
  step();
  EXPECT_EQ(engine.machine().ExecAddress, 2);
  step();
  EXPECT_EQ(engine.machine().ExecAddress, 3);
  step(3);
  EXPECT_EQ(engine.machine().ExecAddress, 6);
  EXPECT_EQ(engine.view().txtOpe, (std::array<QString, 4>{u"00"_s, u"0"_s, u"0"_s, u"0000"_s}));
  EXPECT_TRUE(boxes.texts().isEmpty());
  EXPECT_EQ(engine.machine().Register, state.Register);
  EXPECT_EQ(engine.machine().Memory, state.Memory);
  EXPECT_EQ(engine.machine().Status, state.Status);
  for (Mark mark : engine.view().txtRegisterMarks)
    EXPECT_EQ(mark, Mark::White);
}

TEST_F(EmulatorTest, SelectionSkipsALabelOnItsOwnLine) {
  assemble(sourceLines({u"     JMP     HERE", u"HERE", u"     LI      1", u"     SVC     0"}));
  step();
  EXPECT_EQ(selectedLine(engine.view()), u"0002 : B000 0001  :     LI      1"_s);
  // Inside a two-word instruction no line matches: the selection stays.
  engine.Command3_Click();
  MachineState state = engine.machine();
  state.ExecAddress = 3;
  engine.restoreMachine(state);
  EXPECT_EQ(selectedLine(engine.view()), u"0000 : E000 0002  :     JMP     HERE"_s);
}

TEST_F(EmulatorTest, ImageBeyondThePanelRunsAndItsMarksAreNotDrawn) {
  assemble(sourceLines({u"     JMP     FAR", u"     DA      70", u"FAR  LI      5",
                        u"     STOR    X", u"     SVC     0", u"X    DC      0"}));
  EXPECT_EQ(engine.machine().ProgramSize, 78);
  step();
  EXPECT_EQ(engine.view().txtExecAddress, u"0048"_s);
  for (Mark mark : engine.view().lblCodeMarks)
    EXPECT_EQ(mark, Mark::White);
  EXPECT_EQ(stepsToEnd(), 3);
  EXPECT_EQ(engine.machine().Memory[77], 5);
}

TEST_F(EmulatorTest, UnloadKeepsTheMachineAndLoadRepaintsIt) {
  engine.List1_Click(0);
  engine.Command1_Click();
  step(5);
  engine.setTxtTimer(u"100"_s);
  engine.Command4_Click();
  const MachineState kept = engine.machine();
  engine.unload();
  EXPECT_FALSE(engine.driver().running());
  EXPECT_EQ(engine.view().txtTimer, u"500"_s);
  EXPECT_TRUE(engine.view().Check1);
  EXPECT_EQ(engine.machine(), kept);
  engine.Form_Load();
  EXPECT_EQ(engine.view().Text2, QString());
  EXPECT_EQ(engine.view().Text3, QString());
  EXPECT_EQ(engine.view().txtExecAddress, u"0000"_s);
  EXPECT_EQ(engine.view().txtRegister[0], u"000A"_s);
  EXPECT_EQ(engine.view().lblCode[0], u"B000"_s);
  EXPECT_EQ(engine.view().txtStatus[0], u"1"_s);
}

TEST_F(EmulatorTest, UnsupportedServiceCodeIsReportedAndExecutionGoesOn) {
  assemble(sourceLines({u"     SVC     5", u"     LI      1", u"     SVC     0"}));
  step();
  EXPECT_EQ(boxes.texts(), QStringList{u"サポートされていないSVCです: 5"_s});
  EXPECT_EQ(engine.machine().SvcCode, 5);
  EXPECT_EQ(engine.view().txtExecAddress, u"0001"_s);
  EXPECT_EQ(engine.view().Text3, QString());
  EXPECT_EQ(stepsToEnd(), 2);
  EXPECT_EQ(engine.machine().SvcCode, 0);
}

// Arithmetic wraps around in 32-bit two's complement.
struct WrapCase {
  const char16_t* operation;
  std::int32_t start;
  std::int32_t result;
};

class Wraparound : public MachineFixture, public ::testing::WithParamInterface<WrapCase> {};

TEST_P(Wraparound, OverflowWrapsAndSetsTheFlagsOfTheResult) {
  MachineState state;
  state.Register[1] = GetParam().start;
  engine.restoreMachine(state);
  assemble(
      sourceLines({GetParam().operation, u"MAX  DC      &H7FFFFFFF", u"MIN  DC      &H80000000"}));
  step();
  EXPECT_EQ(engine.machine().Register[1], GetParam().result);
  const std::int16_t plus = GetParam().result > 0 ? 1 : 0;
  const std::int16_t zero = GetParam().result == 0 ? 1 : 0;
  const std::int16_t minus = GetParam().result < 0 ? 1 : 0;
  EXPECT_EQ(engine.machine().Status, (std::array<std::int16_t, 3>{plus, zero, minus}));
  EXPECT_TRUE(boxes.texts().isEmpty());
}

constexpr std::int32_t kMax = 2147483647;
constexpr std::int32_t kMin = -2147483647 - 1;

INSTANTIATE_TEST_SUITE_P(Operations, Wraparound,
                         ::testing::Values(WrapCase{u"     ADD     MAX,1", 1, kMin},
                                           WrapCase{u"     ADDI    1,1", kMax, kMin},
                                           WrapCase{u"     SUB     MIN,1", 0, kMin},
                                           WrapCase{u"     SUBI    1,1", kMin, kMax},
                                           WrapCase{u"     MULT    MAX,1", 2, -2},
                                           WrapCase{u"     MULTI   -1,1", kMin, kMin},
                                           WrapCase{u"     MULTI   2,1", 0x40000000, kMin},
                                           WrapCase{u"     MINUS   1", kMin, kMin},
                                           WrapCase{u"     DIV     MIN,1", kMin, 1}));

// Machine faults: a box naming the fault and the instruction, nothing changed, auto-run stopped.
struct FaultCase {
  const char* name;
  QString source;
  int stepsBefore; // instructions that run before the faulting one
  QString box;
  std::function<void(MachineState&)> setUp = {};
};

void PrintTo(const FaultCase& c, std::ostream* os) {
  *os << c.name;
}

class Faults : public MachineFixture, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(Faults, StopTheInstructionAndNameIt) {
  const FaultCase& c = GetParam();
  assemble(c.source);
  if (c.setUp) {
    MachineState state = engine.machine();
    c.setUp(state);
    engine.restoreMachine(state);
  }
  step(c.stepsBefore);
  ASSERT_TRUE(boxes.texts().isEmpty());
  const MachineState before = engine.machine();

  engine.setTxtTimer(u"500"_s);
  engine.Command4_Click();
  engine.Command2_Click();
  EXPECT_EQ(boxes.texts(), QStringList{c.box});
  EXPECT_FALSE(engine.driver().running());
  const MachineState& after = engine.machine();
  EXPECT_EQ(after.Memory, before.Memory);
  EXPECT_EQ(after.Register, before.Register);
  EXPECT_EQ(after.Status, before.Status);
  EXPECT_EQ(after.ExecAddress, before.ExecAddress);
  EXPECT_EQ(engine.view().txtExecAddress, hex4(before.ExecAddress));

  // The execution address stays on the instruction: the next press meets the same fault, and
  // auto-run stops at it too.
  boxes.clear();
  engine.Command2_Click();
  EXPECT_EQ(boxes.texts(), QStringList{c.box});
  boxes.clear();
  engine.Command4_Click();
  engine.Timer1_Timer(); // idle
  engine.Timer1_Timer(); // assemble
  MachineState state = engine.machine();
  if (c.setUp)
    c.setUp(state);
  engine.restoreMachine(state);
  for (int i = 0; i < 3 && engine.driver().running(); ++i)
    engine.Timer1_Timer();
  EXPECT_EQ(boxes.texts(), QStringList{c.box});
  EXPECT_FALSE(engine.driver().running());
}

INSTANTIATE_TEST_SUITE_P(
    Machine, Faults,
    ::testing::Values(
        FaultCase{"load_beyond_memory", u"     LI      1\r\n     LOAD    201"_s, 1,
                  u"メモリ範囲外のアドレスです: 00C9 (命令アドレス 0002)"_s},
        FaultCase{"stor_below_memory", u"     STOR    -1"_s, 0,
                  u"メモリ範囲外のアドレスです: FFFF (命令アドレス 0000)"_s},
        FaultCase{"indexed_beyond_memory", u"     LI      195,2\r\n     ADD     6,1,2"_s, 1,
                  u"メモリ範囲外のアドレスです: 00C9 (命令アドレス 0002)"_s},
        FaultCase{"divide_by_zero", u"     LI      7\r\n     DIV     Z\r\nZ    DC      0"_s, 1,
                  u"0で除算しました (命令アドレス 0002)"_s},
        FaultCase{"divide_immediate_by_zero", u"     DIVI    0"_s, 0,
                  u"0で除算しました (命令アドレス 0000)"_s},
        FaultCase{"most_negative_by_minus_1",
                  u"     LOAD    M\r\n     DIVI    -1\r\nM    DC      &H80000000"_s, 1,
                  u"除算の結果が32ビットに収まりません (命令アドレス 0002)"_s},
        FaultCase{"register_beyond_15", u"     OUT     16"_s, 0,
                  u"レジスタ番号が範囲外です: 16 (命令アドレス 0000)"_s},
        FaultCase{"register_beyond_15_for_not", u"     NOT     255"_s, 0,
                  u"レジスタ番号が範囲外です: 255 (命令アドレス 0000)"_s},
        FaultCase{"fetch_beyond_memory", u"     JMP     300"_s, 1,
                  u"メモリ範囲外から命令を読み出そうとしました: 012C (命令アドレス 012C)"_s},
        FaultCase{"second_word_beyond_memory", u"     JMP     200"_s, 1,
                  u"メモリ範囲外から命令を読み出そうとしました: 00C9 (命令アドレス 00C8)"_s,
                  [](MachineState& m) { m.Memory[200] = 0xB000; }}));

} // namespace
} // namespace rpn::machine

namespace rpn::machine {
namespace {

// Random machine words and registers, run instruction by instruction: whatever the words hold,
// a step either completes or is a fault that leaves memory, registers and flags as they were.
TEST_F(EmulatorTest, RandomWordsEitherRunOrFaultWithoutChange) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE(::testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  const std::array<std::int32_t, 8> codes{0xA0, 0xA2, 0x84, 0x94, 0xE0, 0x60, 0x28, 0x50};
  for (int round = 0; round < 20; ++round) {
    MachineState state;
    for (std::int32_t& word : state.Memory) {
      const auto pick = random() % 4;
      if (pick == 0)
        word = static_cast<std::int32_t>(random());
      else if (pick == 1)
        word = codes[random() % codes.size()] * 256 + static_cast<std::int32_t>(random() % 256);
      else
        word = static_cast<std::int32_t>(random() % 400) - 100;
    }
    for (std::int32_t& r : state.Register)
      r = static_cast<std::int32_t>(random() % 5) - 2;
    state.ExecAddress = static_cast<std::int16_t>(random() % 201);
    engine.restoreMachine(state);
    for (int i = 0; i < 200; ++i) {
      boxes.clear();
      boxes.answerText(QString::number(static_cast<int>(random() % 100)));
      const MachineState before = engine.machine();
      step();
      const MachineState& after = engine.machine();
      if (!boxes.texts().isEmpty() && boxes.texts().back().contains(u"命令アドレス"_s)) {
        EXPECT_EQ(after.Memory, before.Memory);
        EXPECT_EQ(after.Register, before.Register);
        EXPECT_EQ(after.Status, before.Status);
        EXPECT_EQ(after.ExecAddress, before.ExecAddress);
        engine.Command3_Click(); // go on from address 0
      }
    }
  }
}

} // namespace
} // namespace rpn::machine
