// What the program remembers between runs: a round trip through the settings file in a temporary
// configuration folder, damaged, unreadable and unwritable files (defaults and one warning, never
// a stop), and the shell and its screens putting back what the user left.
#include "common/settings.h"
#include "shell_windows.h"

#include <QFile>
#include <QTemporaryDir>

namespace rpn {
namespace {

using namespace Qt::StringLiterals;

// Everything a Settings holds, line by line, for whole-state comparisons.
QStringList describe(const Settings& settings) {
  QStringList lines{u"zoom "_s + QString::number(settings.zoomPercent()),
                    u"folder "_s + settings.lastFolder(),
                    u"recent "_s + settings.recentFiles().join(u'|')};
  for (const test::Window& window : test::kWindows) {
    const QString name = QString::fromLatin1(window.name);
    const auto interval = settings.intervalText(name);
    const auto trace = settings.traceMode(name);
    const auto at = settings.windowPosition(name);
    lines << name + u' ' + (interval ? u'"' + *interval + u'"' : u"-"_s) + u' ' +
                 (trace ? (*trace ? u"ticked"_s : u"unticked"_s) : u"-"_s) + u' ' +
                 (at ? QString::number(at->x()) + u',' + QString::number(at->y()) : u"-"_s);
  }
  return lines;
}

// The settings of a fresh user: nothing remembered.
QStringList defaults() {
  QStringList lines{u"zoom 100"_s, u"folder "_s, u"recent "_s};
  for (const test::Window& window : test::kWindows)
    lines << QString::fromLatin1(window.name) + u" - - -"_s;
  return lines;
}

// Every test runs in a configuration folder of its own and counts the warnings given.
class SettingsTest : public ::testing::Test {
protected:
  SettingsTest() : m_savedConfig(qgetenv("XDG_CONFIG_HOME")) {
    qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
    warnings().clear();
    m_previousHandler =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
          if (type == QtWarningMsg && text.startsWith(u"rpn-workbench:"_s))
            warnings() << text;
        });
  }
  ~SettingsTest() override {
    qInstallMessageHandler(m_previousHandler);
    qputenv("XDG_CONFIG_HOME", m_savedConfig);
  }
  static QStringList& warnings() {
    static QStringList list;
    return list;
  }

  QTemporaryDir folder;

private:
  QByteArray m_savedConfig;
  QtMessageHandler m_previousHandler = nullptr;
};

// The file in the configuration folder, and the values the screens do not leave (RememberedWindow
// below): an empty interval, places off the screen, a help page's place, paths with commas and
// quotes. The recent list's order is checked with the assembler screen; values that make no sense
// are refused when read (the next test).
TEST_F(SettingsTest, EverythingComesBackInTheNextRun) {
  QStringList expected;
  {
    Settings first;
    EXPECT_TRUE(first.path().startsWith(folder.path() + u'/')) << first.path().toStdString();
    EXPECT_TRUE(first.path().endsWith(u".conf"_s));
    EXPECT_EQ(describe(first), defaults());
    first.setZoomPercent(175);
    first.setIntervalText(u"Form1"_s, u" 1 5"_s);
    first.setTraceMode(u"frmAssembler"_s, true);
    first.setIntervalText(u"Form2"_s, QString());
    first.setWindowPosition(u"frmMain"_s, {-20, 0});
    first.setWindowPosition(u"frmHelp2"_s, {1900, 1000});
    first.setLastFolder(u"/tmp/日本語, folder"_s);
    first.addRecentFile(u"/tmp/comma, in it.txt"_s);
    first.addRecentFile(u"/tmp/&amp; \"quoted\".txt"_s);
    EXPECT_TRUE(first.sync());
    expected = describe(first);
  }
  EXPECT_EQ(expected[0], u"zoom 175"_s);
  EXPECT_EQ(describe(Settings()), expected);
  EXPECT_TRUE(warnings().isEmpty()) << warnings().join(u'\n').toStdString();
}

