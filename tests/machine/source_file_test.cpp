#include "machine/platform_file_dialogs.h"
#include "machine/samples.h"
#include "machine/source_file.h"
#include "machine_fixture.h"
#include "support/recording_dialogs.h"
#include "support/scripted_file_dialogs.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace rpn::machine {
namespace {

using rpn::test::RecordingDialogs;
using test::ScriptedFileDialogs;
using namespace Qt::StringLiterals;
using Kind = RecordingDialogs::Box::Kind;

QByteArray bytesOf(std::initializer_list<int> values) {
  QByteArray bytes;
  for (int v : values)
    bytes.append(static_cast<char>(v));
  return bytes;
}

QByteArray utf16(const QString& text, bool littleEndian) {
  QByteArray bytes = littleEndian ? bytesOf({0xFF, 0xFE}) : bytesOf({0xFE, 0xFF});
  for (const QChar c : text) {
    const auto high = static_cast<char>(c.unicode() >> 8), low = static_cast<char>(c.unicode());
    bytes += littleEndian ? QByteArray{1, low} + high : QByteArray{1, high} + low;
  }
  return bytes;
}

// "あ" is 82 A0 in Shift_JIS and E3 81 82 in UTF-8; "テスト" is 83 65 83 58 83 67 in Shift_JIS.
const QByteArray kSjisA = bytesOf({0x82, 0xA0});
const QByteArray kUtf8A = bytesOf({0xE3, 0x81, 0x82});
const QByteArray kUtf8Bom = bytesOf({0xEF, 0xBB, 0xBF});
// Shift_JIS that is valid UTF-8 as well: "; ﾃｽ" (C3 BD) and "縺　ok" (E3 81 81 40).
const QByteArray kSjisTesu = "; " + bytesOf({0xC3, 0xBD});
const QByteArray kSjisMojibake = bytesOf({0xE3, 0x81, 0x81, 0x40}) + "ok";

struct DecodeCase {
  const char* name;
  QByteArray bytes;
  QString text; // the reading taken (the default one when there is a choice)
  SourceCoding coding = SourceCoding::ShiftJis;
  bool damaged = false;
  QString otherReading = {}; // the UTF-8 reading when the user has to choose
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
  *os << c.name;
}

class Decoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decoding, TakesTheReadingTheBytesAllowAndJoinsTheLinesByCrLf) {
  const DecodeCase& c = GetParam();
  const DecodedSource decoded = decodeSource(c.bytes);
  EXPECT_EQ(decoded.text, c.text);
  EXPECT_EQ(decoded.coding, c.coding);
  EXPECT_EQ(decoded.damaged, c.damaged);
  EXPECT_EQ(decoded.needsChoice(), !c.otherReading.isNull());
  if (decoded.needsChoice()) {
    EXPECT_EQ(decoded.shiftJis, c.text);
    EXPECT_EQ(decoded.utf8, c.otherReading);
  }
}

