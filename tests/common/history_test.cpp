#include "common/csv.h"
#include "common/history.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace rpn {
namespace {

enum class Phase : std::int16_t { Fetch, Decode, Execute };

struct Operand {
  Phase phase = Phase::Fetch;
  std::optional<double> value;
  std::vector<QString> notes;
  bool operator==(const Operand&) const = default;
};
template <class A, class S>
requires std::same_as<std::remove_const_t<S>, Operand>
void visitFields(A& a, S& s) {
  a(s.phase, s.value, s.notes);
}

// Shaped like the assembler screen: memory words, registers and memory cells in hex, a message,
// an output box that keeps its last 5000 characters, a phase, marks; plus the other composites.
struct Screen {
  std::array<std::int32_t, 201> memory{};
  std::array<QString, 16> registers;
  std::array<QString, 64> cells;
  QString message;
  QString output;
  std::int16_t phase = 0;
  std::bitset<201> marks;
  QStringList listing;
  std::pair<std::uint64_t, QChar> pair{};
  std::optional<Operand> operand;
  bool operator==(const Screen&) const = default;
};
template <class A, class S>
requires std::same_as<std::remove_const_t<S>, Screen>
void visitFields(A& a, S& s) {
  a(s.memory, s.registers, s.cells, s.message, s.output, s.phase, s.marks, s.listing, s.pair,
    s.operand);
}

QString hex(std::uint64_t value) {
  return QString::number(value, 16).toUpper().rightJustified(8, u'0');
}

void appendOutput(Screen& s, const QString& line) {
  s.output += line + QStringLiteral("\r\n");
  if (s.output.size() > 5000)
    s.output.remove(0, s.output.size() - 5000);
}

// A random move touching any kind of field, the composites included.
void randomMove(Screen& s, std::mt19937& rng) {
  const auto pick = [&rng](int n) { return static_cast<std::size_t>(rng() % unsigned(n)); };
  const std::function<void()> changes[] = {
      [&] { s.memory[pick(201)] = static_cast<std::int32_t>(rng()); },
      [&] { s.registers[pick(16)] = hex(rng()); },
      [&] {
        s.cells[pick(64)] = (pick(3) == 0 ? QStringLiteral("日本語") : QString()) + hex(rng());
      },
      [&] { s.message = s.message.left(int(pick(10))) + QStringLiteral("→") + hex(rng()); },
      [&] { appendOutput(s, QString(int(pick(300)), QChar(u'a' + char16_t(pick(26))))); },
      [&] { s.phase = static_cast<std::int16_t>(rng()); },
      [&] { s.marks.flip(pick(201)); },
      [&] {
        if (pick(2) == 0 && !s.listing.isEmpty())
          s.listing.resize(s.listing.size() - qsizetype(pick(int(s.listing.size())) + 1));
        else
          s.listing.append(hex(rng()));
      },
      [&] {
        s.pair = {std::uint64_t{rng()} << 40, QChar(char16_t(0xD800 + pick(8)))};
      },
      [&] { s.operand.reset(); },
      [&] {
        s.operand.emplace().value = pick(2) ? std::optional(double(rng()) / 7.0) : std::nullopt;
      },
      [&] {
        if (s.operand) {
          s.operand->phase = Phase(pick(3));
          s.operand->notes.resize(pick(4), hex(rng()));
        }
      }};
  for (std::size_t n = 1 + pick(4); n-- > 0;)
    changes[pick(12)]();
}

// The history against a plain list of every state, through a random walk of records, backs,
// forwards and new starts: every state given back is exactly the one recorded.
struct WalkCase {
  qsizetype keyframeEvery;
  qsizetype moves;
  unsigned seed;
};

class HistoryWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(HistoryWalk, GivesBackExactlyTheRecordedStates) {
  const WalkCase c = GetParam();
  History<Screen> history({c.moves, 64u << 20, c.keyframeEvery});
  std::mt19937 rng(c.seed);
  std::vector<Screen> model; // every state since the last start; model[cursor] is on show
  std::size_t cursor = 0;
  Screen s;
  const auto check = [&](const std::optional<Screen>& got, std::size_t expected) {
    ASSERT_TRUE(got.has_value());
    ASSERT_EQ(cursor, expected);
    ASSERT_TRUE(*got == model[expected]) << "state " << expected;
    ASSERT_EQ(history.fallenOff() + history.cursor(), qint64(cursor));
  };
  for (int round = 0; round < 12; ++round) {
    const auto op = rng() % 8;
    if (op == 0 || model.empty()) {
      randomMove(s, rng);
      history.startFrom(s);
      model = {s};
      cursor = 0;
    } else if (op < 5) { // N moves, each recorded
      for (auto n = rng() % (5 * unsigned(c.keyframeEvery) + 40); n-- > 0;) {
        randomMove(s, rng);
        history.record(s);
        model.resize(cursor + 1);
        model.push_back(s);
        cursor = model.size() - 1;
      }
    } else { // back k, forward j <= k: the states after N-k and N-k+j moves
      const auto oldest = std::size_t(history.fallenOff());
      const std::size_t k = std::min<std::size_t>(rng() % (cursor - oldest + 1), 3000);
      for (std::size_t i = 0; i < k; ++i)
        check(history.back(), --cursor);
      if (cursor == oldest) {
        ASSERT_FALSE(history.back().has_value());
        ASSERT_FALSE(history.canBack());
      }
      for (std::size_t j = rng() % (k + 1); j-- > 0;)
        check(history.forward(), ++cursor);
      s = model[cursor]; // the screen shows the state gone to; its next move drops the rest
    }
    ASSERT_EQ(std::size_t(history.fallenOff() + history.size()), model.size());
    ASSERT_GE(history.size(), std::min<qsizetype>(qsizetype(model.size()), c.moves + 1));
    ASSERT_LE(history.size(), c.moves + c.keyframeEvery);
    ASSERT_TRUE(history.current() == model[cursor]);
    ASSERT_EQ(history.canForward(), cursor + 1 < model.size());
    history.forEach([&](qsizetype i, const Screen& state) {
      ASSERT_TRUE(state == model[std::size_t(history.fallenOff() + i)]) << "state " << i;
    });
  }
  // At the newest state forward gives nothing.
  while (history.canForward())
    check(history.forward(), ++cursor);
  EXPECT_FALSE(history.forward().has_value());
}

INSTANTIATE_TEST_SUITE_P(Spans, HistoryWalk,
                         ::testing::Values(WalkCase{1, 100000, 1}, WalkCase{2, 9, 2},
                                           WalkCase{7, 40, 3}, WalkCase{16, 1000, 4},
                                           WalkCase{64, 150, 5}, WalkCase{512, 100000, 6}));

TEST(TextChange, RebuildsTheTextInFewBytes) {
  const QString output = QStringLiteral("12345\r\n").repeated(714) + QStringLiteral("98");
  const struct {
    QString old, now;
    std::size_t atMost; // bytes of the change
  } cases[] = {
      // clang-format off
      {{}, {}, 4}, {{}, QStringLiteral("日本語🙂"), 19}, {QStringLiteral("日本語🙂"), {}, 4},
      {QStringLiteral("aaaa"), QStringLiteral("aaaaa"), 5},
      {QStringLiteral("abcXdef"), QStringLiteral("abcYYdef"), 6},
      {QString(1, QChar(0xDC00)), QString(2, QChar(0xD800)), 10},
      {output, output.mid(9) + QStringLiteral("45\r\n"), 8}, // trimmed at the front, a line added
      {output, output + QStringLiteral("45\r\n"), 10},       // a line appended
      {output, QStringLiteral("x") + output, 10},             // a character put at the front
      {output, output.mid(4000), 8}, {output, QString(100, u'z'), 105}, // front dropped; replaced
      // clang-format on
  };
  std::vector<qsizetype> scratch;
  for (const auto& c : cases) {
    DeltaBytes bytes;
    writeTextChange(bytes, c.old, c.now, scratch);
    EXPECT_LE(bytes.size(), c.atMost) << c.now.left(20).toStdString();
    QString text = c.old;
    DeltaReader in(bytes.data(), bytes.data() + bytes.size());
    readTextChange(in, text);
    EXPECT_FALSE(in.failed());
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(text, c.now);
  }
}

struct Extremes {
  double real = 0;
  float small = 0;
  std::int64_t wide = 0;
  std::uint64_t wideUnsigned = 0;
  std::int8_t narrow = 0;
  Phase phase = Phase::Fetch;
  bool flag = false;
  QChar unit;
  std::bitset<70> bits;
};
template <class A, class S>
requires std::same_as<std::remove_const_t<S>, Extremes>
void visitFields(A& a, S& s) {
  a(s.real, s.small, s.wide, s.wideUnsigned, s.narrow, s.phase, s.flag, s.unit, s.bits);
}

TEST(Delta, CarriesEveryLeafBitForBit) {
  using L = std::numeric_limits<std::int64_t>;
  const Extremes values[] = {
      {},
      {-0.0, -0.0f, L::min(), ~std::uint64_t{0}, -128, Phase::Execute, true, QChar(0xFFFF),
       std::bitset<70>().set()},
      {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<float>::infinity(), L::max(),
       std::uint64_t{1} << 63, 127, Phase::Decode, false, QChar(0xD800), std::bitset<70>(0x5A5A)},
      {1e-310, 1.5f, -1, 1, -1, Phase(-7), true, QChar(u'字'), std::bitset<70>().set(69)}};
  std::vector<qsizetype> scratch;
  for (const Extremes& from : values) {
    for (const Extremes& to : values) {
      DeltaBytes delta;
      writeDelta(delta, from, to, scratch);
      Extremes rebuilt = from;
      EXPECT_TRUE(applyDelta(rebuilt, delta.data(), delta.data() + delta.size()));
      EXPECT_TRUE(sameLeaves(rebuilt, to));
      EXPECT_EQ(std::memcmp(&rebuilt.real, &to.real, sizeof to.real), 0);
      EXPECT_EQ(delta.empty(), &from == &to);
    }
  }
}

TEST(History, DropsTheOldestSpansWhenTheMemoryRunsOut) {
  History<Screen> history({100'000, 1u << 20, 16});
  Screen s;
  for (int move = 0; move < 3000; ++move) {
    appendOutput(s, QString(200, QChar(u'a' + move % 26))); // about 13 KB a span
    history.record(s);
  }
  EXPECT_LE(history.bytes(), std::size_t{1} << 20);
  EXPECT_GT(history.fallenOff(), 0);
  EXPECT_TRUE(*history.at(history.size() - 1) == s);
  EXPECT_FALSE(history.at(history.size()) || history.at(-1));
}

TEST(Csv, QuotesWhatNeedsItAndReadsBack) {
  const CsvTable table{{QStringLiteral("手"), QStringLiteral("メッセージ"), QStringLiteral("出力")},
                       {{QStringLiteral("1"), QStringLiteral("a,b"), QStringLiteral("say \"hi\"")},
                        {QStringLiteral("2"), QStringLiteral("line\r\nnext"), QString()},
                        {QString(), QStringLiteral("\"\""), QStringLiteral("lf\nonly, 日本語")},
                        {QStringLiteral(" x "), QString(), QString()}}};
  const QByteArray bytes = csvBytes(table);
  EXPECT_EQ(bytes,
            QByteArray("\xEF\xBB\xBF") + QStringLiteral("手,メッセージ,出力\r\n"
                                                        "1,\"a,b\",\"say \"\"hi\"\"\"\r\n"
                                                        "2,\"line\r\nnext\",\r\n"
                                                        ",\"\"\"\"\"\",\"lf\nonly, 日本語\"\r\n"
                                                        " x ,,\r\n")
                                             .toUtf8());
  // Written to a file by the screens' "トレース保存" (the screen history test).
  std::vector<QStringList> expected{table.header};
  expected.insert(expected.end(), table.rows.begin(), table.rows.end());
  EXPECT_EQ(parseCsv(bytes), std::optional(expected));
}

} // namespace
} // namespace rpn
