// The moves of a screen, to go back and forth through them.
//
// A History holds the states a screen went through: the state it started from, then one state
// after each move. The cursor is the state on show. back() steps to the state before, forward()
// to the one after; at the newest state forward() gives nothing, and the screen makes a new move
// and records it. Recording while the cursor is behind the newest state drops the states after
// the cursor (they are another future now). An edit of the screen's inputs starts a new history.
//
// Storage: every keyframeEvery-th state is kept whole (a keyframe); each state in between is kept
// as its delta against the state before (see state_delta.h), all deltas of a keyframe's span in
// one byte block. A state is rebuilt from the keyframe at or before it, its deltas applied in
// order. The state on show is kept whole, so forward() applies one delta; back() rebuilds from the
// keyframe, at most keyframeEvery - 1 deltas.
//
// At least the last `moves` moves are kept while they fit in `bytes`; the oldest keyframe and its
// deltas fall off, without notice, when more are recorded or the memory is exceeded.
#pragma once

#include "common/state_delta.h"

#include <QtGlobal>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace rpn {

struct HistoryLimits {
  qsizetype moves = 100'000;     // moves always kept, when they fit in `bytes`
  std::size_t bytes = 64u << 20; // the memory the history may use
  qsizetype keyframeEvery = 512; // states per keyframe span
};

