// Fuzz target of the execution engine. The input holds the reverse Polish expression and up to
// seven value texts for A, B, C, D, E, F and X, each ended by a backslash and one more character
// (a seed is "XABC*DE-/+F-=\ 1\ 2"; missing values keep the screen's own). The expression runs by
// one press without and with trace mode and by auto-run up to the end display; all three must
// leave the same cells, value register and value boxes, and (trace boxes aside) the same boxes,
// and auto-run must get there within its tick bound. The rest of the input then plays presses,
// edits, single moves and ticks on the auto-run engine.
#include "execution/execution_engine.h"
#include "fuzz_support.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace rpn::fuzz {
namespace {

using namespace execution;

struct Outcome {
  QStringList cells; // bottom first
  QString Text2;
  std::array<QString, kVariableCount> values;
  bool operator==(const Outcome&) const = default;
};

Outcome outcomeOf(const ExecutionEngine& engine) {
  Outcome outcome{{}, engine.view().Text2, engine.view().txtName};
  for (int i = 0; i < engine.view().StackCount; ++i)
    outcome.cells << engine.view().lblValue.at(static_cast<std::size_t>(i));
  return outcome;
}

void checkInvariants(const ExecutionEngine& engine) {
  const std::int16_t count = engine.view().StackCount;
  check(count >= 0 && count <= kStackCells, "the value stack holds 0 to 10 cells");
  for (int i = count; i < kStackCells; ++i)
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

void playScript(ExecutionEngine& engine, FuzzedDataProvider& in, bool utf16) {
  const auto text = [&](std::size_t length) {
    return toText(in.ConsumeRandomLengthString(length), utf16);
  };
  for (int action = 0; action < 200 && in.remaining_bytes() > 0; ++action) {
    switch (in.ConsumeIntegralInRange(0, 16)) {
    case 0:
      for (int ticks = in.ConsumeIntegralInRange(1, 64); ticks > 0; --ticks)
        engine.Timer1_Timer();
      break;
    case 1:
      engine.setText1(text(64));
      break;
    case 2:
      engine.setText2(text(32));
      break;
    case 3:
      engine.setTxtName(in.ConsumeIntegralInRange(-2, kVariableCount + 1), text(32));
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
      engine.setCheck1(in.ConsumeBool());
      break;
    case 9:
      engine.setText3(text(16));
      break;
    case 10:
      engine.moves().ReadSymbol();
      break;
    case 11:
      engine.moves().ExecuteSymbol();
      break;
    case 12:
      engine.moves().PushValue();
      break;
    case 13:
      engine.moves().PopOperands();
      break;
    case 14:
      engine.moves().PopOperand();
      break;
    case 15:
      engine.moves().ShowEndState();
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

  playScript(engine, in, utf16);
  return 0;
}
