#include "screen_kit.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QInputDialog>
#include <QMessageBox>
#include <QPalette>

namespace rpn {

QRect twipsRect(int left, int top, int width, int height) {
  return {twips(left), twips(top), twips(width), twips(height)};
}

QColor markColor(Mark mark) {
  switch (mark) {
  case Mark::White:
    return {255, 255, 255};
  case Mark::Red:
    return {255, 0, 0};
  case Mark::Yellow:
    return {255, 255, 0};
  case Mark::Blue:
    return {0, 0, 255};
  case Mark::ButtonFace:
    break;
  }
  return QApplication::palette().color(QPalette::Button);
}

QColor markTextColor(Mark mark) {
  const QColor background = markColor(mark);
  const QColor black(0, 0, 0);
  const QColor white(255, 255, 255);
  return contrastRatio(black, background) >= contrastRatio(white, background) ? black : white;
}

QString markWords(Mark mark, MarkSense sense) {
  switch (mark) {
  case Mark::White:
  case Mark::ButtonFace:
    break;
  case Mark::Red:
    switch (sense) {
    case MarkSense::Stack:
    case MarkSense::Machine:
      return QStringLiteral("使用中");
    case MarkSense::Variable:
      return QStringLiteral("読み書き中");
    case MarkSense::NameTable:
      return QStringLiteral("未参照");
    case MarkSense::Memory:
      return QStringLiteral("次の命令");
    case MarkSense::Blink:
      return QStringLiteral("強調");
    }
    break;
  case Mark::Yellow:
    return sense == MarkSense::Machine || sense == MarkSense::Memory ? QStringLiteral("強調")
                                                                     : QStringLiteral("点滅中");
  case Mark::Blue:
    return sense == MarkSense::NameTable ? QStringLiteral("新規登録") : QStringLiteral("強調");
  }
  return {};
}

namespace {

void fill(QWidget* widget, const QColor& colour) {
  // Polish first: a later polish under the window's style sheet would switch the fill off again.
  widget->ensurePolished();
  QPalette palette = widget->palette();
  if (palette.color(QPalette::Base) == colour && palette.color(QPalette::Window) == colour &&
      widget->autoFillBackground())
    return;
  palette.setColor(QPalette::Base, colour);
  palette.setColor(QPalette::Window, colour);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

} // namespace

void setBackground(QWidget* widget, Mark mark) {
  const QColor colour = markColor(mark);
  fill(widget, colour);
  // Multi-line boxes and lists draw their contents on a viewport of their own.
  if (auto* area = qobject_cast<QAbstractScrollArea*>(widget))
    fill(area->viewport(), colour);
}

void paintMark(QWidget* widget, Mark mark, MarkSense sense) {
  setBackground(widget, mark);
  const QColor text = markTextColor(mark);
  QPalette palette = widget->palette();
  if (palette.color(QPalette::WindowText) != text || palette.color(QPalette::Text) != text) {
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    widget->setPalette(palette);
  }
  describe(widget, markWords(mark, sense));
}

namespace {

QString firstInstalled(const QStringList& families) {
  const QStringList installed = QFontDatabase::families();
  for (const QString& family : families)
    if (installed.contains(family))
      return family;
  return {};
}

} // namespace

QFont uiFont() {
  QFont font;
  const QString family =
      firstInstalled({QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                      QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic")});
  if (!family.isEmpty())
    font.setFamily(family);
  font.setPointSize(9);
  return font;
}

QFont fixedPitchFont() {
  QFont font;
  const QString family =
      firstInstalled({QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP"),
                      QStringLiteral("VL Gothic")});
  if (family.isEmpty())
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  else
    font.setFamily(family);
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPointSize(9);
  return font;
}

QFont arrowFont() {
  QFont font = uiFont();
  font.setPointSizeF(20.25);
  font.setBold(true);
  return font;
}

QString indexedName(const QString& name, int index) {
  return name + u'(' + QString::number(index) + u')';
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, QRect rect,
                  const QString& accessible) {
  auto* label = new ScreenLabel(caption, parent);
  label->setObjectName(name);
  label->setGeometry(rect);
  label->setAccessibleName(accessible.isEmpty() ? caption : accessible);
  return label;
}

QLabel* makeBoxedLabel(QWidget* parent, const QString& name, QRect rect, const QString& accessible,
                       Qt::Alignment alignment) {
  QLabel* label = makeLabel(parent, name, QString(), rect, accessible);
  if (alignment & Qt::AlignHCenter) {
    label->setFrameShape(QFrame::Box);
  } else {
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
  }
  label->setAlignment(alignment);
  return label;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, QRect rect) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(rect);
  button->setAccessibleName(caption);
  button->setAutoDefault(true);
  return button;
}

QLineEdit* makeLineEdit(QWidget* parent, const QString& name, QRect rect,
                        const QString& accessible) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setGeometry(rect);
  edit->setAccessibleName(accessible);
  edit->setTextMargins(1, 0, 1, 0);
  return edit;
}

QGroupBox* makeFrame(QWidget* parent, const QString& name, const QString& caption, QRect rect) {
  auto* frame = new QGroupBox(caption, parent);
  frame->setObjectName(name);
  frame->setGeometry(rect);
  frame->setAccessibleName(caption);
  frame->setFlat(false);
  return frame;
}

QCheckBox* makeCheckBox(QWidget* parent, const QString& name, const QString& caption, QRect rect) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  box->setGeometry(rect);
  box->setAccessibleName(caption);
  return box;
}

void followInterval(QTimer& timer, int interval) {
  if (interval <= 0)
    timer.stop();
  else if (!timer.isActive() || timer.interval() != interval)
    timer.start(interval);
}

void setTextIfChanged(QLineEdit* edit, const QString& text) {
  if (edit->text() != text)
    edit->setText(text);
}

void setTextIfChanged(QLabel* label, const QString& text) {
  setLabelText(label, text);
}

void MessageBoxDialogs::inform(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok, m_parent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool MessageBoxDialogs::confirm(const QString& text, const QString& title) {
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, m_parent);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

Answer MessageBoxDialogs::ask(const QString& text, const QString& title, bool withCancel,
                              Answer byDefault) {
  QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
  if (withCancel)
    buttons |= QMessageBox::Cancel;
  QMessageBox box(QMessageBox::Question, title, text, buttons, m_parent);
  box.setTextFormat(Qt::PlainText);
  const auto button = [](Answer answer) {
    switch (answer) {
    case Answer::Yes:
      return QMessageBox::Yes;
    case Answer::No:
      return QMessageBox::No;
    case Answer::Cancel:
      break;
    }
    return QMessageBox::Cancel;
  };
  box.setDefaultButton(button(byDefault));
  box.setEscapeButton(button(withCancel ? Answer::Cancel : Answer::No));
  switch (box.exec()) {
  case QMessageBox::Yes:
    return Answer::Yes;
  case QMessageBox::No:
    return Answer::No;
  default:
    return withCancel ? Answer::Cancel : Answer::No;
  }
}

QString MessageBoxDialogs::askText(const QString& prompt) {
  QInputDialog dialog(m_parent);
  dialog.setWindowTitle(applicationTitle());
  dialog.setLabelText(prompt);
  dialog.setInputMode(QInputDialog::TextInput);
  if (dialog.exec() != QDialog::Accepted)
    return {};
  return dialog.textValue();
}

ScreenDialogs::ScreenDialogs(QWidget* screen, Dialogs* injected, std::function<void()> repaint)
    : m_real(screen), m_inner(injected ? *injected : m_real), m_repaint(std::move(repaint)) {}

void ScreenDialogs::inform(const QString& text) {
  m_repaint();
  m_inner.inform(text);
}

bool ScreenDialogs::confirm(const QString& text, const QString& title) {
  m_repaint();
  return m_inner.confirm(text, title);
}

Answer ScreenDialogs::ask(const QString& text, const QString& title, bool withCancel,
                          Answer byDefault) {
  m_repaint();
  return m_inner.ask(text, title, withCancel, byDefault);
}

QString ScreenDialogs::askText(const QString& prompt) {
  m_repaint();
  return m_inner.askText(prompt);
}

ScreenWindow::ScreenWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setFont(uiFont());
  // Frames: an etched border with the caption set into its top edge.
  setStyleSheet(QStringLiteral(
      "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 7px; }"
      "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
      " left: 6px; padding: 0 2px; }"));
}

void ScreenWindow::setClientSizeTwips(int width, int height) {
  setFixedSize(twips(width), twips(height));
}

void ScreenWindow::showScreen() {
  if (!m_loaded) {
    load();
    m_loaded = true;
  }
  if (isMinimized())
    showNormal();
  else
    show();
  raise();
  activateWindow();
}

void ScreenWindow::closeEvent(QCloseEvent* event) {
  if (m_loaded) {
    unload();
    m_loaded = false;
  }
  event->accept();
}

} // namespace rpn
