// A Dialogs that records every box in order and answers from a script, so a test can assert the
// exact sequence of boxes of a run without a display.
#pragma once

#include "common/dialogs.h"
#include "support/qt_printers.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <utility>

namespace rpn::test {

class RecordingDialogs final : public Dialogs {
public:
  struct Box {
    enum class Kind { Inform, Confirm, Ask, AskText } kind;
    QString text;
    QString title;                 // confirm and ask only
    bool withCancel = false;       // ask only
    Answer byDefault = Answer::No; // ask only
  };

  void inform(const QString& text) override { record({Box::Kind::Inform, text, {}}); }
  bool confirm(const QString& text, const QString& title) override {
    record({Box::Kind::Confirm, text, title});
    return takeAnswer(m_confirmAnswers, false);
  }
  // Unscripted questions take the box's default, as Enter would.
  Answer ask(const QString& text, const QString& title, bool withCancel,
             Answer byDefault) override {
    record({Box::Kind::Ask, text, title, withCancel, byDefault});
    return takeAnswer(m_askAnswers, byDefault);
  }
  QString askText(const QString& prompt) override {
    record({Box::Kind::AskText, prompt, {}});
    return takeAnswer(m_textAnswers, QString());
  }

  void answerConfirm(bool yes) { m_confirmAnswers.push_back(yes); }
  void answerText(const QString& text) { m_textAnswers.push_back(text); }
  void answerAsk(Answer answer) { m_askAnswers.push_back(answer); }

  // The texts of every box so far, in order.
  QStringList texts() const {
    QStringList list;
    for (const Box& box : m_boxes)
      list << box.text;
    return list;
  }
  const std::deque<Box>& boxes() const { return m_boxes; }
  void clear() { m_boxes.clear(); }

  // Called at every box while it is "open" (after it is recorded): lets a test look at, or take a
  // snapshot of, the state the box describes.
  std::function<void()> onBox;

private:
  void record(Box box) {
    m_boxes.push_back(std::move(box));
    if (onBox)
      onBox();
  }
  template <class T> static T takeAnswer(std::deque<T>& answers, T fallback) {
    if (answers.empty())
      return fallback;
    T answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<Box> m_boxes;
  std::deque<bool> m_confirmAnswers;
  std::deque<QString> m_textAnswers;
  std::deque<Answer> m_askAnswers;
};

} // namespace rpn::test
