// rpnw against the engines driven as their screens drive them: the same input gives the same
// texts, every exit status has its case, the JSON parses, and the executable needs no display.
#include "machine/samples.h"
#include "support/recording_dialogs.h"
#include "support/rpnw_call.h"
#include "translation/translation_engine.h"

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
using test::lf;
using test::RecordingDialogs;
using Outcome = test::RpnwOutcome;

Outcome call(const QStringList& arguments, const QByteArray& input = {}) {
  return test::callRpnw(arguments, input);
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

class Files {
public:
  QString write(const QString& name, const QByteArray& bytes) {
    QFile file(m_dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
  }
  QString write(const QString& name, const QString& text) { return write(name, text.toUtf8()); }
  QString path(const QString& name) const { return m_dir.filePath(name); }

private:
  QTemporaryDir m_dir;
};

// Each line of standard output as a JSON object.
QList<QJsonObject> jsonLines(const QString& out) {
  QList<QJsonObject> objects;
  for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts)) {
    QJsonParseError error;
    objects << QJsonDocument::fromJson(line.toUtf8(), &error).object();
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
  }
  return objects;
}
QJsonObject json(const QString& out) {
  return jsonLines(out).value(0);
}

const QString kExample = u"XABC*DE-/+F-="_s;

// The results and the trace are the screen's (rpnw_screen_test.cpp); here their texts.
TEST(RpnwConvert, ExamplesTheirMessagesAndTheTraceInEachFormat) {
  const Outcome all =
      call({u"convert"_s, u"--"_s, u"A+B*C/(D-E)-F"_s, u"A-B-C"_s, u"A=B=C"_s, u"(A+B)*C"_s,
            u"A+B)*C"_s, u"A*(B+C"_s, u"A*-B"_s, u"--A"_s, u"A+*B"_s, u""_s, u"X=A+B*C"_s});
  EXPECT_EQ(all.out,
            u"ABC*DE-/+F-\nAB-C-\nAB=C=\nAB+C*\nAB+C*\nABC+\nA*B－\n－A－\nA\n\nXABC*+=\n"_s);
  EXPECT_EQ(all.status, 1); // unbalanced brackets and a syntax error
  EXPECT_EQ(all.err,
            u"\"A+B)*C\": 対応する「(」がありません\n\"A*(B+C\": 括弧が閉じられていません\n"
            u"\"A+*B\": 構文エラー *\n"_s);
  // "-" stands for the lines of standard input, in its place among the arguments.
  EXPECT_EQ(call({u"convert"_s, u"C"_s, u"-"_s, u"D"_s}, "A+B\nA*B\r\n").out,
            u"C\nAB+\nAB*\nD\n"_s);
  // The box that pushes "*" with the step message, the output so far and the stack under it:
  // a line of text, a row of JSON; CSV has one row per box after its header.
  const QString box = u"スタック ←　演算子[*]"_s;
  EXPECT_TRUE(call({u"convert"_s, u"--trace"_s, u"A+B*C"_s})
                  .out.contains(u"\n"_s + box + u"  step=演算子[*]をPush  output=AB  stack=+\n"_s));
  const QJsonObject result =
      json(call({u"convert"_s, u"--trace"_s, u"--format"_s, u"json"_s, u"A+B*C"_s}).out);
  EXPECT_EQ(result[u"rpn"_s].toString() + QString::number(result[u"status"_s].toInt()),
            u"ABC*+0"_s);
  EXPECT_TRUE(result[u"trace"_s].toArray().contains(QJsonObject{{u"box"_s, box},
                                                                {u"step"_s, u"演算子[*]をPush"_s},
                                                                {u"output"_s, u"AB"_s},
                                                                {u"stack"_s, u"+"_s}}));
  const QStringList csv =
      call({u"convert"_s, u"--trace"_s, u"--format"_s, u"csv"_s, u"A+B"_s, u"C"_s})
          .out.split(u'\n', Qt::SkipEmptyParts);
  EXPECT_EQ(csv.first(), u"input,box,step,output,stack"_s);
  EXPECT_TRUE(csv.last().startsWith(u"C,"_s));
}

