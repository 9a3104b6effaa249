// Differences between two states of one type, as compact bytes, and the memory a state holds.
//
// The leaves of a state are numbered in the order visitFields lists them, depth first; a sequence
// or an optional has one leaf of its own before its elements (its length, or whether it holds a
// value). Elements a state gains are compared with a default-made element, so a delta applied to
// the old state rebuilds the new one exactly, leaf for leaf.
//
// A delta is the list of the leaves that differ, each as the distance from the previous one
// (a variable-length integer) followed by the leaf's new value: integers zig-zag encoded in 1 to
// 10 bytes, a floating-point number in its 8 bytes, a bitset in its bytes, and a text as its
// change against the old text (see writeTextChange). No change at all is an empty delta.
#pragma once

#include "common/state_archive.h"

#include <QString>
#include <QStringView>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace rpn {

using DeltaBytes = std::vector<std::uint8_t>;

// What a heap block costs beyond what it holds (the allocator's bookkeeping).
inline constexpr std::size_t kHeapBlockOverhead = 16;

void writeVarint(DeltaBytes& out, std::uint64_t value);

// Reads what writeVarint and the leaf encoders wrote; reading past the end gives zeros and marks
// the reader as failed rather than touching memory it does not own.
class DeltaReader {
public:
  DeltaReader(const std::uint8_t* begin, const std::uint8_t* end) : m_at(begin), m_end(end) {}
  bool atEnd() const { return m_at == m_end; }
  std::uint64_t left() const { return static_cast<std::uint64_t>(m_end - m_at); }
  bool failed() const { return m_failed; }
  std::uint64_t varint();
  std::uint8_t byte();
  void bytes(void* target, std::size_t count);
  void fail() { m_failed = true; }

private:
  const std::uint8_t* m_at;
  const std::uint8_t* m_end;
  bool m_failed = false;
};

// A text's change against its old value, in the shorter of two forms: the common beginning and
// end kept around a new middle, or the old text with a part dropped at its front and new text
// appended (an output box that keeps its last few thousand characters and gains a line). The
// cost is proportional to the change, not to the text. `scratch` is reusable working memory.
void writeTextChange(DeltaBytes& out, QStringView old, QStringView now,
                     std::vector<qsizetype>& scratch);
// Turns the old text in `text` into the new one.
void readTextChange(DeltaReader& in, QString& text);

// The heap memory a text holds: its block with the header, the terminator and the allocator's
// bookkeeping. A text sharing its block with others is counted in full each time, so sums are
// never below the truth.
std::size_t textHeapBytes(const QString& text);

