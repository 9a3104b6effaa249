// Fuzz target of the translation engine and of the hand-off to the pseudo machine. The input
// starts with the reverse Polish expression (a seed is just an expression; some 220 characters fill
// the object buffer). It is translated and optimised by the buttons; a short expression also with
// trace mode and by one auto-run cycle, which must give the same object code and variable table
// (a long one costs a listing redrawn at every push and pop, and takes the same paths). The
// hand-off text is assembled and run unseen on the machine engine with a step bound; the button
// hands over only a program that fits the machine, which assembles without a complaint and runs
// to its end unless it divides by zero. The rest of the input then plays presses, edits, single
// moves and ticks on the auto-run engine.
#include "fuzz_support.h"
#include "machine/machine_engine.h"
#include "translation/translation_engine.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace rpn::fuzz {
namespace {

using namespace translation;

struct Outcome {
  std::vector<ObjectInstruction> program;
  QStringList table;
  QStringList cells;
  bool operator==(const Outcome&) const = default;
};

Outcome outcomeOf(const TranslationEngine& engine) {
  Outcome outcome{engine.program(), engine.VariableTable(), {}};
  for (int i = 0; i < engine.view().StackCount; ++i)
    outcome.cells << engine.view().lblValue.at(static_cast<std::size_t>(i));
  return outcome;
}

void checkInvariants(const TranslationEngine& engine) {
  const TranslationVariables& vars = engine.variables();
  check(vars.ObjectCount >= 0 && vars.ObjectCount <= kObjectSlots, "the buffer holds 0 to 301");
  check(vars.VariableCount >= 0 && vars.VariableCount <= kTableCapacity,
        "the table holds 0 to 13 names");
  for (int i = vars.VariableCount; i < kNameLabels; ++i)
    check(engine.view().lblName.at(static_cast<std::size_t>(i)).isEmpty(),
          "labels past the table are empty");
  check(engine.view().StackCount >= 0 && engine.view().StackCount <= execution::kStackCells,
        "the stack holds 0 to 10 cells");
  check(vars.WorkCounter >= 0, "work numbers count up from 0");
}

// The listing shows the object code, unmarked, line for line.
bool listsProgram(const TranslationEngine& engine) {
  const std::vector<ObjectInstruction> program = engine.program();
  if (engine.view().List1.size() != static_cast<qsizetype>(program.size()))
    return false;
  for (std::size_t i = 0; i < program.size(); ++i)
    if (engine.view().List1.at(static_cast<qsizetype>(i)) !=
        FormatInstructionLine(plainLabelColumn(), program[i]))
      return false;
  return true;
}

struct Translated {
  Outcome translated;
  QStringList boxes;
  Outcome optimised;
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

void playScript(TranslationEngine& engine, FuzzedDataProvider& in, bool utf16) {
  const auto text = [&](std::size_t length) {
    return toText(in.ConsumeRandomLengthString(length), utf16);
  };
  for (int action = 0; action < 100 && in.remaining_bytes() > 0; ++action) {
    switch (in.ConsumeIntegralInRange(0, 23)) {
    case 0:
      for (int ticks = in.ConsumeIntegralInRange(1, 64); ticks > 0; --ticks)
        engine.Timer1_Timer();
      break;
    case 1:
      engine.setText1(text(64));
      break;
    case 2:
      engine.setText2(text(16));
      break;
    case 3:
      engine.setText3(text(16));
      break;
    case 4:
      engine.Command1_Click();
      break;
    case 5:
      engine.Command2_Click();
      break;
    case 6:
      engine.Command3_Click();
      break;
    case 7:
      engine.Command4_Click();
      break;
    case 8:
      engine.Command5_Click();
      break;
    case 9:
      engine.setCheck1(in.ConsumeBool());
      break;
    case 10:
      engine.ReadSymbol();
      break;
    case 11:
      engine.TranslateSymbol();
      break;
    case 12:
      engine.PushValue();
      break;
    case 13:
      engine.PopOperands();
      break;
    case 14:
      engine.PopOperand();
      break;
    case 15:
      engine.MarkUselessInstructions();
      break;
    case 16:
      engine.DeleteUselessInstructions();
      break;
    case 17:
      engine.MarkUnreferencedWorkVariables();
      break;
    case 18:
      engine.DeleteUnreferencedVariables();
      break;
    case 19:
      engine.EmitArithmetic(QStringLiteral("ADD"));
      break;
    case 20:
      engine.EmitNegate(QStringLiteral("MINUS"));
      break;
    case 21:
      engine.EmitAssign();
      break;
    case 22:
      (void)engine.Command6_Click();
      break;
    default: // the screen is closed and opened again
      engine.unload();
      engine.Form_Load();
      break;
    }
    checkInvariants(engine);
  }
}

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
  playScript(engine, in, utf16);
  return 0;
}
