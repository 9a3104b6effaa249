// rpnw against the screens themselves: the same input typed and clicked on each screen shows what
// rpnw prints (line ends aside: the screens hold CR LF, rpnw writes LF), trace mode opens the boxes
// rpnw's trace lists, and a run ends in the machine state the assembler screen shows.
#include "conversion/form1.h"
#include "execution/form2.h"
#include "machine/frm_assembler.h"
#include "machine/samples.h"
#include "support/rpnw_call.h"
#include "support/screen_fixture.h"
#include "support/scripted_file_dialogs.h"
#include "translation/frm_compile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace rpn::cli {
namespace {

using namespace Qt::StringLiterals;

QString rpnwOut(const QStringList& arguments) {
  return test::callRpnw(arguments).out;
}

// The boxes rpnw's trace lists: the "box" of every row of its JSON trace.
QStringList tracedBoxes(const QStringList& arguments) {
  const QString out = rpnwOut(
      QStringList{arguments.first(), u"--trace"_s, u"--format"_s, u"json"_s} + arguments.mid(1));
  QStringList boxes;
  for (const QJsonValue& row : QJsonDocument::fromJson(out.toUtf8())[u"trace"_s].toArray())
    boxes << row[u"box"_s].toString();
  return boxes;
}

QString lines(QString text) {
  text = test::lf(text).replace(QChar::ParagraphSeparator, u'\n');
  return text.endsWith(u'\n') ? text : text + u'\n';
}

// A screen with the input typed and trace mode as asked, after "Command1".
template <class Screen> struct Pressed : test::ScreenFixture<Screen> {
  Pressed(const QString& input, bool trace) {
    this->type(u"Text1"_s, input);
    if (!trace)
      this->traceOff();
    this->click(u"Command1"_s);
  }
  void TestBody() override {}
};

QString listing(const QWidget& form) {
  QString shown;
  const auto* list = test::control<QListWidget>(&form, u"List1"_s);
  for (int i = 0; i < list->count(); ++i)
    shown += list->item(i)->text() + u'\n';
  return shown;
}

TEST(RpnwAgainstTheScreens, ExpressionScreensShowWhatRpnwPrintsAndOpenTheBoxesOfItsTrace) {
  for (const QString& expression :
       {u"A+B*C/(D-E)-F"_s, u"A-B-C"_s, u"A=B=C"_s, u"(A+B)*C"_s, u"A+B)*C"_s, u"A*(B+C"_s,
        u"A*-B"_s, u"--A"_s, u"A+*B"_s, u""_s, u"X=A+B*C"_s}) {
    const QStringList arguments{u"convert"_s, u"--"_s, expression};
    EXPECT_EQ(rpnwOut(arguments),
              Pressed<conversion::Form1>(expression, false).text(u"Text2"_s) + u'\n');
    EXPECT_EQ(tracedBoxes(arguments), Pressed<conversion::Form1>(expression, true).boxes.texts());
  }
  const QString example = u"XABC*DE-/+F-="_s;
  Pressed<execution::Form2> executed(example, false);
  EXPECT_EQ(rpnwOut({u"execute"_s, example}),
            executed.text(u"lblValue(0)"_s) + u"  X="_s + executed.text(u"txtName(6)"_s) + u'\n');
  EXPECT_EQ(tracedBoxes({u"execute"_s, example}),
            Pressed<execution::Form2>(example, true).boxes.texts());
  // The listing and the hand-off text, as translated and optimised.
  Pressed<translation::FrmCompile> translated(example, false);
  QString handed;
  translated.form.setHandOff([&handed](const QString& source) { handed = source; });
  for (const QStringList& optimise : {QStringList(), QStringList{u"--optimise"_s}}) {
    if (!optimise.isEmpty())
      translated.click(u"Command5"_s);
    EXPECT_EQ(rpnwOut(QStringList{u"translate"_s, example} + optimise), listing(translated.form));
    translated.click(u"Command6"_s);
    EXPECT_EQ(rpnwOut(QStringList{u"translate"_s, u"--source"_s, example} + optimise),
              test::lf(handed) + u'\n');
  }
}

struct AssemblerScreen : test::ScreenFixture<machine::FrmAssembler> {
  void TestBody() override {}
};

// Both samples and a program that stops at a machine fault: the listing, the output, the steps
// and the machine state (registers, flags, the memory cells of the panel) as the screen shows them
// after "実行" is pressed until the end.
TEST(RpnwAgainstTheScreens, TheAssemblerScreenShowsWhatRpnwPrints) {
  for (const QString& source : {machine::sampleCompare(), machine::sampleRegisters(),
                                u"     LI      7\r\n     OUT     0\r\n     DIVI    0\r\n"_s}) {
    AssemblerScreen screen;
    screen.get<QPlainTextEdit>(u"Text1"_s)->setPlainText(source);
    QTemporaryDir dir;
    const QString file = dir.filePath(u"program.asm"_s);
    test::writeFile(file, source.toUtf8());
    screen.click(u"Command1"_s);
    EXPECT_EQ(rpnwOut({u"assemble"_s, file}),
              lines(screen.get<QPlainTextEdit>(u"Text2"_s)->toPlainText()));
    screen.traceOff();
    auto* output = screen.get<QPlainTextEdit>(u"Text3"_s);
    int presses = 0;
    for (; presses < 1000 && screen.boxes.texts().isEmpty() &&
           !output->toPlainText().contains(u"プログラムの終了です."_s);
         ++presses)
      screen.click(u"Command2"_s);
    const QStringList ran = rpnwOut({u"run"_s, u"--state"_s, file}).split(u'\n');
    const qsizetype state = ran.indexOf(QRegularExpression(u"X0=.*"_s));
    EXPECT_EQ(u'\n' + ran.mid(0, state).join(u'\n') + u'\n', lines(output->toPlainText()));
    QStringList shown;
    for (int k = 0; k < 16; ++k)
      shown << u"X%1="_s.arg(k, 0, 16).toUpper() + screen.text(u"txtRegister(%1)"_s.arg(k));
    shown = {shown.mid(0, 8).join(u' '), shown.mid(8).join(u' '),
             u"P=%1 Z=%2 M=%3  steps=%4"_s
                 .arg(screen.text(u"txtStatus(0)"_s), screen.text(u"txtStatus(1)"_s),
                      screen.text(u"txtStatus(2)"_s))
                 .arg(screen.boxes.texts().isEmpty() ? presses : presses - 1)};
    for (int row = 0; row < 4; ++row) {
      QStringList cells;
      for (int k = row * 16; k < row * 16 + 16; ++k)
        cells << screen.text(u"lblCode(%1)"_s.arg(k));
      shown << u"%1: "_s.arg(row * 16, 4, 16, QChar(u'0')) + cells.join(u' ');
    }
    EXPECT_EQ(ran.mid(state, 3) + ran.filter(QRegularExpression(u"^00[0-3]0: "_s)), shown);
  }
}

} // namespace
} // namespace rpn::cli
