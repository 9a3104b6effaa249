#include "common/leading_number.h"
#include "common/number_text.h"
#include "common/rounding.h"
#include "common/screen_kit.h"
#include "common/timer_interval.h"
#include "support/recording_dialogs.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>

namespace rpn {
namespace {

using namespace Qt::StringLiterals;

struct NumberCase {
  const char16_t* text;
  double value;
  bool overflow = false;
};

class LeadingNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(LeadingNumberTest, ReadsTheLongestLeadingNumber) {
  const NumberCase& c = GetParam();
  const LeadingNumber n = readLeadingNumber(QStringView(c.text));
  EXPECT_EQ(n.overflow, c.overflow) << QString::fromUtf16(c.text).toStdString();
  EXPECT_DOUBLE_EQ(n.value, c.value) << QString::fromUtf16(c.text).toStdString();
  EXPECT_EQ(std::signbit(n.value), std::signbit(c.value)) << "no negative zero";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LeadingNumberTest,
    ::testing::Values(NumberCase{u"", 0}, NumberCase{u"abc", 0}, NumberCase{u"12abc", 12},
                      NumberCase{u"2.5kg", 2.5}, NumberCase{u" 1 2", 12}, NumberCase{u"\t\n 7", 7},
                      NumberCase{u"2.5E1", 25}, NumberCase{u"2.5e1", 25}, NumberCase{u"1D3", 1000},
                      NumberCase{u"-6", -6}, NumberCase{u"+.5", 0.5}, NumberCase{u"- 4", -4},
                      NumberCase{u"1.2.3", 1.2}, NumberCase{u"1E", 1}, NumberCase{u"1E+", 1},
                      NumberCase{u"--1", 0}, NumberCase{u".", 0}, NumberCase{u"1\r2", 1},
                      NumberCase{u"３", 0}, NumberCase{u"200.5", 200.5}, NumberCase{u"&HFF", 255},
                      NumberCase{u"&hff", 255}, NumberCase{u"&HFFFF", -1},
                      NumberCase{u"&H7FFF", 32767}, NumberCase{u"&H10000", 65536},
                      NumberCase{u"&HFFFFFFFF", -1}, NumberCase{u"&H80000000", -2147483648.0},
                      NumberCase{u"&H100000000", 0, true}, NumberCase{u"&O17", 15},
                      NumberCase{u"&O177777", -1}, NumberCase{u"&O8", 0}, NumberCase{u"&", 0},
                      NumberCase{u"&X1", 0}, NumberCase{u"1E400", 0, true},
                      NumberCase{u"-1E400", 0, true}, NumberCase{u"1E-400", 0},
                      NumberCase{u"0.000000E999999999", 0},
                      NumberCase{u"1E99999999999999", 0, true}, NumberCase{u"-0", 0}));

TEST(Rounding, HalfGoesToTheEvenNeighbour) {
  const std::pair<double, double> cases[] = {{200.5, 200}, {201.5, 202}, {0.5, 0},
                                             {1.5, 2},     {-2.5, -2},   {-3.5, -4},
                                             {2.4999, 2},  {2.5001, 3},  {-0.2, -0}};
  for (const auto& [in, out] : cases)
    EXPECT_EQ(roundHalfEven(in), out) << in;
}

TEST(TimerInterval, RoundsAndRefusesWhatTheTimerCannotTake) {
  // clang-format off
  const std::pair<const char16_t*, std::optional<int>> cases[] = {
      {u"200", 200}, {u"200.5", 200}, {u"201.5", 202}, {u"", 0}, {u"abc", 0}, {u"65535", 65535},
      {u"-0.4", 0}, {u"65535.5", std::nullopt}, {u"-1", std::nullopt}, {u"1E400", std::nullopt},
      {u"99999999999", std::nullopt}};
  // clang-format on
  for (const auto& [text, interval] : cases)
    EXPECT_EQ(timerIntervalFromText(text), interval) << QString::fromUtf16(text).toStdString();
}

TEST(NumberText, GeneralFormWithFifteenDigits) {
  // clang-format off
  const std::pair<double, const char*> cases[] = {
      {-11, "-11"}, {0.5, "0.5"}, {10.0 / 3.0, "3.33333333333333"}, {1e20, "1E+20"},
      {1e-5, "1E-05"}, {123456789012345.0, "123456789012345"}, {-0.0, "0"}, {0.1 + 0.2, "0.3"},
      {1234567890123456.0, "1.23456789012346E+15"}, {-1.5e-300, "-1.5E-300"}};
  // clang-format on
  for (const auto& [value, text] : cases) { // and the text reads back as the number it says
    EXPECT_EQ(numberToText(value), QString::fromLatin1(text)) << text;
    EXPECT_EQ(readLeadingNumber(QString::fromLatin1(text)).value, std::stod(text)) << text;
  }
}

// A text box shows every line break as a line feed and gives back CR LF, as the engines keep it.
TEST(BoxText, LineBreaksBecomeLineFeedsAndComeBackAsCrLf) {
  EXPECT_EQ(toBoxText(u"a\r\nb\rc\n\r\n"_s), u"a\nb\nc\n\n");
  EXPECT_EQ(fromBoxText(u"a\nb\n"_s), u"a\r\nb\r\n");
}

// One press through a screen's boxes: "i:x" is an OK-only box x, "c:x" a question. Each row says
// what the user sees: the boxes in order ("|" between them) and how often the screen was
// repainted for them.
struct PressCase {
  bool collapse;
  const char16_t* raised;
  const char16_t* shown;
  int repaints;
};

class ScreenDialogsPress : public ::testing::TestWithParam<PressCase> {};

TEST_P(ScreenDialogsPress, OpensEachTextOnceInTheOrderFirstRaised) {
  const PressCase& c = GetParam();
  test::RecordingDialogs boxes;
  int repaints = 0;
  ScreenDialogs dialogs(nullptr, &boxes, [&] { ++repaints; });
  int openSeen = 0; // a box held for the end of the press counts as open when it opens
  boxes.onBox = [&] { openSeen += dialogs.boxOpen() ? 1 : 0; };
  {
    const auto press = dialogs.press(c.collapse);
    for (const QString& raised : QString::fromUtf16(c.raised).split(u' ', Qt::SkipEmptyParts)) {
      if (raised.startsWith(u"c:"))
        dialogs.confirm(raised.mid(2), u"t"_s);
      else
        dialogs.inform(raised.mid(2));
    }
    // Held until the press ends (a question cannot wait: it shows what was held before it).
    EXPECT_TRUE(!c.collapse || QStringView(c.raised).contains(u"c:") || boxes.texts().isEmpty());
  }
  const QStringList shown = QString::fromUtf16(c.shown).split(u'|', Qt::SkipEmptyParts);
  EXPECT_EQ(boxes.texts(), shown);
  EXPECT_EQ(openSeen, shown.size());
  EXPECT_FALSE(dialogs.boxOpen());
  EXPECT_EQ(repaints, c.repaints);
  // Outside a press every box opens at once.
  dialogs.inform(u"a"_s);
  dialogs.inform(u"a"_s);
  EXPECT_EQ(boxes.texts().mid(shown.size()), QStringList({u"a"_s, u"a"_s}));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rows, ScreenDialogsPress, ::testing::Values(
    PressCase{true, u"i:a i:a i:a", u"a (ほか2回)", 1},
    // Each text once per press in the order first raised, up to a question, which opens at once.
    PressCase{true, u"i:a i:b i:b i:a c:q i:q i:a i:q", u"a (ほか1回)|b (ほか1回)|q|q (ほか1回)|a", 5},
    // Trace mode: every move's box shows, each after its own repaint.
    PressCase{false, u"i:a i:a c:a", u"a|a|a", 3},
    PressCase{true, u"", u"", 0}));
// clang-format on

} // namespace
} // namespace rpn

namespace rpn {
namespace {

// Timeouts at given times (interval in ms, time in ms, ticks due): a late one makes up the ticks
// missed, an early one still makes its move, a long delay is forgiven, a new interval or a restart
// counts afresh, and an interval of a frame or more never catches up.
TEST(TickPace, MakesUpLateTicksButForgivesALongDelay) {
  TickPace pace;
  const int frame = FramePaint::kFrameMs;
  const struct {
    int interval;
    long long at;
    int due;
  } timeouts[] = {{1, 0, 1},   {1, 10, 9},   {1, 10, 1},  {1, 12, 1},      {1, 80, 1},
                  {1, 81, 1},  {2, 90, 1},   {2, 100, 4}, {frame, 500, 1}, {1, 510, 1},
                  {1, 515, 4}, {-1, 520, 1}, {1, 530, 1}, {1, 540, 9}};
  for (const auto& t : timeouts)
    EXPECT_EQ(pace.dueAt(t.interval, t.at * 1'000'000), t.due) << t.interval << " at " << t.at;
  pace.restart();
  EXPECT_EQ(pace.dueAt(1, 900'000'000), 1);
}

} // namespace
} // namespace rpn
