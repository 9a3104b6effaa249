#include "conversion/form1.h"
#include "support/recording_dialogs.h"
#include "support/widget_lookup.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace rpn::conversion {
namespace {

using test::control;
using test::RecordingDialogs;

QColor background(const QWidget* w) {
  return w->palette().color(QPalette::Window);
}

class Form1Test : public ::testing::Test {
protected:
  Form1Test() { form.showScreen(); }

  template <class W = QWidget> W* get(const QString& name) { return control<W>(&form, name); }
  void click(const QString& name) { QTest::mouseClick(get<QPushButton>(name), Qt::LeftButton); }
  void type(const QString& name, const QString& text) {
    auto* edit = get<QLineEdit>(name);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
  }

  RecordingDialogs boxes;
  Form1 form{&boxes};
};

TEST_F(Form1Test, ControlsSitAtTheirTwipsRectangles) {
  EXPECT_EQ(form.size(), QSize(twips(10005), twips(4290)));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("ポーランド記法変換"));
  const struct {
    const char* name;
    QRect twips;
  } cases[] = {{"Frame3", {240, 240, 3015, 615}},      {"Text2", {120, 240, 2655, 270}},
               {"lblArrow2", {3240, 360, 495, 495}},   {"Frame2", {3600, 240, 1815, 855}},
               {"lblKind", {960, 480, 615, 255}},      {"Command2", {2880, 240, 735, 255}},
               {"Frame5", {2160, 1440, 3255, 2775}},   {"lblOperation(0)", {600, 2400, 495, 255}},
               {"lblKindS(9)", {2160, 240, 975, 255}}, {"lblPriority(4)", {1200, 1440, 855, 255}},
               {"Label2(0)", {120, 2400, 375, 255}},   {"Command1", {7560, 1080, 1215, 375}},
               {"Check1", {7320, 1560, 1575, 255}},    {"Text3", {7800, 2400, 735, 375}},
               {"Text4", {5520, 2880, 4335, 1335}},    {"lblMode", {240, 240, 735, 255}}};
  for (const auto& c : cases) {
    const QRect t = c.twips;
    EXPECT_EQ(get(QString::fromLatin1(c.name))->geometry(),
              twipsRect(t.x(), t.y(), t.width(), t.height()))
        << c.name;
  }
  EXPECT_EQ(get<QLabel>(QStringLiteral("Label2(7)"))->text(), QStringLiteral("7"));
}

TEST_F(Form1Test, StaticCaptionsAreNotClipped) {
  for (const QString& name : QStringList{QStringLiteral("Command1"), QStringLiteral("Command2"),
                                         QStringLiteral("Command3"), QStringLiteral("Command4")}) {
    auto* button = get<QPushButton>(name);
    EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width())
        << name.toStdString();
  }
  auto* check = get<QCheckBox>(QStringLiteral("Check1"));
  EXPECT_LE(check->sizeHint().width(), check->width());
  for (const QString& name :
       QStringList{QStringLiteral("Label1"), QStringLiteral("Label3"), QStringLiteral("lblMode"),
                   QStringLiteral("lblKindS(0)")}) {
    auto* label = get<QLabel>(name);
    const QString widest = name.startsWith(u"lblKindS") ? QStringLiteral("二項演算子")
                           : name == u"lblMode"         ? QStringLiteral("演算子")
                                                        : label->text();
    EXPECT_LE(label->fontMetrics().horizontalAdvance(widest), label->width()) << name.toStdString();
  }
  auto* interval = get<QLabel>(QStringLiteral("Label4"));
  EXPECT_LE(interval->heightForWidth(interval->width()), interval->height() + 2); // two lines
  auto* arrow = get<QLabel>(QStringLiteral("lblArrow1"));
  EXPECT_TRUE(arrow->font().bold());
  EXPECT_NEAR(arrow->font().pointSizeF(), 20.0, 0.5);
}

TEST_F(Form1Test, LoadClearsTheArrowsAndShowsTheRulesOnButtonFace) {
  for (int i = 1; i <= 4; ++i)
    EXPECT_EQ(get<QLabel>(QStringLiteral("lblArrow%1").arg(i))->text(), QString());
  EXPECT_EQ(get<QPlainTextEdit>(QStringLiteral("Text4"))->document()->blockCount(), 4);
  // What is drawn, not only the palette: the box paints its text on a viewport of its own.
  const QImage rules = get<QPlainTextEdit>(QStringLiteral("Text4"))->viewport()->grab().toImage();
  EXPECT_EQ(rules.pixelColor(rules.width() - 3, rules.height() - 3),
            QApplication::palette().color(QPalette::Button));
  EXPECT_TRUE(get<QCheckBox>(QStringLiteral("Check1"))->isChecked());
}

