// main() of rpnw: Qt Core only, so it runs where there is no display at all.
#include "cli/rpnw.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char* argv[]) {
  const QCoreApplication application(argc, argv);
  QFile in;
  QFile out;
  QFile err;
  if (!in.open(stdin, QIODevice::ReadOnly) || !out.open(stdout, QIODevice::WriteOnly) ||
      !err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered))
    return static_cast<int>(rpn::cli::Status::Usage);
  rpn::cli::Console console{in, out, err};
  const int status = rpn::cli::rpnw(QCoreApplication::arguments(), console);
  out.flush();
  return status;
}
