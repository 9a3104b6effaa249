// rpnw called in-process on buffers, for the tests that hold it against the engines and screens.
#pragma once

#include "cli/rpnw.h"

#include <QBuffer>
#include <QString>
#include <QStringList>

namespace rpn::test {

struct RpnwOutcome {
  int status = -1;
  QString out;
  QString err;
};

inline RpnwOutcome callRpnw(const QStringList& arguments, QByteArray input = {}) {
  QBuffer in(&input);
  QBuffer out;
  QBuffer err;
  in.open(QIODevice::ReadOnly);
  out.open(QIODevice::WriteOnly);
  err.open(QIODevice::WriteOnly);
  cli::Console console{in, out, err};
  const int status = cli::rpnw(QStringList{QStringLiteral("rpnw")} + arguments, console);
  return {status, QString::fromUtf8(out.data()), QString::fromUtf8(err.data())};
}

// The screens hold CR LF; rpnw writes LF.
inline QString lf(QString text) {
  return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace rpn::test
