// The program's command line: `rpn-workbench [FILE]` opens the main menu and, with a FILE, the
// assembler screen with that source file loaded. --help and --version print their text and end
// the program.
#pragma once

#include <QString>
#include <QStringList>

namespace rpn {

struct CommandLine {
  QString file;          // a source file for the assembler screen, "" for none
  QString screenshotDir; // hidden option: save a picture of every screen there and end
};

// Parses the arguments (the program name first). --help and --version print to standard output
// and end the program with status 0; an unknown option or more than one file prints the problem
// to standard error and ends it with status 1. The application's name and version must be set.
CommandLine parseCommandLine(const QStringList& arguments);

} // namespace rpn
