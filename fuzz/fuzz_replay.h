// The scripted part of a fuzz target whose engine is a value: actions read from the input one at a
// time (a press, an edit, a single move, ticks), every fourth one played twice from a snapshot of
// the engine's state, which must end in the same state.
#pragma once

#include "fuzz_support.h"

namespace rpn::fuzz {

// next(in, utf16) reads one action, a callable taking Engine&; after each, invariants(engine).
template <class Engine, class Next, class Invariants>
void playScript(Engine& engine, FuzzedDataProvider& in, bool utf16, int actions, Next next,
                Invariants invariants) {
  for (int action = 0; action < actions && in.remaining_bytes() > 0; ++action) {
    const auto act = next(in, utf16);
    if (action % 4 == 0) {
      const auto snapshot = engine.state();
      act(engine);
      const auto after = engine.state();
      engine.restore(snapshot);
      check(engine.state() == snapshot, "a snapshot is put back exactly");
      act(engine);
      check(engine.state() == after, "an action replayed from a snapshot ends the same way");
    } else {
      act(engine);
    }
    invariants(engine);
  }
}

} // namespace rpn::fuzz
