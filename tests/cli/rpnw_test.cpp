// rpnw against the engines driven as their screens drive them: the same input gives the same
// texts, every exit status has its case, the JSON parses, and the executable needs no display.
#include "cli/rpnw.h"
#include "conversion/conversion_engine.h"
#include "execution/execution_engine.h"
#include "machine/machine_engine.h"
#include "machine/samples.h"
#include "support/recording_dialogs.h"
#include "translation/translation_engine.h"

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace rpn::cli {
namespace {

using namespace Qt::StringLiterals;
using test::RecordingDialogs;

struct Outcome {
  int status = -1;
  QString out;
  QString err;
};

// rpnw called in-process, standard input given.
Outcome call(const QStringList& arguments, QByteArray input = {}) {
  QBuffer in(&input);
  QBuffer out;
  QBuffer err;
  in.open(QIODevice::ReadOnly);
  out.open(QIODevice::WriteOnly);
  err.open(QIODevice::WriteOnly);
  Console console{in, out, err};
  const int status = rpnw(QStringList{u"rpnw"_s} + arguments, console);
  return {status, QString::fromUtf8(out.data()), QString::fromUtf8(err.data())};
}

// The executable run with an empty environment: no DISPLAY, no QT_QPA_PLATFORM, nothing.
Outcome launch(const QStringList& arguments, const QByteArray& input = {}) {
  QProcess process;
  process.setProcessEnvironment(QProcessEnvironment());
  process.start(QStringLiteral(RPNW_PATH), arguments);
  EXPECT_TRUE(process.waitForStarted());
  process.write(input);
  process.closeWriteChannel();
  EXPECT_TRUE(process.waitForFinished(60000));
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromUtf8(process.readAllStandardOutput()),
          QString::fromUtf8(process.readAllStandardError())};
}

QString lf(QString text) {
  return text.replace(u"\r\n"_s, u"\n"_s);
}

class Files {
public:
  QString write(const QString& name, const QByteArray& bytes) {
    const QString path = m_dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }
  QString program(const QString& name, const QString& source) {
    return write(name, source.toUtf8());
  }
  QString path(const QString& name) const { return m_dir.filePath(name); }

private:
  QTemporaryDir m_dir;
};

QJsonObject json(const QString& line) {
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
  return document.object();
}

QList<QJsonObject> jsonLines(const QString& out) {
  QList<QJsonObject> objects;
  for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts))
    objects << json(line);
  return objects;
}

// ---- what the screens show, for the same input

QString screenConversion(const QString& expression, bool trace, QStringList* boxes = nullptr) {
  RecordingDialogs dialogs;
  conversion::ConversionEngine engine(dialogs);
  engine.Form_Load();
  engine.setCheck1(trace);
  engine.setText1(expression);
  engine.Command1_Click();
  if (boxes)
    *boxes = dialogs.texts();
  return engine.view().Text2;
}

QString screenMachineOutput(const QString& source, int* presses) {
  RecordingDialogs dialogs;
  machine::MachineEngine engine(dialogs);
  engine.Form_Load();
  engine.setText1(source);
  engine.Command1_Click();
  engine.setCheck1(false);
  *presses = 0;
  while (!engine.view().Text3.contains(u"プログラムの終了です."_s) && *presses < 10000) {
    engine.Command2_Click();
    ++*presses;
  }
  return engine.view().Text3.mid(2); // the output box starts with the line end before "* 45"
}

QString screenListing(const QString& source) {
  RecordingDialogs dialogs;
  machine::MachineEngine engine(dialogs);
  engine.Form_Load();
  engine.setText1(source);
  engine.Command1_Click();
  return engine.view().Text2;
}

const QString kExample = u"XABC*DE-/+F-="_s;

