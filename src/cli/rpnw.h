// rpnw: the workbench's engines on the command line, with no display. The subcommands convert,
// execute, translate, assemble and run drive the engines as their screens do; every box goes to
// standard error as one line and nothing waits for an answer.
#pragma once

#include "console.h"

#include <QStringList>

namespace rpn::cli {

// Runs rpnw with the given arguments (the first is the program's name) and returns the exit
// status (see Status).
int rpnw(const QStringList& arguments, Console& console);

} // namespace rpn::cli
