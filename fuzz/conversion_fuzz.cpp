// Fuzz target of the conversion engine. The input starts with the expression typed into Text1
// (a seed is just an expression). It is converted by one press without and with trace mode and
// by auto-run up to the end of the first cycle; all three must leave the same output, the same
// stack and (trace boxes aside) the same boxes, and auto-run must get there within its tick
// bound. The rest of the input then plays presses, edits and ticks on the auto-run engine.
#include "conversion/conversion_engine.h"
#include "fuzz_support.h"

#include <cstddef>
#include <cstdint>

namespace rpn::fuzz {
namespace {

using namespace conversion;

struct Outcome {
  QString output;
  QStringList stack; // operation and kind of each occupied slot, bottom first
  bool operator==(const Outcome&) const = default;
};

Outcome outcomeOf(const ConversionEngine& engine) {
  Outcome outcome{engine.view().Text2, {}};
  for (int i = 0; i < engine.state().variables.StackCount; ++i) {
    const StackSlot& slot = engine.view().stack.at(static_cast<std::size_t>(i));
    outcome.stack << slot.operation + u' ' + slot.kind;
  }
  return outcome;
}

void checkInvariants(const ConversionEngine& engine) {
  const std::int16_t count = engine.state().variables.StackCount;
  check(count >= 0 && count <= kStackSlots, "the operator stack holds 0 to 10 entries");
  for (int i = 0; i < kStackSlots; ++i) {
    const auto k = static_cast<std::size_t>(i);
    check(engine.view().stackMarks.at(k) == (i < count ? Mark::Red : Mark::White),
          "occupied slots are red, free slots white");
    check(i < count || engine.view().stack.at(k) == StackSlot{}, "a free slot shows nothing");
  }
}

Outcome oneShot(const QString& expression, bool trace, FuzzDialogs& boxes) {
  ConversionEngine engine(boxes);
  tickDuringBoxes(boxes, engine);
  engine.Form_Load();
  engine.setCheck1(trace);
  engine.setText1(expression);
  engine.Command1_Click();
  checkInvariants(engine);
  check(engine.view().Text1.isEmpty() || boxes.count() > 0, "a run that stops early says why");
  return outcomeOf(engine);
}

void playScript(ConversionEngine& engine, FuzzedDataProvider& in, bool utf16) {
  for (int action = 0; action < 200 && in.remaining_bytes() > 0; ++action) {
    switch (in.ConsumeIntegralInRange(0, 8)) {
    case 0:
      for (int ticks = in.ConsumeIntegralInRange(1, 64); ticks > 0; --ticks)
        engine.Timer1_Timer();
      break;
    case 1:
      engine.setText1(toText(in.ConsumeRandomLengthString(64), utf16));
      break;
    case 2:
      engine.Command1_Click();
      break;
    case 3:
      engine.Command2_Click();
      break;
    case 4:
      engine.Command3_Click();
      break;
    case 5:
      engine.Command4_Click();
      break;
    case 6:
      engine.setCheck1(in.ConsumeBool());
      break;
    case 7:
      engine.setText3(toText(in.ConsumeRandomLengthString(16), utf16));
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
  using namespace rpn::conversion;
  FuzzedDataProvider in(data, size);
  const std::string expressionBytes = in.ConsumeRandomLengthString(1024);
  const bool utf16 = in.ConsumeBool();
  const QString expression = toText(expressionBytes, utf16);

  FuzzDialogs plainBoxes({}, {});
  const Outcome plain = oneShot(expression, false, plainBoxes);
  FuzzDialogs traceBoxes({}, {});
  const Outcome traced = oneShot(expression, true, traceBoxes);
  check(traced == plain, "trace mode only adds boxes");

  Screen<ConversionEngine> autoRun;
  ConversionEngine& engine = autoRun.engine;
  engine.setText1(expression);
  engine.setText3(QStringLiteral("1"));
  engine.Command3_Click();
  // Three ticks a character, one per pop (each character pushes at most once), the end.
  const qsizetype bound = 5 * expression.size() + 16;
  qsizetype ticks = 0;
  while (engine.state().clock.interval > 0 && engine.state().clock.phase != kBlink &&
         ticks < bound) {
    engine.Timer1_Timer();
    checkInvariants(engine);
    ++ticks;
  }
  check(engine.state().clock.interval == 0 || engine.state().clock.phase == kBlink,
        "auto-run reaches the end of the expression within its tick bound");
  check(outcomeOf(engine) == plain, "auto-run converts as the one-shot run does");
  // A bracket fault is a box in the one-shot run and only a step message in auto-run.
  QStringList faultBoxes = plainBoxes.boxes();
  faultBoxes.removeIf([](const QString& text) {
    return text == unclosedBracketMessage() || text == unmatchedBracketMessage();
  });
  check(autoRun.boxes.boxes() == faultBoxes, "auto-run opens the boxes of an untraced run");

  playScript(engine, in, utf16);
  return 0;
}
