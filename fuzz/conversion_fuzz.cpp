// Fuzz target of the conversion engine. The input starts with the expression typed into Text1
// (a seed is just an expression). It is converted by one press without and with trace mode and
// by auto-run up to the end of the first cycle; all three must leave the same output and stack
// (compared as parts of the whole state) and (trace boxes aside) the same boxes, and auto-run
// must get there within its tick bound. The rest of the input is a script of presses, edits and
// ticks played on the auto-run engine, with snapshots replayed (playWithReplays).
#include "conversion/conversion_engine.h"
#include "fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rpn::fuzz {
namespace {

using namespace conversion;

// The part of the state every way of converting must agree on: the output and the operation and
// kind of every occupied slot (an "=" has priority 100 in the one-press run, none in auto-run).
QStringList converted(const ConversionState& state) {
  QStringList part{state.view.Text2};
  for (int i = 0; i < state.variables.StackCount; ++i) {
    const StackSlot& slot = state.view.stack.at(static_cast<std::size_t>(i));
    part << slot.operation + u' ' + slot.kind;
  }
  return part;
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

void convertOnce(Screen<ConversionEngine>& screen, const QString& expression, bool trace) {
  ConversionEngine& engine = screen.engine;
  engine.setCheck1(trace);
  engine.setText1(expression);
  engine.Command1_Click();
  checkInvariants(engine);
  check(engine.view().Text1.isEmpty() || screen.boxes.count() > 0,
        "a run that stops early says why");
}

using E = ConversionEngine;
const Edit<E> kEdits[] = {{&E::setText1, 64}, {&E::setText3, 16}};
const Action<E> kPresses[] = {[](E& e) { e.Command1_Click(); }, [](E& e) { e.Command2_Click(); },
                              [](E& e) { e.Command3_Click(); }, [](E& e) { e.Command4_Click(); },
                              [](E& e) { reopen(e); }}; // the screen is closed and opened again

} // namespace
} // namespace rpn::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace rpn::fuzz;
  using namespace rpn::conversion;
  FuzzedDataProvider in(data, size);
  const std::string expressionBytes = in.ConsumeRandomLengthString(1024);
  const bool utf16 = in.ConsumeBool();
  const QString expression = toText(expressionBytes, utf16);

  Screen<ConversionEngine> plainRun, tracedRun;
  convertOnce(plainRun, expression, false);
  convertOnce(tracedRun, expression, true);
  const ConversionState& plain = plainRun.engine.state();
  check(converted(tracedRun.engine.state()) == converted(plain), "trace mode only adds boxes");

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
  check(converted(engine.state()) == converted(plain),
        "auto-run converts as the one-shot run does");
  // A bracket fault is a box in the one-shot run and only a step message in auto-run.
  QStringList faultBoxes = plainRun.boxes.boxes();
  faultBoxes.removeIf([](const QString& text) {
    return text == unclosedBracketMessage() || text == unmatchedBracketMessage();
  });
  check(autoRun.boxes.boxes() == faultBoxes, "auto-run opens the boxes of an untraced run");

  std::vector<Action<E>> script;
  while (script.size() < 200 && in.remaining_bytes() > 0)
    script.push_back(nextAction(in, utf16, kEdits, kPresses));
  playWithReplays(engine, script, [](E& e, const Action<E>& act) {
    act(e);
    checkInvariants(e);
  });
  return 0;
}
