// Whole-state checks for engines that are values: state() gives a copyable state with
// operator==, restore(state) puts a snapshot back.
//
//   expectSnapshotReplay(engine, move, moves, n)
//       at each of `moves` successive moves: snapshot, n moves, restore, the same n moves again:
//       the same states; `move` does one move (a tick, a press...).
//   statesOfPress(engine, boxes, press) / expectPressReplay(engine, boxes, press)
//       the states at every box of one press (RecordingDialogs::onBox) and at its end; replayed
//       from the snapshot before the press, the same states at the same boxes.
//   tickUntil(engine, done, limit)
//       Timer1_Timer until done(state), at most limit ticks; the number of ticks.
#pragma once

#include "support/recording_dialogs.h"

#include <gtest/gtest.h>
#include <vector>

namespace rpn::test {

template <class Engine> using StateOf = std::decay_t<decltype(std::declval<Engine&>().state())>;

template <class Engine, class Move>
std::vector<StateOf<Engine>> statesAfterMoves(Engine& engine, Move& move, int n) {
  std::vector<StateOf<Engine>> states;
  for (int k = 0; k < n; ++k) {
    move();
    states.push_back(engine.state());
  }
  return states;
}

template <class Engine, class Move>
void expectSnapshotReplay(Engine& engine, Move move, int moves, int n) {
  for (int m = 0; m < moves; ++m) {
    const StateOf<Engine> snapshot = engine.state();
    const auto first = statesAfterMoves(engine, move, n);
    engine.restore(snapshot);
    ASSERT_TRUE(engine.state() == snapshot) << "restore at move " << m;
    const auto again = statesAfterMoves(engine, move, n);
    for (std::size_t k = 0; k < first.size(); ++k)
      ASSERT_TRUE(first[k] == again[k]) << "move " << m << ", replayed move " << k + 1;
    engine.restore(snapshot);
    move();
  }
}

template <class Engine, class Press>
std::vector<StateOf<Engine>> statesOfPress(Engine& engine, RecordingDialogs& boxes, Press press) {
  std::vector<StateOf<Engine>> states;
  const std::function<void()> outer = boxes.onBox; // a hook the test set stays in force
  boxes.onBox = [&] {
    if (outer)
      outer();
    states.push_back(engine.state());
  };
  press(engine);
  boxes.onBox = outer;
  states.push_back(engine.state());
  return states;
}

// Returns the number of boxes the press raised.
template <class Engine, class Press>
std::size_t expectPressReplay(Engine& engine, RecordingDialogs& boxes, Press press) {
  const StateOf<Engine> before = engine.state();
  const auto first = statesOfPress(engine, boxes, press);
  engine.restore(before);
  const auto again = statesOfPress(engine, boxes, press);
  EXPECT_EQ(first.size(), again.size());
  for (std::size_t k = 0; k < std::min(first.size(), again.size()); ++k)
    EXPECT_TRUE(first[k] == again[k]) << "box " << k + 1 << " of " << first.size() - 1;
  return first.size() - 1;
}

template <class Engine, class Done> int tickUntil(Engine& engine, Done done, int limit) {
  int ticks = 0;
  while (!done(engine.state()) && ticks < limit) {
    engine.Timer1_Timer();
    ++ticks;
  }
  EXPECT_LT(ticks, limit) << "auto-run never got there";
  return ticks;
}

} // namespace rpn::test
