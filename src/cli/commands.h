// The subcommands of rpnw. Each drives one engine exactly as its screen does (Form_Load, the
// user's edits, the buttons) for every input, prints the results in the chosen format and returns
// the worst exit status among its inputs. Every input is processed, whatever happened to another.
#pragma once

#include "console.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <utility>
#include <vector>

namespace rpn::cli {

inline constexpr std::int64_t kDefaultMaxSteps = 1'000'000;

struct ConvertOptions {
  Format format = Format::Text;
  bool trace = false;
};
// Each infix expression's reverse Polish form, one per line.
Status convert(const QStringList& expressions, const ConvertOptions& options, Console& console);

struct ExecuteOptions {
  Format format = Format::Text;
  bool trace = false;
  std::vector<std::pair<QString, QString>> values; // --set NAME=VALUE, in order
};
// Each reverse Polish expression run on the value stack: what the stack holds at the end and
// the variables that changed.
Status execute(const QStringList& expressions, const ExecuteOptions& options, Console& console);

struct TranslateOptions {
  Format format = Format::Text;
  bool optimise = false;
  bool source = false; // the hand-off's assembler source instead of the object listing
};
Status translate(const QStringList& expressions, const TranslateOptions& options, Console& console);

struct AssembleOptions {
  Format format = Format::Text;
};
// Each file's listing.
Status assemble(const QStringList& files, const AssembleOptions& options, Console& console);

struct RunOptions {
  Format format = Format::Text;
  bool trace = false;
  bool state = false;
  QStringList inputs; // answers of IN, taken in order, from the first again for every file
  std::int64_t maxSteps = kDefaultMaxSteps;
};
// Each file assembled and run to its end, a machine fault or the step limit.
Status run(const QStringList& files, const RunOptions& options, Console& console);

} // namespace rpn::cli
