// The help pages on the pseudo machine: FrmHelp1 shows the instruction formats, FrmHelp2 and
// FrmHelp3 the instruction set, each as one picture drawn from the instruction table with one or
// two page buttons below it. A page button unloads its own page and shows the target, so moving
// with the buttons leaves one page open; the assembler screen always opens page 1, beside any
// page already open.
#pragma once

#include "common/screen_kit.h"

#include <QList>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>

namespace rpn::machine {

inline constexpr int kHelpPageCount = 3;

// One row of the instruction tables of pages 2 and 3.
struct HelpRow {
  QString mnemonic;
  QString code; // two hexadecimal digits, "--" for the declarations
  QString example;
  QString meaning;
};
// The rows of page 2 or 3 in the order of the instruction table.
QList<HelpRow> helpRows(int page);

// A box of a format diagram: its caption over bits firstBit..lastBit (bit 0 the leftmost).
struct FormatField {
  QString caption;
  int firstBit;
  int lastBit;
};
struct FormatDiagram {
  QString title;
  int bits; // 32 or 16
  QList<FormatField> fields;
  QString note; // text under the diagram, may be empty
};
// The three diagrams of page 1.
QList<FormatDiagram> instructionFormats();
// The paragraph at the top of page 1.
QString helpIntroduction();

// Everything the picture of a page says, line by line: what it draws, and what a screen reader
// is given as the picture's description.
QStringList helpPageLines(int page);
// Size of a page's picture in pixels.
QSize helpPictureSize(int page);
// The picture drawn at a zoom: the painter is scaled, so the drawing keeps its proportions.
QPixmap drawHelpPicture(int page, qreal devicePixelRatio = 1.0, double zoom = 1.0);

class HelpPages;

// A help page: the picture Image1 and its page buttons. It keeps no state.
class HelpPage : public ScreenWindow {
  Q_OBJECT
public:
  int number() const { return m_number; }
  // The picture is drawn again at the zoom, besides the page's controls.
  void setZoom(double zoom) override;

protected:
  HelpPage(HelpPages& pages, int number);
  void load() override {}
  void unload() override {}
  // A page button at its twips position (kept below the picture) that leads to page `target`.
  void addPageButton(const QString& name, const QString& caption, int left, int top, int target);

private:
  HelpPages& m_pages;
  int m_number;
  QLabel* m_image = nullptr;
};

class FrmHelp1 final : public HelpPage {
  Q_OBJECT
public:
  explicit FrmHelp1(HelpPages& pages);
};

class FrmHelp2 final : public HelpPage {
  Q_OBJECT
public:
  explicit FrmHelp2(HelpPages& pages);
};

class FrmHelp3 final : public HelpPage {
  Q_OBJECT
public:
  explicit FrmHelp3(HelpPages& pages);
};

// The three pages, each created the first time it is shown.
class HelpPages {
public:
  HelpPages();
  ~HelpPages();
  HelpPages(const HelpPages&) = delete;
  HelpPages& operator=(const HelpPages&) = delete;

  // Shows page 1..3 modeless and brings it forward.
  void show(int page);
  // The zoom and the remembered settings of every page, also of those created later.
  void setZoom(double zoom);
  void setSettings(Settings* settings);
  HelpPage& page(int number);
  // The page if it was ever created, else null.
  HelpPage* existing(int number) const;

private:
  std::array<std::unique_ptr<HelpPage>, kHelpPageCount> m_pages;
  double m_zoom = 1.0;
  Settings* m_settings = nullptr;
};

} // namespace rpn::machine
