// Building blocks shared by the screens: twips -> pixels, mark -> colour, fonts, the message
// boxes, controls placed at their twips rectangles, and the window that unloads when closed.
#pragma once

#include "accessibility.h"
#include "csv.h"
#include "dialogs.h"
#include "history.h"
#include "marks.h"
#include "settings.h"

#include <QCheckBox>
#include <QColor>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFont>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

namespace rpn {

// 15 twips are one pixel at 96 dpi; Qt's high-DPI scaling takes care of other screens.
constexpr int twips(int t) {
  return (t + 7) / 15;
}
QRect twipsRect(int left, int top, int width, int height);

// The zoom of every window, one for the whole program: 100 % to 300 % in steps of 25 %.
inline constexpr int kZoomMinimum = 100;
inline constexpr int kZoomMaximum = 300;
inline constexpr int kZoomStep = 25;
bool isZoomStep(int percent);
// The zoom one step larger (direction > 0) or smaller (direction < 0) than percent, within the
// range; a percent between steps goes to the next step in that direction.
int steppedZoom(int percent, int direction);
// The step nearest to percent, within the range.
int nearestZoomStep(int percent);

// A rectangle laid out at 100 % as it stands at a zoom. Every edge is scaled and rounded on its
// own, so controls that meet at 100 % still meet and none starts to overlap its neighbour.
QRect zoomedRect(const QRect& base, double zoom);
QFont zoomedFont(const QFont& base, double zoom);

// Puts a control at its rectangle at 100 % and keeps that rectangle, from which applyZoom places
// it at any zoom. The make* helpers below place their controls this way.
void placeAt(QWidget* widget, const QRect& rect);
// The fixed size at 100 % of a window or of a panel inside one, kept the same way.
void setBaseFixedSize(QWidget* widget, const QSize& size);
// Sets the window to the zoom: the places and sizes given by placeAt and setBaseFixedSize, and the
// font of every control, always from their 100 % values, so zooming back and forth never drifts.
// The window's menus follow its font.
void applyZoom(QWidget* window, double zoom);
// Moves a shown window so that as much of it as fits lies on its screen's free area.
void keepOnScreen(QWidget* window);
// Moves a window to a remembered position, unless that position lies off every screen (a monitor
// that is no longer there): then the window system places it.
void moveToRemembered(QWidget* window, const std::optional<QPoint>& position);

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

// Keeps auto-run at the pace its interval asks for when ticks come faster than the display
// refreshes. A timer that fires late (the event loop was busy painting, perhaps another window)
// drops the ticks it missed; here the next timeout makes them up, so a 1 ms auto-run still
// makes a thousand moves a second. A delay of more than kForgiven ticks (a suspended machine) is
// forgiven rather than made up in a burst; slower intervals, whose every move is painted, never
// catch up.
class TickPace {
public:
  static constexpr long long kForgiven = 64;
  TickPace() { m_clock.start(); }
  // The ticks due at a timeout of a timer with this interval: 1, or more when it came late.
  int due(int interval) { return dueAt(interval, m_clock.nsecsElapsed()); }
  // The same for a timeout at nowNs nanoseconds of a steady clock.
  int dueAt(int interval, long long nowNs);
  // Starts counting afresh (auto-run started, a box was closed).
  void restart() { m_counting = false; }

private:
  QElapsedTimer m_clock;
  bool m_counting = false;
  long long m_since = 0; // when the count started
  int m_interval = 0;
  long long m_done = 0;
};

// Whether the screen's timer still ticks as the step driver asks after a tick: then the paint
// can wait for the frame. A tick that stopped auto-run or changed its interval is painted at once,
// so the screen never stays stale.
bool keepsRhythm(const QTimer& timer, int interval);

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

// The way a text box shows an engine's text: every line break (CR LF, or a lone CR) a line feed;
// and back: every line feed of the box a CR LF, as the engine keeps it.
QString toBoxText(const QString& engineText);
QString fromBoxText(const QString& boxText);
// Shows an engine's text in a text box, only when what the box shows differs.
void setTextIfChanged(QPlainTextEdit* box, const QString& engineText);

// A press of button runs one move of the screen's engine, then repaints the screen. Without trace
// mode the press collapses repeated complaint boxes (see ScreenDialogs::Press).
// (Screens on EngineScreen use its connectPress.)
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
// During a collapsing press, each OK-only box text opens at most once: it is held (the screen
// painted at its first raising) until a question or an input box comes or the press ends; then
// the held texts open in the order they were first raised, each saying how many more of the same
// followed, "... (ほか16375回)". Two complaints raised in turn thousands of times thus open
// twice, not thousands of times. Questions and input boxes always open at once.
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
  // How many boxes have opened so far.
  long long opened() const { return m_opened; }

private:
  void openHeld();
  template <class Open> auto open(Open&& box);

