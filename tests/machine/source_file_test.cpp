#include "machine/samples.h"
#include "machine/source_file.h"
#include "scripted_file_dialogs.h"
#include "support/recording_dialogs.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace rpn::machine {
namespace {

using rpn::test::RecordingDialogs;
using test::ScriptedFileDialogs;

QByteArray bytesOf(std::initializer_list<int> values) {
  QByteArray bytes;
  for (int v : values)
    bytes.append(static_cast<char>(v));
  return bytes;
}

// "あ" is 82 A0 in Shift_JIS and E3 81 82 in UTF-8; "テスト" is 83 65 83 58 83 67 in Shift_JIS.
const QByteArray kSjisA = bytesOf({0x82, 0xA0});
const QByteArray kUtf8A = bytesOf({0xE3, 0x81, 0x82});
const QByteArray kSjisTest = bytesOf({0x83, 0x65, 0x83, 0x58, 0x83, 0x67});
const QByteArray kBom = bytesOf({0xEF, 0xBB, 0xBF});

struct DecodeCase {
  const char* name;
  QByteArray bytes;
  QString text;
};

class DecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTest, GivesTheLinesJoinedByCrLf) {
  const DecodedSource decoded = decodeSource(GetParam().bytes);
  EXPECT_EQ(decoded.text, GetParam().text);
  EXPECT_FALSE(decoded.damaged);
}

