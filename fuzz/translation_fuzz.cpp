// Fuzz target of the translation engine and of the hand-off to the pseudo machine. The input
// starts with the reverse Polish expression (a seed is just an expression; some 220 characters fill
// the object buffer). It is translated and optimised by the buttons; a short expression also with
// trace mode and by one auto-run cycle, which must reach the same state (the way aside: trace
// mode, the interval box, the clock, the blinks) after the translation and after the
// optimisation (a long one takes the same paths, box after box). The
// hand-off text is assembled and run unseen on the machine engine with a step bound; the button
// hands over only a program that fits the machine, which assembles without a complaint and runs
// to its end unless it divides by zero. The rest of the input then plays presses, edits, single
// moves and ticks on the auto-run engine, with snapshots replayed (playWithReplays).
#include "fuzz_support.h"
#include "machine/machine_engine.h"
#include "translation/translation_engine.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace rpn::fuzz {
namespace {

using namespace translation;

// The state a run must reach whichever way it went: trace mode, the interval box, the auto-run
// clock, the blink count, and the captions and colours of the end display are the way.
TranslationState outcomeOf(const TranslationEngine& engine) {
  TranslationState state = engine.state();
  state.view.Check1 = false;
  state.view.Text3.clear();
  state.view.Label4.clear();
  state.view.lblValueMark = {};
  state.clock = {};
  state.BlinkCount = 0;
  return state;
}

void checkInvariants(const TranslationEngine& engine) {
  const TranslationState& vars = engine.state();
  check(vars.objectCount() < kObjectSlots, "the buffer holds 0 to 300 (slot 300 stays free)");
  check(vars.VariableCount >= 0 && vars.VariableCount <= kTableCapacity,
        "the table holds 0 to 13 names");
  for (int i = vars.VariableCount; i < kNameLabels; ++i)
    check(engine.view().lblName.at(static_cast<std::size_t>(i)).isEmpty(),
          "labels past the table are empty");
  check(engine.view().StackCount >= 0 && engine.view().StackCount <= walk::kStackCells,
        "the stack holds 0 to 10 cells");
  check(vars.WorkCounter >= 0, "work numbers count up from 0");
}

// The listing shows the object code, unmarked, line for line.
bool listsProgram(const TranslationEngine& engine) {
  const QList<ObjectInstruction>& program = engine.program();
  if (engine.view().List1.size() != program.size())
    return false;
  for (qsizetype i = 0; i < program.size(); ++i)
    if (engine.view().List1.at(i) != FormatInstructionLine(plainLabelColumn(), program.at(i)))
      return false;
  return true;
}

struct Translated {
  TranslationState translated;
  QStringList boxes;
  TranslationState optimised;
  std::optional<QString> handOff; // nothing when the assembler would not read it as meant
};

Translated byButtons(const QString& expression, bool trace) {
  Screen<TranslationEngine> screen;
  TranslationEngine& engine = screen.engine;
  engine.setCheck1(trace);
  engine.setText1(expression);
  engine.Command1_Click();
  checkInvariants(engine);
  check(listsProgram(engine), "the listing shows the object code");
  Translated result{outcomeOf(engine), screen.boxes.boxes(), {}, {}};
  engine.Command5_Click();
  checkInvariants(engine);
  result.optimised = outcomeOf(engine);
  result.handOff = engine.Command6_Click();
  if (result.handOff)
    check(*result.handOff == engine.BuildAssemblerSource(), "the button hands the text over");
  return result;
}

void runHandOff(const QString& handOff) {
  Screen<machine::MachineEngine> screen;
  machine::MachineEngine& engine = screen.engine;
  const FuzzDialogs& boxes = screen.boxes;
  engine.setPainting(false);
  engine.setCheck1(false);
  engine.setText1(handOff);
  engine.Command1_Click();
  const bool fits = handOff.count(QStringLiteral("\r\n")) < machine::kLineSlots &&
                    engine.state().tables.LocationCounter <= machine::kMemoryWords;
  check(fits, "the button hands over only what fits the machine");
  check(boxes.count() == 0, "a hand-off assembles without a complaint");
  const std::size_t assemblyBoxes = boxes.count();
  for (int step = 0; step < 4 * machine::kLineSlots; ++step) {
    engine.Command2_Click();
    if (engine.state().machine.EndOfProgram || boxes.count() > assemblyBoxes)
      break;
  }
  const bool ended = engine.state().machine.EndOfProgram && engine.state().machine.SvcCode == 0;
  const bool divided = boxes.count() > assemblyBoxes && (boxes.boxes().last().contains(u"除算") ||
                                                         boxes.boxes().last().contains(u"0で割る"));
  check(ended || divided, "the hand-off runs to its end unless it divides by zero");
}

using E = TranslationEngine;
const Edit<E> kEdits[] = {{&E::setText1, 64}, {&E::setText2, 16}, {&E::setText3, 16}};
// clang-format off
const Action<E> kPresses[] = {
    [](E& e) { e.Command1_Click(); }, [](E& e) { e.Command2_Click(); },
    [](E& e) { e.Command3_Click(); }, [](E& e) { e.Command4_Click(); },
    [](E& e) { e.Command5_Click(); }, [](E& e) { (void)e.Command6_Click(); },
    [](E& e) { e.moves().ReadSymbol(); }, [](E& e) { e.moves().TranslateSymbol(); },
    [](E& e) { e.moves().PushValue(); }, [](E& e) { e.moves().PopOperands(); },
    [](E& e) { e.moves().PopOperand(); }, [](E& e) { e.moves().MarkUselessInstructions(); },
    [](E& e) { e.moves().DeleteUselessInstructions(); },
    [](E& e) { e.moves().MarkUnreferencedWorkVariables(); },
    [](E& e) { e.moves().DeleteUnreferencedVariables(); },
    [](E& e) { e.moves().EmitArithmetic(QStringLiteral("ADD")); },
    [](E& e) { e.moves().EmitNegate(); }, [](E& e) { e.moves().EmitAssign(); },
    [](E& e) { reopen(e); }}; // the screen is closed and opened again
// clang-format on

} // namespace
} // namespace rpn::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace rpn::fuzz;
  using namespace rpn::translation;
  constexpr std::size_t kLongest = 256;   // bytes of expression
  constexpr qsizetype kComparedUpTo = 48; // characters compared with trace mode and auto-run
  FuzzedDataProvider in(data, size);
  const std::string expressionBytes = in.ConsumeRandomLengthString(kLongest);
  const bool utf16 = in.ConsumeBool();
  const QString expression = toText(expressionBytes, utf16);
  const bool compared = expression.size() <= kComparedUpTo;

  const Translated plain = byButtons(expression, false);
  if (compared) {
    const Translated traced = byButtons(expression, true);
    check(traced.translated == plain.translated && traced.optimised == plain.optimised,
          "trace mode only adds boxes");
  }

  Screen<TranslationEngine> autoRun;
  TranslationEngine& engine = autoRun.engine;
  engine.setText1(expression);
  engine.setText3(QStringLiteral("1"));
  if (compared) {
    engine.Command3_Click();
    // Restart, three ticks a symbol, the end read, then the end display and the optimiser's
    // phases with their blinking.
    const qsizetype bound = 3 * expression.size() + 80;
    qsizetype ticks = 0;
    bool translated = false;
    bool optimised = false;
    while (!optimised && ticks < bound) {
      const std::int16_t before = engine.driver().phase();
      engine.Timer1_Timer();
      checkInvariants(engine);
      ++ticks;
      const std::int16_t after = engine.driver().phase();
      if (!translated && after == kTranslationEnd) {
        translated = true;
        check(outcomeOf(engine) == plain.translated, "auto-run translates as the button does");
        check(autoRun.boxes.boxes() == plain.boxes, "auto-run opens the boxes of an untraced run");
      }
      optimised = before == kOptimisationDone && after == kRestart;
    }
    check(optimised, "an auto-run cycle ends within its tick bound");
    check(outcomeOf(engine) == plain.optimised, "auto-run optimises as the button does");
    check(engine.Command6_Click() == plain.handOff, "both hand the same text over");
  }

  if (plain.handOff)
    runHandOff(*plain.handOff);
  std::vector<Action<E>> script;
  while (script.size() < 100 && in.remaining_bytes() > 0)
    script.push_back(nextAction(in, utf16, kEdits, kPresses));
  playWithReplays(engine, script, [](E& e, const Action<E>& act) {
    act(e);
    checkInvariants(e);
  });
  return 0;
}