  MessageBoxDialogs m_real;
  Dialogs& m_inner;
  std::function<void()> m_repaint;
  bool m_collapsing = false;
  // The texts held during the press, in the order first raised, with their repeats.
  struct Held {
    QString text;
    long long repeats = 0;
  };
  std::vector<Held> m_held;
  QHash<QString, std::size_t> m_heldAt; // text -> its place in m_held
  int m_open = 0;
  long long m_opened = 0;
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

  // The program's zoom, given by the shell: every control, font and the window itself scaled
  // from their 100 % layout.
  virtual void setZoom(double zoom);
  double zoom() const { return m_zoom; }
  // The store of what the program remembers (none: nothing is remembered). The window's position
  // is put back the first time it is shown and kept when it is closed.
  virtual void setSettings(Settings* settings) { m_settings = settings; }
  Settings* settings() const { return m_settings; }

protected:
  // The screen's start-up (Form_Load) and the reset of its controls when it is closed.
  virtual void load() = 0;
  virtual void unload() = 0;
  void setClientSizeTwips(int width, int height);
  void closeEvent(QCloseEvent* event) override;
  // The screen's interval box and trace-mode box, remembered across runs of the program: what the
  // user types or ticks there is kept, and each time the screen loads restoreRemembered() is
  // given the kept values (none where nothing was kept) to put into its engine.
  void rememberControls(QLineEdit* interval, QCheckBox* trace);
  virtual void restoreRemembered(const std::optional<QString>& interval,
                                 std::optional<bool> trace) {
    Q_UNUSED(interval);
    Q_UNUSED(trace);
  }

private:
  bool m_loaded = false;
  bool m_placed = false; // the remembered position was applied
  double m_zoom = 1.0;
  Settings* m_settings = nullptr;
};

// ---- Control tables: a screen's controls as data, placed by one builder. A screen that needs a
// kind of control not listed here adds it here (and to buildControls), not in its own code.

enum class ControlKind : std::uint8_t {
  Label,        // a caption (its accessible name: the caption unless one is given)
  CentredLabel, // a caption centred in its rectangle ("0".."9" beside a stack)
  WrappedLabel, // a caption that breaks into lines ("Timer Interval")
  BoxedLabel,   // a value in a sunken panel, left-aligned (see makeBoxedLabel)
  Cell,         // a value in a plain box, centred: a cell of a stack or a table
  Arrow,        // a bold arrow, centred
  Button,       // a push button; Enter on it presses it
  LineEdit,     // a one-line box the user types into
  ReadOnlyEdit, // a one-line box that only shows a value
  Notes,        // a read-only text box on the button face: rules and explanations
  Frame,        // a captioned frame; later rows name it as their parent
  CheckBox,
};

// Twips in the parent (the window or a frame).
struct TwipsRect {
  int left = 0, top = 0, width = 0, height = 0;
};

// One row of a screen's control table. A value control (one whose text the engine's view holds)
// leaves caption empty: the screen's first paint fills it, the view being the only source.
// A row with count > 1 is a control array: members name(0)..name(count-1), member i placed step
// twips lower than member i-1 (higher when step is negative); "%1" in its caption or accessible
// name stands for the index.
struct ControlSpec {
  std::u16string_view name;
  ControlKind kind = ControlKind::Label;
  std::u16string_view caption = {};
  TwipsRect rect = {};
  std::u16string_view accessible = {}; // empty: the caption
  std::u16string_view parent = {};     // a Frame row above; empty: the window
  int count = 1;
  int step = 0;
};

// The controls a table built, found by objectName.
class Controls {
public:
  template <class W = QWidget> W* get(QStringView name) const {
    W* widget = qobject_cast<W*>(m_byName.value(name.toString()));
    Q_ASSERT_X(widget, "Controls::get", "no control of that name and kind in the table");
    return widget;
  }
  // Member index of a control array.
  template <class W = QWidget> W* at(QStringView name, int index) const {
    return get<W>(indexedName(name.toString(), index));
  }
  void add(QWidget* widget) { m_byName.insert(widget->objectName(), widget); }

private:
  QHash<QString, QWidget*> m_byName;
};

