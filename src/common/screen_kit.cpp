#include "screen_kit.h"

#include "file_errors.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QInputDialog>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPalette>
#include <QScopeGuard>
#include <QScreen>
#include <QShortcut>
#include <cmath>

namespace rpn {

QRect twipsRect(int left, int top, int width, int height) {
  return {twips(left), twips(top), twips(width), twips(height)};
}

bool isZoomStep(int percent) {
  return percent >= kZoomMinimum && percent <= kZoomMaximum &&
         (percent - kZoomMinimum) % kZoomStep == 0;
}

int steppedZoom(int percent, int direction) {
  const int clamped = std::clamp(percent, kZoomMinimum, kZoomMaximum);
  const int below = kZoomMinimum + (clamped - kZoomMinimum) / kZoomStep * kZoomStep;
  int next = clamped;
  if (direction > 0)
    next = below + kZoomStep;
  else if (direction < 0)
    next = below == clamped ? below - kZoomStep : below;
  return std::clamp(next, kZoomMinimum, kZoomMaximum);
}

int nearestZoomStep(int percent) {
  const int clamped = std::clamp(percent, kZoomMinimum, kZoomMaximum);
  return kZoomMinimum + (clamped - kZoomMinimum + kZoomStep / 2) / kZoomStep * kZoomStep;
}

namespace {

// Where applyZoom finds the 100 % values of a control.
constexpr char kBaseGeometry[] = "rpnBaseGeometry";
constexpr char kBaseSize[] = "rpnBaseSize";
constexpr char kBaseFont[] = "rpnBaseFont";

int scaled(int pixels, double zoom) {
  return static_cast<int>(std::lround(pixels * zoom));
}

} // namespace

QRect zoomedRect(const QRect& base, double zoom) {
  const int left = scaled(base.left(), zoom);
  const int top = scaled(base.top(), zoom);
  return {left, top, scaled(base.left() + base.width(), zoom) - left,
          scaled(base.top() + base.height(), zoom) - top};
}

QFont zoomedFont(const QFont& base, double zoom) {
  QFont font = base;
  if (base.pointSizeF() > 0)
    font.setPointSizeF(base.pointSizeF() * zoom);
  else if (base.pixelSize() > 0)
    font.setPixelSize(std::max(1, scaled(base.pixelSize(), zoom)));
  return font;
}

void placeAt(QWidget* widget, const QRect& rect) {
  widget->setProperty(kBaseGeometry, rect);
  widget->setGeometry(rect);
}

void setBaseFixedSize(QWidget* widget, const QSize& size) {
  widget->setProperty(kBaseSize, size);
  widget->setFixedSize(size);
}

void applyZoom(QWidget* window, double zoom) {
  QList<QWidget*> widgets = window->findChildren<QWidget*>();
  widgets.prepend(window);
  // First every font as it stands at 100 %, then the new ones. Every control is given its font
  // itself: under a style sheet a window's font does not reach its controls. A control with no
  // font of its own has its parent's, as a window without a style sheet would give it.
  const std::function<QFont(QWidget*)> baseFont = [&](QWidget* widget) {
    if (const QVariant font = widget->property(kBaseFont); font.isValid())
      return font.value<QFont>();
    const QFont font =
        widget == window || widget->testAttribute(Qt::WA_SetFont) || !widget->parentWidget()
            ? widget->font()
            : baseFont(widget->parentWidget());
    widget->setProperty(kBaseFont, font);
    return font;
  };
  for (QWidget* widget : widgets)
    if (!qobject_cast<QMenu*>(widget))
      baseFont(widget);
  // Polishing under the style sheet gives the controls fonts of its own: it comes first.
  window->ensurePolished();
  const QFont windowFont = zoomedFont(window->property(kBaseFont).value<QFont>(), zoom);
  for (QWidget* widget : widgets) {
    // Menus are windows of their own: they take the window's font.
    if (qobject_cast<QMenu*>(widget)) {
      widget->setFont(windowFont);
      continue;
    }
    widget->setFont(zoomedFont(widget->property(kBaseFont).value<QFont>(), zoom));
    if (const QVariant rect = widget->property(kBaseGeometry); rect.isValid())
      widget->setGeometry(zoomedRect(rect.toRect(), zoom));
    if (const QVariant size = widget->property(kBaseSize); size.isValid())
      widget->setFixedSize(zoomedRect(QRect(QPoint(), size.toSize()), zoom).size());
  }
  // A window sized by its layout takes its new size now, not at the next turn of the event loop.
  if (QLayout* layout = window->layout())
    layout->activate();
}

void keepOnScreen(QWidget* window) {
  if (!window->isVisible() || !window->screen())
    return;
  const QRect free = window->screen()->availableGeometry();
  const QSize frame = window->frameGeometry().size();
  QPoint place = window->pos();
  place.setX(std::max(free.left(), std::min(place.x(), free.right() + 1 - frame.width())));
  place.setY(std::max(free.top(), std::min(place.y(), free.bottom() + 1 - frame.height())));
  if (place != window->pos())
    window->move(place);
}

void moveToRemembered(QWidget* window, const std::optional<QPoint>& position) {
  if (!position)
    return;
  // The title bar must be reachable: a point a little inside the window's corner on some screen.
  if (!QGuiApplication::screenAt(*position + QPoint(16, 16)))
    return;
  window->move(*position);
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
  placeAt(label, rect);
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
  placeAt(button, rect);
  button->setAccessibleName(caption);
  button->setAutoDefault(true);
  return button;
}

MoveButtons makeMoveButtons(QWidget* window, QWidget* parent, const MoveButtonPlaces& places,
                            const MoveActions& actions) {
  // Each button answers to its own keys, and back and forward also to those of undo and redo.
  const auto make = [window, parent](const QString& name, const QString& caption, TwipsRect at,
                                     const QKeySequence& own, const QKeySequence& other,
                                     const std::function<void()>& action) {
    QPushButton* button =
        makeButton(parent, name, caption, twipsRect(at.left, at.top, at.width, at.height));
    button->setShortcut(own);
    QString keys = own.toString(QKeySequence::NativeText);
    if (!other.isEmpty()) {
      keys += QStringLiteral(" / ") + other.toString(QKeySequence::NativeText);
      auto* shortcut = new QShortcut(other, window);
      shortcut->setContext(Qt::WindowShortcut);
      QObject::connect(shortcut, &QShortcut::activated, window, action);
    }
    button->setToolTip(QStringLiteral("ショートカットキー: ") + keys);
    QObject::connect(button, &QPushButton::clicked, window, action);
    return button;
  };
  return {make(QStringLiteral("cmdBack"), QStringLiteral("1つ戻る"), places.back,
               QKeySequence(Qt::ALT | Qt::Key_Left), QKeySequence(Qt::CTRL | Qt::Key_Z),
               actions.back),
          make(QStringLiteral("cmdForward"), QStringLiteral("1つ進む"), places.forward,
               QKeySequence(Qt::ALT | Qt::Key_Right), QKeySequence(Qt::CTRL | Qt::Key_Y),
               actions.forward),
          make(QStringLiteral("cmdSaveTrace"), QStringLiteral("トレース保存"), places.save,
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), {}, actions.save)};
}