TEST(RpnwConvert, EachExampleAsTheConversionScreenShowsIt) {
  const QStringList examples{u"A+B*C/(D-E)-F"_s, u"A-B-C"_s,  u"A=B=C"_s,  u"(A+B)*C"_s,
                             u"A+B)*C"_s,        u"A*(B+C"_s, u"A*-B"_s,   u"--A"_s,
                             u"A+*B"_s,          u""_s,       u"X=A+B*C"_s};
  const Outcome all = call(QStringList{u"convert"_s, u"--"_s} + examples);
  QString expected;
  for (const QString& example : examples)
    expected += screenConversion(example, false) + u'\n';
  EXPECT_EQ(all.out, expected);
  EXPECT_TRUE(
      all.out.startsWith(u"ABC*DE-/+F-\nAB-C-\nAB=C=\nAB+C*\nAB+C*\nABC+\nA*B－\n－A－\n"_s));
  EXPECT_EQ(all.status, 1); // unbalanced brackets and a syntax error
  EXPECT_EQ(all.err, u"\"A+B)*C\": 対応する「(」がありません\n"
                     u"\"A*(B+C\": 括弧が閉じられていません\n"
                     u"\"A+*B\": 構文エラー *\n"_s);
  // "-" stands for the lines of standard input, in its place among the arguments.
  EXPECT_EQ(call({u"convert"_s, u"C"_s, u"-"_s, u"D"_s}, "A+B\nA*B\r\n").out,
            u"C\nAB+\nAB*\nD\n"_s);

  // The trace: one line per box of trace mode, in order, starting with the box's text.
  for (const QString& example : examples) {
    QStringList boxes;
    screenConversion(example, true, &boxes);
    const Outcome traced = call({u"convert"_s, u"--trace"_s, u"--"_s, example});
    QStringList lines = traced.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(boxes.isEmpty());
    ASSERT_EQ(lines.size(), boxes.size() + (example.isEmpty() ? 0 : 1)) << traced.out.toStdString();
    if (!example.isEmpty())
      lines.removeFirst();
    for (qsizetype i = 0; i < boxes.size(); ++i)
      EXPECT_TRUE(lines.at(i).startsWith(boxes.at(i) + u"  step="_s)) << lines.at(i).toStdString();
  }
}

TEST(RpnwConvert, TraceInJsonAndCsvCarriesTheStateEachBoxShows) {
  const Outcome out = call({u"convert"_s, u"--trace"_s, u"--format"_s, u"json"_s, u"A+B*C"_s});
  const QJsonObject result = json(out.out);
  EXPECT_EQ(result[u"rpn"_s].toString(), u"ABC*+"_s);
  EXPECT_EQ(result[u"status"_s].toInt(), 0);
  const QJsonArray trace = result[u"trace"_s].toArray();
  ASSERT_FALSE(trace.isEmpty());
  // The box that pushes "*": the output so far and the stack under it.
  bool seen = false;
  for (const QJsonValue& row : trace) {
    const QJsonObject box = row.toObject();
    EXPECT_TRUE(box.contains(u"box"_s) && box.contains(u"step"_s) && box.contains(u"output"_s) &&
                box.contains(u"stack"_s));
    if (box[u"box"_s].toString() == u"スタック ←　演算子[*]"_s) {
      seen = true;
      EXPECT_EQ(box[u"output"_s].toString(), u"AB"_s);
      EXPECT_EQ(box[u"stack"_s].toString(), u"+"_s);
    }
  }
  EXPECT_TRUE(seen);
  const Outcome csv = call({u"convert"_s, u"--trace"_s, u"--format"_s, u"csv"_s, u"A+B"_s, u"C"_s});
  const QStringList rows = csv.out.split(u'\n', Qt::SkipEmptyParts);
  EXPECT_EQ(rows.first(), u"input,box,step,output,stack"_s);
  EXPECT_TRUE(rows.last().startsWith(u"C,"_s));
}