namespace delta_detail {

inline std::uint64_t zigzag(std::int64_t value) {
  const auto bits = static_cast<std::uint64_t>(value);
  return (bits << 1) ^ (value < 0 ? ~std::uint64_t{0} : std::uint64_t{0});
}
inline std::int64_t unzigzag(std::uint64_t value) {
  const std::uint64_t bits = (value >> 1) ^ (~(value & 1) + 1);
  return static_cast<std::int64_t>(bits);
}

template <class T> std::uint64_t scalarCode(T value) {
  if constexpr (std::same_as<T, QChar>) {
    return value.unicode();
  } else if constexpr (std::is_enum_v<T>) {
    return scalarCode(static_cast<std::underlying_type_t<T>>(value));
  } else if constexpr (std::same_as<T, bool>) {
    return value ? 1 : 0;
  } else {
    static_assert(sizeof(T) <= sizeof(std::uint64_t), "integers wider than 64 bits");
    if constexpr (std::is_signed_v<T>)
      return zigzag(static_cast<std::int64_t>(value));
    else
      return static_cast<std::uint64_t>(value);
  }
}

template <class T> T scalarFromCode(std::uint64_t code) {
  if constexpr (std::same_as<T, QChar>) {
    return QChar(static_cast<char16_t>(code));
  } else if constexpr (std::is_enum_v<T>) {
    return static_cast<T>(scalarFromCode<std::underlying_type_t<T>>(code));
  } else if constexpr (std::same_as<T, bool>) {
    return code != 0;
  } else if constexpr (std::is_signed_v<T>) {
    // Through the unsigned type: the value was written from a T, so it fits; nothing overflows.
    return static_cast<T>(
        static_cast<std::make_unsigned_t<T>>(static_cast<std::uint64_t>(unzigzag(code))));
  } else {
    return static_cast<T>(code);
  }
}

template <class T> auto floatBits(T value) {
  if constexpr (sizeof(T) == 8)
    return std::bit_cast<std::uint64_t>(value);
  else if constexpr (sizeof(T) == 4)
    return std::bit_cast<std::uint32_t>(value);
  else
    static_assert(sizeof(T) == 4 || sizeof(T) == 8, "long double is not a state leaf");
}

template <std::size_t N> void writeBits(DeltaBytes& out, const std::bitset<N>& bits) {
  for (std::size_t at = 0; at < N; at += 8) {
    std::uint8_t byte = 0;
    for (std::size_t bit = 0; bit < 8 && at + bit < N; ++bit)
      byte = static_cast<std::uint8_t>(byte | (bits[at + bit] ? 1u << bit : 0u));
    out.push_back(byte);
  }
}
template <std::size_t N> void readBits(DeltaReader& in, std::bitset<N>& bits) {
  for (std::size_t at = 0; at < N; at += 8) {
    const std::uint8_t byte = in.byte();
    for (std::size_t bit = 0; bit < 8 && at + bit < N; ++bit)
      bits[at + bit] = ((byte >> bit) & 1u) != 0;
  }
}

template <class T> bool sameLeaf(const T& a, const T& b) {
  if constexpr (FloatLeaf<T>)
    return floatBits(a) == floatBits(b);
  else if constexpr (std::same_as<T, QString>)
    return (a.constData() == b.constData() && a.size() == b.size()) || a == b;
  else
    return a == b;
}

// More elements than a state can hold in memory: only damaged bytes say so.
inline constexpr std::uint64_t kLongestSequence = std::uint64_t{1} << 20;

// Writes the leaves of `now` that differ from `old`.
class Writer {
public:
  Writer(DeltaBytes& out, std::vector<qsizetype>& scratch) : m_out(out), m_scratch(scratch) {}

  template <class T> void walk(const T& old, const T& now) {
    if constexpr (StateLeaf<T>) {
      if (!sameLeaf(old, now))
        writeLeaf(old, now);
      ++m_index;
    } else if constexpr (FixedArray<T>) {
      if constexpr (plainlyComparable<T>()) {
        if (old == now) {
          m_index += fixedLeafCount<T>();
          return;
        }
      }
      for (std::size_t i = 0; i < old.size(); ++i)
        walk(old[i], now[i]);
    } else if constexpr (Sequence<T>) {
      if (old.size() != now.size()) {
        mark();
        writeVarint(m_out, static_cast<std::uint64_t>(now.size()));
      }
      ++m_index;
      const typename T::value_type blank{};
      auto before = old.begin();
      for (const auto& element : now)
        walk(before != old.end() ? *before++ : blank, element);
    } else if constexpr (Optional<T>) {
      if (old.has_value() != now.has_value()) {
        mark();
        m_out.push_back(now.has_value() ? 1 : 0);
      }
      ++m_index;
      if (now) {
        const typename T::value_type blank{};
        walk(old ? *old : blank, *now);
      }
    } else if constexpr (Pair<T>) {
      walk(old.first, now.first);
      walk(old.second, now.second);
    } else {
      static_assert(HasFields<T>, "a field of a state is neither a leaf nor has visitFields");
      forEachFieldPair(old, now, [this](const auto& a, const auto& b) { walk(a, b); });
    }
  }

private:
  void mark() {
    writeVarint(m_out, m_index - m_next);
    m_next = m_index + 1;
  }
  template <class T> void writeLeaf(const T& old, const T& now) {
    mark();
    if constexpr (ScalarLeaf<T>) {
      writeVarint(m_out, scalarCode(now));
    } else if constexpr (FloatLeaf<T>) {
      const auto bits = floatBits(now);
      const std::size_t at = m_out.size();
      m_out.resize(at + sizeof bits);
      std::memcpy(m_out.data() + at, &bits, sizeof bits);
    } else if constexpr (BitsetLeaf<T>) {
      writeBits(m_out, now);
    } else {
      writeTextChange(m_out, old, now, m_scratch);
    }
  }

  DeltaBytes& m_out;
  std::vector<qsizetype>& m_scratch;
  std::uint64_t m_index = 0; // the leaf being looked at
  std::uint64_t m_next = 0;  // the leaf after the last one written
};

// Applies a delta: walks the state being changed, leaf by leaf, and stops after the last change.
class Applier {
public:
  explicit Applier(DeltaReader& in) : m_in(in) { advance(); }