bool saveTraceTable(Dialogs& boxes, const CsvTable& table, const QString& path) {
  const std::optional<FileWriteFailure> failure = writeCsvFile(path, table);
  if (!failure)
    return true;
  boxes.inform(QStringLiteral("トレースを保存できませんでした: ") +
               fileErrorCause(failure->systemError, failure->platformText, true) +
               QStringLiteral(" File Name=") + path);
  return false;
}

QString chooseTracePath(QWidget* window, const QString& folder) {
  return QFileDialog::getSaveFileName(window, QStringLiteral("トレースの保存"), folder,
                                      QStringLiteral("CSV ファイル (*.csv)"));
}

QLineEdit* makeLineEdit(QWidget* parent, const QString& name, QRect rect,
                        const QString& accessible) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  placeAt(edit, rect);
  edit->setAccessibleName(accessible);
  edit->setTextMargins(1, 0, 1, 0);
  return edit;
}

QGroupBox* makeFrame(QWidget* parent, const QString& name, const QString& caption, QRect rect) {
  auto* frame = new QGroupBox(caption, parent);
  frame->setObjectName(name);
  placeAt(frame, rect);
  frame->setAccessibleName(caption);
  frame->setFlat(false);
  return frame;
}

QCheckBox* makeCheckBox(QWidget* parent, const QString& name, const QString& caption, QRect rect) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  placeAt(box, rect);
  box->setAccessibleName(caption);
  return box;
}

