// Long inputs at once: one press (trace mode off) of the conversion, execution and translation
// screens with a 32,767-character input (the most an input box holds), and assembly of a 101-line
// program, each timed per character against a loop that only reads the characters.
#include "bench_main.h"
#include "conversion/form1.h"
#include "execution/form2.h"
#include "machine/frm_assembler.h"
#include "quiet_dialogs.h"
#include "translation/frm_compile.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <functional>

namespace rpn::bench {
namespace {

constexpr qsizetype kLongest = 32767;
constexpr qsizetype kSmokeLength = 1000; // the smoke run proves the rows work, quickly

// first, then the pieces in turn until the text is `length` characters long.
QString cycle(const QString& first, const QStringList& pieces, qsizetype length) {
  QString text = first;
  for (qsizetype i = 0; text.size() + pieces.at(i % pieces.size()).size() <= length; ++i)
    text += pieces.at(i % pieces.size());
  return text;
}

QString longInfix(qsizetype length) {
  return cycle(
      QStringLiteral("A"),
      {QStringLiteral("+B"), QStringLiteral("*C"), QStringLiteral("-D"), QStringLiteral("/E")},
      length);
}

QString longPostfix(qsizetype length) {
  return cycle(QStringLiteral("A"), {QStringLiteral("B+"), QStringLiteral("C-")}, length);
}

// Every letter once more: the variable table overflows at every name it does not hold.
QString overflowingPostfix(qsizetype length) {
  QStringList pieces;
  for (char16_t c = u'B'; c <= u'Z'; ++c)
    pieces << QString(QChar(c)) + u'+';
  return cycle(QStringLiteral("A"), pieces, length);
}

QString program101() {
  QString text;
  for (int i = 0; i < 100; ++i)
    text += QStringLiteral("     LI      %1,1\r\n").arg(i % 50);
  return text + QStringLiteral("     SVC     0\r\n");
}

double readLoopNs(const QString& text) {
  const double start = threadCpuSeconds();
  unsigned sum = 0;
  for (const QChar c : text) {
    sum += c.unicode();
    benchmark::DoNotOptimize(sum);
  }
  return (threadCpuSeconds() - start) * 1e9;
}

// Types the text into the screen's input box, sets trace mode (off unless asked) and times the
// press.
double pressMs(ScreenWindow& screen, const QString& input, const QString& button,
               bool trace = false) {
  screen.showScreen();
  screen.findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(trace);
  if (auto* box = screen.findChild<QLineEdit*>(QStringLiteral("Text1"))) {
    box->setText(input);
    Q_EMIT box->textEdited(input);
  }
  auto* press = screen.findChild<QPushButton*>(button);
  const double start = threadCpuSeconds();
  press->click();
  return (threadCpuSeconds() - start) * 1e3;
}

using Press = std::function<double(QuietDialogs&)>;

void registerRow(const std::string& name, const QString& input, Press press, int repeats,
                 const std::string& goal) {
  benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
    for (auto _ : state) {
      double best = 1e300;
      long boxes = 0;
      for (int i = 0; i < repeats; ++i) {
        QuietDialogs dialogs;
        best = std::min(best, press(dialogs));
        boxes = dialogs.boxes;
      }
      state.counters["ms"] = best;
      state.counters["boxes"] = static_cast<double>(boxes);
      report(state, best * 1e6 / static_cast<double>(input.size()),
             rowLabel("ns/char", "long/read-loop", goal));
    }
  })->Iterations(1);
}

void registerAll(const Options& options) {
  const int repeats = options.smoke ? 1 : 5;
  const qsizetype length = options.smoke ? kSmokeLength : kLongest;
  const QString infix = longInfix(length);
  const QString postfix = longPostfix(length);
  const QString overflowing = overflowingPostfix(length);
  const QString program = program101();

  benchmark::RegisterBenchmark("long/read-loop", [=](benchmark::State& state) {
    for (auto _ : state) {
      double best = 1e300;
      for (int i = 0; i < 1000; ++i)
        best = std::min(best, readLoopNs(infix));
      report(state, best / static_cast<double>(infix.size()), rowLabel("ns/char", ""));
    }
  })->Iterations(1);

  registerRow(
      "long/conversion-32767", infix,
      [=](QuietDialogs& boxes) {
        conversion::Form1 form(&boxes);
        return pressMs(form, infix, QStringLiteral("Command1"));
      },
      repeats, "ms<20");
  registerRow(
      "long/execution-32767", postfix,
      [=](QuietDialogs& boxes) {
        execution::Form2 form(&boxes);
        return pressMs(form, postfix, QStringLiteral("Command1"));
      },
      repeats, "ms<20");
  registerRow(
      "long/translation-32767", postfix,
      [=](QuietDialogs& boxes) {
        translation::FrmCompile form(&boxes);
        return pressMs(form, postfix, QStringLiteral("Command1"));
      },
      repeats, "ms<20");
  registerRow(
      "long/translation-overflow-32767", overflowing,
      [=](QuietDialogs& boxes) {
        translation::FrmCompile form(&boxes);
        return pressMs(form, overflowing, QStringLiteral("Command1"));
      },
      1, "ms<1000");
  // In trace mode every move opens a box and the screen is painted before it: the listing grows
  // to 297 lines, one template at a time.
  const QString traced = QStringLiteral("AB+") + QStringLiteral("A=").repeated(147);
  registerRow(
      "long/translation-traced-297-lines", traced,
      [=](QuietDialogs& boxes) {
        translation::FrmCompile form(&boxes);
        return pressMs(form, traced, QStringLiteral("Command1"), true);
      },
      1, "ms<1000");
  registerRow(
      "long/assembly-101-lines", program,
      [=](QuietDialogs& boxes) {
        machine::FrmAssembler form(&boxes);
        form.setSourceText(program);
        return pressMs(form, program, QStringLiteral("Command1"));
      },
      repeats, "ms<20");
}

} // namespace
} // namespace rpn::bench

int main(int argc, char** argv) {
  const rpn::bench::Options options = rpn::bench::takeOptions(argc, argv);
  QApplication app(argc, argv);
  rpn::bench::registerAll(options);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