// Damaged, unreadable or unwritable: the program starts with the defaults (or with what could
// be read), says so once on standard error, and goes on.
TEST_F(SettingsTest, AnyDamagedFileStartsWithDefaultsAndOneWarning) {
  QStringList partly = defaults();
  partly[2] = u"recent /abs/a.txt"_s;
  partly[4] = u"Form1 \"200\" - 1,2"_s;
  const struct {
    const char* what;
    QByteArray bytes;
    bool keptAside;
    QStringList state;
  } cases[] = {
      {"bytes that are no UTF-8", QByteArray("[General]\nzoom=150\n\xff\xfe\x80\n"), true,
       defaults()},
      {"a NUL in the text", QByteArray("[General]\nzoom=150\n\0\n", 21), true, defaults()},
      {"far too long", QByteArray("[General]\nzoom=150\n") + QByteArray(70 * 1024, 'a'), true,
       defaults()},
      {"values that make no sense",
       "[General]\nzoom=137\n[Form1]\ntrace=maybe\nposition=@Point(1 2)\ninterval=200\n"
       "[Form2]\nposition=@Point(99999999 1)\n[files]\nrecent=relative.txt, /abs/a.txt\n"
       "lastFolder=relative\n",
       false, partly},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    warnings().clear();
    const QString path = Settings::userPath();
    QFile::remove(path + u".damaged"_s);
    QFile::remove(path);
    test::writeFile(path, c.bytes);
    {
      Settings settings;
      EXPECT_EQ(describe(settings), c.state);
      EXPECT_EQ(warnings(), QStringList(settings.warning()));
      EXPECT_TRUE(settings.warning().contains(path));
      QFile aside(path + u".damaged"_s);
      EXPECT_EQ(aside.open(QIODevice::ReadOnly) ? aside.readAll() : QByteArray("<none>"),
                c.keptAside ? c.bytes : "<none>");
      settings.setZoomPercent(250); // the program goes on and remembers again
      EXPECT_TRUE(settings.sync());
    }
    EXPECT_EQ(Settings().zoomPercent(), 250);
    EXPECT_EQ(warnings().size(), c.keptAside ? 1 : 2); // the bad values are read once more
  }
}

// A file where the configuration folder should be: the run keeps what it is told, the save fails
// with one warning, and the file in the way is left alone.
TEST_F(SettingsTest, AnUnwritablePlaceWarnsOnceAndTheRunGoesOn) {
  const QString blocker = test::writeFile(folder.filePath(u"not-a-folder"_s), "in the way");
  qputenv("XDG_CONFIG_HOME", blocker.toLocal8Bit());
  Settings settings;
  EXPECT_EQ(describe(settings), defaults());
  settings.setZoomPercent(200);
  settings.addRecentFile(u"/tmp/a.txt"_s);
  EXPECT_FALSE(settings.sync());
  EXPECT_EQ(warnings().size(), 1) << warnings().join(u'\n').toStdString();
  EXPECT_EQ(describe(settings).mid(0, 3),
            (QStringList{u"zoom 200"_s, u"folder "_s, u"recent /tmp/a.txt"_s}));
  QFile inTheWay(blocker);
  EXPECT_TRUE(inTheWay.open(QIODevice::ReadOnly) && inTheWay.readAll() == "in the way");
}

// The shell and its screens: what the user leaves in one run (interval, trace mode, place, zoom)
// is there in the next, and the screens act on it (trace mode off: a run opens no box). The menu
// remembers its place and zoom; a place on a monitor no longer there is ignored.
class RememberedWindow : public SettingsTest, public ::testing::WithParamInterface<test::Window> {
protected:
  QLineEdit* interval(QWidget* screen) {
    return test::control<QLineEdit>(screen, QString::fromLatin1(GetParam().intervalBox));
  }
  static QCheckBox* trace(QWidget* screen) { return test::control<QCheckBox>(screen, u"Check1"_s); }
  test::RecordingDialogs boxes;
};

TEST_P(RememberedWindow, IntervalTracePositionAndZoomComeBack) {
  const test::Window& c = GetParam();
  const bool screen = c.intervalBox != nullptr;
  {
    Settings settings;
    FrmMain menu{&boxes, &settings};
    QWidget* window = c.open(menu);
    if (screen) {
      EXPECT_EQ(interval(window)->text(), QString::fromLatin1(c.interval));
      EXPECT_TRUE(trace(window)->isChecked());
      interval(window)->selectAll();
      QTest::keyClicks(interval(window), u"35"_s);
      test::untick(window);
    }
    menu.zoomIn();
    menu.zoomIn();
    window->move(140, 70);
    window->close();
    // Closing unloads a screen, whose controls go back to their first state; loading it again
    // puts back what the user left.
    c.open(menu);
    EXPECT_TRUE(!screen || (interval(window)->text() == u"35"_s && !trace(window)->isChecked()));
  }
  Settings settings;
  FrmMain menu{&boxes, &settings};
  EXPECT_EQ(menu.zoomPercent(), 150); // the sizes at a zoom are the zoom table's part
  QWidget* window = c.open(menu);
  EXPECT_EQ(window->pos(), QPoint(140, 70));
  if (screen) {
    EXPECT_EQ(interval(window)->text(), u"35"_s);
    EXPECT_FALSE(trace(window)->isChecked());
    test::click(window, u"Command1"_s);
  } else {
    settings.setWindowPosition(u"frmMain"_s, {-100000, -100000});
    EXPECT_NE(FrmMain(&boxes, &settings).pos(), QPoint(-100000, -100000));
  }
  EXPECT_EQ(boxes.texts(), QStringList());
  EXPECT_TRUE(warnings().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Windows, RememberedWindow,
                         ::testing::ValuesIn(test::kWindows, test::kWindows + 5), test::windowName);

} // namespace
} // namespace rpn
