// Every modal box of the system goes through this interface. The screens implement it with
// message boxes carrying the application's title; tests use a recording fake.
#pragma once

#include <QString>

namespace rpn {

// Caption of every message and input box.
inline QString applicationTitle() {
  return QStringLiteral("逆ポーランド記法");
}

class Dialogs {
public:
  virtual ~Dialogs() = default;
  // OK-only box.
  virtual void inform(const QString& text) = 0;
  // Yes/No box with a question icon, No the default. True for Yes.
  virtual bool confirm(const QString& text, const QString& title) = 0;
  // Input box with a prompt; "" on cancel.
  virtual QString askText(const QString& prompt) = 0;
};

} // namespace rpn
