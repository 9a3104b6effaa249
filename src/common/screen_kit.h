// Building blocks shared by the screens: twips -> pixels, mark -> colour, fonts, the message
// boxes, controls placed at their twips rectangles, and the window that unloads when closed.
#pragma once

#include "accessibility.h"
#include "dialogs.h"
#include "marks.h"

#include <QCheckBox>
#include <QColor>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace rpn {

// 15 twips are one pixel at 96 dpi; Qt's high-DPI scaling takes care of other screens.
constexpr int twips(int t) {
  return (t + 7) / 15;
}
QRect twipsRect(int left, int top, int width, int height);

QColor markColor(Mark mark);
// Black or white, whichever reads better on the mark's colour (white on blue, black on the rest).
QColor markTextColor(Mark mark);
// Where a mark is painted: what its colour means there.
enum class MarkSense : std::uint8_t {
  Stack,     // stack cells: red occupied, yellow blinking
  Variable,  // variable boxes: red while read or written
  NameTable, // the translation's variable table: blue just entered, red unreferenced
  Blink,     // boxes and frames that blink at the end of an auto-run
  Machine,   // registers, instruction register, operand address: red in use, yellow highlighted
  Memory,    // memory cells: red the next instruction, yellow highlighted
};
// The mark in words, for assistive tools ("使用中", "点滅中"); empty at rest.
QString markWords(Mark mark, MarkSense sense);
// Paints the background of a label, line edit or text box.
void setBackground(QWidget* widget, Mark mark);
// Paints a marked control: its background, a text colour that reads on it, and the mark in words
// as its accessible description.
void paintMark(QWidget* widget, Mark mark, MarkSense sense);

// Japanese fonts: the IPA Gothic family when installed, else any CJK font fontconfig finds.
QFont uiFont();
QFont fixedPitchFont();
// The bold face of the arrow labels (about 20 pt).
QFont arrowFont();

// objectName of a member of a control array: "lblValue(3)".
QString indexedName(const QString& name, int index);

// Controls placed at their twips rectangle inside parent, named and given an accessible name.
QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, QRect rect,
                  const QString& accessible = {});
// A label that shows a value: framed (Box) when centred, sunken (Panel) when left-aligned.
QLabel* makeBoxedLabel(QWidget* parent, const QString& name, QRect rect, const QString& accessible,
                       Qt::Alignment alignment);
// Enter on the focused button presses it, as Space does.
QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, QRect rect);
QLineEdit* makeLineEdit(QWidget* parent, const QString& name, QRect rect,
                        const QString& accessible);
QGroupBox* makeFrame(QWidget* parent, const QString& name, const QString& caption, QRect rect);
QCheckBox* makeCheckBox(QWidget* parent, const QString& name, const QString& caption, QRect rect);

// The screen's timer follows the step driver's interval: 0 stops it, anything else (re)starts it
// only when it changed, so a running tick rhythm is not disturbed by a repaint.
void followInterval(QTimer& timer, int interval);

// Sets a text only when it differs, so the cursor and selection of a box the user is typing in
// are not disturbed by a repaint that changes nothing; a label's new text is announced.
void setTextIfChanged(QLineEdit* edit, const QString& text);
void setTextIfChanged(QLabel* label, const QString& text);

// Every change of box's text goes into the engine through store(text), whatever made it: keys,
// paste, drag and drop, assistive tools. A change that only shows what held() already returns is
// the screen's own repaint and goes nowhere.
template <class Held, class Store>
void takeEdits(QLineEdit* box, QObject* context, Held held, Store store) {
  QObject::connect(box, &QLineEdit::textChanged, context, [held, store](const QString& text) {
    if (text != held())
      store(text);
  });
}

// A press of button runs one move of the screen's engine, then repaints the screen.
template <class Screen, class Engine, class Move>
void connectButton(QPushButton* button, Screen* screen, Engine& engine, Move move) {
  QObject::connect(button, &QPushButton::clicked, screen, [screen, &engine, move] {
    (engine.*move)();
    screen->refresh();
  });
}

// The real boxes, titled with the application's title.
class MessageBoxDialogs final : public Dialogs {
public:
  explicit MessageBoxDialogs(QWidget* parent) : m_parent(parent) {}
  void inform(const QString& text) override;
  bool confirm(const QString& text, const QString& title) override;
  Answer ask(const QString& text, const QString& title, bool withCancel, Answer byDefault) override;
  QString askText(const QString& prompt) override;

private:
  QWidget* m_parent;
};

// The boxes of a screen: the screen is repainted from its engine before a box opens, so the
// user sees the state of the move the box describes. Boxes go to real message boxes unless a
// test hands its own Dialogs.
class ScreenDialogs final : public Dialogs {
public:
  ScreenDialogs(QWidget* screen, Dialogs* injected, std::function<void()> repaint);
  void inform(const QString& text) override;
  bool confirm(const QString& text, const QString& title) override;
  Answer ask(const QString& text, const QString& title, bool withCancel, Answer byDefault) override;
  QString askText(const QString& prompt) override;

private:
  MessageBoxDialogs m_real;
  Dialogs& m_inner;
  std::function<void()> m_repaint;
};

// A top-level screen of the workbench. Closing it unloads it: unload() runs and the window
// hides; the object itself lives on. showScreen() runs load() first when the screen is unloaded,
// then shows it and brings it forward with its state.
class ScreenWindow : public QWidget {
  Q_OBJECT
public:
  explicit ScreenWindow(QWidget* parent = nullptr);
  void showScreen();
  bool isLoaded() const { return m_loaded; }

protected:
  // The screen's start-up (Form_Load) and the reset of its controls when it is closed.
  virtual void load() = 0;
  virtual void unload() = 0;
  void setClientSizeTwips(int width, int height);
  void closeEvent(QCloseEvent* event) override;

private:
  bool m_loaded = false;
};

} // namespace rpn
