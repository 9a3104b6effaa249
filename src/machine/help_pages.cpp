#include "help_pages.h"

#include "instruction_set.h"
#include "machine_state.h"

#include <QGuiApplication>
#include <QPainter>
#include <algorithm>

namespace rpn::machine {
namespace {

QString fromView(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QString bitNumber(int bit) {
  return QString::number(bit, 16).toUpper();
}

// Page numbers outside 1..3 are a slip of the caller; they are read as the nearest page.
int clampPage(int page) {
  return std::clamp(page, 1, kHelpPageCount);
}

// The declarations DC and DA are set off from the instructions by a blank line.
bool startsDeclarations(const QList<HelpRow>& rows, qsizetype i) {
  return rows[i].code == u"--" && (i == 0 || rows[i - 1].code != u"--");
}

const QString kHeads[] = {QStringLiteral("ニーモニック"), QStringLiteral("コード"),
                          QStringLiteral("例示"), QStringLiteral("意味")};

QFont pictureFont(int pixelSize, bool bold = false) {
  QFont font = uiFont();
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

// Draws wrapped text into the width from (left, top); returns the bottom of what was drawn.
int drawParagraph(QPainter& painter, int left, int top, int width, const QString& text) {
  const QRect area(left, top, width, 1000);
  const QRect used = painter.boundingRect(area, Qt::TextWordWrap, text);
  painter.drawText(area, Qt::TextWordWrap, text);
  return used.bottom();
}

void drawFormats(QPainter& painter, QSize size) {
  constexpr int left = 16;
  const int width = size.width() - 2 * left;
  painter.setFont(pictureFont(13));
  int y = drawParagraph(painter, left, 12, width, helpIntroduction()) + 22;
  for (const FormatDiagram& diagram : instructionFormats()) {
    painter.setFont(pictureFont(13, true));
    painter.drawText(QRect(left, y, width, 18), Qt::AlignLeft | Qt::AlignVCenter, diagram.title);
    y += 26;
    const int cell = diagram.bits == 32 ? 18 : 34;
    const int x0 = left + 8;
    painter.setFont(pictureFont(10));
    for (int bit = 0; bit < diagram.bits; ++bit)
      painter.drawText(QRect(x0 + bit * cell, y, cell, 14), Qt::AlignCenter, bitNumber(bit));
    y += 15;
    constexpr int boxHeight = 40;
    painter.setFont(pictureFont(12));
    for (const FormatField& field : diagram.fields) {
      const QRect box(x0 + field.firstBit * cell, y, (field.lastBit - field.firstBit + 1) * cell,
                      boxHeight);
      painter.drawRect(box);
      // Short ticks mark the bits inside the box.
      for (int bit = field.firstBit + 1; bit <= field.lastBit; ++bit)
        painter.drawLine(x0 + bit * cell, y, x0 + bit * cell, y + 4);
      painter.drawText(box.adjusted(2, 4, -2, 0), Qt::AlignCenter | Qt::TextWordWrap,
                       field.caption);
    }
    y += boxHeight + 8;
    if (!diagram.note.isEmpty()) {
      painter.setFont(pictureFont(13));
      y = drawParagraph(painter, left, y, width, diagram.note) + 6;
    }
    y += 28;
  }
}

void drawTable(QPainter& painter, QSize size, int page) {
  const QList<HelpRow> rows = helpRows(page);
  const int columns[] = {16, 122, 184, 322};
  constexpr int top = 10;
  constexpr int headHeight = 20;
  const int ruleY = top + headHeight + 4;
  const int firstRow = ruleY + 6;
  const qsizetype lines = rows.size() + (page == 3 ? 1 : 0);
  const int rowHeight = std::min(
      22, static_cast<int>((size.height() - firstRow - 4) / std::max<qsizetype>(lines, 1)));

  painter.setFont(pictureFont(13, true));
  for (int c = 0; c < 4; ++c)
    painter.drawText(QRect(columns[c], top, size.width(), headHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, kHeads[c]);
  QPen dashed(Qt::black);
  dashed.setStyle(Qt::DashLine);
  painter.setPen(dashed);
  painter.drawLine(columns[0], ruleY, size.width() - 16, ruleY);
  painter.setPen(Qt::black);

  painter.setFont(pictureFont(13));
  int y = firstRow;
  for (qsizetype i = 0; i < rows.size(); ++i) {
    if (startsDeclarations(rows, i))
      y += rowHeight;
    const HelpRow& row = rows[i];
    const QString cells[] = {row.mnemonic, row.code, row.example, row.meaning};
    for (int c = 0; c < 4; ++c)
      painter.drawText(QRect(columns[c], y, size.width() - columns[c], rowHeight),
                       Qt::AlignLeft | Qt::AlignVCenter, cells[c]);
    y += rowHeight;
  }
}

} // namespace

QList<HelpRow> helpRows(int page) {
  QList<HelpRow> rows;
  for (const Instruction& instruction : kInstructionSet) {
    if (instruction.helpPage != page)
      continue;
    rows.push_back({fromView(instruction.mnemonic),
                    instruction.code < 0 ? QStringLiteral("--") : hexDigits(instruction.code, 2),
                    fromView(instruction.example), fromView(instruction.meaning)});
  }
  return rows;
}

QList<FormatDiagram> instructionFormats() {
  return {
      {QStringLiteral("32ビット命令形式"),
       32,
       {{QStringLiteral("Operation"), 0x0, 0x7},
        {QStringLiteral("Register"), 0x8, 0xB},
        {QStringLiteral("Index Register"), 0xC, 0xF},
        {QStringLiteral("Addrress"), 0x10, 0x1F}},
       QStringLiteral("実効アドレスは、Index Registerが0のときはAddressの値、0以外のときはその"
                      "インデックスレジスタの値にAddressの値を加えたものになります。演算の対象と"
                      "なるレジスタはRegisterで指定します。")},
      {QStringLiteral("16ビット命令形式"),
       16,
       {{QStringLiteral("Operation"), 0x0, 0x7}, {QStringLiteral("Operand"), 0x8, 0xF}},
       {}},
      {QStringLiteral("MOVR命令の形式"),
       16,
       {{QStringLiteral("Operation=&H50"), 0x0, 0x7},
        {QStringLiteral("Distination Register"), 0x8, 0xB},
        {QStringLiteral("Souce Register"), 0xC, 0xF}},
       {}},
  };
}

QString helpIntroduction() {
  return QStringLiteral(
      "アセンブラは各命令を次のいずれかの形式のマシン語に変換します。第2オペランド、第3オペランド"
      "を省略すると0とみなします。第2オペランドを省略すると演算の対象となるレジスタはX0になり、第3"
      "オペランドを省略するとアドレスはインデックス修飾されません。ビット番号は16進数で、左端（最上"
      "位）のビットを0とします。");
}

QStringList helpPageLines(int page) {
  QStringList lines;
  if (clampPage(page) == 1) {
    lines << helpIntroduction();
    for (const FormatDiagram& diagram : instructionFormats()) {
      lines << diagram.title;
      QStringList scale;
      for (int bit = 0; bit < diagram.bits; ++bit)
        scale << bitNumber(bit);
      lines << scale.join(u' ');
      QStringList boxes;
      for (const FormatField& field : diagram.fields)
        boxes << field.caption + u'(' + bitNumber(field.firstBit) + u'-' +
                     bitNumber(field.lastBit) + u')';
      lines << boxes.join(QStringLiteral(" | "));
      if (!diagram.note.isEmpty())
        lines << diagram.note;
    }
    return lines;
  }
  const QList<HelpRow> rows = helpRows(page);
  lines << QStringList(std::begin(kHeads), std::end(kHeads)).join(QStringLiteral("  "));
  lines << QString(40, u'-');
  for (qsizetype i = 0; i < rows.size(); ++i) {
    if (startsDeclarations(rows, i))
      lines << QString();
    const HelpRow& row = rows[i];
    lines << QStringList{row.mnemonic, row.code, row.example, row.meaning}.join(
        QStringLiteral("  "));
  }
  return lines;
}

QSize helpPictureSize(int page) {
  switch (clampPage(page)) {
  case 1:
    return {644, 498};
  case 2:
    return {672, 426};
  default:
    return {754, 306};
  }
}

QPixmap drawHelpPicture(int page, qreal devicePixelRatio, double zoom) {
  page = clampPage(page);
  const QSize size = helpPictureSize(page);
  QPixmap pixmap(zoomedRect(QRect(QPoint(), size), zoom).size() * devicePixelRatio);
  pixmap.setDevicePixelRatio(devicePixelRatio);
  pixmap.fill(Qt::white);
  QPainter painter(&pixmap);
  painter.scale(zoom, zoom);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setPen(Qt::black);
  if (page == 1)
    drawFormats(painter, size);
  else
    drawTable(painter, size, page);
  return pixmap;
}

HelpPage::HelpPage(HelpPages& pages, int number) : m_pages(pages), m_number(clampPage(number)) {
  setObjectName(QStringLiteral("frmHelp%1").arg(m_number));
  setWindowTitle(
      QStringLiteral("マシン命令とアセンブラコード(%1/%2)").arg(m_number).arg(kHelpPageCount));
  const QSize picture = helpPictureSize(m_number);
  m_image = new ScreenLabel(QString(), this);
  m_image->setObjectName(QStringLiteral("Image1"));
  m_image->setPixmap(drawHelpPicture(m_number, qApp->devicePixelRatio()));
  placeAt(m_image, QRect(QPoint(0, 0), picture));
  m_image->setAccessibleName(windowTitle());
  m_image->setAccessibleDescription(helpPageLines(m_number).join(u'\n'));
  setBaseFixedSize(this, picture);
}

void HelpPage::setZoom(double zoom) {
  ScreenWindow::setZoom(zoom);
  m_image->setPixmap(drawHelpPicture(m_number, qApp->devicePixelRatio(), zoom));
}

void HelpPage::addPageButton(const QString& name, const QString& caption, int left, int top,
                             int target) {
  // The stated places lie on the picture's lower edge; the buttons go just below it.
  const QSize picture = helpPictureSize(m_number);
  QRect rect = twipsRect(left, top, 1095, 375);
  if (rect.top() < picture.height() + 8)
    rect.moveTop(picture.height() + 8);
  QPushButton* button = makeButton(this, name, caption, rect);
  giveShortcut(button, QKeySequence(target > m_number ? Qt::Key_PageDown : Qt::Key_PageUp));
  connect(button, &QPushButton::clicked, this, [this, target] {
    close();
    m_pages.show(target);
  });
  setBaseFixedSize(this, QSize(std::max({width(), picture.width(), rect.right() + 9}),
                               std::max(height(), rect.bottom() + 9)));
}

FrmHelp1::FrmHelp1(HelpPages& pages) : HelpPage(pages, 1) {
  addPageButton(QStringLiteral("Command1"), QStringLiteral("次ページ"), 6600, 6600, 2);
}

FrmHelp2::FrmHelp2(HelpPages& pages) : HelpPage(pages, 2) {
  addPageButton(QStringLiteral("Command2"), QStringLiteral("前ページ"), 6000, 6240, 1);
  addPageButton(QStringLiteral("Command1"), QStringLiteral("次ページ"), 7440, 6240, 3);
}

FrmHelp3::FrmHelp3(HelpPages& pages) : HelpPage(pages, 3) {
  addPageButton(QStringLiteral("Command1"), QStringLiteral("前ページ"), 8640, 4320, 2);
}

HelpPages::HelpPages() = default;
HelpPages::~HelpPages() = default;

HelpPage& HelpPages::page(int number) {
  const int n = clampPage(number);
  std::unique_ptr<HelpPage>& slot = m_pages.at(static_cast<std::size_t>(n - 1));
  if (!slot) {
    if (n == 1)
      slot = std::make_unique<FrmHelp1>(*this);
    else if (n == 2)
      slot = std::make_unique<FrmHelp2>(*this);
    else
      slot = std::make_unique<FrmHelp3>(*this);
    slot->setSettings(m_settings);
    slot->setZoom(m_zoom);
  }
  return *slot;
}

HelpPage* HelpPages::existing(int number) const {
  if (number < 1 || number > kHelpPageCount)
    return nullptr;
  return m_pages.at(static_cast<std::size_t>(number - 1)).get();
}

void HelpPages::setZoom(double zoom) {
  m_zoom = zoom;
  for (const std::unique_ptr<HelpPage>& page : m_pages)
    if (page)
      page->setZoom(zoom);
}

void HelpPages::setSettings(Settings* settings) {
  m_settings = settings;
  for (const std::unique_ptr<HelpPage>& page : m_pages)
    if (page)
      page->setSettings(settings);
}

void HelpPages::show(int number) {
  page(number).showScreen();
}

} // namespace rpn::machine