template <HasFields State> class History {
public:
  explicit History(HistoryLimits limits = {}) : m_limits(sanitized(limits)) {}

  // Forgets everything and starts a new history from `state` (the cursor is on it).
  void startFrom(const State& state) {
    m_spans.clear();
    m_spans.shrink_to_fit();
    m_sealedBytes = 0;
    m_fallenOff = 0;
    openSpan(state);
    m_size = 1;
    m_cursor = 0;
  }

  // The state after a move. Drops the states after the cursor; on an empty history it is the
  // state the history starts from.
  void record(const State& state) {
    if (m_size == 0) {
      startFrom(state);
      return;
    }
    if (m_cursor + 1 < m_size)
      dropAfterCursor();
    if (m_size % m_limits.keyframeEvery == 0) {
      Span& last = m_spans.back();
      last.log.shrink_to_fit();
      last.ends.shrink_to_fit();
      last.bytes = spanBytes(last);
      m_sealedBytes += last.bytes;
      openSpan(state);
    } else {
      Span& last = m_spans.back();
      writeDelta(last.log, m_current, state, m_scratch);
      last.ends.push_back(static_cast<std::uint32_t>(last.log.size()));
      // The state on show is rebuilt from the delta rather than copied: it then shares no text
      // with the screen's own state (see shareTexts). Debug builds check one in 16 rebuilds.
      applyStep(last, static_cast<qsizetype>(last.ends.size()), m_current);
      Q_ASSERT(m_size % 16 != 1 || sameLeaves(m_current, state));
    }
    m_cursor = m_size;
    ++m_size;
    dropOldest();
  }

  // One move back: the state before the one on show, or nothing at the oldest state kept.
  std::optional<State> back() {
    if (m_cursor == 0)
      return std::nullopt;
    --m_cursor;
    m_current = *at(m_cursor);
    return m_current;
  }

  // One move forward: the next state recorded, or nothing at the newest state.
  std::optional<State> forward() {
    if (m_cursor + 1 >= m_size)
      return std::nullopt;
    ++m_cursor;
    const Span& span = spanOf(m_cursor);
    const qsizetype offset = m_cursor % m_limits.keyframeEvery;
    if (offset == 0)
      m_current = span.keyframe;
    else
      applyStep(span, offset, m_current);
    return m_current;
  }

  bool empty() const { return m_size == 0; }
  bool canBack() const { return m_cursor > 0; }
  bool canForward() const { return m_cursor + 1 < m_size; }
  // The states kept, the oldest one included (one more than the moves that can be gone back).
  qsizetype size() const { return m_size; }
  // The state on show, 0 being the oldest kept.
  qsizetype cursor() const { return m_cursor; }
  // The moves that fell off before the oldest state kept: state i is the one after move
  // fallenOff() + i.
  qint64 fallenOff() const { return m_fallenOff; }
  // The state on show (the history must not be empty).
  const State& current() const { return m_current; }

  // State i (0 <= i < size()), rebuilt; nothing for an index out of range.
  std::optional<State> at(qsizetype i) const {
    if (i < 0 || i >= m_size)
      return std::nullopt;
    const Span& span = spanOf(i);
    State state = span.keyframe;
    const qsizetype offset = i % m_limits.keyframeEvery;
    for (qsizetype step = 1; step <= offset; ++step)
      applyStep(span, step, state);
    return state;
  }

  // Calls f(index, state) for every state kept, oldest first, rebuilding each once.
  template <class F> void forEach(F&& f) const {
    qsizetype index = 0;
    for (const Span& span : m_spans) {
      State state = span.keyframe;
      f(index++, std::as_const(state));
      for (qsizetype step = 1; step <= static_cast<qsizetype>(span.ends.size()); ++step) {
        applyStep(span, step, state);
        f(index++, std::as_const(state));
      }
    }
  }

  // The memory this history uses: itself, its keyframes and their heap blocks, the delta blocks
  // and the state on show. A block shared between keyframes is counted once, with the oldest
  // keyframe holding it; one the state on show shares with its keyframe is not counted again.
  std::size_t bytes() const {
    std::size_t sum = sizeof(*this) + m_sealedBytes;
    if (m_size > 0)
      sum += heapBytes(m_current, &spanOf(m_cursor).keyframe);
    if (!m_spans.empty())
      sum += spanBytes(m_spans.back());
    if (m_spans.capacity() != 0)
      sum += (m_spans.capacity() - m_spans.size()) * sizeof(Span) + kHeapBlockOverhead;
    if (m_scratch.capacity() != 0)
      sum += m_scratch.capacity() * sizeof(qsizetype) + kHeapBlockOverhead;
    return sum;
  }

  const HistoryLimits& limits() const { return m_limits; }

private:
  struct Span {
    State keyframe;
    DeltaBytes log;                  // the deltas of the states after the keyframe, end to end
    std::vector<std::uint32_t> ends; // where delta k (state keyframe + k + 1) ends in `log`
    std::size_t keyframeHeap = 0;    // heap bytes of the keyframe
    std::size_t bytes = 0;           // the whole span, once sealed
  };

  static HistoryLimits sanitized(HistoryLimits limits) {
    limits.keyframeEvery = std::max<qsizetype>(limits.keyframeEvery, 1);
    limits.moves = std::max<qsizetype>(limits.moves, 1);
    return limits;
  }

  static std::size_t spanBytes(const Span& span) {
    std::size_t sum = sizeof(Span) + span.keyframeHeap;
    if (span.log.capacity() != 0)
      sum += span.log.capacity() + kHeapBlockOverhead;
    if (span.ends.capacity() != 0)
      sum += span.ends.capacity() * sizeof(std::uint32_t) + kHeapBlockOverhead;
    return sum;
  }

  // A new span with `state` as its keyframe, which is then the state on show.
  // Its texts share blocks with the keyframe before where they are equal; its figure counts only
  // the blocks of its own.
  void openSpan(const State& state) {
    const State* before = m_spans.empty() ? nullptr : &m_spans.back().keyframe;
    State keyframe = state;
    shareTexts(keyframe, before);
    const std::size_t heap = heapBytes(keyframe, before);
    Span& span = m_spans.emplace_back();
    span.keyframe = std::move(keyframe);
    span.keyframeHeap = heap;
    m_current = span.keyframe;
  }

  const Span& spanOf(qsizetype i) const {
    return m_spans[static_cast<std::size_t>(i / m_limits.keyframeEvery)];
  }

  // Applies delta `step` of a span (1 for the state after the keyframe) to the state before it.
  static void applyStep(const Span& span, qsizetype step, State& state) {
    const auto k = static_cast<std::size_t>(step - 1);
    const std::uint32_t begin = k == 0 ? 0 : span.ends[k - 1];
    const bool whole = applyDelta(state, span.log.data() + begin, span.log.data() + span.ends[k]);
    Q_ASSERT(whole);
    Q_UNUSED(whole);
  }

  void dropAfterCursor() {
    const auto keep = static_cast<std::size_t>(m_cursor / m_limits.keyframeEvery + 1);
    while (m_spans.size() > keep) {
      m_spans.pop_back();
      // The span of the cursor is open again: its figure leaves the sealed ones.
      m_sealedBytes -= m_spans.back().bytes;
      m_spans.back().bytes = 0;
    }
    Span& last = m_spans.back();
    const auto offset = static_cast<std::size_t>(m_cursor % m_limits.keyframeEvery);
    last.log.resize(offset == 0 ? 0 : last.ends[offset - 1]);
    last.ends.resize(offset);
    m_size = m_cursor + 1;
  }

  void dropOldest() {
    const qsizetype span = m_limits.keyframeEvery;
    while (m_spans.size() > 1 && (m_size - span > m_limits.moves || bytes() > m_limits.bytes)) {
      m_sealedBytes -= m_spans.front().bytes;
      m_spans.erase(m_spans.begin());
      // The new oldest keyframe now holds alone the blocks it shared with the one dropped.
      Span& oldest = m_spans.front();
      oldest.keyframeHeap = heapBytes(oldest.keyframe);
      if (m_spans.size() > 1) {
        m_sealedBytes -= oldest.bytes;
        oldest.bytes = spanBytes(oldest);
        m_sealedBytes += oldest.bytes;
      }
      m_size -= span;
      m_cursor -= span;
      m_fallenOff += span;
    }
  }

  HistoryLimits m_limits;
  std::vector<Span> m_spans; // every span but the last holds keyframeEvery states
  State m_current{};         // the state at the cursor
  qsizetype m_size = 0;
  qsizetype m_cursor = 0;
  qint64 m_fallenOff = 0;
  std::size_t m_sealedBytes = 0; // the figures of all spans but the last
  std::vector<qsizetype> m_scratch;
};

} // namespace rpn
