// Every modal box of the system goes through this interface. The screens implement it with
// message boxes carrying the application's title; tests use a recording fake.
#pragma once

#include <QString>

namespace rpn {

// Caption of every message and input box.
inline QString applicationTitle() {
  return QStringLiteral("逆ポーランド記法");
}

// The answer of a question box.
enum class Answer { Yes, No, Cancel };

class Dialogs {
public:
  virtual ~Dialogs() = default;
  // OK-only box.
  virtual void inform(const QString& text) = 0;
  // Yes/No box with a question icon, No the default. True for Yes.
  virtual bool confirm(const QString& text, const QString& title) = 0;
  // Question box with a question icon: Yes/No, or Yes/No/Cancel when withCancel, byDefault
  // preselected (Enter takes it; Escape and closing the box answer Cancel, or No without Cancel).
  virtual Answer ask(const QString& text, const QString& title, bool withCancel,
                     Answer byDefault) = 0;
  // Input box with a prompt; "" on cancel.
  virtual QString askText(const QString& prompt) = 0;
};

} // namespace rpn
