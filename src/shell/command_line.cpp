#include "command_line.h"

#include <QCommandLineParser>
#include <cstdio>
#include <cstdlib>

namespace rpn {

CommandLine parseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "逆ポーランド記法: 逆ポーランド記法への変換と実行、オブジェクトコードへの翻訳、"
      "擬似アセンブラを一手ずつ見る学習用ワークベンチです。"));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("この説明を表示します"));
  const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                   QStringLiteral("バージョンを表示します"));
  parser.addOption(help);
  parser.addOption(version);
  parser.addPositionalArgument(
      QStringLiteral("FILE"),
      QStringLiteral("擬似アセンブラの画面に読み込むソースファイル (Shift_JIS または UTF-8)"),
      QStringLiteral("[FILE]"));
  QCommandLineOption screenshots(QStringLiteral("screenshot"),
                                 QStringLiteral("全画面の画像を DIR に保存して終了します"),
                                 QStringLiteral("DIR"));
  screenshots.setFlags(QCommandLineOption::HiddenFromHelp);
  parser.addOption(screenshots);
  parser.process(arguments);
  if (parser.isSet(help))
    parser.showHelp(EXIT_SUCCESS);
  if (parser.isSet(version))
    parser.showVersion();

  const QStringList files = parser.positionalArguments();
  if (files.size() > 1) {
    std::fprintf(stderr, "rpn-workbench: %s\n",
                 QStringLiteral("開けるファイルは1つだけです (%1個指定されました)")
                     .arg(files.size())
                     .toLocal8Bit()
                     .constData());
    std::exit(EXIT_FAILURE);
  }
  return {files.value(0), parser.value(screenshots)};
}

} // namespace rpn
