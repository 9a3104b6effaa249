// Building blocks shared by the screens: twips -> pixels, mark -> colour, fonts, the message
// boxes, controls placed at their twips rectangles, and the window that unloads when closed.
#pragma once

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
#include <optional>

namespace rpn {

// 15 twips are one pixel at 96 dpi; Qt's high-DPI scaling takes care of other screens.
constexpr int twips(int t) {
  return (t + 7) / 15;
}
QRect twipsRect(int left, int top, int width, int height);

QColor markColor(Mark mark);
// Paints the background of a label, line edit or text box.
void setBackground(QWidget* widget, Mark mark);

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
QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, QRect rect);
QLineEdit* makeLineEdit(QWidget* parent, const QString& name, QRect rect,
                        const QString& accessible);
QGroupBox* makeFrame(QWidget* parent, const QString& name, const QString& caption, QRect rect);
QCheckBox* makeCheckBox(QWidget* parent, const QString& name, const QString& caption, QRect rect);

// Sets a text only when it differs, so the cursor and selection of a box the user is typing in
// are not disturbed by a repaint that changes nothing.
// The screen's timer follows the step driver's interval: 0 stops it, anything else (re)starts it
// only when it changed, so a running tick rhythm is not disturbed by a repaint.
void followInterval(QTimer& timer, int interval);

void setTextIfChanged(QLineEdit* edit, const QString& text);
void setTextIfChanged(QLabel* label, const QString& text);

// Paints a screen at most once per display frame while auto-run ticks faster than the display
// refreshes: a tick asks for a paint, and the paint comes when the frame is up, showing the
// latest tick. A full repaint in between (before a box, after a press) cancels the pending one.
class FramePaint {
public:
  static constexpr int kFrameMs = 16;
  explicit FramePaint(std::function<void()> paint);
  void request();
  void cancel() { m_frame.stop(); }
  bool pending() const { return m_frame.isActive(); }

private:
  QTimer m_frame;
  std::function<void()> m_paint;
};

// Whether the screen's timer still ticks as the step driver asks after a tick: then the paint
// can wait for the frame. A tick that stopped auto-run or changed its interval is painted at once,
// so the screen never stays stale.
bool keepsRhythm(const QTimer& timer, int interval);

// A press of button runs one move of the screen's engine, then repaints the screen. Without trace
// mode the press collapses repeated complaint boxes (see ScreenDialogs::Press).
template <class Screen, class Engine, class Move>
void connectButton(QPushButton* button, Screen* screen, Engine& engine, Move move) {
  QObject::connect(button, &QPushButton::clicked, screen, [screen, &engine, move] {
    {
      const auto press = screen->screenDialogs().press(!engine.view().Check1);
      (engine.*move)();
    }
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
//
// During a collapsing press, the same OK-only box raised again and again in a row opens once:
// it is held (the screen painted as it was at its first raising) until a different box comes or
// the press ends, and then opens saying how many more of the same followed, "... (ほか16375回)".
// Other boxes keep their order; questions and input boxes always open at once.
class ScreenDialogs final : public Dialogs {
public:
  ScreenDialogs(QWidget* screen, Dialogs* injected, std::function<void()> repaint);
  ScreenDialogs(const ScreenDialogs&) = delete;
  ScreenDialogs& operator=(const ScreenDialogs&) = delete;
  ~ScreenDialogs() override;
  void inform(const QString& text) override;
  bool confirm(const QString& text, const QString& title) override;
  Answer ask(const QString& text, const QString& title, bool withCancel, Answer byDefault) override;
  QString askText(const QString& prompt) override;

  // One press of a button; collapsing only when asked (trace mode shows every move's box).
  class Press {
  public:
    Press(ScreenDialogs& dialogs, bool collapse);
    ~Press();
    Press(const Press&) = delete;
    Press& operator=(const Press&) = delete;

  private:
    ScreenDialogs& m_dialogs;
    bool m_wasCollapsing;
  };
  [[nodiscard]] Press press(bool collapse) { return Press(*this, collapse); }

  // Whether one of the screen's boxes is open: an auto-run tick that comes then waits.
  bool boxOpen() const { return m_open > 0; }

private:
  void openHeld();
  template <class Open> auto open(Open&& box);

  MessageBoxDialogs m_real;
  Dialogs& m_inner;
  std::function<void()> m_repaint;
  bool m_collapsing = false;
  std::optional<QString> m_held;
  long long m_repeats = 0;
  int m_open = 0;
};

// Text of a box that stands for itself and `more` repeats of it.
QString collapsedBoxText(const QString& text, long long more);

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