using C = SourceCoding;
// clang-format off
const std::vector<DecodeCase> kDecodeCases = {
    {"CrLf", "A\r\nB\r\n", u"A\r\nB"_s}, {"LastLineWithoutEnd", "A\r\nB", u"A\r\nB"_s},
    {"LfOnly", "A\nB\n", u"A\r\nB"_s}, {"CrOnly", "A\rB\r", u"A\r\nB"_s},
    {"EmptyLinesKept", "A\n\nB\r\r\nC", u"A\r\n\r\nB\r\n\r\nC"_s},
    {"FinalEmptyLineIsOnlyASeparator", "A\r\n\r\n", u"A\r\n"_s},
    {"EmptyFile", "", QString()}, {"OnlyALineEnd", "\r\n", QString()},
    {"AsciiSignsKeepTheirMeaning", "\\~&H", u"\\~&H"_s},
    // Control bytes stand for themselves (the converter's table would rotate these three).
    {"ControlBytesAsThemselves", bytesOf({0x09, 0x1A, 0x1C, 0x7F}), u"\t\x1A\x1C\x7F"_s},
    {"ShiftJis", "X " + kSjisA + "\r\n", u"X あ"_s},
    {"ShiftJisThatIsNoUtf8", bytesOf({0x83, 0x65, 0x83, 0x58, 0x83, 0x67}), u"テスト"_s},
    {"Utf8", "X " + kUtf8A + "\n", u"X あ"_s, C::Utf8},
    {"Utf8WithByteOrderMark", kUtf8Bom + "LI 10\r\n" + kUtf8A, u"LI 10\r\nあ"_s, C::Utf8},
    // A mark decides even where the rest would also be windows-31j.
    {"MarkedUtf8ThatIsShiftJisToo", kUtf8Bom + kSjisTesu, u"; ý"_s, C::Utf8},
    {"MarkedUtf8Damaged", kUtf8Bom + "A\r\n" + bytesOf({0xFF}), u"A\r\n\uFFFD"_s, C::Utf8, true},
    {"Utf16LittleEndian", utf16(u"LI 1\r\nあ\r\n"_s, true), u"LI 1\r\nあ"_s, C::Utf16},
    {"Utf16BigEndian", utf16(u"A\nテスト"_s, false), u"A\r\nテスト"_s, C::Utf16},
    {"Utf16OddByteAndLoneSurrogate", utf16(u"A"_s + QChar(0xD800) + u"B"_s, true) + "x",
     u"A\uFFFDB\uFFFD"_s, C::Utf16, true},
    {"BothReadingsHalfWidthKana", kSjisTesu + "\r\n", u"; ﾃｽ"_s, C::ShiftJis, false, u"; ý"_s},
    {"BothReadingsKanjiAndIdeographicSpace", kSjisMojibake, u"縺　ok"_s, C::ShiftJis, false,
     u"ぁ@ok"_s},
    // Neither reading: windows-31j with a substitute for every bad byte, also a lead byte cut off
    // at the end of a line or of the file.
    {"CutOffLeadByteBecomesASubstitute", "LI 10\r\n" + bytesOf({0x82}), u"LI 10\r\n\uFFFD"_s,
     C::ShiftJis, true},
    {"CutOffLeadByteBeforeALineEnd", bytesOf({0x82}) + "\r\nA", u"\uFFFD\r\nA"_s, C::ShiftJis,
     true},
    {"NeitherReading", bytesOf({0x80, 0x41}), u"\x1A\x41"_s, C::ShiftJis, true}};
