// Tick rate of auto-run: every screen shown with its real timer at 1 ms and 10 ms, alone and all
// four at once, against a bare QTimer at the same interval in the same run (the floor). A figure
// is achieved ticks / requested ticks: the auto-run moves the screen made (a late timeout makes
// up the ticks its timer dropped); the timeouts the timer itself delivered go with it as a
// counter.
#include "bench_main.h"
#include "conversion/form1.h"
#include "execution/form2.h"
#include "machine/frm_assembler.h"
#include "machine/samples.h"
#include "quiet_dialogs.h"
#include "translation/frm_compile.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace rpn::bench {
namespace {

// One screen under auto-run, with the ticks its timer delivered.
struct Screen {
  const char* name;
  std::unique_ptr<ScreenWindow> window;
  const QTimer* timer = nullptr;
  QString intervalBox;
  QString startButton;
  std::function<long long()> ticksMade; // auto-run moves the screen made
  long timeouts = 0;                    // timeouts its timer delivered
};

template <class Form> std::function<long long()> ticksOf(const Form* form) {
  return [form] { return form->ticksMade(); };
}

constexpr std::array<const char*, 4> kScreenNames = {"conversion", "execution", "translation",
                                                     "assembler"};

Screen makeScreen(int which, QuietDialogs& boxes) {
  switch (which) {
  case 0: {
    auto form = std::make_unique<conversion::Form1>(&boxes);
    const QTimer* timer = &form->timer();
    auto ticks = ticksOf(form.get());
    return {"conversion", std::move(form), timer, QStringLiteral("Text3"),
            QStringLiteral("Command3"), ticks};
  }
  case 1: {
    auto form = std::make_unique<execution::Form2>(&boxes);
    const QTimer* timer = &form->timer();
    auto ticks = ticksOf(form.get());
    return {"execution", std::move(form), timer, QStringLiteral("Text3"),
            QStringLiteral("Command3"), ticks};
  }
  case 2: {
    auto form = std::make_unique<translation::FrmCompile>(&boxes);
    const QTimer* timer = &form->timer();
    auto ticks = ticksOf(form.get());
    return {"translation", std::move(form), timer, QStringLiteral("Text3"),
            QStringLiteral("Command3"), ticks};
  }
  default: {
    auto form = std::make_unique<machine::FrmAssembler>(&boxes);
    form->setSourceText(machine::sampleCompare());
    const QTimer* timer = &form->timer();
    auto ticks = ticksOf(form.get());
    return {"assembler", std::move(form), timer, QStringLiteral("txtTimer"),
            QStringLiteral("Command4"), ticks};
  }
  }
}

// Shows the screen, turns trace mode off, types the interval and presses auto-run.
void start(Screen& screen, int intervalMs) {
  screen.window->showScreen();
  screen.window->findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(false);
  auto* box = screen.window->findChild<QLineEdit*>(screen.intervalBox);
  const QString text = QString::number(intervalMs);
  box->setText(text);
  Q_EMIT box->textEdited(text);
  QObject::connect(screen.timer, &QTimer::timeout, screen.window.get(),
                   [&screen] { ++screen.timeouts; });
  screen.window->findChild<QPushButton*>(screen.startButton)->click();
}

// Runs the event loop for the given time; returns the milliseconds that passed.
double spin(int ms) {
  QEventLoop loop;
  QElapsedTimer clock;
  clock.start();
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

double achieved(long ticks, double elapsedMs, int intervalMs) {
  return static_cast<double>(ticks) / (elapsedMs / intervalMs);
}

std::string floorName(int intervalMs) {
  return "ticks/floor/" + std::to_string(intervalMs) + "ms";
}

void registerAll(const Options& options) {
  const int runMs = options.smoke ? 50 : 5000;
  for (const int interval : {1, 10}) {
    benchmark::RegisterBenchmark(floorName(interval).c_str(), [=](benchmark::State& state) {
      for (auto _ : state) {
        QTimer timer;
        long ticks = 0;
        QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
        timer.start(interval);
        const double elapsed = spin(runMs);
        report(state, achieved(ticks, elapsed, interval), rowLabel("ticks/requested", ""));
      }
    })->Iterations(1);

    for (int which = 0; which < 4; ++which) {
      const std::string name = kScreenNames.at(static_cast<std::size_t>(which));
      benchmark::RegisterBenchmark(
          ("ticks/" + name + "/" + std::to_string(interval) + "ms/alone").c_str(),
          [=](benchmark::State& state) {
            for (auto _ : state) {
              QuietDialogs boxes;
              Screen screen = makeScreen(which, boxes);
              start(screen, interval);
              const double elapsed = spin(runMs);
              report(state, achieved(screen.ticksMade(), elapsed, interval),
                     rowLabel("ticks/requested", floorName(interval), "ratio>=0.95"));
              state.counters["timeouts"] = achieved(screen.timeouts, elapsed, interval);
            }
          })
          ->Iterations(1);
    }

    // All four at once: one run measures every screen, each reported as its own row.
    auto together = std::make_shared<std::array<double, 4>>();
    for (int which = 0; which < 4; ++which) {
      const std::string name = kScreenNames.at(static_cast<std::size_t>(which));
      benchmark::RegisterBenchmark(
          ("ticks/" + name + "/" + std::to_string(interval) + "ms/all-four").c_str(),
          [=](benchmark::State& state) {
            for (auto _ : state) {
              if (which == 0) {
                QuietDialogs boxes;
                std::vector<Screen> screens;
                for (int i = 0; i < 4; ++i)
                  screens.push_back(makeScreen(i, boxes));
                for (Screen& screen : screens)
                  start(screen, interval);
                const double elapsed = spin(runMs);
                for (std::size_t i = 0; i < 4; ++i)
                  (*together)[i] = achieved(screens[i].ticksMade(), elapsed, interval);
              }
              report(state, (*together)[static_cast<std::size_t>(which)],
                     rowLabel("ticks/requested", floorName(interval), "ratio>=0.95"));
            }
          })
          ->Iterations(1);
    }
  }
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
