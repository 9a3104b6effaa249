// Fuzz target of the execution engine. The input holds the reverse Polish expression and up to
// seven value texts for A, B, C, D, E, F and X, each ended by a backslash and one more character
// (a seed is "XABC*DE-/+F-=\ 1\ 2"; missing values keep the screen's own). The expression runs by
// one press without and with trace mode and by auto-run up to the end display; all three must
// leave the same state (trace mode, the interval box and the auto-run clock aside) and (trace
// boxes aside) the same boxes, and auto-run must get there within its tick bound. The rest of the
// input then plays presses, edits, single moves and ticks on the auto-run engine; snapshots
// replayed (playWithReplays).
#include "execution/execution_engine.h"
#include "fuzz_support.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace rpn::fuzz {
namespace {

using namespace execution;

// The state a run must reach whichever way it went: trace mode, the interval box, the auto-run
// clock and the end display's count are the way, not the outcome.
ExecutionState outcomeOf(const ExecutionEngine& engine) {
  ExecutionState state = engine.state();
  state.view.Check1 = false;
  state.view.Text3.clear();
  state.clock = {};
  state.EndBlinkCount = 0;
  return state;
}

void checkInvariants(const ExecutionEngine& engine) {
  const std::int16_t count = engine.view().StackCount;
  check(count >= 0 && count <= walk::kStackCells, "the value stack holds 0 to 10 cells");
  for (int i = count; i < walk::kStackCells; ++i)
    check(engine.view().lblValue.at(static_cast<std::size_t>(i)).isEmpty(),
          "a free cell shows nothing");
}

void load(ExecutionEngine& engine, const QString& expression,
          const std::array<std::optional<QString>, kVariableCount>& values) {
  engine.setText1(expression);
  for (int i = 0; i < kVariableCount; ++i)
    if (const auto& value = values.at(static_cast<std::size_t>(i)))
      engine.setTxtName(i, *value);
}

using E = ExecutionEngine;
const Edit<E> kEdits[] = {{&E::setText1, 64}, {&E::setText2, 32}, {&E::setText3, 16}};
// clang-format off
const Action<E> kPresses[] = {
    [](E& e) { e.Command1_Click(); }, [](E& e) { e.Command2_Click(); },
    [](E& e) { e.Command3_Click(); }, [](E& e) { e.Command4_Click(); },
    [](E& e) { e.moves().ReadSymbol(); }, [](E& e) { e.moves().ExecuteSymbol(); },
    [](E& e) { e.moves().PushValue(); }, [](E& e) { e.moves().PopOperands(); },
    [](E& e) { e.moves().PopOperand(); }, [](E& e) { e.moves().ShowEndState(); },
    [](E& e) { reopen(e); }}; // the screen is closed and opened again
// clang-format on

// One action of the script: now and then an edit of a value box (one that does not exist too).
Action<E> nextValueOrAction(FuzzedDataProvider& in, bool utf16) {
  if (in.ConsumeIntegralInRange(0, 16) != 0)
    return nextAction(in, utf16, kEdits, kPresses);
  return [entry = in.ConsumeIntegralInRange(-2, kVariableCount + 1),
          t = toText(in.ConsumeRandomLengthString(32), utf16)](E& e) { e.setTxtName(entry, t); };
}

} // namespace
} // namespace rpn::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace rpn::fuzz;
  using namespace rpn::execution;
  FuzzedDataProvider in(data, size);
  const std::string expressionBytes = in.ConsumeRandomLengthString(1024);
  std::array<std::optional<std::string>, kVariableCount> valueBytes;
  for (auto& value : valueBytes)
    if (in.remaining_bytes() > 0)
      value = in.ConsumeRandomLengthString(64);
  const bool utf16 = in.ConsumeBool();
  const QString expression = toText(expressionBytes, utf16);
  std::array<std::optional<QString>, kVariableCount> values;
  for (std::size_t i = 0; i < values.size(); ++i)
    if (valueBytes.at(i))
      values.at(i) = toText(*valueBytes.at(i), utf16);

  Screen<ExecutionEngine> once;
  ExecutionEngine& plain = once.engine;
  load(plain, expression, values);
  plain.setCheck1(false);
  plain.Command1_Click();
  checkInvariants(plain);

  Screen<ExecutionEngine> tracing;
  ExecutionEngine& traced = tracing.engine;
  load(traced, expression, values);
  traced.Command1_Click();
  check(outcomeOf(traced) == outcomeOf(plain), "trace mode only adds boxes");

  Screen<ExecutionEngine> autoRun;
  ExecutionEngine& engine = autoRun.engine;
  load(engine, expression, values);
  engine.setText3(QStringLiteral("1"));
  engine.Command3_Click();
  // Restart, three ticks a symbol, the end read.
  const qsizetype bound = 3 * expression.size() + 8;
  qsizetype ticks = 0;
  while (engine.driver().phase() != kEndState && ticks < bound) {
    engine.Timer1_Timer();
    checkInvariants(engine);
    ++ticks;
  }
  check(engine.driver().phase() == kEndState, "auto-run reaches the end within its tick bound");
  check(outcomeOf(engine) == outcomeOf(plain), "auto-run executes as the one-shot run does");
  check(autoRun.boxes.boxes() == once.boxes.boxes(), "auto-run opens the boxes of an untraced run");

  std::vector<Action<E>> script;
  while (script.size() < 200 && in.remaining_bytes() > 0)
    script.push_back(nextValueOrAction(in, utf16));
  playWithReplays(engine, script, [](E& e, const Action<E>& act) {
    act(e);
    checkInvariants(e);
  });
  return 0;
}