TEST(RpnwExecute, TheExampleAndTheSetValuesAsTheExecutionScreenComputesThem) {
  struct Case {
    QStringList arguments;
    QString out;
    int status;
    QString err;
  };
  const std::vector<Case> cases{
      {{kExample}, u"-11  X=-11\n"_s, 0, {}},
      {{u"--set"_s, u"A=10"_s, u"--set"_s, u"F=0.5"_s, kExample}, u"3.5  X=3.5\n"_s, 0, {}},
      {{u"AB-"_s, u"AB/"_s, u"A＋"_s, u"A－"_s}, u"-1\n0.5\n1\n-1\n"_s, 0, {}},
      {{u"--set"_s, u"B=0"_s, u"XAB/="_s},
       u"0  X=0\n"_s,
       1,
       u"\"XAB/=\": 0で割ることはできません\n"_s},
      {{u"Aa+"_s}, u"1\n"_s, 1, u"\"Aa+\": 変数名が見つかりません\n"_s},
      {{u"--set"_s, u"Q=1"_s, kExample}, {}, 2, {}},
      {{u"--set"_s, u"A"_s, kExample}, {}, 2, {}},
  };
  for (const Case& c : cases) {
    const Outcome out = call(QStringList{u"execute"_s} + c.arguments);
    EXPECT_EQ(out.status, c.status) << c.arguments.join(u' ').toStdString();
    EXPECT_EQ(out.out, c.out) << c.arguments.join(u' ').toStdString();
    if (c.status != 2) {
      EXPECT_EQ(out.err, c.err);
    }
  }
  // The trace's boxes are the screen's, in order.
  RecordingDialogs dialogs;
  execution::ExecutionEngine engine(dialogs);
  engine.Form_Load();
  engine.setText1(kExample);
  engine.Command1_Click();
  const QJsonObject traced =
      json(call({u"execute"_s, u"--trace"_s, u"--format"_s, u"json"_s, kExample}).out);
  QStringList boxes;
  for (const QJsonValue& row : traced[u"trace"_s].toArray())
    boxes << row.toObject()[u"box"_s].toString();
  EXPECT_EQ(boxes, dialogs.texts());
  EXPECT_EQ(traced[u"stack"_s].toArray(), QJsonArray{u"-11"_s});
  EXPECT_EQ(traced[u"changed"_s].toObject(), (QJsonObject{{u"X"_s, u"-11"_s}}));
  EXPECT_EQ(traced[u"variables"_s].toObject()[u"A"_s].toString(), u"1"_s);
  EXPECT_EQ(traced[u"trace"_s].toArray().last().toObject()[u"register"_s].toString(), u"-11"_s);
}

TEST(RpnwTranslate, ListingsAndHandOffAsTheTranslationScreenMakesThem) {
  RecordingDialogs dialogs;
  translation::TranslationEngine engine(dialogs);
  engine.Form_Load();
  engine.setCheck1(false);
  engine.setText1(kExample);
  engine.Command1_Click();
  const QStringList listing = engine.view().List1;
  const QString source = engine.BuildAssemblerSource();
  engine.Command5_Click();
  const QStringList optimised = engine.view().List1;

  ASSERT_EQ(listing.size(), 17);
  ASSERT_EQ(optimised.size(), 13);
  EXPECT_EQ(call({u"translate"_s, kExample}).out, listing.join(u'\n') + u'\n');
  EXPECT_EQ(call({u"translate"_s, u"--listing"_s, kExample}).out, listing.join(u'\n') + u'\n');
  const Outcome optimisedOut = call({u"translate"_s, u"--optimise"_s, kExample});
  EXPECT_EQ(optimisedOut.out, optimised.join(u'\n') + u'\n');
  EXPECT_EQ(optimisedOut.status, 0);
  EXPECT_EQ(optimisedOut.err.count(u'\n'), 3); // the optimiser's three boxes
  EXPECT_EQ(call({u"translate"_s, u"--source"_s, kExample}).out, lf(source) + u'\n');
  EXPECT_EQ(call({u"translate"_s, u"--source"_s, u"--listing"_s, kExample}).status, 2);
  // A name that cannot be a label is refused by the hand-off, as on the screen.
  const Outcome refused = call({u"translate"_s, u"--source"_s, u"X1+="_s});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(refused.err.contains(u"擬似アセンブラのラベルにできない変数名です: [1]"_s));

  const QJsonObject result =
      json(call({u"translate"_s, u"--optimise"_s, u"--format"_s, u"json"_s, kExample}).out);
  EXPECT_EQ(result[u"listing"_s].toArray().size(), 13);
  EXPECT_TRUE(result[u"optimised"_s].toBool());
  EXPECT_EQ(result[u"source"_s].toArray().first().toString(), optimised.first());
  EXPECT_EQ(result[u"variables"_s].toArray().size(), 10);
  EXPECT_EQ(result[u"messages"_s].toArray().size(), 3);
  EXPECT_EQ(result[u"stack"_s].toArray(), QJsonArray{u"X"_s});
}