// Makes every control of the table inside window, in the table's order (which is also the order
// of the window's children), each placed at its twips rectangle with its name, caption and
// accessible name.
Controls buildControls(QWidget* window, std::span<const ControlSpec> table);

// The two buttons that go back and forth through a screen's moves, "1つ戻る" and "1つ進む", placed
// at their rectangles inside parent, with their keys in window: Ctrl+Z and Alt+Left go back,
// Ctrl+Y and Alt+Right forward (in a box the user types into, Ctrl+Z and Ctrl+Y stay the box's
// own undo and redo of the typing).
// The third, "トレース保存" (Ctrl+Shift+S), saves the moves as a table.
struct MoveButtons {
  QPushButton* back = nullptr;
  QPushButton* forward = nullptr;
  QPushButton* save = nullptr;
};
struct MoveButtonPlaces {
  TwipsRect back, forward, save;
};
struct MoveActions {
  std::function<void()> back, forward, save;
};
MoveButtons makeMoveButtons(QWidget* window, QWidget* parent, const MoveButtonPlaces& places,
                            const MoveActions& actions);

// Writes the table of a screen's moves as CSV to path. A file that cannot be written gets a box;
// true when written.
bool saveTraceTable(Dialogs& boxes, const CsvTable& table, const QString& path);
// The save dialog for a trace, in folder ("" lets the platform choose); "" when cancelled.
QString chooseTracePath(QWidget* window, const QString& folder);