  template <class T> void walk(T& value) {
    if (m_done)
      return;
    if constexpr (StateLeaf<T>) {
      if (m_index == m_next) {
        readLeaf(value);
        advance();
      }
      ++m_index;
    } else if constexpr (FixedArray<T>) {
      if constexpr (fixedLeafCount<T>() != 0) {
        if (m_index + fixedLeafCount<T>() <= m_next) {
          m_index += fixedLeafCount<T>();
          return;
        }
      }
      for (auto& element : value)
        walk(element);
    } else if constexpr (Sequence<T>) {
      if (m_index == m_next) {
        const std::uint64_t size = m_in.varint();
        if (size > kLongestSequence) {
          m_in.fail();
          m_done = true;
          return;
        }
        value.resize(static_cast<decltype(value.size())>(size));
        advance();
      }
      ++m_index;
      // Elements of a fixed shape before the next change are skipped without touching them (a
      // QList is not detached for nothing).
      constexpr std::size_t each = fixedLeafCount<typename T::value_type>();
      if constexpr (each != 0) {
        const auto count = static_cast<std::size_t>(value.size());
        if (m_index + count * each <= m_next) {
          m_index += count * each;
          return;
        }
      }
      for (auto& element : value)
        walk(element);
    } else if constexpr (Optional<T>) {
      if (m_index == m_next) {
        if (m_in.byte() != 0)
          value.emplace();
        else
          value.reset();
        advance();
      }
      ++m_index;
      if (value)
        walk(*value);
    } else if constexpr (Pair<T>) {
      walk(value.first);
      walk(value.second);
    } else {
      static_assert(HasFields<T>, "a field of a state is neither a leaf nor has visitFields");
      forEachField(value, [this](auto& field) { walk(field); });
    }
  }

private:
  void advance() {
    if (m_in.atEnd() || m_in.failed()) {
      m_done = true;
      return;
    }
    // The first distance counts from leaf 0, the others from the leaf after the one just read.
    m_next = (m_first ? 0 : m_index + 1) + m_in.varint();
    m_first = false;
  }
  template <class T> void readLeaf(T& value) {
    if constexpr (ScalarLeaf<T>) {
      value = scalarFromCode<T>(m_in.varint());
    } else if constexpr (FloatLeaf<T>) {
      decltype(floatBits(value)) bits{};
      m_in.bytes(&bits, sizeof bits);
      value = std::bit_cast<T>(bits);
    } else if constexpr (BitsetLeaf<T>) {
      readBits(m_in, value);
    } else {
      readTextChange(m_in, value);
    }
  }

