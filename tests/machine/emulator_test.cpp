#include "machine/emulator.h"
#include "machine_fixture.h"
#include "support/state_harness.h"

#include <tuple>

namespace rpn::machine {
namespace {

using EmulatorTest = MachineFixture;

// The listing line the screen shows selected.
QString selectedLine(const AssemblerView& view) {
  return view.Text2.mid(view.Text2SelStart, view.Text2SelLength);
}

TEST_F(EmulatorTest, AutoRunReassemblesTheSourceAsItIsAfterTheIdleTick) {
  const auto ticksToIdle = [&] {
    int ticks = 0;
    do {
      engine.Timer1_Timer();
    } while (++ticks < 1000 && engine.state().clock.phase != kIdle);
    return ticks;
  };
  engine.List1_Click(0);
  engine.Command4_Click(); // trace mode is ticked and has no effect on auto-run
  ticksToIdle();
  // The next cycle assembles the source as it is then, after one idle tick.
  engine.List1_Click(1);
  engine.Timer1_Timer();
  EXPECT_EQ(engine.state().machine.ProgramSize, 28);
  EXPECT_EQ(ticksToIdle(), 1 + 3 * 68);
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

// IN asks through the input box and reads the leading number, rounded half to even; the cases
// follow each other so that every one changes the register.
TEST_F(EmulatorTest, InReadsTheLeadingNumberOfWhatIsTyped) {
  assemble(u" IN 2"_s);
  const struct {
    QString typed;
    std::int32_t read;
  } cases[] = {{u"12.5"_s, 12},    {u"abc"_s, 0},         {u"13.5"_s, 14},  {u""_s, 0},
               {u"  -7xyz"_s, -7}, {u"99999999999"_s, 0}, {u"&HFFFF"_s, -1}};
  for (const auto& c : cases) {
    engine.Command3_Click();
    boxes.answerText(c.typed);
    step();
    EXPECT_EQ(engine.state().machine.Register[2], c.read) << c.typed.toStdString();
  }
  EXPECT_EQ(boxes.boxes().front().kind, test::RecordingDialogs::Box::Kind::AskText);
  QStringList expected(7, u"データ入力"_s);
  expected.insert(6, u"数値が範囲外です: 99999999999"_s);
  EXPECT_EQ(boxes.texts(), expected);
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

// The emulator alone, without the screen or any box: what the last of `steps` instructions gives
// and where it leaves the execution address. An instruction stepped whole leaves the machine its
// three phases leave; a fault changes nothing but the execution address, put back on it.
TEST(Emulator, StepsSayWhatHappened) {
  using H = Happening;
  const struct {
    QString source;
    int steps;
    Happening happened;
    std::int16_t execAfter;
  } cases[] = {
      {u" LI 7\r\n OUT 0"_s, 2, {H::Output, u"* 7"_s, 0, 0}, 3},
      {u" IN 3"_s, 1, {H::Input, {}, 0, 3}, 1},
      {u" SVC 5\r\n SVC 0"_s, 1, {H::Notice, u"サポートされていないSVCです: 5"_s, 0, 0}, 1},
      {u" SVC 5\r\n SVC 0"_s, 2, {H::End, {}, 0, 0}, 2},
      {u" DC 34048\r\n DC 30464\r\n DC -1"_s, 3, {}, 4}, // codes outside the table
      {u" LI 1\r\n DIVI 0"_s, 2, {H::Fault, u"0で割ることはできません"_s, 2, 0}, 2},
      {u" JMP 300"_s,
       2,
       {H::Fault, u"メモリ範囲外から命令を読み出そうとしました: 012C"_s, 300, 0},
       300},
      {u" LI 1\r\n LOAD 201"_s, 2, {H::Fault, u"メモリ範囲外のアドレスです: 00C9"_s, 2, 0}, 2},
  };
  for (const auto& c : cases) {
    MachineState m;
    loadImage(assemble(c.source), m);
    Happening last;
    MachineState before;
    for (int i = 0; i < c.steps; ++i) {
      before = m;
      MachineState phased = m;
      last = stepInstruction(m);
      Happening phase;
      for (const Phase p : {Phase::Fetch, Phase::OperandAddress, Phase::Execute})
        if (phase.kind == H::Nothing)
          phase = step(phased, p);
      EXPECT_EQ(phased, m) << c.source.toStdString();
      EXPECT_EQ(phase, last) << c.source.toStdString();
    }
    EXPECT_EQ(last, c.happened) << c.source.toStdString();
    EXPECT_EQ(m.ExecAddress, c.execAfter) << c.source.toStdString();
    if (last.kind == H::Fault || last.kind == H::Nothing) {
      EXPECT_EQ(std::tie(m.Register, m.Memory, m.Status),
                std::tie(before.Register, before.Memory, before.Status));
    }
  }
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

TEST_F(EmulatorTest, UnsupportedServiceCodeIsABoxAndExecutionGoesOn) {
  assemble(u" SVC 5\r\n SVC 0"_s);
  EXPECT_EQ(stepsToEnd(), 2);
  EXPECT_EQ(boxes.texts(), QStringList{u"サポートされていないSVCです: 5"_s});
}

// Machine faults: a box naming the fault and the instruction, nothing changed, the execution
// address left on the instruction, auto-run stopped.
struct FaultCase {
  QString source;
  int stepsBefore; // instructions that run before the faulting one
  QString box;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
  *os << c.source.toStdString();
}

class Faults : public MachineFixture, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(Faults, ChangeNothingAndStopAutoRun) {
  const FaultCase& c = GetParam();
  assemble(c.source);
  step(c.stepsBefore);
  const MachineState& m = engine.state().machine;
  const auto before = std::tuple(m.Memory, m.Register, m.Status, m.ExecAddress);
  step(2); // the same fault both times
  EXPECT_EQ(std::tie(m.Memory, m.Register, m.Status, m.ExecAddress), before);

  engine.Command3_Click();
  engine.Command4_Click();
  for (int tick = 0; tick < 100 && engine.state().clock.interval > 0; ++tick)
    engine.Timer1_Timer();
  EXPECT_FALSE(engine.state().clock.interval > 0);
  EXPECT_EQ(m.ExecAddress, std::get<3>(before));
  EXPECT_EQ(boxes.texts(), QStringList(3, c.box));
}

INSTANTIATE_TEST_SUITE_P(
    Machine, Faults,
    ::testing::Values(
        FaultCase{u" LI 1\r\n LOAD 201"_s, 1,
                  u"メモリ範囲外のアドレスです: 00C9 (命令アドレス 0002)"_s},
        FaultCase{u" STOR -1"_s, 0, u"メモリ範囲外のアドレスです: FFFF (命令アドレス 0000)"_s},
        FaultCase{u" LI 195,2\r\n ADD 6,1,2"_s, 1,
                  u"メモリ範囲外のアドレスです: 00C9 (命令アドレス 0002)"_s},
        FaultCase{u" LI 7\r\n DIV Z\r\nZ DC 0"_s, 1,
                  u"0で割ることはできません (命令アドレス 0002)"_s},
        FaultCase{u" DIVI 0"_s, 0, u"0で割ることはできません (命令アドレス 0000)"_s},
        FaultCase{u" LOAD M\r\n DIVI -1\r\nM DC &H80000000"_s, 1,
                  u"除算の結果が32ビットに収まりません (命令アドレス 0002)"_s},
        FaultCase{u" OUT 16"_s, 0, u"レジスタ番号が範囲外です: 16 (命令アドレス 0000)"_s},
        FaultCase{u" JMP 300"_s, 1,
                  u"メモリ範囲外から命令を読み出そうとしました: 012C (命令アドレス 012C)"_s},
        FaultCase{u" LOAD W\r\n STOR 200\r\n JMP 200\r\nW DC 45056"_s, 3,
                  u"メモリ範囲外から命令を読み出そうとしました: 00C9 (命令アドレス 00C8)"_s}));

} // namespace
} // namespace rpn::machine
