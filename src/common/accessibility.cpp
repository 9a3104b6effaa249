#include "accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <algorithm>
#include <cmath>

namespace rpn {
namespace {

// A label as assistive tools see it: named by its accessible name (else its caption), its caption
// readable as text and as value, read-only.
class LabelAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
  explicit LabelAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

  QString text(QAccessible::Text kind) const override {
    switch (kind) {
    case QAccessible::Name: {
      const QString name = widget()->accessibleName();
      return name.isEmpty() ? caption() : name;
    }
    case QAccessible::Value:
      return caption();
    default:
      return QAccessibleWidget::text(kind);
    }
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    return state;
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface)
      return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  // The text interface: the caption, with no selection and no cursor of its own.
  void selection(int, int* startOffset, int* endOffset) const override {
    *startOffset = *endOffset = 0;
  }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QString text(int startOffset, int endOffset) const override {
    const QString all = caption();
    const qsizetype start = std::clamp<qsizetype>(startOffset, 0, all.size());
    const qsizetype end =
        endOffset < 0 ? all.size() : std::clamp<qsizetype>(endOffset, start, all.size());
    return all.mid(start, end - start);
  }
  int characterCount() const override { return static_cast<int>(caption().size()); }
  QRect characterRect(int) const override { return {}; }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int, int* startOffset, int* endOffset) const override {
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
  }

private:
  QString caption() const { return static_cast<const QLabel*>(widget())->text(); }
};

// Our labels, and our windows, which would otherwise pass for a plain client area rather than a
// window with a title.
QAccessibleInterface* screenInterface(const QString& className, QObject* object) {
  if (!object || !object->isWidgetType())
    return nullptr;
  auto* widget = static_cast<QWidget*>(object);
  if (className == QLatin1String(ScreenLabel::staticMetaObject.className()))
    return new LabelAccessible(static_cast<QLabel*>(widget));
  if (widget->isWindow() && className.startsWith(QLatin1String("rpn::")))
    return new QAccessibleWidget(widget, QAccessible::Window);
  return nullptr;
}

double luminance(const QColor& colour) {
  const auto linear = [](double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
  };
  const QColor rgb = colour.toRgb();
  return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

} // namespace

void installAccessibleInterfaces() {
  // Qt keeps the list of interface factories; ours goes in once.
  static const bool installed = [] {
    QAccessible::installFactory(screenInterface);
    return true;
  }();
  Q_UNUSED(installed);
}

ScreenLabel::ScreenLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  installAccessibleInterfaces();
}

void setLabelText(QLabel* label, const QString& text) {
  const QString before = label->text();
  if (before == text)
    return;
  label->setText(text);
  QAccessibleTextUpdateEvent event(label, 0, before, text);
  QAccessible::updateAccessibility(&event);
}

void describe(QWidget* widget, const QString& words) {
  if (widget->accessibleDescription() == words)
    return;
  widget->setAccessibleDescription(words);
}

double contrastRatio(const QColor& a, const QColor& b) {
  const double la = luminance(a);
  const double lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor& colour, const QColor& background) {
  // Towards black on a light background, towards white on a dark one, in small steps so the
  // shade stays as near the wanted colour as reading allows.
  const QColor towards = luminance(background) > 0.18 ? QColor(0, 0, 0) : QColor(255, 255, 255);
  const QColor from = colour.toRgb();
  constexpr int kSteps = 40;
  QColor shade = from;
  for (int step = 1; step <= kSteps && contrastRatio(shade, background) < kReadableContrast;
       ++step) {
    const double t = static_cast<double>(step) / kSteps;
    const auto mix = [t](double a, double b) { return a + (b - a) * t; };
    shade = QColor::fromRgbF(static_cast<float>(mix(from.redF(), towards.redF())),
                             static_cast<float>(mix(from.greenF(), towards.greenF())),
                             static_cast<float>(mix(from.blueF(), towards.blueF())));
  }
  return shade;
}

void setTabOrderChain(const QList<QWidget*>& widgets) {
  for (qsizetype i = 1; i < widgets.size(); ++i)
    QWidget::setTabOrder(widgets[i - 1], widgets[i]);
}

void giveShortcut(QAbstractButton* button, const QKeySequence& keys) {
  button->setShortcut(keys);
  button->setToolTip(QStringLiteral("ショートカットキー: ") +
                     keys.toString(QKeySequence::NativeText));
}

} // namespace rpn
