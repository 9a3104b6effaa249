#include "machine/samples.h"
#include "machine/source_file.h"
#include "machine_fixture.h"
#include "support/recording_dialogs.h"
#include "support/scripted_file_dialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
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

// "あ" is 82 A0 in Shift_JIS and E3 81 82 in UTF-8.
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
  };
  for (const auto& c : cases) {
    const EncodedSource encoded = encodeSource(c.text);
    EXPECT_EQ(encoded.bytes, c.bytes) << c.text.toStdString();
    EXPECT_EQ(encoded.unencodable, c.refused) << c.text.toStdString();
  }
}

// The question names the line and the characters where the readings part; Yes (the default)
// takes Shift_JIS, No takes UTF-8. (A file that reads one way only asks nothing: the saves and
// opens of SourceFileFlow count every box.)
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
}

// The common causes in Japanese, the platform's text otherwise; a missing file is a missing folder
// when saving. Missing files, folders and a full disk: the flows below.
TEST(SourceFileErrors, NameTheCommonCausesInJapaneseAndKeepThePlatformTextOtherwise) {
  const QString platform = u"platform text"_s;
  EXPECT_EQ(fileErrorCause(ENOTDIR, platform, false), u"ファイルが見つかりません"_s);
  EXPECT_EQ(fileErrorCause(ENOTDIR, platform, true), u"保存先のフォルダが見つかりません"_s);
  EXPECT_EQ(fileErrorCause(EPERM, platform, true), u"アクセスが拒否されました"_s);
  EXPECT_EQ(fileErrorCause(EROFS, platform, true), u"読み取り専用のファイルシステムです"_s);
  EXPECT_EQ(fileErrorCause(EDQUOT, platform, true), u"ディスクの空き容量が足りません"_s);
  EXPECT_EQ(fileErrorCause(EMFILE, platform, false), platform);
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
  // The overwrite question before each save but the first; the reading question for the two
  // texts that read both ways.
  const QString question = u"同一ファイル名があります。上書き保存しますか。"_s;
  ASSERT_EQ(boxes.boxes().size(), 7u);
  EXPECT_EQ(boxes.texts().count(question), 5);
  const auto& first = boxes.boxes().front();
  EXPECT_EQ(std::tie(first.kind, first.text, first.title),
            std::tuple(Kind::Confirm, question, u"ソースプログラムの保存"_s));
  EXPECT_EQ(boxes.boxes()[4].kind, Kind::Ask);
  EXPECT_EQ(boxes.boxes()[6].kind, Kind::Ask);
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

// A named pipe is refused before it is opened, by both menu items: opened without a writer it
// would hang the program. Should a call block all the same, a writer comes after a while to
// release it, and counts as a failure.
TEST_F(SourceFileFlow, ANamedPipeIsRefusedAtOnce) {
  const QString fifo = path(u"pipe"_s);
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  std::optional<QString> opened;
  bool saved = true;
  boxes.answerConfirm(true);
  auto done = std::async(std::launch::async, [&] {
    opened = open(fifo);
    saved = save(u"X"_s, fifo);
  });
  int releases = 0;
  while (done.wait_for(std::chrono::seconds(2)) == std::future_status::timeout) {
    ++releases;
    const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0)
      ::close(writer);
  }
  EXPECT_EQ(releases, 0);
  EXPECT_FALSE(opened);
  EXPECT_FALSE(saved);
  const QString refused =
      u"通常のファイルではありません (名前付きパイプやデバイスは開けません) File Name="_s;
  EXPECT_EQ(boxes.texts(), (QStringList{refused + fifo, refused + fifo}));
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

// A name that leaves no room for the temporary file's suffix: the file, writable, is written in
// place, and no temporary file is left.
TEST_F(SourceFileFlow, ANameTooLongForATemporaryFileStillSaves) {
  const QString file = path(QString(250, u'a') + u".txt"_s);
  write(file, "old text that is longer than the new\r\n");
  boxes.answerConfirm(true);
  EXPECT_TRUE(save(u"     SVC     0"_s, file));
  EXPECT_EQ(read(file), "     SVC     0\r\n");
  EXPECT_EQ(boxes.texts(), QStringList{u"同一ファイル名があります。上書き保存しますか。"_s});
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QFileInfo(file).fileName()});
}

} // namespace
} // namespace rpn::machine