QString readGolden(const char* name) {
  QFile file(QStringLiteral(MACHINE_TEST_DATA "/") + QLatin1StringView(name));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  return QString::fromUtf8(file.readAll());
}

TEST(RpnwMachine, SamplesAndTheHandOffAsTheAssemblerScreenRunsThem) {
  Files files;
  struct Sample {
    QString source;
    const char* golden;
    int presses;
  };
  const std::vector<Sample> samples{{machine::sampleCompare(), "compare.lst", 80},
                                    {machine::sampleRegisters(), "registers.lst", 68}};
  for (const Sample& sample : samples) {
    // Shift_JIS with CR LF, as the screen saves it; and UTF-8 with LF, as an editor writes it.
    const QString sjis = files.write(u"sjis.asm"_s, sample.source.toLatin1());
    const QString utf8 = files.program(u"utf8.asm"_s, lf(sample.source));
    const Outcome listing = call({u"assemble"_s, sjis});
    EXPECT_EQ(listing.out, lf(screenListing(sample.source)));
    EXPECT_EQ(listing.out, readGolden(sample.golden));
    int presses = 0;
    const QString shown = screenMachineOutput(sample.source, &presses);
    EXPECT_EQ(presses, sample.presses);
    for (const QString& path : {sjis, utf8, u"-"_s}) {
      const Outcome ran = call({u"run"_s, path}, sample.source.toUtf8());
      EXPECT_EQ(ran.out, lf(shown) + u'\n');
      EXPECT_EQ(ran.out, u"* 45\nプログラムの終了です.\n"_s);
      EXPECT_EQ(ran.status, 0);
      EXPECT_EQ(ran.err, QString());
    }
    const QJsonObject result = json(call({u"run"_s, u"--format"_s, u"json"_s, sjis}).out);
    EXPECT_EQ(result[u"steps"_s].toInt(), sample.presses);
    EXPECT_EQ(result[u"result"_s].toString(), u"end"_s);
  }

  // The hand-off end to end: translated, written out, assembled and run; X holds -17.
  for (const QStringList& optimise : {QStringList(), QStringList{u"--optimise"_s}}) {
    const QString handOff =
        call(QStringList{u"translate"_s, u"--source"_s, kExample} + optimise).out;
    const QString path = files.program(u"handoff.asm"_s, handOff);
    const QJsonObject state =
        json(call({u"run"_s, u"--state"_s, u"--format"_s, u"json"_s, path}).out)[u"state"_s]
            .toObject();
    EXPECT_EQ(state[u"labels"_s].toObject()[u"X"_s].toObject()[u"value"_s].toInt(), -17);
    EXPECT_EQ(state[u"registers"_s].toArray().size(), 16);
    EXPECT_EQ(state[u"memory"_s].toArray().size(), 201);
    EXPECT_EQ(state[u"flags"_s].toObject()[u"M"_s].toInt(), 1);
    const Outcome text = call({u"run"_s, u"--state"_s, path});
    EXPECT_TRUE(text.out.contains(u"X[0023]=-17"_s) || text.out.contains(u"X[001B]=-17"_s))
        << text.out.toStdString();
  }
}

