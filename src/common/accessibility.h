// What the screens give assistive tools (screen readers, on-screen keyboards, UI test drivers)
// and keyboard users beyond the widgets' own: labels whose content is readable as text and
// announced when it changes, marks in words, readable colours, tab order and shortcuts.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QKeySequence>
#include <QLabel>
#include <QList>

namespace rpn {

// Gives our windows and labels their accessible interfaces; the labels do it themselves, a window
// without labels calls it before it is shown.
void installAccessibleInterfaces();

// The label of every screen. Its accessible name says what it is ("スタック 3"); its content is
// readable as text (and as its value) through the accessibility interface, even where the name
// differs from the caption, which a plain label does not offer.
class ScreenLabel final : public QLabel {
  Q_OBJECT
public:
  explicit ScreenLabel(const QString& text, QWidget* parent = nullptr);
};

// Shows text in label and tells assistive tools what changed, so a screen reader can announce a
// new value of a cell it is not looking at.
void setLabelText(QLabel* label, const QString& text);

// The accessible description (marks in words: "使用中", "点滅中"); an empty text removes it.
// Assistive tools hear of every change.
void describe(QWidget* widget, const QString& words);

// WCAG contrast ratio of two colours, from 1 (same luminance) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b);
// The text colour every caption and value needs at least against its background.
constexpr double kReadableContrast = 4.5;
// colour itself when it reads on background, else the nearest shade of it (darker on a light
// background, lighter on a dark one) that does.
QColor readableOn(const QColor& colour, const QColor& background);

// The keys move through widgets in the order given.
void setTabOrderChain(const QList<QWidget*>& widgets);

// A button press from anywhere in its window by keys: the caption stays as it is, the keys are
// named in the tooltip, which assistive tools read as the button's description.
void giveShortcut(QAbstractButton* button, const QKeySequence& keys);

} // namespace rpn
