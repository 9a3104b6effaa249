// Shared set-up of the machine tests: an engine on a freshly loaded screen with recorded boxes,
// and the golden listings of the sample programs under data/.
#pragma once

#include "machine/machine_engine.h"
#include "support/recording_dialogs.h"

#include <QFile>
#include <gtest/gtest.h>
#include <initializer_list>

namespace rpn::machine {

using namespace Qt::StringLiterals;

// Source lines joined with CR LF after each line.
inline QString sourceLines(std::initializer_list<const char16_t*> lines) {
  QString text;
  for (const char16_t* line : lines)
    text += QString::fromUtf16(line) + u"\r\n"_s;
  return text;
}

// A file of data/ (a golden listing...), each line ended by CR LF as in the listing box.
inline QString goldenListing(const QString& name) {
  QFile file(QString::fromUtf8(MACHINE_TEST_DATA) + u'/' + name);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
    return u"<missing "_s + name + u'>';
  return QString::fromUtf8(file.readAll()).replace(u'\n', u"\r\n"_s);
}

// An engine on a freshly loaded screen; given a source: trace mode off, a 1 ms interval, the
// source assembled.
struct Machine {
  Machine() { engine.Form_Load(); }
  explicit Machine(const QString& source) : Machine() {
    engine.setCheck1(false);
    engine.setTxtTimer(u"1"_s);
    assemble(source);
  }

  void assemble(const QString& source) {
    engine.setText1(source);
    engine.Command1_Click();
  }

  // Presses "実行" without trace boxes.
  void step(int times = 1) {
    engine.setCheck1(false);
    for (int i = 0; i < times; ++i)
      engine.Command2_Click();
  }

  // Presses "実行" until the end message appears or the next instruction is at `address`;
  // returns the presses, or -1 after `limit`.
  int stepsToEnd(int limit = 1000, int address = -1) {
    engine.setCheck1(false);
    for (int i = 1; i <= limit; ++i) {
      const qsizetype ends = engine.view().Text3.count(u"プログラムの終了です."_s);
      engine.Command2_Click();
      if (engine.view().Text3.count(u"プログラムの終了です."_s) > ends ||
          (address >= 0 && engine.state().machine.ExecAddress == address))
        return i;
    }
    return -1;
  }

  // "最後まで実行" in slices until it is over; the slices taken.
  int runToEnd(int slice = 64) {
    engine.cmdRunToEnd_Click();
    int slices = 1;
    while (engine.runToEndSlice(slice))
      ++slices;
    return slices;
  }

  test::RecordingDialogs boxes;
  MachineEngine engine{boxes};
};

class MachineFixture : public ::testing::Test, public Machine {};

} // namespace rpn::machine