// run turns the assembler screen's painting off: the machine and the output box end exactly as
// after pressing "実行" with the screen painting every phase, and painting again shows the same.
TEST(RpnwRun, APaintlessRunEndsInTheStateOfThePresses) {
  const QStringList programs{machine::sampleCompare(), machine::sampleRegisters(),
                             u"     LI      7\r\n     OUT     0\r\n     DIVI    0\r\n"_s};
  for (const QString& source : programs) {
    RecordingDialogs pressedBoxes;
    RecordingDialogs quietBoxes;
    machine::MachineEngine pressed(pressedBoxes);
    machine::MachineEngine quiet(quietBoxes);
    for (machine::MachineEngine* engine : {&pressed, &quiet}) {
      engine->Form_Load();
      engine->setText1(source);
      engine->Command1_Click();
      engine->setCheck1(false);
    }
    quiet.setPainting(false);
    bool running = true;
    for (int i = 0; i < 100 && running; ++i) {
      pressed.Command2_Click();
      running = quiet.RunInstruction() && !quiet.machine().EndOfProgram;
    }
    quiet.setPainting(true);
    EXPECT_EQ(quiet.machine(), pressed.machine());
    EXPECT_EQ(quiet.view().Text3, pressed.view().Text3);
    EXPECT_EQ(quiet.view().txtRegister, pressed.view().txtRegister);
    EXPECT_EQ(quiet.view().lblCode, pressed.view().lblCode);
    EXPECT_EQ(quiet.view().Text2SelStart, pressed.view().Text2SelStart);
    EXPECT_EQ(quietBoxes.texts(), pressedBoxes.texts());
  }
}

TEST(RpnwRun, InputTraceAndLongOutput) {
  Files files;
  const QString echo = files.program(
      u"echo.asm"_s,
      u"     IN      0\n     OUT     0\n     IN      1\n     OUT     1\n     SVC     0\n"_s);
  // IN takes the --input values, then lines of standard input; 12.5 reads as 12 (half to even).
  const Outcome ran = call({u"run"_s, u"--input"_s, u"7"_s, echo, echo}, "12.5\nabc\n");
  EXPECT_EQ(
      ran.out,
      u"==> %1 <==\n* 7\n* 12\nプログラムの終了です.\n==> %1 <==\n* 7\n* 0\nプログラムの終了です.\n"_s
          .arg(echo));
  const Outcome traced = call({u"run"_s, u"--trace"_s, u"--input"_s, u"-2"_s, u"--input"_s, u"3"_s,
                               u"--format"_s, u"csv"_s, echo});
  const QStringList rows = traced.out.split(u'\n', Qt::SkipEmptyParts);
  ASSERT_EQ(rows.size(), 6);
  EXPECT_EQ(rows.at(0), u"file,address,instruction,registers,memory,flags"_s);
  EXPECT_EQ(rows.at(1), echo + u",0000,IN 0,X0=FFFE,,P=0 Z=0 M=0"_s);
  EXPECT_EQ(rows.at(5), echo + u",0004,SVC 0,,,P=0 Z=0 M=0"_s);
  // More output than the output box keeps: every line still reaches standard output.
  const QString loop =
      files.program(u"loop.asm"_s, u"     LI      2000,1\nLOOP OUT     1\n     SUBI    1,1\n"
                                   u"     JP      LOOP\n     SVC     0\n"_s);
  const Outcome many = call({u"run"_s, loop});
  EXPECT_EQ(many.out.count(u'\n'), 2001);
  EXPECT_TRUE(many.out.startsWith(u"* 2000\n* 1999\n"_s));
}

