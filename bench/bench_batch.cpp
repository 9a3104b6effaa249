// Batch command line: `rpnw run` over many sample-sized files, once as one process over all the
// files and once as one process per file, against `true` started as many times (the cost of
// starting a process at all on this machine).
#include "bench_main.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace rpn::bench {
namespace {

// The sample program that compares and loops (about 160 instructions run).
constexpr char kSample[] = "     LI      10\r\n"
                           "     STOR    I\r\n"
                           "     LI      0\r\n"
                           "     STOR    A\r\n"
                           "LOOP LOAD    I\r\n"
                           "     SUBI    1\r\n"
                           "     JM      ENDP\r\n"
                           "     STOR    I\r\n"
                           "     ADD     A\r\n"
                           "     STOR    A\r\n"
                           "     JMP     LOOP\r\n"
                           "ENDP LOAD    A\r\n"
                           "     OUT     0\r\n"
                           "     SVC     0\r\n"
                           "A    DA      1\r\n"
                           "I    DA      1\r\n";

// Runs the program to its end with its output thrown away; false when it did not exit with 0.
bool run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  process.start(program, arguments);
  return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
         process.exitCode() == 0;
}

// Returns the directory of the files, which must live as long as the run.
std::unique_ptr<QTemporaryDir> registerAll(const Options& options) {
  const int files = options.smoke ? 10 : 1000;
  const std::string count = std::to_string(files);
  const std::string baseline = "batch/true-x" + count;

  benchmark::RegisterBenchmark(baseline.c_str(), [=](benchmark::State& state) {
    const QString truePath = QStandardPaths::findExecutable(QStringLiteral("true"));
    for (auto _ : state) {
      const auto start = std::chrono::steady_clock::now();
      for (int i = 0; i < files; ++i)
        if (!run(truePath, {}))
          state.SkipWithError("true failed");
      report(state, secondsSince(start), rowLabel("s", ""));
    }
  })->Iterations(1);

  auto dir = std::make_unique<QTemporaryDir>();
  QStringList paths;
  for (int i = 0; i < files; ++i) {
    const QString path = dir->filePath(QStringLiteral("sample%1.asm").arg(i));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
      file.write(kSample);
    paths << path;
  }
  const QString rpnw = QStringLiteral(RPNW_PATH);

  benchmark::RegisterBenchmark(("batch/rpnw-run-" + count + "-files-one-process").c_str(),
                               [=](benchmark::State& state) {
                                 for (auto _ : state) {
                                   const auto start = std::chrono::steady_clock::now();
                                   if (!run(rpnw, QStringList{QStringLiteral("run")} + paths))
                                     state.SkipWithError("rpnw run failed");
                                   report(state, secondsSince(start), rowLabel("s", baseline));
                                 }
                               })
      ->Iterations(1);

  benchmark::RegisterBenchmark(("batch/rpnw-run-x" + count).c_str(), [=](benchmark::State& state) {
    for (auto _ : state) {
      const auto start = std::chrono::steady_clock::now();
      for (const QString& path : paths)
        if (!run(rpnw, {QStringLiteral("run"), path}))
          state.SkipWithError("rpnw run failed");
      report(state, secondsSince(start), rowLabel("s", baseline));
    }
  })->Iterations(1);
  return dir;
}

} // namespace
} // namespace rpn::bench

int main(int argc, char** argv) {
  const rpn::bench::Options options = rpn::bench::takeOptions(argc, argv);
  QCoreApplication app(argc, argv);
  const auto files = rpn::bench::registerAll(options);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
