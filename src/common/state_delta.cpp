#include "common/state_delta.h"

#include <algorithm>
#include <optional>

namespace rpn {

namespace {

enum TextForm : std::uint8_t {
  kKeepEnds = 0,     // the common beginning and end kept, a new middle between them
  kDropAndAppend = 1 // a part of the old text dropped at its front, new text appended
};

// Below this many changed characters the common ends alone are good enough.
constexpr qsizetype kWorthLookingForOverlap = 32;

void writeUnits(DeltaBytes& out, QStringView units) {
  writeVarint(out, static_cast<std::uint64_t>(units.size()));
  for (const QChar unit : units)
    writeVarint(out, unit.unicode());
}

// The count of units that follows, or nothing when the bytes are damaged (every unit takes at
// least one byte, so a count beyond the bytes left cannot be right).
std::optional<qsizetype> readCount(DeltaReader& in) {
  const std::uint64_t count = in.varint();
  if (in.failed() || count > in.left()) {
    in.fail();
    return std::nullopt;
  }
  return static_cast<qsizetype>(count);
}

void readUnits(DeltaReader& in, qsizetype count, QString& text) {
  for (qsizetype i = 0; i < count && !in.failed(); ++i) {
    const std::uint64_t unit = in.varint();
    if (unit > 0xFFFF) {
      in.fail(); // only damaged bytes leave the range of a UTF-16 unit
      return;
    }
    text.append(QChar(static_cast<char16_t>(unit)));
  }
}

// The length of the longest end of `old` that `now` begins with (Knuth-Morris-Pratt).
qsizetype overlap(QStringView old, QStringView now, std::vector<qsizetype>& border) {
  const qsizetype length = std::min(old.size(), now.size());
  if (length == 0)
    return 0;
  const QStringView pattern = now.first(length);
  border.assign(static_cast<std::size_t>(length), 0);
  for (qsizetype i = 1, k = 0; i < length; ++i) {
    while (k > 0 && pattern[i] != pattern[k])
      k = border[static_cast<std::size_t>(k - 1)];
    if (pattern[i] == pattern[k])
      ++k;
    border[static_cast<std::size_t>(i)] = k;
  }
  qsizetype matched = 0;
  for (const QChar c : old.last(length)) {
    if (matched == length)
      matched = border[static_cast<std::size_t>(matched - 1)];
    while (matched > 0 && pattern[matched] != c)
      matched = border[static_cast<std::size_t>(matched - 1)];
    if (pattern[matched] == c)
      ++matched;
  }
  return matched;
}

} // namespace

void writeVarint(DeltaBytes& out, std::uint64_t value) {
  while (value >= 0x80) {
    out.push_back(static_cast<std::uint8_t>(value | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<std::uint8_t>(value));
}

std::uint64_t DeltaReader::varint() {
  std::uint64_t value = 0;
  for (unsigned shift = 0; shift < 64; shift += 7) {
    if (m_at == m_end) {
      m_failed = true;
      return 0;
    }
    const std::uint8_t byte = *m_at++;
    value |= std::uint64_t{byte & 0x7Fu} << shift;
    if ((byte & 0x80) == 0)
      return value;
  }
  m_failed = true;
  return 0;
}

std::uint8_t DeltaReader::byte() {
  if (m_at == m_end) {
    m_failed = true;
    return 0;
  }
  return *m_at++;
}

void DeltaReader::bytes(void* target, std::size_t count) {
  if (static_cast<std::size_t>(m_end - m_at) < count) {
    m_failed = true;
    std::memset(target, 0, count);
    return;
  }
  std::memcpy(target, m_at, count);
  m_at += count;
}

void writeTextChange(DeltaBytes& out, QStringView old, QStringView now,
                     std::vector<qsizetype>& scratch) {
  const qsizetype shorter = std::min(old.size(), now.size());
  qsizetype prefix = 0;
  while (prefix < shorter && old[prefix] == now[prefix])
    ++prefix;
  qsizetype suffix = 0;
  while (suffix < shorter - prefix && old[old.size() - 1 - suffix] == now[now.size() - 1 - suffix])
    ++suffix;
  const QStringView middle = now.sliced(prefix, now.size() - prefix - suffix);

  if (middle.size() > kWorthLookingForOverlap) {
    const qsizetype kept = overlap(old, now, scratch);
    if (now.size() - kept < middle.size()) {
      out.push_back(kDropAndAppend);
      writeVarint(out, static_cast<std::uint64_t>(old.size() - kept));
      writeUnits(out, now.sliced(kept));
      return;
    }
  }
  out.push_back(kKeepEnds);
  writeVarint(out, static_cast<std::uint64_t>(prefix));
  writeVarint(out, static_cast<std::uint64_t>(suffix));
  writeUnits(out, middle);
}

void readTextChange(DeltaReader& in, QString& text) {
  // The new text is built in a block of its own, just large enough: the old one may be shared.
  const std::uint8_t form = in.byte();
  const auto size = static_cast<std::uint64_t>(text.size());
  const QStringView old = text;
  QString result;
  if (form == kKeepEnds) {
    const std::uint64_t prefix = in.varint();
    const std::uint64_t suffix = in.varint();
    if (in.failed() || prefix > size || suffix > size - prefix) {
      in.fail();
      return;
    }
    const std::optional<qsizetype> count = readCount(in);
    if (!count)
      return;
    result.reserve(static_cast<qsizetype>(prefix + suffix) + *count);
    result.append(old.first(static_cast<qsizetype>(prefix)));
    readUnits(in, *count, result);
    result.append(old.last(static_cast<qsizetype>(suffix)));
  } else if (form == kDropAndAppend) {
    const std::uint64_t dropped = in.varint();
    if (in.failed() || dropped > size) {
      in.fail();
      return;
    }
    const std::optional<qsizetype> count = readCount(in);
    if (!count)
      return;
    result.reserve(static_cast<qsizetype>(size - dropped) + *count);
    result.append(old.sliced(static_cast<qsizetype>(dropped)));
    readUnits(in, *count, result);
  } else {
    in.fail();
    return;
  }
  if (!in.failed())
    text = std::move(result);
}

std::size_t textHeapBytes(const QString& text) {
  const qsizetype capacity = text.capacity();
  if (capacity <= 0)
    return 0; // empty, or text the program was built with
  // The block's header (reference count, flags, capacity), the units and the terminator.
  return 16 + static_cast<std::size_t>(capacity + 1) * sizeof(QChar) + kHeapBlockOverhead;
}

} // namespace rpn
