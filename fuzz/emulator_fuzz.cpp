// Fuzz target of the emulator. The input starts with the source text (a seed is a source
// program); the answers of the IN input box follow. An input whose first byte is 0 is a program
// in instructions rather than text: every instruction of the table with operands near the edges
// of the registers, of the memory and of 32 bits, so that runs reach every fault and boundary. The
// program is assembled and run by the "実行" button, one instruction a press, up to its end, a
// machine fault or the step bound, and by auto-run for as many instructions; both must leave the
// same state, and the emulator stepped on its own, with no screen, the same machine. Both runs
// paint nothing (one input in eight paints the presses throughout); painting turned on afterwards
// must show the same state in both. The rest of the input then plays presses, edits, single
// phases, ticks, painting on and off, breakpoints and runs to the end (a few slices, then the
// stop button) on the first engine.
#include "fuzz_support.h"
#include "machine/emulator.h"
#include "machine/machine_engine.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace rpn::fuzz {
namespace {

using namespace machine;

constexpr int kStepBound = 48;

bool faulted(const FuzzDialogs& boxes, std::size_t before) {
  return boxes.count() > before && boxes.boxes().last().contains(QStringLiteral("(命令アドレス "));
}

// A register or index field around 0..15.
int registerField(FuzzedDataProvider& in) {
  return in.ConsumeIntegralInRange(-1, kRegisters + 1);
}

// An address around the memory, or now and then any 16-bit value.
int addressField(FuzzedDataProvider& in) {
  if (in.ConsumeIntegralInRange(0, 7) == 0)
    return in.ConsumeIntegral<std::int16_t>();
  return in.ConsumeIntegralInRange(-2, kMemoryWords + 2);
}

// The source of a program drawn instruction by instruction from the input.
QString programSource(FuzzedDataProvider& in) {
  QString source;
  const int lines = in.ConsumeIntegralInRange(1, 48);
  for (int line = 0; line < lines && in.remaining_bytes() > 0; ++line) {
    const Instruction& row =
        kInstructionSet.at(in.ConsumeIntegralInRange<std::size_t>(0, kInstructionSet.size() - 1));
    QString operands;
    switch (row.format) {
    case Format::TwoWord:
      operands = QStringLiteral("%1,%2,%3")
                     .arg(addressField(in))
                     .arg(registerField(in))
                     .arg(in.ConsumeBool() ? registerField(in) : 0);
      break;
    case Format::OneWord:
      operands = QString::number(registerField(in));
      break;
    case Format::RegisterPair:
      operands = QStringLiteral("%1,%2").arg(registerField(in)).arg(registerField(in));
      break;
    case Format::Constant:
      operands = QString::number(in.ConsumeIntegral<std::int32_t>());
      break;
    case Format::Area:
      operands = QString::number(in.ConsumeIntegralInRange(0, 4));
      break;
    }
    source += QStringLiteral("     ") + mnemonicText(row).toString() + u' ' + operands +
              QStringLiteral("\r\n");
  }
  return source;
}

void checkInvariants(const MachineEngine& engine) {
  const MachineState& m = engine.state().machine;
  check(m.ProgramSize >= 0 && m.ProgramSize <= kMemoryWords, "the image lies in the memory");
  int flags = 0;
  for (const std::int16_t flag : m.Status) {
    check(flag == 0 || flag == 1, "a flag is 0 or 1");
    flags += flag;
  }
  check(flags <= 1, "at most one flag is set");
  check(engine.view().Text3.size() <= kOutputKeep + 64, "the output keeps its bound");
}

// The state as both runs must leave it: the end message is worded differently by the button and
// by auto-run, and trace mode, auto-run's clock and the listing's selection (an address on no line
// keeps an earlier selection, which a run painted throughout has and a run unseen has not) differ
// by how the runs are made; the marks are those of the last phase only in a run painted throughout.
MachineScreenState comparable(const MachineEngine& engine) {
  MachineScreenState state = engine.state();
  state.view.Text3.replace(QStringLiteral(" プログラムの終了です."),
                           QStringLiteral("プログラムの終了です."));
  state.view.Check1 = false;
  state.clock = {};
  state.view.Text2SelStart = state.view.Text2SelLength = 0;
  state.view.txtOpeMark = state.view.txtEffectAddressMark = Mark::White;
  state.view.txtRegisterMarks = {};
  state.view.lblCodeMarks = {};
  return state;
}

// The presses' run replayed on the emulator alone: the same assembly, the same answers, and the
// end of the program putting the execution address back to 0 as the screen does.
MachineState emulated(const QString& source, const QStringList& answers, int instructions) {
  MachineState m;
  loadImage(assemble(source), m);
  qsizetype nextAnswer = 0;
  for (int i = 0; i < instructions; ++i) {
    const Happening happening = stepInstruction(m);
    if (happening.kind == Happening::Input) {
      QStringList complaints;
      const QString typed =
          answers.isEmpty() ? QString() : answers.at(nextAnswer++ % answers.size());
      m.Register[static_cast<std::size_t>(happening.inputRegister)] =
          readMachineNumber(typed, complaints);
    } else if (happening.kind == Happening::End) {
      m.ExecAddress = 0;
    } else if (happening.kind == Happening::Fault) {
      break;
    }
  }
  return m;
}

void playScript(MachineEngine& engine, FuzzedDataProvider& in, bool utf16) {
  const auto text = [&](std::size_t length) {
    return toText(in.ConsumeRandomLengthString(length), utf16);
  };
  const auto repeat = [&](int most, void (MachineEngine::*move)()) {
    for (int times = in.ConsumeIntegralInRange(1, most); times > 0; --times)
      (engine.*move)();
  };
  using E = MachineEngine;
  // clang-format off
  const std::function<void()> actions[] = {
      [&] { repeat(8, &E::Command2_Click); }, [&] { repeat(16, &E::Timer1_Timer); },
      [&] { engine.Command1_Click(); }, [&] { engine.Command3_Click(); },
      [&] { engine.Command4_Click(); }, [&] { engine.Command5_Click(); },
      [&] { engine.List1_Click(in.ConsumeIntegralInRange(-1, 2)); },
      [&] { engine.setText1(text(512)); }, [&] { engine.setText2(text(256)); },
      [&] { engine.setText3(text(64)); }, [&] { engine.setTxtTimer(text(16)); },
      [&] { engine.setCheck1(in.ConsumeBool()); }, [&] { engine.moves().FetchInstruction(); },
      [&] { engine.moves().ComputeOperandAddress(); }, [&] { engine.moves().ExecuteInstruction(); },
      [&] { engine.moves().restoreMachine(engine.state().machine); },
      [&] { engine.moves().ResetMachine(); }, [&] { engine.setPainting(in.ConsumeBool()); },
      [&] { engine.unload(); engine.Form_Load(); }, // the screen is closed and opened again
      [&] { engine.toggleBreakpoint(in.ConsumeIntegralInRange(-1, kLineSlots)); },
      [&] { // a run to the end, a few slices of it, then the stop button
        engine.cmdRunToEnd_Click();
        for (int slices = in.ConsumeIntegralInRange(0, 3); slices > 0; --slices)
          if (!engine.runToEndSlice(in.ConsumeIntegralInRange(1, 64)))
            break;
        engine.Command5_Click();
        check(!engine.state().runningToEnd, "the stop button ends a run to the end");
      }};
  // clang-format on
  for (int action = 0; action < 64 && in.remaining_bytes() > 0; ++action) {
    actions[in.ConsumeIntegralInRange<std::size_t>(0, std::size(actions) - 1)]();
    checkInvariants(engine);
  }
}

} // namespace
} // namespace rpn::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace rpn::fuzz;
  using namespace rpn::machine;
  const bool program = size > 0 && data[0] == 0;
  FuzzedDataProvider in(program ? data + 1 : data, program ? size - 1 : size);
  const std::string sourceBytes = program ? std::string() : in.ConsumeRandomLengthString(8192);
  const bool utf16 = in.ConsumeBool();
  const QStringList answers = takeAnswers(in, utf16);
  const bool painted = in.ConsumeIntegralInRange(0, 7) == 0; // now and then, as it costs
  const QString source = program ? programSource(in) : toText(sourceBytes, utf16);

  Screen<MachineEngine> presses(answers);
  MachineEngine& stepped = presses.engine;
  FuzzDialogs& stepBoxes = presses.boxes;
  stepped.setPainting(painted);
  stepped.setCheck1(false);
  stepped.setText1(source);
  stepped.Command1_Click();
  checkInvariants(stepped);
  int executed = 0;
  bool fault = false;
  for (int press = 0; press < kStepBound; ++press) {
    const std::size_t before = stepBoxes.count();
    stepped.Command2_Click();
    checkInvariants(stepped);
    fault = faulted(stepBoxes, before);
    if (fault)
      break;
    ++executed;
    if (stepped.state().machine.EndOfProgram && stepped.state().machine.SvcCode == 0)
      break;
  }

  Screen<MachineEngine> autoRun(answers);
  MachineEngine& automatic = autoRun.engine;
  automatic.setPainting(false);
  automatic.setText1(source);
  automatic.Command4_Click();
  check(automatic.state().clock.interval > 0, "the default interval starts auto-run");
  // The idle tick, the assembly, three ticks an instruction, and the ticks up to a fault.
  const int bound = 2 + 3 * executed + 3;
  int autoExecuted = 0;
  for (int ticks = 0; automatic.state().clock.interval > 0 && ticks < bound; ++ticks) {
    if (autoExecuted == executed && !fault)
      break;
    const std::int16_t phase = automatic.state().clock.phase;
    automatic.Timer1_Timer();
    checkInvariants(automatic);
    if (phase == kExecute && automatic.state().clock.phase != kExecute)
      ++autoExecuted;
  }
  check(autoExecuted == executed, "auto-run executes as many instructions as the presses");
  check(automatic.state().clock.interval > 0 != fault, "a machine fault stops auto-run");
  check(emulated(source, answers, executed + (fault ? 1 : 0)) == stepped.state().machine,
        "the emulator alone leaves the machine the presses leave");
  check(autoRun.boxes.boxes() == stepBoxes.boxes(), "auto-run opens the boxes of untraced presses");
  stepped.setPainting(true);
  automatic.setPainting(true);
  check(comparable(automatic) == comparable(stepped),
        "auto-run leaves the state the presses leave");

  playScript(stepped, in, utf16);
  return 0;
}
