// The assembler screen "擬似アセンブラ": paints the machine engine's view (source, listing with
// the line of the next instruction selected, memory cells, instruction register, operand
// address, registers, flags, output) and forwards the user's edits, presses, menu choices and
// timer ticks to it. The file menu opens and saves source files; "マシン語とアセンブラの説明"
// opens the first help page.
#pragma once

#include "common/screen_kit.h"
#include "machine/help_pages.h"
#include "machine/listing_box.h"
#include "machine/machine_engine.h"
#include "machine/machine_fields.h"
#include "machine/platform_file_dialogs.h"
#include "machine/source_file.h"

#include <QAction>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTimer>
#include <array>

namespace rpn::machine {

class FrmAssembler final : public EngineScreen<MachineEngine> {
  Q_OBJECT
public:
  // Boxes go to real message boxes and file choices to the platform's file dialog unless a test
  // hands its own.
  explicit FrmAssembler(Dialogs* dialogs = nullptr, SourceFileDialogs* files = nullptr,
                        QWidget* parent = nullptr);
  ~FrmAssembler() override;

  // Puts a source program (lines ended by CR LF) into the source box Text1, as the translation
  // screen hands over its object code, after asking about a changed source there. Listing,
  // memory and machine state stay until the next assembly. Works whether the screen is shown or
  // not. False when the question was cancelled or the save it asked for failed: nothing changed.
  bool setSourceText(const QString& text);

  HelpPages& helpPages() { return m_help; }

  // The file menu's "最近使ったファイル": opens a file as "開く" would; a file that is no longer
  // there is dropped from the list, with a box.
  void openRecentFile(const QString& path);

  // The help pages follow the screen's zoom and remembered settings; the file dialogs start in the
  // last folder used.
  void setZoom(double zoom) override;
  void setSettings(Settings* settings) override;
  // Opens the source file at path into Text1 as ファイル > 開く does when that path is chosen:
  // the same code pages and the same boxes for a file that cannot be read.
  void openSourceFile(const QString& path);

  // The menu, the help button and one tick of the screen's timer.
  void mnuOpen_Click();
  void mnuSave_Click();
  void mnuExit_Click();
  void Command6_Click();
  void Timer1_Timer();
  // F9: marks or unmarks the listing line the cursor is on as a breakpoint; a double click on a
  // line does the same for that line. A line that holds no instruction cannot be marked.
  void toggleBreakpointAtCursor();
  void toggleBreakpointOnLine(int boxLine);

protected:
  void paint() override;
  void tick() override;
  // At the newest state "1つ進む" is one tick while auto-run runs, else one instruction of 実行.
  void nextMove(MachineEngine& engine) override;
  void load() override;
  bool moveGoesOn() const override { return engine().state().runningToEnd; }
  void settle() override;
  // Closing the window (its close button, 終了(&X), the end of the program) discards the source:
  // a changed one is asked about first, and a cancel keeps the window open.
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void build();
  void buildEmulatorFrame(QWidget* client);
  void buildMemoryPanel(QWidget* client);
  void buildMenu(QMenuBar* bar);
  // "最後まで実行" (F5) and the breakpoint key F9. The run goes on in slices of the event loop,
  // so the window keeps answering; the stop button, any other press and closing the window end
  // it.
  void buildRunToEnd(QWidget* client);
  // One slice of a run to the end: instructions for about a frame's time.
  void runSlice();
  void paintBreakpoints();
  // Tab order and the buttons' shortcuts, once every control of client exists.
  void setKeyboardAccess(const QWidget* client);
  void paintListingSelection();
  void List1_Click(int row);
  bool listKeyPress(const QKeyEvent& key);
  // The listing takes the focus so that its selected line shows, as after every machine step.
  void focusListing();
  // A press of the button; focus: the listing takes the focus after it, as after a machine step.
  void connectCommand(QPushButton* button, void (MachineEngine::*press)(), bool focus);
  void connectList();
  // A file opened or saved goes to the top of the recent files.
  void rememberFile(const QString& path);
  void rebuildRecentMenu();

  // The file dialogs as the file menu uses them: the path chosen is kept for the recent files,
  // and its folder is where the next dialog starts.
  class NotingFileDialogs final : public SourceFileDialogs {
  public:
    explicit NotingFileDialogs(FrmAssembler& screen) : m_screen(screen) {}
    QString ShowOpen(const QStringList& filters) override;
    QString ShowSave(const QStringList& filters) override;
    const QString& chosen() const { return m_chosen; }

  private:
    QString note(const QString& path);
    FrmAssembler& m_screen;
    QString m_chosen;
  };

  PlatformFileDialogs m_platformFiles;
  SourceFileDialogs& m_files;
  NotingFileDialogs m_notingFiles{*this};
  HelpPages m_help;
  bool m_focusPending = false; // a machine step since the last frame: the listing takes the focus
  bool m_painting = false;     // paint() is writing into the text boxes

  // What the multi-line boxes were last given (engine text, CR LF line ends) and the listing
  // selection last applied, so a repaint that changes nothing leaves the user's cursor alone.
  QString m_shownText1, m_shownText2, m_shownText3;
  qsizetype m_shownSelStart = -1, m_shownSelLength = -1;

  QPlainTextEdit* m_text1 = nullptr;
  ListingBox* m_text2 = nullptr;
  QPushButton* m_runToEnd = nullptr;
  QTimer m_slices; // a run to the end: a slice whenever the event loop is idle
  QPlainTextEdit* m_text3 = nullptr;
  QLineEdit* m_txtExecAddress = nullptr;
  QLineEdit* m_txtEffectAddress = nullptr;
  QLineEdit* m_txtTimer = nullptr;
  QCheckBox* m_check1 = nullptr;
  QListWidget* m_list1 = nullptr;
  QMenu* m_recentMenu = nullptr;
  std::array<QLineEdit*, 4> m_txtOpe{};
  std::array<QLineEdit*, kRegisters> m_txtRegister{};
  std::array<QLineEdit*, 3> m_txtStatus{};
  std::array<QLabel*, kMemoryCells> m_lblCode{};
};

// Position in a text box of a position in the engine's text: a CR LF pair is one line break in
// the box.
qsizetype boxPosition(const QString& engineText, qsizetype position);
// The first line of the box of each line of the engine's text (ended by CR LF): a lone CR or LF
// inside a line breaks it in the box too.
std::vector<int> boxLinesOfEngineLines(const QString& engineText);

} // namespace rpn::machine
