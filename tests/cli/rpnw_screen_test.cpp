// rpnw against the screens themselves: the same input typed and clicked on each screen shows what
// rpnw prints (line ends aside: the screens hold CR LF, rpnw writes LF).
#include "conversion/form1.h"
#include "execution/form2.h"
#include "machine/frm_assembler.h"
#include "support/rpnw_call.h"
#include "support/screen_fixture.h"
#include "translation/frm_compile.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>

namespace rpn::cli {
namespace {

using namespace Qt::StringLiterals;

QString rpnwOut(const QStringList& arguments) {
  return test::callRpnw(arguments).out;
}

QString lines(QString text) {
  text = test::lf(text).replace(QChar::ParagraphSeparator, u'\n');
  return text.endsWith(u'\n') ? text : text + u'\n';
}

// A screen with trace mode off and the expression typed, after "Command1".
template <class Screen> struct Pressed : test::ScreenFixture<Screen> {
  explicit Pressed(const QString& expression) {
    this->type(u"Text1"_s, expression);
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

TEST(RpnwAgainstTheScreens, ExpressionScreensShowWhatRpnwPrints) {
  for (const QString& expression : {u"A+B*C/(D-E)-F"_s, u"A*-B"_s, u"A*(B+C"_s, u"A+*B"_s})
    EXPECT_EQ(rpnwOut({u"convert"_s, u"--"_s, expression}),
              Pressed<conversion::Form1>(expression).text(u"Text2"_s) + u'\n');
  const QString example = u"XABC*DE-/+F-="_s;
  Pressed<execution::Form2> executed(example);
  EXPECT_EQ(rpnwOut({u"execute"_s, example}),
            executed.text(u"lblValue(0)"_s) + u"  X="_s + executed.text(u"txtName(6)"_s) + u'\n');
  Pressed<translation::FrmCompile> translated(example);
  EXPECT_EQ(rpnwOut({u"translate"_s, example}), listing(translated.form));
  translated.click(u"Command5"_s);
  EXPECT_EQ(rpnwOut({u"translate"_s, u"--optimise"_s, example}), listing(translated.form));
}

struct AssemblerScreen : test::ScreenFixture<machine::FrmAssembler> {
  void TestBody() override {}
};

TEST(RpnwAgainstTheScreens, TheAssemblerScreenShowsWhatRpnwPrintsForBothSamples) {
  for (int sample = 0; sample < 2; ++sample) {
    AssemblerScreen screen;
    auto* list = screen.get<QListWidget>(u"List1"_s);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(sample)).center());
    const QString source = screen.get<QPlainTextEdit>(u"Text1"_s)->toPlainText();
    ASSERT_FALSE(source.isEmpty());
    QTemporaryDir dir;
    QFile file(dir.filePath(u"sample.asm"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(source.toUtf8());
    file.close();

    screen.click(u"Command1"_s);
    EXPECT_EQ(rpnwOut({u"assemble"_s, file.fileName()}),
              lines(screen.get<QPlainTextEdit>(u"Text2"_s)->toPlainText()));
    screen.traceOff();
    auto* output = screen.get<QPlainTextEdit>(u"Text3"_s);
    for (int i = 0; i < 1000 && !output->toPlainText().contains(u"プログラムの終了です."_s); ++i)
      screen.click(u"Command2"_s);
    EXPECT_EQ(u'\n' + rpnwOut({u"run"_s, file.fileName()}), lines(output->toPlainText()));
  }
}

} // namespace
} // namespace rpn::cli