  DeltaReader& m_in;
  std::uint64_t m_index = 0;
  std::uint64_t m_next = 0;
  bool m_first = true;
  bool m_done = false;
};

template <class T> bool sameBlock(const T& a, const T& b) {
  return a.capacity() > 0 && a.constData() == b.constData();
}

// The heap memory `value` holds beyond the blocks it shares with `base` (a state of the same
// type, or null): a text or a QList that shares its block with the same field of `base` is not
// counted again.
template <class T> std::size_t heapBytes(const T& value, std::type_identity_t<const T*> base) {
  if constexpr (std::same_as<T, QString>) {
    return base && sameBlock(value, *base) ? 0 : textHeapBytes(value);
  } else if constexpr (StateLeaf<T>) {
    return 0;
  } else if constexpr (FixedArray<T>) {
    std::size_t sum = 0;
    if constexpr (!plainlyComparable<T>())
      for (std::size_t i = 0; i < value.size(); ++i)
        sum += heapBytes(value[i], base ? &(*base)[i] : nullptr);
    return sum;
  } else if constexpr (Sequence<T>) {
    using Element = typename T::value_type;
    constexpr bool shared = std::same_as<T, QList<Element>>;
    if constexpr (shared)
      if (base && sameBlock(value, *base))
        return 0;
    const auto capacity = static_cast<std::size_t>(value.capacity());
    std::size_t sum = capacity == 0 ? 0
                                    : capacity * sizeof(Element) + kHeapBlockOverhead +
                                          (shared ? 16 : 0); // a QList block has a header
    auto other = base ? base->begin() : decltype(value.begin()){};
    for (const auto& element : value) {
      const bool paired = base && other != base->end();
      sum += heapBytes(element, paired ? &*other++ : nullptr);
    }
    return sum;
  } else if constexpr (Optional<T>) {
    return value ? heapBytes(*value, base && *base ? &**base : nullptr) : 0;
  } else if constexpr (Pair<T>) {
    return heapBytes(value.first, base ? &base->first : nullptr) +
           heapBytes(value.second, base ? &base->second : nullptr);
  } else {
    std::size_t sum = 0;
    if (base)
      forEachFieldPair(value, *base,
                       [&sum](const auto& a, const auto& b) { sum += heapBytes(a, &b); });
    else
      forEachField(value, [&sum](const auto& field) { sum += heapBytes(field, nullptr); });
    return sum;
  }
}

// Makes every text of `value` equal to the same text of `base` share its block, and gives every
// other text that holds much more room than it uses a block of its own, just large enough (a text
// trimmed at its front keeps the dropped room in every copy made of it on a change).
template <class T> void shareTexts(T& value, std::type_identity_t<const T*> base) {
  if constexpr (std::same_as<T, QString>) {
    if (base && !sameBlock(value, *base) && value == *base)
      value = *base;
    else if (value.capacity() > value.size() + value.size() / 8 + 32)
      value = QString(value.constData(), value.size());
  } else if constexpr (StateLeaf<T>) {
  } else if constexpr (FixedArray<T>) {
    if constexpr (!plainlyComparable<T>())
      for (std::size_t i = 0; i < value.size(); ++i)
        shareTexts(value[i], base ? &(*base)[i] : nullptr);
  } else if constexpr (Sequence<T>) {
    using Element = typename T::value_type;
    if constexpr (std::same_as<T, QList<Element>>) {
      if (base && (sameBlock(value, *base) || value == *base)) {
        value = *base;
        return;
      }
    }
    auto other = base ? base->begin() : decltype(base->begin()){};
    for (auto& element : value) {
      const bool paired = base && other != base->end();
      shareTexts(element, paired ? &*other++ : nullptr);
    }
  } else if constexpr (Optional<T>) {
    if (value)
      shareTexts(*value, base && *base ? &**base : nullptr);
  } else if constexpr (Pair<T>) {
    shareTexts(value.first, base ? &base->first : nullptr);
    shareTexts(value.second, base ? &base->second : nullptr);
  } else if (base) {
    forEachFieldPair(value, *base, [](auto& a, const auto& b) { shareTexts(a, &b); });
  } else {
    forEachField(value, [](auto& field) { shareTexts(field, nullptr); });
  }
}

} // namespace delta_detail

// Appends to `out` the delta that turns `old` into `now` (nothing when they are equal).
template <HasFields S>
void writeDelta(DeltaBytes& out, const S& old, const S& now, std::vector<qsizetype>& scratch) {
  delta_detail::Writer writer(out, scratch);
  writer.walk(old, now);
}

// Whether two states are equal leaf for leaf (floating-point numbers bit for bit): the delta
// between them is empty.
template <HasFields S> bool sameLeaves(const S& a, const S& b) {
  DeltaBytes delta;
  std::vector<qsizetype> scratch;
  writeDelta(delta, a, b, scratch);
  return delta.empty();
}

// Applies a delta written by writeDelta to the state it was taken from. False when the bytes are
// cut short (the state is then partly changed).
template <HasFields S>
bool applyDelta(S& state, const std::uint8_t* begin, const std::uint8_t* end) {
  DeltaReader in(begin, end);
  delta_detail::Applier applier(in);
  applier.walk(state);
  return !in.failed();
}

// Prepares a state to be kept: its texts equal to those of `base` (the state kept before it, or
// null) share their blocks, and no text holds much more room than it uses. A text trimmed at its
// front and shared with a copy keeps the dropped room in every block it is copied into on a
// change: a kept state must neither hold on to that room nor share the block with its owner.
template <HasFields S> void shareTexts(S& state, const S* base) {
  delta_detail::shareTexts(state, base);
}

// The heap memory a state holds (not counting sizeof the state itself), without the blocks it
// shares with `base` when one is given.
template <HasFields S> std::size_t heapBytes(const S& state, const S* base = nullptr) {
  return delta_detail::heapBytes(state, base);
}

} // namespace rpn
