// A screen shown offscreen with recorded boxes, and the ways a user reaches its controls.
#pragma once

#include "support/recording_dialogs.h"
#include "support/widget_lookup.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace rpn::test {

template <class Screen> class ScreenFixture : public ::testing::Test {
public: // the differential tests drive several screens side by side
  ScreenFixture() { form.showScreen(); }

  template <class W = QWidget> W* get(const QString& name) { return control<W>(&form, name); }
  // The text a label, line edit or button shows.
  QString text(const QString& name) { return get(name)->property("text").toString(); }
  void click(const QString& name) { QTest::mouseClick(get<QPushButton>(name), Qt::LeftButton); }
  void type(const QString& name, const QString& typed) {
    auto* edit = get<QLineEdit>(name);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, typed);
  }
  void traceOff() { get<QCheckBox>(QStringLiteral("Check1"))->setChecked(false); }
  // The numbers of the arrows lblArrow1.. shown, e.g. "458".
  QString arrows(int count) {
    QString shown;
    for (int i = 1; i <= count; ++i)
      if (!text(QStringLiteral("lblArrow%1").arg(i)).isEmpty())
        shown += QString::number(i);
    return shown;
  }

  RecordingDialogs boxes;
  Screen form{&boxes};
};

} // namespace rpn::test
