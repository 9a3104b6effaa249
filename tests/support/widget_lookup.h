// Finding a screen's controls by objectName in screen tests.
#pragma once

#include <QString>
#include <QWidget>
#include <stdexcept>

namespace rpn::test {

template <class W> W* control(const QWidget* screen, const QString& name) {
  W* widget = screen->findChild<W*>(name);
  if (!widget)
    throw std::runtime_error("no control named " + name.toStdString());
  return widget;
}

} // namespace rpn::test
