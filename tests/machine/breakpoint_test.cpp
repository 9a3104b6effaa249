// Breakpoints and "最後まで実行" on the machine engine alone: the run to the end must stop exactly
// where "実行" pressed again and again and auto-run stop, whole state for whole state.
#include "machine/samples.h"
#include "machine_fixture.h"

#include <functional>

namespace rpn::machine {
namespace {

// The line-table entries of the instructions of a source.
std::vector<int> instructionLines(const MachineEngine& engine) {
  std::vector<int> lines;
  const std::vector<LineEntry>& table = engine.state().tables.Lines;
  for (std::size_t i = 0; i < table.size(); ++i)
    if (table[i].Kind == LineKind::Op)
      lines.push_back(static_cast<int>(i));
  return lines;
}

// With a breakpoint on each instruction of each sample in turn, from the start and then once
// more from the breakpoint: the run to the end leaves the whole state that "実行" pressed until
// the breakpoint's instruction is next (or the program has ended) leaves, and auto-run stops on
// the same machine with the same line selected.
TEST(Breakpoints, RunToEndStopsWhereStepsAndAutoRunStop) {
  for (const QString& source : {sampleCompare(), sampleRegisters()}) {
    for (const int line : instructionLines(Machine(source).engine)) {
      SCOPED_TRACE(line);
      Machine stepped(source), run(source), autoRun(source);
      for (Machine* m : {&stepped, &run, &autoRun})
        ASSERT_TRUE(m->engine.toggleBreakpoint(line));
      const std::int16_t address =
          static_cast<std::int16_t>(run.engine.state().tables.Lines[std::size_t(line)].Address);
      for (int round = 0; round < 2; ++round) {
        ASSERT_GT(stepped.stepsToEnd(500, address), 0);
        run.runToEnd();
        EXPECT_TRUE(run.engine.state() == stepped.engine.state()) << "round " << round;
      }
      autoRun.engine.Command4_Click();
      for (int ticks = 0; autoRun.engine.state().clock.interval > 0 && ticks < 2000; ++ticks)
        autoRun.engine.Timer1_Timer();
      EXPECT_EQ(autoRun.engine.state().clock.interval, 0);
      if (address == 0) // auto-run leaves it, and stops there after the program's reassembly
        continue;
      Machine first(source);
      first.stepsToEnd(500, address);
      EXPECT_TRUE(autoRun.engine.state().machine == first.engine.state().machine);
      EXPECT_EQ(autoRun.engine.view().Text2SelStart, first.engine.view().Text2SelStart);
      EXPECT_EQ(autoRun.engine.state().clock.phase, kFetch);
      EXPECT_TRUE(run.boxes.texts().isEmpty() && autoRun.boxes.texts().isEmpty());
      // Started again, auto-run leaves the breakpoint and stops at it the next time round.
      autoRun.engine.Command4_Click();
      int again = 0;
      for (; autoRun.engine.state().clock.interval > 0 && again < 2000; ++again)
        autoRun.engine.Timer1_Timer();
      EXPECT_GT(again, 3);
      EXPECT_EQ(autoRun.engine.state().machine.ExecAddress, address);
    }
  }
}

// A run started while auto-run is inside an instruction finishes it first, as "実行" does, and
// that instruction does not count as reaching a breakpoint.
TEST(Breakpoints, RunToEndFinishesTheInstructionAutoRunBegan) {
  Machine run(sampleCompare()), stepped(sampleCompare());
  for (Machine* m : {&run, &stepped}) {
    m->engine.toggleBreakpoint(1); // STOR I, the second instruction
    m->engine.Command4_Click();
    for (int tick = 0; tick < 3; ++tick) // idle, assemble, fetch of LI 10
      m->engine.Timer1_Timer();
  }
  run.runToEnd();
  stepped.engine.Command2_Click();
  EXPECT_TRUE(run.engine.state() == stepped.engine.state());
  EXPECT_EQ(run.engine.state().machine.ExecAddress, 2);
}

struct Ending {
  const char* name;
  QStringList source;
  std::function<void(Machine&)> during; // between the first slice and the rest
  QStringList boxes;
  const char16_t* lastOutput; // the end of the output box
  std::int16_t execAddress;
};

class RunEnds : public ::testing::TestWithParam<Ending> {};

// Every way a run to the end stops: the end of the program, a box the program needs, a machine
// fault, the stop button, another press, the million-instruction limit of an endless loop; each
// paints once at the end.
TEST_P(RunEnds, StopAndPaintOnce) {
  const Ending& e = GetParam();
  QString source;
  for (const QString& line : e.source)
    source += line + u"\r\n"_s;
  Machine m(source);
  m.boxes.answerText(u"7"_s);
  m.engine.cmdRunToEnd_Click();
  if (m.engine.runToEndSlice(2) && e.during)
    e.during(m);
  while (m.engine.runToEndSlice(250'000)) {
  }
  const MachineScreenState& s = m.engine.state();
  EXPECT_FALSE(s.runningToEnd);
  EXPECT_EQ(s.runExecuted, 0);
  EXPECT_EQ(m.boxes.texts(), e.boxes);
  const QString last = QString::fromUtf16(e.lastOutput);
  EXPECT_EQ(m.engine.view().Text3.right(last.size()), last);
  EXPECT_EQ(s.machine.ExecAddress, e.execAddress);
  EXPECT_EQ(m.engine.view().txtExecAddress, hex4(e.execAddress));
}

INSTANTIATE_TEST_SUITE_P(
    Machine, RunEnds,
    ::testing::Values(
        Ending{"End", {u"     LI      7"_s, u"     OUT     0"_s, u"     SVC     0"_s}, {}, {},
               u"* 7\r\nプログラムの終了です.", 0},
        // A box the program needs stops the run after its instruction: a loop of them would
        // keep the stop button out of reach.
        Ending{"InputBox", {u"LOOP IN      0"_s, u"     OUT     0"_s, u"     JMP     LOOP"_s}, {},
               {u"データ入力"_s}, u"", 1},
        Ending{"UnsupportedSvc", {u"LOOP SVC     1"_s, u"     JMP     LOOP"_s}, {},
               {u"サポートされていないSVCです: 1"_s}, u"", 1},
        Ending{"Fault", {u"     LI      1"_s, u"     DIVI    0"_s, u"     SVC     0"_s}, {},
               {u"0で割ることはできません (命令アドレス 0002)"_s}, u"", 2},
        Ending{"StopButton", {u"LOOP JMP     LOOP"_s}, [](Machine& m) { m.engine.Command5_Click(); },
               {}, u"", 0},
        Ending{"ResetPressed", {u"LOOP JMP     LOOP"_s}, [](Machine& m) { m.engine.Command3_Click(); },
               {}, u"", 0},
        Ending{"Limit", {u"     LI      0"_s, u"LOOP ADDI    1"_s, u"     JMP     LOOP"_s}, {},
               {runLimitMessage()}, u"", 4}),
    [](const auto& param) { return std::string(param.param.name); });

// Breakpoints are kept by a new assembly where their line still reads the same and holds an
// instruction; data lines cannot carry one; a reloaded screen (its listing emptied) has none.
TEST(Breakpoints, FollowTheLinesThroughAnotherAssembly) {
  Machine m(sampleCompare());
  EXPECT_FALSE(m.engine.toggleBreakpoint(14)); // A DA 1
  EXPECT_FALSE(m.engine.toggleBreakpoint(16)); // past the listing
  EXPECT_FALSE(m.engine.toggleBreakpoint(-1));
  for (const int line : {10, 4, 8, 12})
    EXPECT_TRUE(m.engine.toggleBreakpoint(line));
  EXPECT_TRUE(m.engine.toggleBreakpoint(10)); // off again
  EXPECT_EQ(m.engine.state().breakpoints, (std::vector<int>{4, 8, 12}));
  m.engine.Command1_Click();
  EXPECT_EQ(m.engine.state().breakpoints, (std::vector<int>{4, 8, 12}));
  // ADD A becomes SUB A; OUT 0 becomes a data word.
  QString edited = sampleCompare();
  edited.replace(u"     ADD     A"_s, u"     SUB     A"_s);
  edited.replace(u"     OUT     0"_s, u"     DC      0"_s);
  m.engine.setText1(edited);
  m.engine.Command1_Click();
  EXPECT_EQ(m.engine.state().breakpoints, (std::vector<int>{4}));
  // A mark going back left on a line that holds no instruction (here the DC line) stops nothing
  // and comes off.
  MachineScreenState kept = m.engine.state();
  kept.breakpoints = {4, 12};
  m.engine.restore(kept);
  EXPECT_FALSE(m.engine.holdsInstruction(12));
  EXPECT_TRUE(m.engine.toggleBreakpoint(12));
  EXPECT_EQ(m.engine.state().breakpoints, (std::vector<int>{4}));
  m.engine.Form_Load();
  EXPECT_TRUE(m.engine.state().breakpoints.empty());
}

} // namespace
} // namespace rpn::machine
