// Boxes that open nothing: a benchmark counts them and answers like a user pressing Enter.
#pragma once

#include "common/dialogs.h"

namespace rpn::bench {

class QuietDialogs final : public Dialogs {
public:
  void inform(const QString&) override { ++boxes; }
  bool confirm(const QString&, const QString&) override {
    ++boxes;
    return false;
  }
  Answer ask(const QString&, const QString&, bool, Answer byDefault) override {
    ++boxes;
    return byDefault;
  }
  QString askText(const QString&) override {
    ++boxes;
    return QStringLiteral("1");
  }
  long boxes = 0;
};

} // namespace rpn::bench