namespace {

// The text of a table cell, "%1" standing for the member's index.
QString filled(std::u16string_view text, int index) {
  const QString result = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
  return result.contains(QStringLiteral("%1")) ? result.arg(index) : result;
}

QWidget* makeControl(QWidget* parent, ControlKind kind, const QString& name, const QString& caption,
                     QRect rect, const QString& accessible) {
  switch (kind) {
  case ControlKind::Label:
  case ControlKind::CentredLabel:
  case ControlKind::WrappedLabel:
  case ControlKind::Cell:
  case ControlKind::Arrow: {
    QLabel* label = makeLabel(parent, name, caption, rect, accessible);
    label->setWordWrap(kind == ControlKind::WrappedLabel);
    if (kind == ControlKind::Cell)
      label->setFrameShape(QFrame::Box);
    if (kind == ControlKind::Arrow)
      label->setFont(arrowFont());
    if (kind == ControlKind::CentredLabel || kind == ControlKind::Cell ||
        kind == ControlKind::Arrow)
      label->setAlignment(Qt::AlignCenter);
    return label;
  }
  case ControlKind::BoxedLabel:
    return makeBoxedLabel(parent, name, rect, accessible, Qt::AlignLeft | Qt::AlignVCenter);
  case ControlKind::Button:
    return makeButton(parent, name, caption, rect);
  case ControlKind::LineEdit:
  case ControlKind::ReadOnlyEdit: {
    QLineEdit* edit = makeLineEdit(parent, name, rect, accessible);
    edit->setReadOnly(kind == ControlKind::ReadOnlyEdit);
    return edit;
  }
  case ControlKind::Notes: {
    auto* box = new QPlainTextEdit(parent);
    box->setObjectName(name);
    placeAt(box, rect);
    box->setAccessibleName(accessible);
    box->setReadOnly(true);
    setBackground(box, Mark::ButtonFace);
    return box;
  }
  case ControlKind::Frame:
    return makeFrame(parent, name, caption, rect);
  case ControlKind::CheckBox:
    return makeCheckBox(parent, name, caption, rect);
  }
  return nullptr;
}

} // namespace

Controls buildControls(QWidget* window, std::span<const ControlSpec> table) {
  Controls controls;
  for (const ControlSpec& entry : table) {
    QWidget* parent = entry.parent.empty() ? window : controls.get(entry.parent);
    const QString name = filled(entry.name, 0);
    for (int i = 0; i < entry.count; ++i) {
      const QString caption = filled(entry.caption, i);
      const QString accessible = filled(entry.accessible, i);
      const QRect rect = twipsRect(entry.rect.left, entry.rect.top + i * entry.step,
                                   entry.rect.width, entry.rect.height);
      controls.add(makeControl(parent, entry.kind, entry.count > 1 ? indexedName(name, i) : name,
                               caption, rect, accessible.isEmpty() ? caption : accessible));
    }
  }
  return controls;
}

QString toBoxText(const QString& engineText) {
  QString text = engineText;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(u'\r', u'\n');
  return text;
}

QString fromBoxText(const QString& boxText) {
  return QString(boxText).replace(u'\n', QStringLiteral("\r\n"));
}

