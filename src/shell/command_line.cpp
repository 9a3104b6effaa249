#include "command_line.h"

#include <QCommandLineParser>
#include <cstdio>
#include <cstdlib>

namespace rpn {

CommandLine parseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "逆ポーランド記法 - a teaching workbench for reverse Polish notation, its translation into "
      "object code and a pseudo machine with its assembler."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("An assembler source file to open in the assembler "
                                              "screen (Shift_JIS or UTF-8 text)."),
                               QStringLiteral("[FILE]"));
  QCommandLineOption screenshots(
      QStringLiteral("screenshot"),
      QStringLiteral("Save a picture of every screen into DIR, then end."), QStringLiteral("DIR"));
  screenshots.setFlags(QCommandLineOption::HiddenFromHelp);
  parser.addOption(screenshots);
  parser.process(arguments);

  const QStringList files = parser.positionalArguments();
  if (files.size() > 1) {
    std::fprintf(stderr, "%s: only one FILE can be opened, %lld were given\n",
                 qPrintable(arguments.value(0, QStringLiteral("rpn-workbench"))),
                 static_cast<long long>(files.size()));
    std::exit(EXIT_FAILURE);
  }
  return {files.value(0), parser.value(screenshots)};
}

} // namespace rpn