TEST_F(Form1Test, TracedRunShowsEachMoveBeforeItsBox) {
  type(QStringLiteral("Text1"), QStringLiteral("A+B"));
  QStringList shown;
  boxes.onBox = [&] {
    shown << get<QLabel>(QStringLiteral("Label5"))->text() + u'|' +
                 get<QLineEdit>(QStringLiteral("Text2"))->text();
  };
  click(QStringLiteral("Command1"));
  EXPECT_EQ(boxes.texts().size(), 8);
  EXPECT_EQ(shown.first(), QStringLiteral("語彙解析|"));
  EXPECT_EQ(shown[3], QStringLiteral("演算子[+]をPush|A"));
  EXPECT_EQ(shown.last(), QStringLiteral("Popして出力文に移動|AB"));
  EXPECT_EQ(get<QLineEdit>(QStringLiteral("Text2"))->text(), QStringLiteral("AB+"));
  EXPECT_EQ(get<QLineEdit>(QStringLiteral("Text1"))->text(), QString());
}

TEST_F(Form1Test, UntracedRunPaintsTheLeftoverStackRed) {
  QTest::mouseClick(get<QCheckBox>(QStringLiteral("Check1")), Qt::LeftButton,
                    Qt::KeyboardModifiers(), QPoint(5, 5));
  ASSERT_FALSE(form.engine().view().Check1);
  type(QStringLiteral("Text1"), QStringLiteral("A*(B+C"));
  click(QStringLiteral("Command1"));
  EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("括弧が閉じられていません")});
  EXPECT_EQ(get<QLineEdit>(QStringLiteral("Text2"))->text(), QStringLiteral("ABC+"));
  EXPECT_EQ(get<QLabel>(QStringLiteral("lblOperation(0)"))->text(), QStringLiteral("*"));
  EXPECT_EQ(get<QLabel>(QStringLiteral("lblPriority(0)"))->text(), QStringLiteral("400"));
  EXPECT_EQ(get<QLabel>(QStringLiteral("lblKindS(0)"))->text(), QStringLiteral("二項演算子"));
  for (const QString& cell :
       QStringList{QStringLiteral("lblOperation(0)"), QStringLiteral("lblPriority(0)"),
                   QStringLiteral("lblKindS(0)")})
    EXPECT_EQ(background(get(cell)), QColor(255, 0, 0)) << cell.toStdString();
  EXPECT_EQ(background(get(QStringLiteral("lblOperation(1)"))), QColor(255, 255, 255));

  click(QStringLiteral("Command2")); // reset: the expression the run started from comes back
  EXPECT_EQ(get<QLineEdit>(QStringLiteral("Text1"))->text(), QStringLiteral("A*(B+C"));
  EXPECT_EQ(background(get(QStringLiteral("lblOperation(0)"))), QColor(255, 255, 255));
  EXPECT_EQ(get<QLabel>(QStringLiteral("lblKind"))->text(), QStringLiteral("終了"));
}

TEST_F(Form1Test, AutoRunBlinksTheOutputAndStartsOver) {
  type(QStringLiteral("Text1"), QStringLiteral("A"));
  type(QStringLiteral("Text3"), QStringLiteral("1"));
  click(QStringLiteral("Command3"));
  EXPECT_TRUE(form.timer().isActive());
  EXPECT_EQ(form.timer().interval(), 1);
  auto* output = get<QLineEdit>(QStringLiteral("Text2"));
  QTRY_COMPARE_WITH_TIMEOUT(output->palette().color(QPalette::Base), QColor(255, 255, 0), 5000);
  EXPECT_EQ(output->text(), QStringLiteral("A"));
  EXPECT_EQ(get<QLabel>(QStringLiteral("Label5"))->text(), QStringLiteral("終了"));
  // After the finale the cycle restarts from the saved expression.
  auto* input = get<QLineEdit>(QStringLiteral("Text1"));
  EXPECT_EQ(input->text(), QString());
  QSignalSpy inputShown(input, &QLineEdit::textChanged);
  QTRY_VERIFY_WITH_TIMEOUT(!inputShown.isEmpty(), 5000);
  EXPECT_EQ(inputShown.first().first().toString(), QStringLiteral("A"));
  click(QStringLiteral("Command4"));
  EXPECT_FALSE(form.timer().isActive());
}

TEST_F(Form1Test, PostIsTheWayIntoTheOutput) {
  form.Post(QStringLiteral("XY"));
  form.Post(QStringLiteral("Z"));
  EXPECT_EQ(get<QLineEdit>(QStringLiteral("Text2"))->text(), QStringLiteral("XYZ"));
  EXPECT_TRUE(get<QLineEdit>(QStringLiteral("Text2"))->isReadOnly());
}

} // namespace
} // namespace rpn::conversion