TEST(RpnwStatus, EachCaseAndTheWorstWins) {
  Files files;
  const QString good = files.program(u"good.asm"_s, lf(machine::sampleCompare()));
  const QString endless = files.program(u"endless.asm"_s, u"LOOP JMP     LOOP\n"_s);
  const QString fault =
      files.program(u"fault.asm"_s, u"     LI      1\n     DIVI    0\n     SVC     0\n"_s);
  const QString undefined = files.program(
      u"undefined.asm"_s, u"     LI      1\n\n     LI      NOWHERE\n     SVC     0\n"_s);
  const QString unknown = files.program(u"unknown.asm"_s, u"\nX    FOO\n     SVC     0\n"_s);
  const QString binary = files.write(u"binary.bin"_s, QByteArray("\x7f"
                                                                 "ELF\x02\x01\x01\x00\x00",
                                                                 9));
  const QString empty = files.write(u"empty.asm"_s, "\r\n  \r\n");
  const QString missing = files.path(u"missing.asm"_s);
  struct Case {
    QStringList arguments;
    int status;
    QString err; // a line standard error must hold
  };
  const std::vector<Case> cases{
      {{}, 2, u"使い方: rpnw COMMAND"_s},
      {{u"help"_s}, 0, {}},
      {{u"help"_s, u"run"_s}, 0, {}},
      {{u"run"_s, u"--help"_s}, 0, {}},
      {{u"frobnicate"_s}, 2, u"rpnw: 不明なコマンドです: frobnicate (rpnw help)"_s},
      {{u"run"_s}, 2, u"rpnw: FILE... がありません (rpnw run --help)"_s},
      {{u"run"_s, u"--bogus"_s, good}, 2, u"bogus"_s},
      {{u"run"_s, u"--format"_s, u"xml"_s, good}, 2, u"xml"_s},
      {{u"run"_s, u"--format"_s, u"csv"_s, good}, 2, u"--trace"_s},
      {{u"assemble"_s, u"--format"_s, u"csv"_s, good}, 2, u"--trace"_s},
      {{u"translate"_s, u"--trace"_s, u"AB+"_s}, 2, u"trace"_s},
      {{u"run"_s, u"--max-steps"_s, u"0"_s, good}, 2, u"--max-steps"_s},
      {{u"run"_s, good}, 0, {}},
      {{u"convert"_s, u"A+*B"_s}, 1, u"\"A+*B\": 構文エラー *"_s},
      {{u"assemble"_s, undefined}, 1, undefined + u":3: 未定義ラベル=NOWHERE"_s},
      {{u"assemble"_s, unknown}, 1, unknown + u":2: 未定義命令=FOO"_s},
      {{u"run"_s, fault}, 3, fault + u":2: 0で割ることはできません (命令アドレス 0002)"_s},
      {{u"run"_s, u"--max-steps"_s, u"1000"_s, endless},
       4,
       endless + u": 実行した命令が上限の1000個に達したので止めました (--max-steps)"_s},
      {{u"run"_s, missing}, 2, u"File Name="_s + missing},
      {{u"assemble"_s, missing}, 2, u"File Name="_s + missing},
      {{u"run"_s, binary}, 2, u"テキストファイルではありません File Name="_s + binary},
      {{u"run"_s, empty}, 2, u"ファイルが空です File Name="_s + empty},
      {{u"run"_s, u"--max-steps"_s, u"100"_s, endless, fault, missing, good}, 4, {}},
      {{u"run"_s, fault, missing, good}, 3, {}},
      {{u"run"_s, missing, undefined}, 2, {}},
  };
  for (const Case& c : cases) {
    const Outcome out = call(c.arguments);
    EXPECT_EQ(out.status, c.status) << c.arguments.join(u' ').toStdString();
    EXPECT_TRUE(out.err.contains(c.err)) << out.err.toStdString();
    for (const QString& line : out.err.split(u'\n', Qt::SkipEmptyParts))
      EXPECT_FALSE(line.contains(u'\r'));
  }
  // Every file is processed whatever happened to one before it.
  const Outcome all = call({u"run"_s, u"--max-steps"_s, u"100"_s, endless, fault, missing, good});
  EXPECT_EQ(all.out.count(u"==> "_s), 3);
  EXPECT_TRUE(all.out.endsWith(u"* 45\nプログラムの終了です.\n"_s));
  // In JSON too, one object per file, unreadable ones included.
  const QList<QJsonObject> results =
      jsonLines(call({u"run"_s, u"--format"_s, u"json"_s, u"--max-steps"_s, u"100"_s, endless,
                      fault, missing, good})
                    .out);
  ASSERT_EQ(results.size(), 4);
  const QStringList expected{u"max-steps"_s, u"fault"_s, u"unreadable"_s, u"end"_s};
  for (qsizetype i = 0; i < results.size(); ++i) {
    const QJsonObject& r = results.at(i);
    EXPECT_EQ(r[u"result"_s].toString(), expected.at(i));
    for (const char* field : {"file", "status", "result", "messages"})
      EXPECT_TRUE(r.contains(QLatin1StringView(field))) << field;
  }
  EXPECT_EQ(results.at(0)[u"steps"_s].toInt(), 100);
  EXPECT_EQ(results.at(1)[u"messages"_s].toArray().first().toObject()[u"line"_s].toInt(), 2);
}

