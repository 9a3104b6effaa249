// rpnw's texts: every subcommand and exit status as whole texts, in process and as a process
// without a display; the traces and JSON of each format; the worked examples. That the results
// are the screens' own is rpnw_screen_test.cpp's part.
#include "machine/samples.h"
#include "support/rpnw_call.h"
#include "support/scripted_file_dialogs.h"

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

struct Files {
  QString write(const QString& name, const QByteArray& bytes) {
    return test::writeFile(dir.filePath(name), bytes);
  }
  QString write(const QString& name, const QString& text) { return write(name, text.toUtf8()); }
  QString path(const QString& name) const { return dir.filePath(name); }
  QTemporaryDir dir;
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

// Whole texts for arguments and standard input: the status, standard output and standard error
// ("…" first: a text it holds). The executable, with an empty environment (no DISPLAY, no
// QT_QPA_PLATFORM, nothing), gives the same three texts as rpnw in process, and links Qt Core
// only. Every input is processed whatever happened to one before it; the worst status wins.
TEST(Rpnw, EveryCaseAsWholeTextsInProcessAndAsAProcessWithoutADisplay) {
  QProcess ldd;
  ldd.start(u"ldd"_s, {QStringLiteral(RPNW_PATH)});
  ASSERT_TRUE(ldd.waitForFinished(30000));
  const QString libraries = QString::fromUtf8(ldd.readAllStandardOutput());
  EXPECT_TRUE(libraries.contains(u"libQt6Core"_s) && !libraries.contains(u"libQt6Gui"_s) &&
              !libraries.contains(u"libQt6Widgets"_s))
      << libraries.toStdString();
  Files files;
  const QString good = files.write(u"good.asm"_s, machine::sampleCompare().toLatin1());
  const QString endless = files.write(u"endless.asm"_s, u"LOOP JMP     LOOP\n"_s);
  const QString fault =
      files.write(u"fault.asm"_s, u"     LI      1\n     DIVI    0\n     SVC     0\n"_s);
  const QString undefined = files.write(
      u"undefined.asm"_s, u"     LI      1\n\n     LI      NOWHERE\n     SVC     0\n"_s);
  const QString unknown = files.write(u"unknown.asm"_s, u"\nX    FOO\n     SVC     0\n"_s);
  const QString binary =
      files.write(u"binary.bin"_s, QByteArray::fromHex("7f454c460201010000")); // "\x7fELF..."
  const QString empty = files.write(u"empty.asm"_s, QByteArray("\r\n  \r\n"));
  const QString echo = files.write(
      u"echo.asm"_s,
      u"     IN      0\n     OUT     0\n     IN      1\n     OUT     1\n     SVC     0\n"_s);
  const QString missing = files.path(u"missing.asm"_s);
  const QString ended = u"* 45\nプログラムの終了です.\n"_s;
  // The samples in Shift_JIS with CR LF, as the screen saves them, and in UTF-8 with LF, as an
  // editor writes them; a listing as kept in the machine tests' data (the other listing, and
  // both against the screen: rpnw_screen_test.cpp).
  const QString registers = machine::sampleRegisters();
  const QString utf8 = files.write(u"utf8.asm"_s, lf(registers));
  const auto golden = [](const char* name) {
    QFile file(QStringLiteral(MACHINE_TEST_DATA "/") + QLatin1StringView(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  };
  const QString steps = u"--max-steps"_s;
  const struct {
    QStringList arguments;
    int status;
    QString out, err;
    QByteArray input = {};
  } cases[] = {
      // clang-format off
      {{u"convert"_s, u"--"_s, u"A+B*C/(D-E)-F"_s, u"A-B-C"_s, u"A=B=C"_s, u"(A+B)*C"_s,
        u"A+B)*C"_s, u"A*(B+C"_s, u"A*-B"_s, u"--A"_s, u"A+*B"_s, u""_s, u"X=A+B*C"_s},
       1, // unbalanced brackets and a syntax error
       u"ABC*DE-/+F-\nAB-C-\nAB=C=\nAB+C*\nAB+C*\nABC+\nA*B－\n－A－\nA\n\nXABC*+=\n"_s,
       u"\"A+B)*C\": 対応する「(」がありません\n\"A*(B+C\": 括弧が閉じられていません\n"
       u"\"A+*B\": 構文エラー *\n"_s},
      // "-" stands for the lines of standard input, in its place among the arguments.
      {{u"convert"_s, u"C"_s, u"-"_s, u"D"_s}, 0, u"C\nAB+\nAB*\nD\n"_s, {}, "A+B\nA*B\r\n"},
      {{u"execute"_s, kExample}, 0, u"-11  X=-11\n"_s, {}},
      {{u"execute"_s, u"--set"_s, u"A=10"_s, u"--set"_s, u"F=0.5"_s, kExample}, 0, u"3.5  X=3.5\n"_s, {}},
      {{u"execute"_s, u"AB-"_s, u"AB/"_s, u"A＋"_s, u"A－"_s}, 0, u"-1\n0.5\n1\n-1\n"_s, {}},
      {{u"execute"_s, u"--set"_s, u"B=0"_s, u"XAB/="_s}, 1, u"0  X=0\n"_s,
       u"\"XAB/=\": 0で割ることはできません\n"_s},
      {{u"execute"_s, u"Aa+"_s}, 1, u"1\n"_s, u"\"Aa+\": 変数名が見つかりません\n"_s},
      {{u"execute"_s, u"--set"_s, u"Q=1"_s, kExample}, 2, {}, u"…--set Q=1"_s},
      {{u"translate"_s, u"--source"_s, u"--listing"_s, kExample}, 2, {}, u"…--listing"_s},
      // A name that cannot be a label is refused by the hand-off, as on the screen.
      {{u"translate"_s, u"--source"_s, u"X1+="_s}, 1, {}, u"…擬似アセンブラのラベルにできない変数名です: [1]"_s},
      {{u"translate"_s, u"--trace"_s, u"AB+"_s}, 2, {}, u"…trace"_s},
      {{}, 2, {}, u"…使い方: rpnw COMMAND"_s}, {{u"help"_s}, 0, u"…使い方: rpnw COMMAND"_s, {}},
      {{u"help"_s, u"run"_s}, 0, u"…使い方: rpnw run"_s, {}},
      {{u"run"_s, u"--help"_s}, 0, u"…使い方: rpnw run"_s, {}},
      {{u"frobnicate"_s}, 2, {}, u"rpnw: 不明なコマンドです: frobnicate (rpnw help)\n"_s},
      {{u"run"_s}, 2, {}, u"rpnw: FILE... がありません (rpnw run --help)\n"_s},
      {{u"run"_s, u"--bogus"_s, good}, 2, {}, u"…bogus"_s},
      {{u"run"_s, u"--format"_s, u"xml"_s, good}, 2, {}, u"…xml"_s},
      {{u"run"_s, u"--format"_s, u"csv"_s, good}, 2, {}, u"…--trace"_s},
      {{u"run"_s, steps, u"0"_s, good}, 2, {}, u"…--max-steps"_s},
      // The labels' words after the machine state (the state itself is the screen's).
      {{u"run"_s, u"--state"_s, good}, 0, u"…\nLOOP[0008]=40960 ENDP[0016]=40960 A[001A]=45 I[001B]=0\n"_s, {}},
      {{u"run"_s, u"-"_s}, 0, ended, {}, registers.toUtf8()},
      {{u"assemble"_s, utf8}, 0, golden("registers.lst"), {}},
      {{u"run"_s, u"--trace"_s, u"--input"_s, u"-2"_s, u"--input"_s, u"3"_s, u"--format"_s,
        u"csv"_s, echo}, 0,
       u"file,address,instruction,registers,memory,flags\n%1,0000,IN 0,X0=FFFE,,P=0 Z=0 M=0\n"
       u"%1,0001,OUT 0,,,P=0 Z=0 M=0\n%1,0002,IN 1,X1=0003,,P=0 Z=0 M=0\n"
       u"%1,0003,OUT 1,,,P=0 Z=0 M=0\n%1,0004,SVC 0,,,P=0 Z=0 M=0\n"_s.arg(echo), {}},
      {{u"assemble"_s, undefined}, 1, u"…NOWHERE"_s, undefined + u":3: 未定義ラベル=NOWHERE\n"_s},
      {{u"assemble"_s, unknown}, 1, u"…FOO"_s, unknown + u":2: 未定義命令=FOO\n"_s},
      {{u"run"_s, fault}, 3, {}, fault + u":2: 0で割ることはできません (命令アドレス 0002)\n"_s},
      {{u"run"_s, steps, u"1000"_s, endless}, 4, {},
       endless + u": 実行した命令が上限の1000個に達したので止めました (--max-steps)\n"_s},
      {{u"run"_s, missing}, 2, {}, u"…File Name="_s + missing},
      {{u"run"_s, binary}, 2, {}, u"…テキストファイルではありません File Name="_s + binary},
      {{u"run"_s, empty}, 2, {}, u"…ファイルが空です File Name="_s + empty},
      {{u"run"_s, steps, u"100"_s, endless, fault, missing, good}, 4,
       u"==> %1 <==\n==> %2 <==\n==> %3 <==\n"_s.arg(endless, fault, good) + ended, u"…"_s},
      // IN takes the --input values, then lines of standard input; 12.5 reads as 12 (half to
      // even), "abc" as 0.
      {{u"run"_s, u"--input"_s, u"7"_s, echo, echo}, 0,
       u"==> %1 <==\n* 7\n* 12\nプログラムの終了です.\n==> %1 <==\n* 7\n* 0\nプログラムの終了です.\n"_s.arg(echo),
       {}, "12.5\nabc\n"},
      // clang-format on
  };
  const auto holds = [](const QString& text, const QString& expected) {
    return expected.startsWith(u'…') ? text.contains(expected.mid(1)) : text == expected;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(u' ').toStdString());
    const Outcome in = call(c.arguments, c.input);
    EXPECT_EQ(in.status, c.status);
    EXPECT_TRUE(holds(in.out, c.out)) << in.out.toStdString();
    EXPECT_TRUE(holds(in.err, c.err) && !in.err.contains(u'\r')) << in.err.toStdString();
    const Outcome process = launch(c.arguments, c.input);
    EXPECT_EQ(QStringList({QString::number(process.status), process.out, process.err}),
              QStringList({QString::number(in.status), in.out, in.err}));
  }
  QStringList seen;
  for (const QJsonObject& r : jsonLines(call({u"run"_s, steps, u"100"_s, endless, fault, missing,
                                              good, u"--format"_s, u"json"_s})
                                            .out))
    seen << r[u"result"_s].toString() + u'/' + r[u"status"_s].toVariant().toString() + u'/' +
                r[u"steps"_s].toVariant().toString() + u'/' +
                r[u"messages"_s][0][u"line"_s].toVariant().toString() +
                (r.contains(u"file"_s) ? u""_s : u" no file"_s);
  EXPECT_EQ(seen, (QStringList{u"max-steps/4/100/"_s, u"fault/3/1/2"_s, u"unreadable/2//"_s,
                               u"end/0/80/"_s}));
}

// The traces and JSON of each format: the box that pushes "*" with the step message, the output
// so far and the stack under it as a line of text and a row of JSON; CSV has one row per box
// after its header; the execution's stack and register. The listings and the hand-off text are
// the screen's (rpnw_screen_test.cpp); here the listing option and the optimiser's three boxes as
// messages.
TEST(Rpnw, TracesTranslationsAndLongOutputInEachFormat) {
  const QString box = u"スタック ←　演算子[*]"_s;
  EXPECT_TRUE(call({u"convert"_s, u"--trace"_s, u"A+B*C"_s})
                  .out.contains(u"\n"_s + box + u"  step=演算子[*]をPush  output=AB  stack=+\n"_s));
  const QJsonObject result =
      json(call({u"convert"_s, u"--trace"_s, u"--format"_s, u"json"_s, u"A+B*C"_s}).out);
  EXPECT_TRUE(result[u"trace"_s].toArray().contains(QJsonObject{{u"box"_s, box},
                                                                {u"step"_s, u"演算子[*]をPush"_s},
                                                                {u"output"_s, u"AB"_s},
                                                                {u"stack"_s, u"+"_s}}));
  const QStringList csv =
      call({u"convert"_s, u"--trace"_s, u"--format"_s, u"csv"_s, u"A+B"_s, u"C"_s})
          .out.split(u'\n', Qt::SkipEmptyParts);
  EXPECT_EQ(csv.first(), u"input,box,step,output,stack"_s);
  EXPECT_TRUE(csv.last().startsWith(u"C,"_s));
  const QJsonObject traced =
      json(call({u"execute"_s, u"--trace"_s, u"--format"_s, u"json"_s, kExample}).out);
  EXPECT_EQ(traced[u"stack"_s].toArray(), QJsonArray{u"-11"_s});
  EXPECT_EQ(traced[u"changed"_s].toObject(), (QJsonObject{{u"X"_s, u"-11"_s}}));
  EXPECT_EQ(traced[u"trace"_s].toArray().last()[u"register"_s].toString(), u"-11"_s);
  Files files;
  // More output than the output box keeps: every line still reaches standard output.
  const QString many =
      call({u"run"_s, files.write(u"loop.asm"_s, u"     LI      2000,1\nLOOP OUT     1\n"
                                                 u"     SUBI    1,1\n     JP      LOOP\n"
                                                 u"     SVC     0\n"_s)})
          .out;
  EXPECT_EQ(many.count(u'\n'), 2001);
  EXPECT_TRUE(many.startsWith(u"* 2000\n* 1999\n"_s));
  EXPECT_EQ(call({u"translate"_s, u"--listing"_s, kExample}).out,
            call({u"translate"_s, kExample}).out);
  const Outcome optimised = call({u"translate"_s, u"--optimise"_s, kExample});
  EXPECT_EQ(optimised.status, 0);
  EXPECT_EQ(optimised.err.count(u'\n'), 3);
  const QJsonObject translated =
      json(call({u"translate"_s, u"--optimise"_s, u"--format"_s, u"json"_s, kExample}).out);
  EXPECT_TRUE(translated[u"optimised"_s].toBool());
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
      {{u"run"_s, u"--trace"_s, u"--state"_s, sample, u"-"_s}, // the sample once more on stdin
       u"file status result steps output messages trace state"}};
  for (const auto& [arguments, fields] : cases) {
    const QString out =
        call(QStringList{arguments.first(), u"--format"_s, u"json"_s} + arguments.mid(1),
             machine::sampleRegisters().toUtf8())
            .out;
    const QList<QJsonObject> objects = jsonLines(out);
    ASSERT_EQ(objects.size(), 2) << out.toStdString();
    EXPECT_EQ(objects[0][u"result"_s], objects[1][u"result"_s]);
    EXPECT_EQ(objects[0][u"steps"_s], objects[1][u"steps"_s]);
    for (const QJsonObject& object : objects)
      for (const QString& field : QString::fromUtf16(fields).split(u' '))
        EXPECT_TRUE(object.contains(field)) << out.toStdString() << ' ' << field.toStdString();
  }
  const QJsonObject state =
      json(call({u"run"_s, u"--state"_s, u"--format"_s, u"json"_s, sample}).out)[u"state"_s]
          .toObject();
  EXPECT_EQ(QList({state[u"registers"_s].toArray().size(), state[u"memory"_s].toArray().size()}),
            QList<qsizetype>({16, 201}));
  EXPECT_EQ(state[u"flags"_s].toObject().keys(), (QStringList{u"M"_s, u"P"_s, u"Z"_s}));
}

} // namespace
} // namespace rpn::cli