TEST(RpnwExecute, TheExampleAndTheSetValuesAsTheExecutionScreenComputesThem) {
  const struct {
    QStringList arguments;
    QString out;
    int status;
    QString err; // not compared for usage errors
  } cases[] = {
      {{kExample}, u"-11  X=-11\n"_s, 0, {}},
      {{u"--set"_s, u"A=10"_s, u"--set"_s, u"F=0.5"_s, kExample}, u"3.5  X=3.5\n"_s, 0, {}},
      {{u"AB-"_s, u"AB/"_s, u"A＋"_s, u"A－"_s}, u"-1\n0.5\n1\n-1\n"_s, 0, {}},
      {{u"--set"_s, u"B=0"_s, u"XAB/="_s},
       u"0  X=0\n"_s,
       1,
       u"\"XAB/=\": 0で割ることはできません\n"_s},
      {{u"Aa+"_s}, u"1\n"_s, 1, u"\"Aa+\": 変数名が見つかりません\n"_s},
      {{u"--set"_s, u"Q=1"_s, kExample}, {}, 2, {}},
      {{u"--set"_s, u"A"_s, kExample}, {}, 2, {}}};
  for (const auto& c : cases) {
    const Outcome out = call(QStringList{u"execute"_s} + c.arguments);
    SCOPED_TRACE(c.arguments.join(u' ').toStdString());
    EXPECT_EQ(out.status, c.status);
    EXPECT_EQ(out.out, c.out);
    EXPECT_EQ(c.status == 2 ? c.err : out.err, c.err);
  }
  // In JSON: the stack, the changed and all variables, and the trace.
  const QJsonObject traced =
      json(call({u"execute"_s, u"--trace"_s, u"--format"_s, u"json"_s, kExample}).out);
  EXPECT_EQ(traced[u"stack"_s].toArray(), QJsonArray{u"-11"_s});
  EXPECT_EQ(traced[u"changed"_s].toObject(), (QJsonObject{{u"X"_s, u"-11"_s}}));
  EXPECT_EQ(traced[u"variables"_s][u"A"_s].toString(), u"1"_s);
  EXPECT_EQ(traced[u"trace"_s].toArray().last()[u"register"_s].toString(), u"-11"_s);
}