// clang-format on
INSTANTIATE_TEST_SUITE_P(LineEndsAndCodePages, Decoding, ::testing::ValuesIn(kDecodeCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(SourceEncoding, WritesShiftJisAndCrLfOrRefusesTheFirstCharacterItCannotHoldWithItsLine) {
  const struct {
    QString text;
    QByteArray bytes;
    std::optional<UnsavableCharacter> refused;
  } cases[] = {
      {u"A    DC      1 あ"_s, "A    DC      1 " + kSjisA + "\r\n", {}},
      {u"①～"_s, bytesOf({0x87, 0x40, 0x81, 0x60, 0x0D, 0x0A}), {}},  // Windows extensions
      {u"\t\x1C\x7F"_s, bytesOf({0x09, 0x1C, 0x7F, 0x0D, 0x0A}), {}}, // controls as themselves
      {u"LI 10 ; \U0001F600 and é"_s, {}, UnsavableCharacter{U'\U0001F600', 1}},
      {u"A\r\nB\r\né then \U0001F600"_s, {}, UnsavableCharacter{U'é', 3}},
      {u"A\nB\rC\r\n1 − 2"_s, {}, UnsavableCharacter{U'\u2212', 4}}, // lone LF and CR count too
      {u"A\r\n"_s + QChar(0xD800) + u"x"_s, {}, UnsavableCharacter{0xD800, 2}}, // lone surrogate
      // Substitutes left by unreadable bytes, although windows-31j could write U+001A.
      {u"OK\r\n\x1A\r\n"_s, {}, UnsavableCharacter{0x1A, 2}},
      {u"\uFFFD"_s, {}, UnsavableCharacter{0xFFFD, 1}},
      {u"é\r\n\x1A"_s, {}, UnsavableCharacter{U'é', 1}}, // the first one in the text
  };
  for (const auto& c : cases) {
    const EncodedSource encoded = encodeSource(c.text);
    EXPECT_EQ(encoded.bytes, c.bytes) << c.text.toStdString();
    EXPECT_EQ(encoded.unencodable, c.refused) << c.text.toStdString();
  }
}

// The question names the line and the characters where the readings part; Yes (the default)
// takes Shift_JIS, No takes UTF-8; a file that reads one way only asks nothing.
TEST(ReadingChoice, AsksWithShiftJisTheDefaultOnlyWhenTheReadingsDiffer) {
  const DecodedSource both = decodeSource("     LI      1\r\n     OUT     0 " + kSjisTesu);
  EXPECT_EQ(readingQuestion(both), u"このファイルはShift_JISとしてもUTF-8としても読めます。\r\n"
                                   u"2行目: Shift_JISでは「ﾃｽ」、UTF-8では「ý」\r\n"
                                   u"Shift_JISとして読みますか? (「いいえ」はUTF-8)"_s);
  RecordingDialogs boxes;
  EXPECT_EQ(chooseReading(both, boxes), u"     LI      1\r\n     OUT     0 ; ﾃｽ"_s);
  boxes.answerAsk(Answer::No);
  EXPECT_EQ(chooseReading(both, boxes), u"     LI      1\r\n     OUT     0 ; ý"_s);
  boxes.answerAsk(Answer::Yes);
  EXPECT_EQ(chooseReading(both, boxes), *both.shiftJis);
  ASSERT_EQ(boxes.boxes().size(), 3u);
  for (const auto& box : boxes.boxes())
    EXPECT_EQ(std::tie(box.kind, box.title, box.withCancel, box.byDefault),
              std::tuple(Kind::Ask, applicationTitle(), false, Answer::Yes));
  boxes.clear();
  for (const QByteArray& bytes : {QByteArray("LI 10\r\n"), "X " + kUtf8A, "X " + kSjisA})
    EXPECT_EQ(chooseReading(decodeSource(bytes), boxes), decodeSource(bytes).text);
  EXPECT_TRUE(boxes.boxes().empty());
}

// Sentences an editor writes in UTF-8: read as UTF-8, with a mark always without a question;
// without one the question comes only where the bytes are valid windows-31j as well.
TEST(SourceRoundTrip, Utf8JapaneseSentencesReadAsUtf8) {
  // Short comments at the end, where a chance match with windows-31j is likelier.
  QStringList corpus = goldenListing(u"sentences.txt"_s).split(u"\r\n"_s);
  corpus.removeLast(); // after the last line end
  ASSERT_EQ(corpus.size(), 48);
  RecordingDialogs boxes;
  int asked = 0;
  for (const QString& sentence : corpus) {
    const QString text = u"     LI      10 ; "_s + sentence;
    const QByteArray bytes = text.toUtf8() + "\r\n";
    const DecodedSource marked = decodeSource(kUtf8Bom + bytes);
    EXPECT_EQ(marked.text, text);
    EXPECT_EQ(chooseReading(marked, boxes), text);
    const DecodedSource plain = decodeSource(bytes);
    EXPECT_EQ(plain.utf8, text);
    EXPECT_EQ(plain.needsChoice(), plain.shiftJis.has_value()) << sentence.toStdString();
    if (plain.needsChoice()) {
      ++asked;
      boxes.answerAsk(Answer::No);
    } else {
      EXPECT_EQ(plain.coding, SourceCoding::Utf8);
    }
    EXPECT_EQ(chooseReading(plain, boxes), text);
  }
  EXPECT_EQ(boxes.boxes().size(), static_cast<std::size_t>(asked)); // none for marked files
  std::cout << "[ figures  ] " << asked << " of " << corpus.size()
            << " UTF-8 sentences without a mark were valid windows-31j too and asked\n";
  EXPECT_LT(asked, corpus.size() / 2);
}

TEST(SourceFileErrors, NameTheCommonCausesInJapaneseAndKeepThePlatformTextOtherwise) {
  const QString platform = u"platform text"_s;
  const struct {
    int error;
    QString reading, writing = {}; // none: as reading
  } cases[] = {                    // clang-format off
      {ENOENT, u"ファイルが見つかりません"_s, u"保存先のフォルダが見つかりません"_s},
      {ENOTDIR, u"ファイルが見つかりません"_s, u"保存先のフォルダが見つかりません"_s},
      {EACCES, u"アクセスが拒否されました"_s}, {EPERM, u"アクセスが拒否されました"_s},
      {EISDIR, u"ファイルではなくフォルダです"_s}, {EROFS, u"読み取り専用のファイルシステムです"_s},
      {ENOSPC, u"ディスクの空き容量が足りません"_s}, {EDQUOT, u"ディスクの空き容量が足りません"_s},
      {EIO, u"ディスクへの書き込みまたは読み込みに失敗しました"_s},
      {EFBIG, u"ファイルが大きすぎます"_s}, {EMFILE, platform}, {0, platform}};
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(fileErrorCause(c.error, platform, false), c.reading) << c.error;
    EXPECT_EQ(fileErrorCause(c.error, platform, true), c.writing.isNull() ? c.reading : c.writing)
        << c.error;
  }
}

class SourceFileFlow : public ::testing::Test {
protected:
  QString path(const QString& name) const { return dir.filePath(name); }
  static constexpr auto write = rpn::test::writeFile;
  static constexpr auto read = rpn::test::readFile;
  std::optional<QString> open(const QString& file) {
    files.choose(file);
    return OpenSourceFile(files, boxes);
  }
  bool save(const QString& text, const QString& file) {
    files.choose(file);
    return SaveSourceFile(text, files, boxes);
  }
  QTemporaryDir dir;
  ScriptedFileDialogs files;
  RecordingDialogs boxes;
};

// Each save after the first replaces the file after the question, answered Yes. The texts that
// the old reader took for UTF-8 are among them: they read back after the reading question,
// answered with its default.
TEST_F(SourceFileFlow, SavingAndReopeningGivesTheIdenticalText) {
  const QString file = path(u"sample.txt"_s);
  // The samples end with CR LF: saved with one more line end, they read back the same.
  const QStringList texts{sampleCompare(), sampleRegisters(), u"     LI      10 ; 十を入れる"_s,
                          QString(),       u"; ﾃｽ"_s,         u"縺　ok"_s};
  for (const QString& text : texts) {
    boxes.answerConfirm(true);
    ASSERT_TRUE(save(text, file));
    EXPECT_EQ(read(file), encodeSource(text).bytes);
    EXPECT_EQ(open(file), text);
  }
  const QString question = u"同一ファイル名があります。上書き保存しますか。"_s;
  ASSERT_EQ(boxes.boxes().size(), 7u);
  for (const std::size_t i : {0u, 1u, 2u, 3u, 5u}) {
    EXPECT_EQ(boxes.boxes()[i].kind, Kind::Confirm);
    EXPECT_EQ(boxes.boxes()[i].text, question);
    EXPECT_EQ(boxes.boxes()[i].title, u"ソースプログラムの保存"_s);
  }
  EXPECT_EQ(boxes.boxes()[4].kind, Kind::Ask);
  EXPECT_TRUE(boxes.boxes()[4].text.contains(u"Shift_JISでは「ﾃｽ」、UTF-8では「ý」"_s));
  EXPECT_EQ(boxes.boxes()[6].kind, Kind::Ask);
  EXPECT_TRUE(boxes.boxes()[6].text.contains(u"Shift_JISでは「縺　ok」、UTF-8では「ぁ@ok」"_s));
}

// Each problem is one box: the cause, " File Name=" and the path. A cancel does nothing; both
// dialogs offer the two filters. The old file stays as it was when the user says No, and when the
// text holds a character that cannot be saved: refused before a path is asked for, naming the
// character and its line.
TEST_F(SourceFileFlow, ProblemsAreOneBoxEachAndTheOldFileSurvivesThem) {
  EXPECT_FALSE(open(QString()));
  EXPECT_FALSE(save(u"X"_s, QString()));
  EXPECT_EQ(files.lastFilters(), sourceFileFilters());
  EXPECT_EQ(files.lastFilters(),
            (QStringList{u"テキストファイル(*.txt)"_s, u"全てのファイル(*.*)"_s}));
  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_TRUE(QDir(dir.path()).isEmpty());
  const QString missing = path(u"missing.txt"_s), big = path(u"big.txt"_s);
  const QString noFolder = path(u"no/such/folder.txt"_s), file = path(u"old.txt"_s);
  write(big, QByteArray(kSourceFileLimit + 1, 'A'));
  EXPECT_FALSE(open(missing));
  EXPECT_FALSE(open(dir.path()));
  EXPECT_FALSE(open(big));
  EXPECT_FALSE(save(u"X"_s, noFolder));
  EXPECT_FALSE(save(u"X"_s, dir.path())); // refused before the overwrite question
  write(file, "old text\r\n");
  boxes.answerConfirm(false);
  EXPECT_FALSE(save(u"new text"_s, file));
  EXPECT_FALSE(SaveSourceFile(u"     LI      1\r\n     OUT     0 ; \U0001F600"_s, files, boxes));
  // A damaged file opens with its warning, but what it could not read is never written back.
  write(path(u"damaged.txt"_s), "     LI      10\r\n" + bytesOf({0x80}));
  const std::optional<QString> damaged = open(path(u"damaged.txt"_s));
  EXPECT_EQ(damaged, u"     LI      10\r\n\x1A"_s);
  EXPECT_FALSE(SaveSourceFile(damaged.value_or(QString()), files, boxes));
  EXPECT_EQ(read(file), "old text\r\n");
  EXPECT_EQ(files.shown(), (QStringList{u"open"_s, u"save"_s, u"open"_s, u"open"_s, u"open"_s,
                                        u"save"_s, u"save"_s, u"save"_s, u"open"_s}));
  EXPECT_EQ(boxes.texts(),
            (QStringList{u"ファイルが見つかりません File Name="_s + missing,
                         u"ファイルではなくフォルダです File Name="_s + dir.path(),
                         u"ファイルが大きすぎます (1MBまで読み込めます) File Name="_s + big,
                         u"保存先のフォルダが見つかりません File Name="_s + noFolder,
                         u"ファイルではなくフォルダです File Name="_s + dir.path(),
                         u"同一ファイル名があります。上書き保存しますか。"_s,
                         u"Shift_JISで保存できない文字があります: 「\U0001F600」(U+1F600) 2行目\r\n"
                         u"保存しませんでした。"_s,
                         u"Shift_JISとしてもUTF-8としても読めない部分があります。その部分の文字は"
                         u"正しく表示されません。 File Name="_s +
                             path(u"damaged.txt"_s),
                         u"ファイルを読んだときに読めなかったバイトを表す文字があります: "
                         u"(U+001A) 2行目\r\n保存しませんでした。"_s}));
  write(big, QByteArray(kSourceFileLimit, 'A')); // exactly the limit still opens
  EXPECT_EQ(open(big).value_or(QString()).size(), kSourceFileLimit);
}

// A named pipe, a device and a socket are refused before they are opened, by both menu items. A
// call that blocks (a pipe opened with no writer) is released by a writer that comes when the call
// has not returned after a while, and counts: no call may need one.
TEST_F(SourceFileFlow, FilesThatAreNoRegularFilesAreRefusedAtOnce) {
  const QString fifo = path(u"pipe"_s);
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const QString socketPath = path(u"socket"_s);
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray socketName = QFile::encodeName(socketPath);
  ASSERT_LT(static_cast<std::size_t>(socketName.size()), sizeof address.sun_path);
  std::memcpy(address.sun_path, socketName.constData(),
              static_cast<std::size_t>(socketName.size()));
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

  int releases = 0;
  const auto call = [&](const std::function<void()>& work) {
    auto done = std::async(std::launch::async, work);
    while (done.wait_for(std::chrono::seconds(2)) == std::future_status::timeout) {
      ++releases;
      const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0)
        ::close(writer);
    }
  };
  const QString refused =
      u"通常のファイルではありません (名前付きパイプやデバイスは開けません) File Name="_s;
  // A device of the test's own (a copy of the null device where the test may make one), never
  // /dev/null itself: a save that wrongly went ahead would replace the machine's null device.
  QStringList specials{fifo, socketPath};
  const QString device = path(u"null"_s);
  if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0)
    specials << device;
  for (const QString& special : specials) {
    boxes.clear();
    std::optional<QString> opened;
    bool saved = true;
    boxes.answerConfirm(true);
    call([&] { opened = open(special); });
    call([&] { saved = save(u"X"_s, special); });
    EXPECT_FALSE(opened);
    EXPECT_FALSE(saved);
    EXPECT_EQ(boxes.texts(), (QStringList{refused + special, refused + special}));
    EXPECT_FALSE(QFileInfo(special).isFile());
  }
  ::close(listener);
  EXPECT_EQ(releases, 0);
  EXPECT_TRUE(writeSourceFile(fifo, "X\r\n").startsWith(refused)); // without the menu as well
}

