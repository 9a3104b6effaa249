// What every fuzz target shares: a Dialogs that records its boxes and answers from a list taken
// out of the fuzz input (it never blocks), the way a target turns input bytes into the texts a
// user could type, the check that stops the run when an engine breaks one of its promises, and
// the tick that a box's event loop delivers to the engine that opened it.
#pragma once

#include "common/dialogs.h"

#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace rpn::fuzz {

// Stops the run with a message when a promise is broken; libFuzzer keeps the input as a crash.
inline void check(bool holds, const char* promise) {
  if (holds)
    return;
  std::fprintf(stderr, "broken promise: %s\n", promise);
  std::abort();
}

// Bytes as a text. Usually UTF-8 (what the seeds are written in); with utf16 set, the bytes are
// taken as UTF-16 code units as they are, so lone surrogates and other text that UTF-8 cannot
// carry reach the engines too.
inline QString toText(const std::string& bytes, bool utf16) {
  if (!utf16)
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QString text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    text += QChar(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                        static_cast<unsigned char>(bytes[i + 1]) << 8));
  return text;
}

// A Dialogs for engines under the fuzzer: records every box (up to a limit, then only counts
// them) and answers confirm and askText from fixed lists, round and round, so that two engines
// given the same lists hear the same answers.
class FuzzDialogs final : public Dialogs {
public:
  FuzzDialogs(QStringList texts, std::vector<bool> confirms)
      : m_texts(std::move(texts)), m_confirms(std::move(confirms)) {
    m_boxes.reserve(kFirstRoom);
  }

  void inform(const QString& text) override { record(text); }
  bool confirm(const QString& text, const QString& /*title*/) override {
    record(text);
    if (m_confirms.empty())
      return false;
    return m_confirms[m_nextConfirm++ % m_confirms.size()];
  }
  // Questions take their default, as a user pressing Enter would.
  Answer ask(const QString& text, const QString& /*title*/, bool /*withCancel*/,
             Answer byDefault) override {
    record(text);
    return byDefault;
  }
  QString askText(const QString& prompt) override {
    record(prompt);
    if (m_texts.isEmpty())
      return {};
    return m_texts.at(m_nextText++ % m_texts.size());
  }

  // Called while each box is "open", as a nested event loop would deliver a timer tick.
  std::function<void()> onBox;

  const QStringList& boxes() const { return m_boxes; }
  std::size_t count() const { return m_count; }
  void clear() {
    m_boxes.clear();
    m_count = 0;
  }

private:
  static constexpr qsizetype kRecorded = 4096;
  static constexpr qsizetype kFirstRoom = 64; // a press rarely opens more boxes than this
  void record(const QString& text) {
    ++m_count;
    if (m_boxes.size() < kRecorded)
      m_boxes << text;
    if (onBox)
      onBox();
  }

  QStringList m_texts;
  std::vector<bool> m_confirms;
  qsizetype m_nextText = 0;
  std::size_t m_nextConfirm = 0;
  QStringList m_boxes;
  std::size_t m_count = 0;
};

// The answers of the input boxes, taken from the input: a few short texts.
inline QStringList takeAnswers(FuzzedDataProvider& in, bool utf16) {
  QStringList answers;
  const int count = in.ConsumeIntegralInRange(0, 4);
  for (int i = 0; i < count; ++i)
    answers << toText(in.ConsumeRandomLengthString(24), utf16);
  return answers;
}

// Makes every box of the engine behave like a real modal box with the screen's timer running: the
// tick that arrives while it is open must be held. Every such tick finds the box open in the step
// driver; on the first boxes of each engine and then on every 64th (a long faulty input opens
// thousands, one like the other) the whole state is also compared before and after the tick: it
// must be as it was (between those, the step driver is checked where the engine shows it).
template <class Engine> void tickDuringBoxes(FuzzDialogs& boxes, Engine& engine) {
  boxes.onBox = [&engine, box = std::size_t{0}]() mutable {
    constexpr std::size_t kAlwaysCompared = 16;
    constexpr std::size_t kComparedEvery = 64;
    const bool compared = box < kAlwaysCompared || box % kComparedEvery == 0;
    ++box;
    if constexpr (requires { engine.restore(engine.state()); }) {
      if (compared) {
        const auto before = engine.state();
        engine.Timer1_Timer();
        check(engine.state() == before, "a tick under an open box changes nothing");
        return;
      }
    }
    if constexpr (requires { engine.driver().boxOpen(); })
      check(engine.driver().boxOpen(), "every box goes through the step driver");
    engine.Timer1_Timer();
  };
}

// A screen's engine with its boxes, loaded, every box holding the tick as above.
template <class Engine> struct Screen {
  explicit Screen(QStringList answers = {}) : boxes(std::move(answers), {}), engine(boxes) {
    tickDuringBoxes(boxes, engine);
    engine.Form_Load();
  }
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  FuzzDialogs boxes;
  Engine engine;
};

// The screen is closed and opened again.
template <class Engine> void reopen(Engine& engine) {
  engine.unload();
  engine.Form_Load();
}

// One action of a script, read from the input: ticks, trace mode on or off, an edit of one of the
// text boxes (its setter and the longest text typed) or one of the presses.
template <class Engine> using Action = std::function<void(Engine&)>;
template <class Engine> struct Edit {
  void (Engine::*set)(const QString&);
  std::size_t longest;
};
template <class Engine, std::size_t edits, std::size_t presses>
Action<Engine> nextAction(FuzzedDataProvider& in, bool utf16, const Edit<Engine> (&edit)[edits],
                          const Action<Engine> (&press)[presses]) {
  const auto kind = in.ConsumeIntegralInRange<std::size_t>(0, 1 + edits + presses);
  if (kind == 0)
    return [ticks = in.ConsumeIntegralInRange(1, 64)](Engine& e) {
      for (int i = 0; i < ticks; ++i)
        e.Timer1_Timer();
    };
  if (kind == 1)
    return [on = in.ConsumeBool()](Engine& e) { e.setCheck1(on); };
  if (kind < 2 + edits)
    return [set = edit[kind - 2].set,
            t = toText(in.ConsumeRandomLengthString(edit[kind - 2].longest), utf16)](Engine& e) {
      (e.*set)(t);
    };
  return press[kind - 2 - edits];
}

// Plays a script on an engine whose state is a value: play(engine, action) does one action.
// Every eighth action a snapshot is taken, the next three actions are played, the snapshot is
// restored and the same actions are played again: they must give the same states. The script
// goes on from the state the replay reached (the same state, as just checked).
template <class Engine, class Action, class Play>
void playWithReplays(Engine& engine, const std::vector<Action>& script, Play play) {
  constexpr std::size_t kReplayed = 3;
  for (std::size_t i = 0; i < script.size();) {
    if (i % 8 != 0) {
      play(engine, script[i]);
      ++i;
      continue;
    }
    const auto snapshot = engine.state();
    std::vector<std::decay_t<decltype(snapshot)>> states;
    states.reserve(kReplayed);
    for (std::size_t k = i; k < std::min(i + kReplayed, script.size()); ++k) {
      play(engine, script[k]);
      states.push_back(engine.state());
    }
    engine.restore(snapshot);
    check(engine.state() == snapshot, "a restored snapshot is the state it was taken of");
    for (std::size_t k = 0; k < states.size(); ++k) {
      play(engine, script[i + k]);
      check(engine.state() == states[k], "a snapshot replays the same states");
    }
    i += states.size();
  }
}

} // namespace rpn::fuzz
