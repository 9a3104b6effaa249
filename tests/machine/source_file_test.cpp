#include "machine/samples.h"
#include "machine/source_file.h"
#include "scripted_file_dialogs.h"
#include "support/recording_dialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace rpn::machine {
namespace {

using rpn::test::RecordingDialogs;
using test::ScriptedFileDialogs;
using namespace Qt::StringLiterals;

QByteArray bytesOf(std::initializer_list<int> values) {
  QByteArray bytes;
  for (int v : values)
    bytes.append(static_cast<char>(v));
  return bytes;
}

// "あ" is 82 A0 in Shift_JIS and E3 81 82 in UTF-8; "テスト" is 83 65 83 58 83 67 in Shift_JIS.
const QByteArray kSjisA = bytesOf({0x82, 0xA0});
const QByteArray kUtf8A = bytesOf({0xE3, 0x81, 0x82});

struct DecodeCase {
  const char* name;
  QByteArray bytes;
  QString text;
  bool damaged = false;
};

class Decoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decoding, GivesTheLinesJoinedByCrLf) {
  const DecodedSource decoded = decodeSource(GetParam().bytes);
  EXPECT_EQ(decoded.text, GetParam().text);
  EXPECT_EQ(decoded.damaged, GetParam().damaged);
}

INSTANTIATE_TEST_SUITE_P(
    LineEndsAndCodePages, Decoding,
    ::testing::Values(
        DecodeCase{"CrLf", "A\r\nB\r\n", u"A\r\nB"_s},
        DecodeCase{"LastLineWithoutEnd", "A\r\nB", u"A\r\nB"_s},
        DecodeCase{"LfOnly", "A\nB\n", u"A\r\nB"_s}, DecodeCase{"CrOnly", "A\rB\r", u"A\r\nB"_s},
        DecodeCase{"EmptyLinesKept", "A\n\nB\r\r\nC", u"A\r\n\r\nB\r\n\r\nC"_s},
        DecodeCase{"FinalEmptyLineIsOnlyASeparator", "A\r\n\r\n", u"A\r\n"_s},
        DecodeCase{"EmptyFile", "", QString()}, DecodeCase{"OnlyALineEnd", "\r\n", QString()},
        DecodeCase{"ShiftJis", "X " + kSjisA + "\r\n", u"X あ"_s},
        DecodeCase{"ShiftJisThatIsNoUtf8", bytesOf({0x83, 0x65, 0x83, 0x58, 0x83, 0x67}),
                   u"テスト"_s},
        DecodeCase{"Utf8", "X " + kUtf8A + "\n", u"X あ"_s},
        DecodeCase{"Utf8WithByteOrderMark", bytesOf({0xEF, 0xBB, 0xBF}) + "LI 10\r\n" + kUtf8A,
                   u"LI 10\r\nあ"_s},
        DecodeCase{"AsciiSignsKeepTheirMeaning", "\\~&H", u"\\~&H"_s},
        DecodeCase{"CutOffLeadByteIsDropped", "LI 10\r\n" + bytesOf({0x82}), u"LI 10"_s, true}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(SourceEncoding, WritesShiftJisAndCrLfOrRefusesTheFirstCharacterItCannotHold) {
  const struct {
    QString text;
    QByteArray bytes;
    std::optional<char32_t> unencodable;
  } cases[] = {
      {u"A    DC      1 あ"_s, "A    DC      1 " + kSjisA + "\r\n", {}},
      {u"①～"_s, bytesOf({0x87, 0x40, 0x81, 0x60, 0x0D, 0x0A}), {}}, // Windows extensions
      {u"LI 10 ; \U0001F600 and é"_s, {}, U'\U0001F600'},
      {u"é then \U0001F600"_s, {}, U'é'},
      {u"1 − 2"_s, {}, U'\u2212'},                   // MINUS SIGN: windows-31j has only －
      {QString(QChar(0xD800)) + u"x"_s, {}, 0xD800}, // a lone surrogate
  };
  for (const auto& c : cases) {
    const EncodedSource encoded = encodeSource(c.text);
    EXPECT_EQ(encoded.bytes, c.bytes) << c.text.toStdString();
    EXPECT_EQ(encoded.unencodable, c.unencodable) << c.text.toStdString();
  }
}

class SourceFileFlow : public ::testing::Test {
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

TEST_F(SourceFileFlow, BothDialogsOfferTheTwoFiltersAndACancelDoesNothing) {
  const QStringList filters{u"テキストファイル(*.txt)"_s, u"全てのファイル(*.*)"_s};
  EXPECT_FALSE(open(QString()));
  EXPECT_EQ(files.lastFilters(), filters);
  EXPECT_FALSE(save(u"X"_s, QString()));
  EXPECT_EQ(files.lastFilters(), filters);
  EXPECT_EQ(files.shown(), (QStringList{u"open"_s, u"save"_s}));
  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

// Each save after the first replaces the file after the question, answered Yes.
TEST_F(SourceFileFlow, SavingAndReopeningGivesTheIdenticalText) {
  const QString file = path(u"sample.txt"_s);
  // The samples end with CR LF: saved with one more line end, they read back the same.
  const QStringList texts{sampleCompare(), sampleRegisters(), u"     LI      10 ; 十を入れる"_s,
                          QString()};
  for (const QString& text : texts) {
    boxes.answerConfirm(true);
    ASSERT_TRUE(save(text, file));
    EXPECT_EQ(read(file), encodeSource(text).bytes);
    EXPECT_EQ(open(file), text);
  }
  EXPECT_EQ(boxes.texts(), QStringList(3, u"同一ファイル名があります。上書き保存しますか。"_s));
  EXPECT_EQ(boxes.boxes().front().kind, RecordingDialogs::Box::Kind::Confirm);
  EXPECT_EQ(boxes.boxes().front().title, u"ソースプログラムの保存"_s);
}

// The old file stays as it was when the user says No, when the text holds a character
// Shift_JIS cannot hold (refused before a path is asked for), and when the save fails: the
// name leaves no room for the temporary file beside it.
TEST_F(SourceFileFlow, TheOldFileSurvivesNoARefusedTextAndAFailedSave) {
  const QString file = path(QString(250, u'a') + u".txt"_s);
  write(file, "old text\r\n");
  boxes.answerConfirm(false);
  EXPECT_FALSE(save(u"new text"_s, file));
  EXPECT_FALSE(SaveSourceFile(u"     OUT     0 ; \U0001F600"_s, files, boxes));
  EXPECT_EQ(files.shown(), QStringList{u"save"_s});
  boxes.answerConfirm(true);
  EXPECT_FALSE(save(u"new text"_s, file));
  EXPECT_EQ(read(file), "old text\r\n");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no leftover temporary file
  const QString question = u"同一ファイル名があります。上書き保存しますか。"_s;
  ASSERT_EQ(boxes.texts().size(), 4);
  EXPECT_EQ(boxes.texts().mid(0, 3),
            (QStringList{question,
                         u"Shift_JISで保存できない文字があります: 「\U0001F600」(U+1F600)\r\n"
                         u"保存しませんでした。"_s,
                         question}));
  EXPECT_TRUE(boxes.texts()[3].endsWith(u" File Name="_s + file));
}

// Each problem is one box: the error, " File Name=" and the path. A damaged file still opens.
TEST_F(SourceFileFlow, ProblemsWithAFileShowTheErrorAndItsName) {
  const QString missing = path(u"missing.txt"_s);
  const QString big = path(u"big.txt"_s);
  const QString damaged = path(u"damaged.txt"_s);
  const QString noFolder = path(u"no/such/folder.txt"_s);
  write(big, QByteArray(kSourceFileLimit + 1, 'A'));
  write(damaged, "     LI      10\r\n" + bytesOf({0x82}));
  EXPECT_FALSE(open(missing));
  EXPECT_FALSE(open(dir.path())); // a folder is no file
  EXPECT_FALSE(open(big));
  EXPECT_EQ(open(damaged), u"     LI      10"_s);
  EXPECT_FALSE(save(u"X"_s, noFolder));
  const QStringList names{missing, dir.path(), big, damaged, noFolder};
  ASSERT_EQ(boxes.texts().size(), names.size());
  for (qsizetype i = 0; i < names.size(); ++i) {
    EXPECT_TRUE(boxes.texts()[i].endsWith(u" File Name="_s + names[i])) << i;
    EXPECT_FALSE(boxes.texts()[i].startsWith(u" File Name="_s)) << i; // an error is named
  }
  EXPECT_TRUE(boxes.texts()[2].startsWith(u"ファイルが大きすぎます"_s));
  write(big, QByteArray(kSourceFileLimit, 'A')); // exactly the limit still opens
  EXPECT_EQ(open(big).value_or(QString()).size(), kSourceFileLimit);
}

} // namespace
} // namespace rpn::machine
