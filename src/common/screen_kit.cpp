#include "screen_kit.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QInputDialog>
#include <QMessageBox>
#include <QPalette>
#include <QScopeGuard>

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
  auto* label = new QLabel(caption, parent);
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
  // A value label changes while auto-run goes: painting its own background spares the frame
  // under it a repaint at every change.
  label->ensurePolished();
  label->setAutoFillBackground(true);
  return label;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, QRect rect) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(rect);
  button->setAccessibleName(caption);
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

FramePaint::FramePaint(std::function<void()> paint) : m_paint(std::move(paint)) {
  m_frame.setSingleShot(true);
  m_frame.setInterval(kFrameMs);
  QObject::connect(&m_frame, &QTimer::timeout, [this] { m_paint(); });
}

void FramePaint::request() {
  if (!m_frame.isActive())
    m_frame.start();
}

bool keepsRhythm(const QTimer& timer, int interval) {
  return interval > 0 && timer.isActive() && timer.interval() == interval;
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
  if (label->text() != text)
    label->setText(text);
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

QString collapsedBoxText(const QString& text, long long more) {
  if (more <= 0)
    return text;
  return text + QStringLiteral(" (ほか%1回)").arg(more);
}

ScreenDialogs::ScreenDialogs(QWidget* screen, Dialogs* injected, std::function<void()> repaint)
    : m_real(screen), m_inner(injected ? *injected : m_real), m_repaint(std::move(repaint)) {}

ScreenDialogs::~ScreenDialogs() = default;

template <class Open> auto ScreenDialogs::open(Open&& box) {
  ++m_open;
  const auto closed = qScopeGuard([this] { --m_open; });
  return box();
}

ScreenDialogs::Press::Press(ScreenDialogs& dialogs, bool collapse)
    : m_dialogs(dialogs), m_wasCollapsing(dialogs.m_collapsing) {
  m_dialogs.m_collapsing = m_wasCollapsing || collapse;
}

ScreenDialogs::Press::~Press() {
  m_dialogs.m_collapsing = m_wasCollapsing;
  if (!m_wasCollapsing)
    m_dialogs.openHeld();
}

void ScreenDialogs::openHeld() {
  if (!m_held)
    return;
  const QString text = collapsedBoxText(*m_held, m_repeats);
  m_held.reset();
  m_repeats = 0;
  // The screen still shows what it showed when the box was first raised.
  open([&] { m_inner.inform(text); });
}

void ScreenDialogs::inform(const QString& text) {
  if (m_collapsing) {
    if (m_held && *m_held == text) {
      ++m_repeats;
      return;
    }
    openHeld();
    m_repaint();
    m_held = text;
    return;
  }
  openHeld();
  m_repaint();
  open([&] { m_inner.inform(text); });
}

bool ScreenDialogs::confirm(const QString& text, const QString& title) {
  openHeld();
  m_repaint();
  return open([&] { return m_inner.confirm(text, title); });
}

Answer ScreenDialogs::ask(const QString& text, const QString& title, bool withCancel,
                          Answer byDefault) {
  openHeld();
  m_repaint();
  return open([&] { return m_inner.ask(text, title, withCancel, byDefault); });
}

QString ScreenDialogs::askText(const QString& prompt) {
  openHeld();
  m_repaint();
  return open([&] { return m_inner.askText(prompt); });
}

ScreenWindow::ScreenWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setFont(uiFont());
  // Frames: a plain square border with the caption set into its top edge (square corners need
  // no anti-aliasing, which keeps a repaint during auto-run cheap).
  setStyleSheet(QStringLiteral(
      "QGroupBox { border: 1px solid palette(mid); margin-top: 7px; }"
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
