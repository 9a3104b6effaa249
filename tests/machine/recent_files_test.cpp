// "最近使ったファイル" in the assembler screen's file menu: the five files opened or saved last,
// newest first; choosing one opens it as "開く" would, and a file that is gone leaves the list
// with a box.
#include "common/settings.h"
#include "machine/frm_assembler.h"
#include "machine_fixture.h"
#include "scripted_file_dialogs.h"
#include "support/widget_lookup.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

namespace rpn::machine {
namespace {

using rpn::test::control;
using rpn::test::RecordingDialogs;
using test::ScriptedFileDialogs;

class RecentFilesTest : public ::testing::Test {
protected:
  RecentFilesTest() {
    form.setSettings(&settings);
    form.showScreen();
  }

  QString makeFile(const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
      file.write(bytes);
    return path;
  }
  QString makeSource(const QString& name) {
    return makeFile(name, "     OUT     0\r\n* " + name.toUtf8() + "\r\n");
  }
  void open(const QString& path) {
    files.choose(path);
    control<QAction>(&form, u"mnuOpen"_s)->trigger();
  }
  void save(const QString& path) {
    files.choose(path);
    control<QAction>(&form, u"mnuSave"_s)->trigger();
  }
  void choose(int item) {
    control<QAction>(&form, indexedName(u"mnuRecentFile"_s, item))->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  QMenu* menu() { return control<QMenu>(&form, u"mnuRecent"_s); }
  // What the submenu shows, one line per item.
  QStringList menuItems() {
    QStringList items;
    for (const QAction* action : menu()->actions())
      items << action->objectName() + u' ' + action->text();
    return items;
  }
  static QStringList itemsFor(const QStringList& paths) {
    QStringList items;
    for (qsizetype i = 0; i < paths.size(); ++i)
      items << indexedName(u"mnuRecentFile"_s, static_cast<int>(i)) + u" &"_s +
                   QString::number(i + 1) + u' ' +
                   QDir::toNativeSeparators(paths[i]).replace(u'&', u"&&"_s);
    return items;
  }
  QString sourceText() { return form.engine().view().Text1; }

  QTemporaryDir dir;
  Settings settings{dir.filePath(u"settings.conf"_s)};
  RecordingDialogs boxes;
  ScriptedFileDialogs files;
  FrmAssembler form{&boxes, &files};
};

TEST_F(RecentFilesTest, FiveAtMostNewestFirstFromOpenAndSave) {
  EXPECT_FALSE(menu()->isEnabled());
  EXPECT_TRUE(menuItems().isEmpty());
  QStringList opened;
  for (const QString& name :
       {u"a.txt"_s, u"b.txt"_s, u"R&D.txt"_s, u"日本語.txt"_s, u"comma, space.txt"_s, u"f.txt"_s}) {
    opened.prepend(makeSource(name));
    open(opened.first());
    EXPECT_EQ(sourceText(), u"     OUT     0\r\n* "_s + name);
  }
  const QString saved = dir.filePath(u"saved.txt"_s);
  save(saved);
  ASSERT_TRUE(QFile::exists(saved));
  QStringList expected{saved, opened[0], opened[1], opened[2], opened[3]};
  EXPECT_EQ(settings.recentFiles(), expected);
  EXPECT_EQ(menuItems(), itemsFor(expected));
  EXPECT_TRUE(menu()->isEnabled());

  open(opened[2]); // already listed: to the top, once
  expected = QStringList{opened[2], saved, opened[0], opened[1], opened[3]};
  EXPECT_EQ(settings.recentFiles(), expected);
  EXPECT_EQ(menuItems(), itemsFor(expected));
  EXPECT_EQ(settings.lastFolder(), QDir(dir.path()).absolutePath());
  EXPECT_TRUE(boxes.boxes().empty()) << boxes.texts().join(u'\n').toStdString();

  // The next run has the same list.
  settings.sync();
  Settings next(settings.path());
  FrmAssembler again{&boxes, &files};
  again.setSettings(&next);
  QStringList shown;
  for (const QAction* action : control<QMenu>(&again, u"mnuRecent"_s)->actions())
    shown << action->objectName() + u' ' + action->text();
  EXPECT_EQ(shown, itemsFor(expected));
}

TEST_F(RecentFilesTest, ChoosingAFileOpensItAndMovesItToTheTop) {
  const QString a = makeSource(u"a.txt"_s);
  const QString b = makeSource(u"b.txt"_s);
  open(a);
  open(b);
  form.setSourceText(u"edited"_s);
  choose(1);
  EXPECT_EQ(sourceText(), u"     OUT     0\r\n* a.txt"_s);
  EXPECT_EQ(settings.recentFiles(), (QStringList{a, b}));
  EXPECT_EQ(menuItems(), itemsFor({a, b}));
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(RecentFilesTest, AFileThatIsGoneLeavesTheListWithABox) {
  const QString a = makeSource(u"a.txt"_s);
  const QString b = makeSource(u"b.txt"_s);
  const QString c = makeSource(u"c.txt"_s);
  for (const QString& path : {a, b, c})
    open(path);
  ASSERT_TRUE(QFile::remove(b));
  choose(1);
  EXPECT_EQ(boxes.texts(),
            QStringList{fileErrorMessage(
                u"ファイルが見つかりません。最近使ったファイルの一覧から外しました。"_s, b)});
  EXPECT_EQ(boxes.boxes().front().kind, RecordingDialogs::Box::Kind::Inform);
  EXPECT_EQ(sourceText(), u"     OUT     0\r\n* c.txt"_s); // the source box keeps its text
  EXPECT_EQ(settings.recentFiles(), (QStringList{c, a}));
  EXPECT_EQ(menuItems(), itemsFor({c, a}));

  ASSERT_TRUE(QFile::remove(a));
  ASSERT_TRUE(QFile::remove(c));
  choose(1);
  choose(0);
  EXPECT_EQ(boxes.texts().size(), 3);
  EXPECT_TRUE(settings.recentFiles().isEmpty());
  EXPECT_TRUE(menuItems().isEmpty());
  EXPECT_FALSE(menu()->isEnabled());
}

// A recent file is read exactly as "開く" reads it: the same text, the same boxes.
TEST_F(RecentFilesTest, OpensEveryFileAsTheOpenCommandWould) {
  const struct {
    const char* what;
    QByteArray bytes;
  } cases[] = {
      {"Shift_JIS", QByteArray("     OUT     0 \x93\xfa\x96\x7b\r\n")},
      {"UTF-8", QByteArray("     OUT     0 \xe6\x97\xa5\xe6\x9c\xac\n")},
      {"damaged bytes", QByteArray("     OUT     0 \x81\x20\xff\xfe\r\n")},
      {"too large", QByteArray(kSourceFileLimit + 1, 'A')},
      {"empty", QByteArray()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const QString path = makeFile(QString::fromLatin1(c.what) + u".txt"_s, c.bytes);
    form.setSourceText(u"before"_s);
    boxes.clear();
    open(path);
    const QStringList openBoxes = boxes.texts();
    const QString openText = sourceText();

    const QString other = makeSource(u"other.txt"_s);
    open(other); // puts the file under test second in the list, if it is listed at all
    form.setSourceText(u"before"_s);
    boxes.clear();
    const qsizetype listed = settings.recentFiles().indexOf(path);
    if (listed < 0) { // not opened, so not listed: the file menu's box said why
      EXPECT_FALSE(openBoxes.isEmpty());
      EXPECT_EQ(openText, u"before"_s);
      continue;
    }
    choose(static_cast<int>(listed));
    EXPECT_EQ(boxes.texts(), openBoxes);
    EXPECT_EQ(sourceText(), openText);
    EXPECT_EQ(settings.recentFiles().first(), path);
  }
}

TEST_F(RecentFilesTest, CancelledAndFailedChoicesAreNotListed) {
  const QString kept = makeSource(u"kept.txt"_s);
  open(kept);
  const QString existing = makeSource(u"existing.txt"_s);
  open(u""_s);                          // cancelled
  open(dir.filePath(u"missing.txt"_s)); // cannot be read: a box
  open(dir.path());                     // a folder: a box
  boxes.answerConfirm(false);           // overwrite? no
  save(existing);
  save(u""_s); // cancelled
  EXPECT_EQ(settings.recentFiles(), QStringList{kept});
  EXPECT_EQ(boxes.boxes().size(), 3u) << boxes.texts().join(u'\n').toStdString();
}

TEST_F(RecentFilesTest, WithoutSettingsThereIsNoList) {
  RecordingDialogs quiet;
  ScriptedFileDialogs chooser;
  FrmAssembler bare{&quiet, &chooser};
  bare.showScreen();
  chooser.choose(makeSource(u"a.txt"_s));
  control<QAction>(&bare, u"mnuOpen"_s)->trigger();
  EXPECT_EQ(bare.engine().view().Text1, u"     OUT     0\r\n* a.txt"_s);
  auto* list = control<QMenu>(&bare, u"mnuRecent"_s);
  EXPECT_FALSE(list->isEnabled());
  EXPECT_TRUE(list->actions().isEmpty());
}

} // namespace
} // namespace rpn::machine