INSTANTIATE_TEST_SUITE_P(
    LineEndsAndCodePages, DecodeTest,
    ::testing::Values(
        DecodeCase{"CrLf", "A\r\nB\r\n", QStringLiteral("A\r\nB")},
        DecodeCase{"LastLineWithoutEnd", "A\r\nB", QStringLiteral("A\r\nB")},
        DecodeCase{"LfOnly", "A\nB\n", QStringLiteral("A\r\nB")},
        DecodeCase{"CrOnly", "A\rB\r", QStringLiteral("A\r\nB")},
        DecodeCase{"EmptyLinesKept", "A\n\nB\r\r\nC", QStringLiteral("A\r\n\r\nB\r\n\r\nC")},
        DecodeCase{"FinalEmptyLineIsOnlyASeparator", "A\r\n\r\n", QStringLiteral("A\r\n")},
        DecodeCase{"EmptyFile", "", QString()}, DecodeCase{"OnlyALineEnd", "\r\n", QString()},
        DecodeCase{"ShiftJis", "X " + kSjisA + "\r\n", QStringLiteral("X あ")},
        DecodeCase{"ShiftJisThatIsNoUtf8", kSjisTest, QStringLiteral("テスト")},
        DecodeCase{"Utf8", "X " + kUtf8A + "\n", QStringLiteral("X あ")},
        DecodeCase{"Utf8WithByteOrderMark", kBom + "LI 10\r\n" + kUtf8A,
                   QStringLiteral("LI 10\r\nあ")},
        DecodeCase{"AsciiSignsKeepTheirMeaning", "\\~&H", QStringLiteral("\\~&H")}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(SourceFileTest, BytesThatAreNeitherCodePageAreReportedAsDamaged) {
  // A lead byte of Shift_JIS at the very end, with no second byte.
  EXPECT_TRUE(decodeSource("LI 10\r\n" + bytesOf({0x82})).damaged);
  // The cut-off byte is dropped; the rest reads as it is.
  EXPECT_EQ(decodeSource("LI 10\r\n" + bytesOf({0x82})).text, QStringLiteral("LI 10"));
  EXPECT_TRUE(decodeSource(bytesOf({0x41, 0x82, 0x0A, 0x42})).damaged); // no second byte
}

TEST(SourceFileTest, EncodingWritesShiftJisFollowedByCrLf) {
  const EncodedSource encoded = encodeSource(QStringLiteral("A    DC      1 あ"));
  EXPECT_FALSE(encoded.unencodable);
  EXPECT_EQ(encoded.bytes, "A    DC      1 " + kSjisA + "\r\n");
  // Characters of the Windows extensions of Shift_JIS are held too.
  EXPECT_FALSE(encodeSource(QStringLiteral("① 髙 ～")).unencodable);
}

TEST(SourceFileTest, EncodingRefusesTheFirstCharacterShiftJisCannotHold) {
  const struct {
    QString text;
    char32_t first;
  } cases[] = {
      {QStringLiteral("LI 10 ; \U0001F600 and é"), U'\U0001F600'},
      {QStringLiteral("é then \U0001F600"), U'é'},
      {QStringLiteral("1 − 2"), U'\u2212'},                   // MINUS SIGN: cp932 has only －
      {QString(QChar(0xD800)) + QStringLiteral("x"), 0xD800}, // a lone surrogate
  };
  for (const auto& c : cases) {
    const EncodedSource encoded = encodeSource(c.text);
    ASSERT_TRUE(encoded.unencodable) << c.text.toStdString();
    EXPECT_EQ(*encoded.unencodable, c.first) << c.text.toStdString();
    EXPECT_TRUE(encoded.bytes.isEmpty());
  }
}

class SourceFileFlowTest : public ::testing::Test {
protected:
  QString path(const QString& name) const { return dir.filePath(name); }
  static void write(const QString& file, const QByteArray& bytes) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  static QByteArray read(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  }
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

TEST_F(SourceFileFlowTest, BothDialogsOfferTheTwoFilters) {
  open(path(QStringLiteral("none.txt")));
  EXPECT_EQ(files.lastFilters(), QStringList({QStringLiteral("テキストファイル(*.txt)"),
                                              QStringLiteral("全てのファイル(*.*)")}));
  save(QStringLiteral("X"), path(QStringLiteral("x.txt")));
  EXPECT_EQ(files.lastFilters(), sourceFileFilters());
  EXPECT_EQ(files.shown(), QStringList({QStringLiteral("open"), QStringLiteral("save")}));
}

TEST_F(SourceFileFlowTest, SavingAndReopeningGivesTheIdenticalText) {
  const QString file = path(QStringLiteral("sample.txt"));
  for (const QString& text : {sampleCompare(), sampleRegisters(),
                              QStringLiteral("     LI      10 ; 十を入れる"), QString()}) {
    QFile::remove(file);
    ASSERT_TRUE(save(text, file));
    EXPECT_EQ(read(file), encodeSource(text).bytes);
    EXPECT_EQ(open(file), text);
  }
  EXPECT_TRUE(boxes.boxes().empty());
  // The sample ends with CR LF and is saved with one more.
  QFile::remove(file);
  save(sampleCompare(), file);
  EXPECT_TRUE(read(file).endsWith("     SVC     0\r\nA    DA      1\r\nI    DA      1\r\n\r\n"));
}

TEST_F(SourceFileFlowTest, SavingOverAnExistingFileAsksFirst) {
  const QString file = path(QStringLiteral("old.txt"));
  write(file, "old text\r\n");

  boxes.answerConfirm(false);
  EXPECT_FALSE(save(QStringLiteral("new text"), file));
  ASSERT_EQ(boxes.boxes().size(), 1U);
  EXPECT_EQ(boxes.boxes()[0].kind, RecordingDialogs::Box::Kind::Confirm);
  EXPECT_EQ(boxes.boxes()[0].text,
            QStringLiteral("同一ファイル名があります。上書き保存しますか。"));
  EXPECT_EQ(boxes.boxes()[0].title, QStringLiteral("ソースプログラムの保存"));
  EXPECT_EQ(read(file), "old text\r\n");

  boxes.answerConfirm(true);
  EXPECT_TRUE(save(QStringLiteral("new text"), file));
  EXPECT_EQ(read(file), "new text\r\n");
  EXPECT_EQ(boxes.boxes().size(), 2U);
}

TEST_F(SourceFileFlowTest, CancellingEitherDialogDoesNothing) {
  files.choose(QString());
  EXPECT_FALSE(OpenSourceFile(files, boxes));
  files.choose(QString());
  EXPECT_FALSE(SaveSourceFile(QStringLiteral("X"), files, boxes));
  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_TRUE(dir.isValid());
  EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(SourceFileFlowTest, AnUnencodableCharacterIsRefusedWithItsBoxAndNothingIsWritten) {
  const QString file = path(QStringLiteral("old.txt"));
  write(file, "old text\r\n");
  EXPECT_FALSE(SaveSourceFile(QStringLiteral("     OUT     0 ; \U0001F600"), files, boxes));
  EXPECT_EQ(boxes.texts(), QStringList(QStringLiteral(
                               "Shift_JISで保存できない文字があります: 「\U0001F600」(U+1F600)"
                               "\r\n保存しませんでした。")));
  EXPECT_TRUE(files.shown().isEmpty()); // no path was asked for
  EXPECT_EQ(read(file), "old text\r\n");
}

TEST_F(SourceFileFlowTest, OpeningReadsEveryLineEndAndBothCodePages) {
  const struct {
    QByteArray bytes;
    QString text;
  } cases[] = {
      {"     LI      10\n     OUT     0\n", QStringLiteral("     LI      10\r\n     OUT     0")},
      {"     LI      10\r\n     OUT     0", QStringLiteral("     LI      10\r\n     OUT     0")},
      {kBom + "A    DC      1 " + kUtf8A + "\r\n", QStringLiteral("A    DC      1 あ")},
      {"A    DC      1 " + kSjisA + "\r\n", QStringLiteral("A    DC      1 あ")},
  };
  const QString file = path(QStringLiteral("in.txt"));
  for (const auto& c : cases) {
    write(file, c.bytes);
    EXPECT_EQ(open(file), c.text);
  }
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(SourceFileFlowTest, AFileThatCannotBeReadShowsTheErrorAndItsName) {
  const QString missing = path(QStringLiteral("missing.txt"));
  EXPECT_FALSE(open(missing));
  ASSERT_EQ(boxes.texts().size(), 1);
  EXPECT_TRUE(boxes.texts()[0].endsWith(QStringLiteral(" File Name=") + missing));
  EXPECT_GT(boxes.texts()[0].size(), (QStringLiteral(" File Name=") + missing).size());

  boxes.clear();
  EXPECT_FALSE(open(dir.path())); // a folder is no file
  ASSERT_EQ(boxes.texts().size(), 1);
  EXPECT_TRUE(boxes.texts()[0].endsWith(QStringLiteral(" File Name=") + dir.path()));
}

TEST_F(SourceFileFlowTest, AFileTooLargeForASourceIsRefused) {
  const QString file = path(QStringLiteral("big.txt"));
  write(file, QByteArray(kSourceFileLimit + 1, 'A'));
  EXPECT_FALSE(open(file));
  ASSERT_EQ(boxes.texts().size(), 1);
  EXPECT_TRUE(boxes.texts()[0].startsWith(QStringLiteral("ファイルが大きすぎます")));
  boxes.clear();
  write(file, QByteArray(kSourceFileLimit, 'A'));
  EXPECT_EQ(open(file).value_or(QString()).size(), kSourceFileLimit);
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(SourceFileFlowTest, DamagedBytesAreShownWithAWarning) {
  const QString file = path(QStringLiteral("damaged.txt"));
  write(file, "     LI      10\r\n" + bytesOf({0x82}));
  const std::optional<QString> text = open(file);
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, QStringLiteral("     LI      10"));
  ASSERT_EQ(boxes.texts().size(), 1);
  EXPECT_TRUE(boxes.texts()[0].endsWith(QStringLiteral(" File Name=") + file));
}

TEST_F(SourceFileFlowTest, AFailedSaveLeavesTheOldFileIntact) {
  // The name leaves no room for the temporary file beside it, so the save cannot complete.
  const QString file = path(QString(250, u'a') + QStringLiteral(".txt"));
  write(file, "old text\r\n");
  boxes.answerConfirm(true);
  EXPECT_FALSE(save(QStringLiteral("new text"), file));
  ASSERT_EQ(boxes.texts().size(), 2);
  EXPECT_TRUE(boxes.texts()[1].endsWith(QStringLiteral(" File Name=") + file));
  EXPECT_EQ(read(file), "old text\r\n");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no leftover temporary file
}

TEST_F(SourceFileFlowTest, SavingIntoAFolderThatDoesNotExistShowsTheError) {
  const QString file = path(QStringLiteral("no/such/folder.txt"));
  EXPECT_FALSE(save(QStringLiteral("X"), file));
  ASSERT_EQ(boxes.texts().size(), 1);
  EXPECT_TRUE(boxes.texts()[0].endsWith(QStringLiteral(" File Name=") + file));
}

} // namespace
} // namespace rpn::machine
