// rpnw against the screens themselves: the same input typed and clicked on each screen shows what
// rpnw prints (line ends aside: the screens hold CR LF, rpnw writes LF).
#include "cli/rpnw.h"
#include "conversion/form1.h"
#include "execution/form2.h"
#include "machine/frm_assembler.h"
#include "support/recording_dialogs.h"
#include "support/widget_lookup.h"
#include "translation/frm_compile.h"

#include <QBuffer>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace rpn::cli {
namespace {

using namespace Qt::StringLiterals;
using test::control;
using test::RecordingDialogs;

QString rpnwOut(const QStringList& arguments) {
  QByteArray none;
  QBuffer in(&none);
  QBuffer out;
  QBuffer err;
  in.open(QIODevice::ReadOnly);
  out.open(QIODevice::WriteOnly);
  err.open(QIODevice::WriteOnly);
  Console console{in, out, err};
  rpnw(QStringList{u"rpnw"_s} + arguments, console);
  return QString::fromUtf8(out.data());
}

QString lines(QString text) {
  text.replace(u"\r\n"_s, u"\n"_s);
  text.replace(QChar::ParagraphSeparator, u'\n');
  return text.endsWith(u'\n') ? text : text + u'\n';
}

QString textOf(const QWidget& screen, const QString& name) {
  return control<QWidget>(&screen, name)->property("text").toString();
}

void press(const QWidget& screen, const QString& button) {
  QTest::mouseClick(control<QPushButton>(&screen, button), Qt::LeftButton);
}

void typeAndTraceOff(QWidget& screen, const QString& text) {
  auto* box = control<QLineEdit>(&screen, u"Text1"_s);
  box->selectAll();
  QTest::keyClicks(box, text);
  control<QCheckBox>(&screen, u"Check1"_s)->setChecked(false);
}

TEST(RpnwAgainstTheScreens, ExpressionScreensShowWhatRpnwPrints) {
  for (const QString& expression : {u"A+B*C/(D-E)-F"_s, u"A*-B"_s, u"A*(B+C"_s, u"A+*B"_s}) {
    RecordingDialogs boxes;
    conversion::Form1 form(&boxes);
    form.showScreen();
    typeAndTraceOff(form, expression);
    press(form, u"Command1"_s);
    EXPECT_EQ(rpnwOut({u"convert"_s, u"--"_s, expression}), textOf(form, u"Text2"_s) + u'\n');
  }
  {
    RecordingDialogs boxes;
    execution::Form2 form(&boxes);
    form.showScreen();
    typeAndTraceOff(form, u"XABC*DE-/+F-="_s);
    press(form, u"Command1"_s);
    EXPECT_EQ(rpnwOut({u"execute"_s, u"XABC*DE-/+F-="_s}),
              textOf(form, u"lblValue(0)"_s) + u"  X="_s + textOf(form, u"txtName(6)"_s) + u'\n');
  }
  RecordingDialogs boxes;
  translation::FrmCompile form(&boxes);
  form.showScreen();
  typeAndTraceOff(form, u"XABC*DE-/+F-="_s);
  const auto listing = [&form] {
    QString shown;
    const auto* list = control<QListWidget>(&form, u"List1"_s);
    for (int i = 0; i < list->count(); ++i)
      shown += list->item(i)->text() + u'\n';
    return shown;
  };
  press(form, u"Command1"_s);
  EXPECT_EQ(rpnwOut({u"translate"_s, u"XABC*DE-/+F-="_s}), listing());
  press(form, u"Command5"_s);
  EXPECT_EQ(rpnwOut({u"translate"_s, u"--optimise"_s, u"XABC*DE-/+F-="_s}), listing());
}

TEST(RpnwAgainstTheScreens, TheAssemblerScreenShowsWhatRpnwPrintsForBothSamples) {
  for (int sample = 0; sample < 2; ++sample) {
    RecordingDialogs boxes;
    machine::FrmAssembler form(&boxes);
    form.showScreen();
    auto* list = control<QListWidget>(&form, u"List1"_s);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(sample)).center());
    const QString source = control<QPlainTextEdit>(&form, u"Text1"_s)->toPlainText();
    ASSERT_FALSE(source.isEmpty());
    QTemporaryDir dir;
    const QString path = dir.filePath(u"sample.asm"_s);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(source.toUtf8());
    file.close();

    press(form, u"Command1"_s);
    EXPECT_EQ(rpnwOut({u"assemble"_s, path}),
              lines(control<QPlainTextEdit>(&form, u"Text2"_s)->toPlainText()));
    control<QCheckBox>(&form, u"Check1"_s)->setChecked(false);
    auto* output = control<QPlainTextEdit>(&form, u"Text3"_s);
    for (int i = 0; i < 1000 && !output->toPlainText().contains(u"プログラムの終了です."_s); ++i)
      press(form, u"Command2"_s);
    EXPECT_EQ(u'\n' + rpnwOut({u"run"_s, path}), lines(output->toPlainText()));
  }
}

} // namespace
} // namespace rpn::cli