TEST(RpnwJson, EverySubcommandPrintsOneObjectPerInputWithItsFields) {
  Files files;
  const QString sample = files.program(u"sample.asm"_s, machine::sampleRegisters());
  struct Case {
    QStringList arguments;
    QStringList fields;
  };
  const std::vector<Case> cases{
      {{u"convert"_s, u"A+B"_s, u"A*B"_s}, {u"expression"_s, u"rpn"_s, u"status"_s, u"messages"_s}},
      {{u"execute"_s, u"AB+"_s, kExample},
       {u"expression"_s, u"stack"_s, u"variables"_s, u"changed"_s, u"status"_s, u"messages"_s}},
      {{u"translate"_s, u"AB+"_s, kExample},
       {u"expression"_s, u"optimised"_s, u"listing"_s, u"source"_s, u"variables"_s, u"stack"_s,
        u"status"_s, u"messages"_s}},
      {{u"assemble"_s, sample, sample},
       {u"file"_s, u"status"_s, u"listing"_s, u"words"_s, u"labels"_s, u"messages"_s}},
      {{u"run"_s, u"--trace"_s, u"--state"_s, sample, sample},
       {u"file"_s, u"status"_s, u"result"_s, u"steps"_s, u"output"_s, u"messages"_s, u"trace"_s,
        u"state"_s}},
  };
  for (const Case& c : cases) {
    const Outcome out =
        call(QStringList{c.arguments.first(), u"--format"_s, u"json"_s} + c.arguments.mid(1));
    const QList<QJsonObject> objects = jsonLines(out.out);
    ASSERT_EQ(objects.size(), 2) << out.out.toStdString();
    for (const QJsonObject& object : objects)
      for (const QString& field : c.fields)
        EXPECT_TRUE(object.contains(field))
            << c.arguments.first().toStdString() << ' ' << field.toStdString();
  }
}

TEST(RpnwExecutable, LinksQtCoreOnlyAndRunsWithNoDisplayAtAll) {
  QProcess ldd;
  ldd.start(u"ldd"_s, {QStringLiteral(RPNW_PATH)});
  ASSERT_TRUE(ldd.waitForFinished(30000));
  const QString libraries = QString::fromUtf8(ldd.readAllStandardOutput());
  EXPECT_TRUE(libraries.contains(u"libQt6Core"_s)) << libraries.toStdString();
  EXPECT_FALSE(libraries.contains(u"libQt6Gui"_s)) << libraries.toStdString();
  EXPECT_FALSE(libraries.contains(u"libQt6Widgets"_s)) << libraries.toStdString();

  // The same results in a process with an empty environment as in-process.
  Files files;
  const QString sample = files.write(u"sample.asm"_s, machine::sampleCompare().toLatin1());
  const std::vector<QStringList> commands{
      {u"convert"_s, u"A+B*C/(D-E)-F"_s},
      {u"execute"_s, kExample},
      {u"translate"_s, u"--source"_s, kExample},
      {u"run"_s, u"--state"_s, sample},
      {u"run"_s, u"-"_s},
      {u"run"_s, u"--max-steps"_s, u"7"_s, u"-"_s},
      {},
  };
  for (const QStringList& arguments : commands) {
    const QByteArray input = u"LOOP JMP     LOOP\n"_s.toUtf8();
    const Outcome process = launch(arguments, input);
    const Outcome inProcess = call(arguments, input);
    EXPECT_EQ(process.status, inProcess.status) << arguments.join(u' ').toStdString();
    EXPECT_EQ(process.out, inProcess.out);
    EXPECT_EQ(process.err, inProcess.err);
  }
}

} // namespace
} // namespace rpn::cli