TEST(RpnwTranslate, ListingsAndHandOffAsTheTranslationScreenMakesThem) {
  RecordingDialogs dialogs;
  translation::TranslationEngine engine(dialogs);
  engine.Form_Load();
  engine.setCheck1(false);
  engine.setText1(kExample);
  engine.Command1_Click();
  const QString listing = engine.view().List1.join(u'\n') + u'\n';
  const QString source = lf(*engine.Command6_Click()) + u'\n';
  engine.Command5_Click();
  const QStringList optimised = engine.view().List1;
  ASSERT_EQ(listing.count(u'\n'), 17);
  ASSERT_EQ(optimised.size(), 13);

  EXPECT_EQ(call({u"translate"_s, kExample}).out, listing);
  EXPECT_EQ(call({u"translate"_s, u"--listing"_s, kExample}).out, listing);
  const Outcome optimisedOut = call({u"translate"_s, u"--optimise"_s, kExample});
  EXPECT_EQ(optimisedOut.out, optimised.join(u'\n') + u'\n');
  EXPECT_EQ(optimisedOut.status, 0);
  EXPECT_EQ(optimisedOut.err.count(u'\n'), 3); // the optimiser's three boxes
  EXPECT_EQ(call({u"translate"_s, u"--source"_s, kExample}).out, source);
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

// The listings, outputs and states are the screen's (rpnw_screen_test.cpp); here the worked
// examples: the samples' listings and outputs from any file or standard input, their steps, and
// the hand-off end to end, which leaves -17 in X.
TEST(RpnwMachine, SamplesAndTheHandOff) {
  Files files;
  const std::tuple<QString, const char*, int> samples[] = {
      {machine::sampleCompare(), "compare.lst", 80},
      {machine::sampleRegisters(), "registers.lst", 68}};
  for (const auto& [source, golden, steps] : samples) {
    // Shift_JIS with CR LF, as the screen saves it; and UTF-8 with LF, as an editor writes it.
    const QString sjis = files.write(u"sjis.asm"_s, source.toLatin1());
    const QString utf8 = files.write(u"utf8.asm"_s, lf(source));
    QFile goldenFile(QStringLiteral(MACHINE_TEST_DATA "/") + QLatin1StringView(golden));
    ASSERT_TRUE(goldenFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(call({u"assemble"_s, sjis}).out, QString::fromUtf8(goldenFile.readAll()));
    for (const QString& path : {sjis, utf8, u"-"_s}) {
      const Outcome ran = call({u"run"_s, path}, source.toUtf8());
      EXPECT_EQ(QString::number(ran.status) + ran.out + ran.err,
                u"0* 45\nプログラムの終了です.\n"_s);
    }
    const QJsonObject result = json(call({u"run"_s, u"--format"_s, u"json"_s, sjis}).out);
    EXPECT_EQ(result[u"steps"_s].toInt(), steps);
    EXPECT_EQ(result[u"result"_s].toString(), u"end"_s);
  }
  for (const QStringList& optimise : {QStringList(), QStringList{u"--optimise"_s}}) {
    const QString path =
        files.write(u"handoff.asm"_s,
                    call(QStringList{u"translate"_s, u"--source"_s, kExample} + optimise).out);
    const QString text = call({u"run"_s, u"--state"_s, path}).out;
    EXPECT_TRUE(text.contains(u"X[0023]=-17"_s) || text.contains(u"X[001B]=-17"_s))
        << text.toStdString();
    const QJsonObject state =
        json(call({u"run"_s, u"--state"_s, u"--format"_s, u"json"_s, path}).out)[u"state"_s]
            .toObject();
    EXPECT_EQ(state[u"labels"_s][u"X"_s][u"value"_s].toInt(), -17);
    EXPECT_EQ(state[u"flags"_s][u"M"_s].toInt(), 1);
    EXPECT_EQ(state[u"registers"_s].toArray().size(), 16);
    EXPECT_EQ(state[u"memory"_s].toArray().size(), 201);
  }
}

TEST(RpnwRun, InputTraceAndLongOutput) {
  Files files;
  const QString echo = files.write(
      u"echo.asm"_s,
      u"     IN      0\n     OUT     0\n     IN      1\n     OUT     1\n     SVC     0\n"_s);
  // IN takes the --input values, then lines of standard input; 12.5 reads as 12 (half to even).
  EXPECT_EQ(
      call({u"run"_s, u"--input"_s, u"7"_s, echo, echo}, "12.5\nabc\n").out,
      u"==> %1 <==\n* 7\n* 12\nプログラムの終了です.\n==> %1 <==\n* 7\n* 0\nプログラムの終了です.\n"_s
          .arg(echo));
  const QStringList rows = call({u"run"_s, u"--trace"_s, u"--input"_s, u"-2"_s, u"--input"_s,
                                 u"3"_s, u"--format"_s, u"csv"_s, echo})
                               .out.split(u'\n', Qt::SkipEmptyParts);
  ASSERT_EQ(rows.size(), 6);
  EXPECT_EQ(rows.at(0), u"file,address,instruction,registers,memory,flags"_s);
  EXPECT_EQ(rows.at(1), echo + u",0000,IN 0,X0=FFFE,,P=0 Z=0 M=0"_s);
  EXPECT_EQ(rows.at(5), echo + u",0004,SVC 0,,,P=0 Z=0 M=0"_s);
  // More output than the output box keeps: every line still reaches standard output.
  const QString many =
      call({u"run"_s, files.write(u"loop.asm"_s, u"     LI      2000,1\nLOOP OUT     1\n"
                                                 u"     SUBI    1,1\n     JP      LOOP\n"
                                                 u"     SVC     0\n"_s)})
          .out;
  EXPECT_EQ(many.count(u'\n'), 2001);
  EXPECT_TRUE(many.startsWith(u"* 2000\n* 1999\n"_s));
}

TEST(RpnwStatus, EachCaseAndTheWorstWins) {
  Files files;
  const QString good = files.write(u"good.asm"_s, lf(machine::sampleCompare()));
  const QString endless = files.write(u"endless.asm"_s, u"LOOP JMP     LOOP\n"_s);
  const QString fault =
      files.write(u"fault.asm"_s, u"     LI      1\n     DIVI    0\n     SVC     0\n"_s);
  const QString undefined = files.write(
      u"undefined.asm"_s, u"     LI      1\n\n     LI      NOWHERE\n     SVC     0\n"_s);
  const QString unknown = files.write(u"unknown.asm"_s, u"\nX    FOO\n     SVC     0\n"_s);
  const QString binary = files.write(u"binary.bin"_s, QByteArray("\x7f"
                                                                 "ELF\x02\x01\x01\0\0",
                                                                 9));
  const QString empty = files.write(u"empty.asm"_s, QByteArray("\r\n  \r\n"));
  const QString missing = files.path(u"missing.asm"_s);
  const QString steps = u"--max-steps"_s;
  const struct {
    QStringList arguments;
    int status;
    QString err; // a line standard error must hold
  } cases[] = {{{}, 2, u"使い方: rpnw COMMAND"_s},
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
               {{u"run"_s, steps, u"0"_s, good}, 2, steps},
               {{u"run"_s, good}, 0, {}},
               {{u"convert"_s, u"A+*B"_s}, 1, u"\"A+*B\": 構文エラー *"_s},
               {{u"assemble"_s, undefined}, 1, undefined + u":3: 未定義ラベル=NOWHERE"_s},
               {{u"assemble"_s, unknown}, 1, unknown + u":2: 未定義命令=FOO"_s},
               {{u"run"_s, fault}, 3, fault + u":2: 0で割ることはできません (命令アドレス 0002)"_s},
               {{u"run"_s, steps, u"1000"_s, endless},
                4,
                endless + u": 実行した命令が上限の1000個に達したので止めました (--max-steps)"_s},
               {{u"run"_s, missing}, 2, u"File Name="_s + missing},
               {{u"assemble"_s, missing}, 2, u"File Name="_s + missing},
               {{u"run"_s, binary}, 2, u"テキストファイルではありません File Name="_s + binary},
               {{u"run"_s, empty}, 2, u"ファイルが空です File Name="_s + empty},
               {{u"run"_s, steps, u"100"_s, endless, fault, missing, good}, 4, {}},
               {{u"run"_s, fault, missing, good}, 3, {}},
               {{u"run"_s, missing, undefined}, 2, {}}};
  for (const auto& c : cases) {
    const Outcome out = call(c.arguments);
    EXPECT_EQ(out.status, c.status) << c.arguments.join(u' ').toStdString();
    EXPECT_TRUE(out.err.contains(c.err) && !out.err.contains(u'\r')) << out.err.toStdString();
  }
  // Every file is processed whatever happened to one before it, in JSON too, one object per file.
  const QStringList all{u"run"_s, steps, u"100"_s, endless, fault, missing, good};
  const QString text = call(all).out;
  EXPECT_EQ(text.count(u"==> "_s), 3);
  EXPECT_TRUE(text.endsWith(u"* 45\nプログラムの終了です.\n"_s));
  QStringList seen;
  for (const QJsonObject& r : jsonLines(call(all + QStringList{u"--format"_s, u"json"_s}).out))
    seen << r[u"result"_s].toString() + u'/' + r[u"status"_s].toVariant().toString() + u'/' +
                r[u"steps"_s].toVariant().toString() + u'/' +
                r[u"messages"_s][0][u"line"_s].toVariant().toString() +
                (r.contains(u"file"_s) ? u""_s : u" no file"_s);
  EXPECT_EQ(seen, (QStringList{u"max-steps/4/100/"_s, u"fault/3/1/2"_s, u"unreadable/2//"_s,
                               u"end/0/80/"_s}));
}

TEST(RpnwJson, EverySubcommandPrintsOneObjectPerInputWithItsFields) {
  Files files;
  const QString sample = files.write(u"sample.asm"_s, machine::sampleRegisters());
  const std::pair<QStringList, const char16_t*> cases[] = {
      {{u"convert"_s, u"A+B"_s, u"A*B"_s}, u"expression rpn status messages"},
      {{u"execute"_s, u"AB+"_s, kExample}, u"expression stack variables changed status messages"},
      {{u"translate"_s, u"AB+"_s, kExample},
       u"expression optimised listing source variables stack status messages"},
      {{u"assemble"_s, sample, sample}, u"file status listing words labels messages"},
      {{u"run"_s, u"--trace"_s, u"--state"_s, sample, sample},
       u"file status result steps output messages trace state"}};
  for (const auto& [arguments, fields] : cases) {
    const QString out =
        call(QStringList{arguments.first(), u"--format"_s, u"json"_s} + arguments.mid(1)).out;
    const QList<QJsonObject> objects = jsonLines(out);
    ASSERT_EQ(objects.size(), 2) << out.toStdString();
    for (const QJsonObject& object : objects)
      for (const QString& field : QString::fromUtf16(fields).split(u' '))
        EXPECT_TRUE(object.contains(field)) << out.toStdString() << ' ' << field.toStdString();
  }
}

TEST(RpnwExecutable, LinksQtCoreOnlyAndRunsWithNoDisplayAtAll) {
  QProcess ldd;
  ldd.start(u"ldd"_s, {QStringLiteral(RPNW_PATH)});
  ASSERT_TRUE(ldd.waitForFinished(30000));
  const QString libraries = QString::fromUtf8(ldd.readAllStandardOutput());
  EXPECT_TRUE(libraries.contains(u"libQt6Core"_s)) << libraries.toStdString();
  EXPECT_FALSE(libraries.contains(u"libQt6Gui"_s) || libraries.contains(u"libQt6Widgets"_s))
      << libraries.toStdString();
  // The same results in a process with an empty environment as in-process.
  Files files;
  const QString sample = files.write(u"sample.asm"_s, machine::sampleCompare().toLatin1());
  for (const QStringList& arguments :
       std::vector<QStringList>{{u"convert"_s, u"A+B*C/(D-E)-F"_s},
                                {u"execute"_s, kExample},
                                {u"translate"_s, u"--source"_s, kExample},
                                {u"run"_s, u"--state"_s, sample},
                                {u"run"_s, u"-"_s},
                                {u"run"_s, u"--max-steps"_s, u"7"_s, u"-"_s},
                                {}}) {
    const Outcome process = launch(arguments, "LOOP JMP     LOOP\n");
    const Outcome inProcess = call(arguments, "LOOP JMP     LOOP\n");
    EXPECT_EQ(QStringList({QString::number(process.status), process.out, process.err}),
              QStringList({QString::number(inProcess.status), inProcess.out, inProcess.err}))
        << arguments.join(u' ').toStdString();
  }
}

} // namespace
} // namespace rpn::cli