// A full disk: the save fails, says why, and the old file is as it was. Needs a small tmpfs.
TEST_F(SourceFileFlow, ADiskFullSaveKeepsTheOldFileAndSaysWhy) {
  const QString small = path(u"small"_s);
  if (geteuid() != 0 || !QDir().mkpath(small) ||
      ::mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): " << std::strerror(errno);
  const QString file = small + u"/old.txt"_s;
  write(file, "old text\r\n");
  {
    QFile filler(small + u"/filler"_s);
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
  }
  QString text;
  while (text.size() < 40'000)
    text += u"     LI      10\r\n"_s;
  boxes.answerConfirm(true);
  EXPECT_FALSE(save(text, file));
  const QByteArray old = read(file);
  const QStringList left = QDir(small).entryList(QDir::Files);
  ::umount2(QFile::encodeName(small).constData(), MNT_DETACH);
  EXPECT_EQ(old, "old text\r\n");
  EXPECT_EQ(left, (QStringList{u"filler"_s, u"old.txt"_s})); // no temporary file left
  EXPECT_EQ(boxes.texts().value(1), u"ディスクの空き容量が足りません File Name="_s + file);
}

// The folder takes no temporary file but the file itself is writable: it is written in place.
// The name may leave no room for the temporary file's suffix; the folder may refuse new entries
// (immutable, which binds root too; a folder without write permission binds everyone else).
TEST_F(SourceFileFlow, AFolderThatTakesNoTemporaryFileStillSavesAWritableFile) {
  const QString longName = path(QString(250, u'a') + u".txt"_s);
  const QString sealed = path(u"sealed"_s);
  const QString closed = path(u"closed"_s);
  ASSERT_TRUE(QDir().mkpath(sealed) && QDir().mkpath(closed));
  const QStringList targets{longName, sealed + u"/old.txt"_s, closed + u"/old.txt"_s};
  for (const QString& file : targets)
    write(file, "old text that is longer than the new\r\n");
  const int sealedFolder = ::open(QFile::encodeName(sealed).constData(), O_RDONLY | O_DIRECTORY);
  int flags = 0;
  const bool immutable =
      sealedFolder >= 0 && ::ioctl(sealedFolder, FS_IOC_GETFLAGS, &flags) == 0 && [&] {
        int sealedFlags = flags | FS_IMMUTABLE_FL;
        return ::ioctl(sealedFolder, FS_IOC_SETFLAGS, &sealedFlags) == 0;
      }();
  ::chmod(QFile::encodeName(closed).constData(), 0555);
  for (const QString& file : targets) {
    boxes.answerConfirm(true);
    EXPECT_TRUE(save(u"     SVC     0"_s, file)) << file.toStdString();
    EXPECT_EQ(read(file), "     SVC     0\r\n") << file.toStdString();
  }
  if (immutable)
    ::ioctl(sealedFolder, FS_IOC_SETFLAGS, &flags);
  if (sealedFolder >= 0)
    ::close(sealedFolder);
  ::chmod(QFile::encodeName(closed).constData(), 0755);
  EXPECT_EQ(boxes.texts(), QStringList(3, u"同一ファイル名があります。上書き保存しますか。"_s));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no temporary file left
  EXPECT_EQ(QDir(sealed).entryList(QDir::Files).size(), 1);
  if (!immutable)
    std::cout << "[ note     ] could not make a folder immutable here: that case went untried\n";
  if (geteuid() == 0)
    std::cout << "[ note     ] as root a folder without write permission still takes a file\n";
}

// "全てのファイル(*.*)" reads as it always has and lists every file, also one without a dot.
TEST(FileDialogFilters, KeepTheirCaptionsAndAllFilesMatchesEveryName) {
  QTemporaryDir dir;
  for (const char* name : {"README", "prog.txt", "prog.asm"}) {
    QFile file(dir.filePath(QString::fromLatin1(name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  for (const auto mode : {QFileDialog::AcceptOpen, QFileDialog::AcceptSave}) {
    const auto dialog = PlatformFileDialogs::makeDialog(nullptr, mode, sourceFileFilters());
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setDirectory(dir.path());
    const auto* types = dialog->findChild<QComboBox*>(u"fileTypeCombo"_s);
    ASSERT_TRUE(types);
    QStringList captions;
    for (int i = 0; i < types->count(); ++i)
      captions << types->itemText(i);
    EXPECT_EQ(captions, sourceFileFilters());
    auto* model = dialog->findChild<QFileSystemModel*>();
    ASSERT_TRUE(model);
    // The listing fills in the background: wait for the expected names, then compare.
    const auto listed = [&](int filter, const QStringList& expected) {
      dialog->selectNameFilter(dialog->nameFilters().at(filter));
      EXPECT_EQ(types->currentText(), sourceFileFilters().at(filter));
      const QModelIndex folder = model->index(dir.path());
      QStringList names;
      (void)QTest::qWaitFor(
          [&] {
            names.clear();
            for (int row = 0; row < model->rowCount(folder); ++row)
              names << model->index(row, 0, folder).data().toString();
            names.sort();
            return names == expected;
          },
          2000);
      return names;
    };
    const QStringList every{u"README"_s, u"prog.asm"_s, u"prog.txt"_s};
    EXPECT_EQ(listed(1, every), every);
    EXPECT_EQ(listed(0, {u"prog.txt"_s}), QStringList{u"prog.txt"_s});
    EXPECT_EQ(listed(1, every), every);
  }
}

} // namespace
} // namespace rpn::machine