// ---- The screen skeleton.
//
// A working screen: owns its boxes (ScreenDialogs), its engine, the auto-run QTimer and the
// frame-paced paint. The derived screen builds its controls in its constructor (buildControls),
// wires them with connectPress / connectEdit / connectRunControls, implements paint() (every
// control from engine().view()), and ends its constructor with refresh().
//
// Engine needs: a constructor from Dialogs&, Form_Load(), unload(), Timer1_Timer(), view().Check1
// (trace mode), state().clock.interval and setCheck1(bool).
//
// What the skeleton does:
//   * the timer's timeout is one auto-run tick (nothing while a box of the screen is open),
//     painted with the next display frame while auto-run keeps its rhythm, at once otherwise;
//   * load() is Form_Load and a paint, unload() is the engine's unload and a paint;
//   * refresh() paints now and makes the timer follow the engine's interval;
//   * every box the engine raises is preceded by a paint, so the box describes what is shown;
//   * the moves history: see below.
//
// The moves history. Every move the screen makes is recorded as a snapshot of the engine's state:
// a press of a run button, each box of a press in trace mode (a trace move), each auto-run tick.
// A move that changes nothing but the timer's interval (stopping auto-run) is no move. "1つ戻る"
// (stepBack) puts back the state before the last move, "1つ進む" (stepForward) the next one
// recorded or, at the newest state, makes the screen's next move (nextMove). A state put back
// always has auto-run stopped, and keeps the run controls (trace mode, interval box) as the user
// has set them now: they are settings, not moves; the state's runControls(state) names them.
// Whatever changes the state outside a move (an edit of an input or value box, a new source,
// closing the screen) starts a new history from the changed state.
template <class Engine> class EngineScreen : public ScreenWindow {
public:
  using State = std::remove_cvref_t<decltype(std::declval<const Engine&>().state())>;

  const Engine& engine() const { return m_engine; }
  const QTimer& timer() const { return m_timer; }
  // The auto-run ticks made so far: one per timeout of the timer, more when it came late.
  long long ticksMade() const { return m_ticks; }
  ScreenDialogs& screenDialogs() { return m_dialogs; }

  // Paints every control from the engine now (a paint waiting for the frame is dropped), and
  // starts, restarts or stops the timer as the engine's interval says.
  void refresh() {
    m_framePaint.cancel();
    paint();
    followInterval(m_timer, m_engine.state().clock.interval);
    paintMoveButtons();
  }

  const History<State>& history() const { return m_history; }
  // Whether going back can reach another state: a move recorded before the state on show, and the
  // state on show the one recorded (an edit made since starts a new history).
  bool canStepBack() const { return m_history.canBack() && onRecordedState(); }
  // "1つ戻る": auto-run stops and the state before the last move comes back. False at the oldest
  // state kept (auto-run stops all the same).
  bool stepBack() {
    if (m_dialogs.boxOpen())
      return false;
    settleMove();
    followEdits();
    const std::optional<State> before = m_history.back();
    showRecorded(before ? *before : m_engine.state());
    return before.has_value();
  }
  // "1つ進む": the next state recorded, or at the newest state the screen's next move.
  void stepForward() {
    if (m_dialogs.boxOpen())
      return;
    settleMove();
    followEdits();
    if (const std::optional<State> after = m_history.forward()) {
      showRecorded(*after);
      return;
    }
    makeMove([this] { nextMove(m_engine); });
    refresh();
  }

  // The moves of the history as a table: a row per state kept, with the number of the move that
  // led to it (0 for the state the history started from), the auto-run phase it left, and the
  // screen's own columns (traceHeader / traceRow of its state).
  CsvTable traceTable() {
    settleMove();
    followEdits();
    CsvTable table{{QStringLiteral("手順"), QStringLiteral("フェーズ")}, {}};
    table.header << traceHeader(m_engine.state());
    m_history.forEach([&](qsizetype i, const State& state) {
      table.rows.push_back(QStringList{QString::number(m_history.fallenOff() + i),
                                       QString::number(state.clock.phase)}
                           << traceRow(state));
    });
    return table;
  }
  // "トレース保存": asks where, then writes the table; a failure is explained in a box. The
  // folder written to is remembered as the last folder used.
  bool saveTrace() {
    if (m_dialogs.boxOpen())
      return false;
    const QString path =
        m_choosePath ? m_choosePath()
                     : chooseTracePath(this, settings() ? settings()->lastFolder() : QString());
    if (path.isEmpty() || !saveTraceTable(m_dialogs, traceTable(), path))
      return false;
    if (settings())
      settings()->setLastFolder(QFileInfo(path).absolutePath());
    return true;
  }
  // Where saveTrace writes, instead of the save dialog (tests).
  void setTracePathChooser(std::function<QString()> choose) { m_choosePath = std::move(choose); }

protected:
  // Boxes go to real message boxes unless a test hands its own Dialogs.
  explicit EngineScreen(Dialogs* dialogs, QWidget* parent = nullptr)
      : ScreenWindow(parent), m_dialogs(this, dialogs,
                                        [this] {
                                          // A box of a traced move: one more state. (Without
                                          // trace mode a whole press is one move, and a move
                                          // that goes on is one move when it ends.)
                                          if (m_moveDepth > 0 && m_engine.view().Check1 &&
                                              !moveGoesOn())
                                            recordMove();
                                          refresh();
                                        }),
        m_engine(m_dialogs) {
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
  }

  // The move "1つ進む" makes at the newest state: one auto-run tick.
  virtual void nextMove(Engine& engine) { engine.Timer1_Timer(); }
  // A move may go on over several events (the assembler's run to the end, in slices): while it
  // does, its parts are not recorded; the state it ends in is one move. Anything else the user
  // does meanwhile (a press, going back or forward, saving the trace) settles it first: the
  // screen ends it and the state it reached is recorded.
  virtual bool moveGoesOn() const { return false; }
  virtual void settle() {}
  // A later part of a move that goes on.
  template <class Part> void continueMove(Part&& part) {
    ++m_moveDepth;
    std::forward<Part>(part)();
    --m_moveDepth;
    if (!moveGoesOn())
      recordMove();
  }
  // Puts the buttons "1つ戻る", "1つ進む" and "トレース保存" at their rectangles in parent (the
  // window or a panel of it), where the screen's layout leaves room, and gives the window their
  // keys.
  void addMoveButtons(QWidget* parent, const MoveButtonPlaces& places) {
    m_moveButtons = makeMoveButtons(
        this, parent, places,
        {[this] { stepBack(); }, [this] { stepForward(); }, [this] { saveTrace(); }});
    paintMoveButtons();
  }

  Engine& mutableEngine() { return m_engine; }
  // Shows the engine's state in the controls. Called by refresh() only.
  virtual void paint() = 0;
  // One timeout of the timer; a screen that does more at a tick overrides it and calls this.
  virtual void tick() {
    if (m_dialogs.boxOpen())
      return;
    const int interval = m_engine.state().clock.interval;
    const long long boxes = m_dialogs.opened();
    for (int due = m_pace.due(interval); due > 0; --due) {
      makeMove([this] { m_engine.Timer1_Timer(); });
      ++m_ticks;
      // A tick that stopped auto-run, changed its interval or opened a box ends the round.
      if (m_engine.state().clock.interval != interval || m_dialogs.opened() != boxes) {
        m_pace.restart();
        break;
      }
    }
    if (keepsRhythm(m_timer, m_engine.state().clock.interval))
      m_framePaint.request();
    else
      refresh();
  }

  void load() override {
    m_engine.Form_Load();
    refresh();
  }
  void unload() override {
    m_engine.unload();
    refresh();
  }

  // A press of button runs press on the engine (a member function such as
  // &Engine::Command1_Click, or any callable taking Engine&), then repaints. Without trace mode
  // the press collapses repeated boxes (see ScreenDialogs::Press). What a screen does after the
  // repaint (moving the focus) goes into a slot of its own connected after this one.
  template <class Press> void connectPress(QPushButton* button, Press press) {
    QObject::connect(button, &QPushButton::clicked, this, [this, press] {
      makeMove([this, &press] {
        const auto collapsing = m_dialogs.press(!m_engine.view().Check1);
        std::invoke(press, m_engine);
      });
      refresh();
    });
  }
  // Every change of box's text goes to the engine's store (e.g. &Engine::setText1), except the
  // screen's own repaint showing what held(engine) already returns. The edit starts a new history
  // from the state it made.
  template <class Held>
  void connectEdit(QLineEdit* box, Held held, void (Engine::*store)(const QString&)) {
    takeEdits(
        box, this, [this, held] { return held(std::as_const(m_engine)); },
        [this, store](const QString& text) {
          (m_engine.*store)(text);
          followEdits();
          paintMoveButtons();
        });
  }
  // The interval box (held and setInterval as for connectEdit) and the trace-mode box: edits go
  // to the engine, and both are remembered across runs of the program and given back to the
  // engine at every load.
  template <class Held>
  void connectRunControls(QLineEdit* interval, Held held,
                          void (Engine::*setInterval)(const QString&), QCheckBox* trace) {
    m_setInterval = setInterval;
    takeEdits(
        interval, this, [this, held] { return held(std::as_const(m_engine)); },
        [this, setInterval](const QString& text) { (m_engine.*setInterval)(text); });
    QObject::connect(trace, &QCheckBox::toggled, this, [this](bool on) { m_engine.setCheck1(on); });
    rememberControls(interval, trace);
  }

  void restoreRemembered(const std::optional<QString>& interval, std::optional<bool> trace) final {
    if (interval && m_setInterval)
      (m_engine.*m_setInterval)(*interval);
    if (trace)
      m_engine.setCheck1(*trace);
    refresh();
  }

private:
  // Two states that differ at most in the timer's interval and the run controls.
  static bool sameMoveState(const State& recorded, const State& now) {
    State settled = recorded;
    settled.clock.interval = now.clock.interval;
    runControls(settled) = runControls(now);
    return settled == now;
  }
  bool onRecordedState() const {
    return !m_history.empty() && sameMoveState(m_history.current(), m_engine.state());
  }
  // A state changed outside a move starts a new history from it.
  void followEdits() {
    if (!onRecordedState())
      m_history.startFrom(m_engine.state());
  }
  // The state after a move (or at a box of one), unless the move changed nothing.
  void recordMove() {
    if (!onRecordedState())
      m_history.record(m_engine.state());
  }
  template <class Move> void makeMove(Move&& move) {
    if (m_moveDepth == 0) {
      settleMove();
      followEdits();
    }
    ++m_moveDepth;
    std::forward<Move>(move)();
    --m_moveDepth;
    if (!moveGoesOn())
      recordMove();
  }
  void settleMove() {
    if (!moveGoesOn())
      return;
    settle();
    recordMove();
  }
  // Puts a recorded state back, auto-run stopped, the run controls as they are.
  void showRecorded(State state) {
    state.clock.interval = 0;
    runControls(state) = runControls(m_engine.state());
    m_engine.restore(state);
    refresh();
  }
  void paintMoveButtons() {
    if (!m_moveButtons.back)
      return;
    m_moveButtons.back->setEnabled(canStepBack());
  }

  ScreenDialogs m_dialogs;
  Engine m_engine;
  QTimer m_timer;
  FramePaint m_framePaint{[this] { refresh(); }};
  TickPace m_pace;
  long long m_ticks = 0;
  void (Engine::*m_setInterval)(const QString&) = nullptr;
  History<State> m_history;
  int m_moveDepth = 0; // moves under way: a press, a tick, or both (a box's event loop)
  MoveButtons m_moveButtons;
  std::function<QString()> m_choosePath;
};

} // namespace rpn