void setTextIfChanged(QPlainTextEdit* box, const QString& engineText) {
  const QString text = toBoxText(engineText);
  if (box->toPlainText() != text)
    box->setPlainText(text);
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

int TickPace::dueAt(int interval, long long nowNs) {
  if (interval <= 0 || interval >= FramePaint::kFrameMs) {
    m_counting = false;
    return 1;
  }
  if (!m_counting || interval != m_interval) {
    m_counting = true;
    m_since = nowNs;
    m_interval = interval;
    m_done = 1;
    return 1;
  }
  const long long owed = (nowNs - m_since) / (interval * 1'000'000LL) - m_done;
  if (owed > kForgiven) {
    m_since = nowNs;
    m_done = 1;
    return 1;
  }
  const int due = static_cast<int>(std::max(owed, 1LL));
  m_done += due;
  return due;
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
  setLabelText(label, text);
}

namespace {

// A box is as large as the window that opens it: it follows the zoom.
void takeFont(QWidget& box, const QWidget* parent) {
  if (parent)
    box.setFont(parent->font());
}

} // namespace

void MessageBoxDialogs::inform(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok, m_parent);
  takeFont(box, m_parent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool MessageBoxDialogs::confirm(const QString& text, const QString& title) {
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, m_parent);
  takeFont(box, m_parent);
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
  takeFont(box, m_parent);
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
  takeFont(dialog, m_parent);
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
  ++m_opened;
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
  // The screen still shows what it showed when the last of them was first raised.
  std::vector<Held> held;
  held.swap(m_held);
  m_heldAt.clear();
  for (const Held& box : held) {
    const QString text = collapsedBoxText(box.text, box.repeats);
    open([&] { m_inner.inform(text); });
  }
}

void ScreenDialogs::inform(const QString& text) {
  if (m_collapsing) {
    if (const auto at = m_heldAt.constFind(text); at != m_heldAt.cend()) {
      ++m_held[*at].repeats;
      return;
    }
    m_repaint();
    m_heldAt.insert(text, m_held.size());
    m_held.push_back({text, 0});
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

namespace {

// Frames: an etched border with the caption set into its top edge, in sizes that follow the zoom.
QString frameStyle(double zoom) {
  const auto px = [zoom](int pixels) { return QString::number(std::max(1, scaled(pixels, zoom))); };
  // Square corners: a frame needs no anti-aliasing, which keeps a repaint during auto-run cheap.
  return QStringLiteral(
             "QGroupBox { border: %1px solid palette(mid);"
             " margin-top: %3px; }"
             "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
             " left: %4px; padding: 0 %2px; }")
             .arg(px(1), px(2), px(7), px(6)) +
         // The tick boxes grow with their captions; at 100 % they keep the style's own size.
         (zoom > 1.0
              ? QStringLiteral("QCheckBox::indicator { width: %1px; height: %1px; }").arg(px(13))
              : QString());
}

} // namespace

ScreenWindow::ScreenWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setFont(uiFont());
  setStyleSheet(frameStyle(1.0));
}

void ScreenWindow::setZoom(double zoom) {
  m_zoom = zoom;
  setStyleSheet(frameStyle(zoom));
  applyZoom(this, zoom);
  keepOnScreen(this);
}

void ScreenWindow::rememberControls(QLineEdit* interval, QCheckBox* trace) {
  // Only the user's own edits: a repaint from the engine is not something to remember.
  connect(interval, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (m_settings)
      m_settings->setIntervalText(objectName(), text);
  });
  connect(trace, &QCheckBox::clicked, this, [this](bool ticked) {
    if (m_settings)
      m_settings->setTraceMode(objectName(), ticked);
  });
}

void ScreenWindow::setClientSizeTwips(int width, int height) {
  setBaseFixedSize(this, QSize(twips(width), twips(height)));
}

void ScreenWindow::showScreen() {
  if (!m_loaded) {
    load();
    m_loaded = true;
    if (m_settings)
      restoreRemembered(m_settings->intervalText(objectName()),
                        m_settings->traceMode(objectName()));
  }
  if (!m_placed && m_settings)
    moveToRemembered(this, m_settings->windowPosition(objectName()));
  m_placed = true;
  if (isMinimized())
    showNormal();
  else
    show();
  raise();
  activateWindow();
}

void ScreenWindow::closeEvent(QCloseEvent* event) {
  if (m_settings && isVisible())
    m_settings->setWindowPosition(objectName(), pos());
  if (m_loaded) {
    unload();
    m_loaded = false;
  }
  event->accept();
}

} // namespace rpn
