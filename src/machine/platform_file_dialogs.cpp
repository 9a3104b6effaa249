#include "platform_file_dialogs.h"

#include <QPointer>
#include <QRegularExpression>

namespace rpn::machine {
namespace {

// The dialog matches names against the last bracketed list of a filter and, with the details
// hidden, shows what stands before that list. So "全てのファイル(*.*)" is given as
// "全てのファイル(*.*)(*)": the caption as it reads, matching every name.
QString nameFilter(const QString& caption) {
  const QRegularExpression patterns(QStringLiteral(R"(\(([^()]*)\)$)"));
  const QRegularExpressionMatch match = patterns.match(caption);
  QString matched = match.hasMatch() ? match.captured(1) : QStringLiteral("*");
  matched.replace(QStringLiteral("*.*"), QStringLiteral("*"));
  return caption + u'(' + matched + u')';
}

} // namespace

std::unique_ptr<QFileDialog> PlatformFileDialogs::makeDialog(QWidget* parent,
                                                             QFileDialog::AcceptMode mode,
                                                             const QStringList& filters) {
  auto dialog = std::make_unique<QFileDialog>(parent);
  dialog->setAcceptMode(mode);
  dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                      : QFileDialog::AnyFile);
  dialog->setOption(QFileDialog::DontConfirmOverwrite);
  dialog->setOption(QFileDialog::HideNameFilterDetails);
  QStringList nameFilters;
  for (const QString& caption : filters)
    nameFilters << nameFilter(caption);
  dialog->setNameFilters(nameFilters);
  return dialog;
}

QString PlatformFileDialogs::run(QFileDialog::AcceptMode mode, const QStringList& filters) {
  std::unique_ptr<QFileDialog> dialog = makeDialog(m_parent, mode, filters);
  if (!m_folder.isEmpty())
    dialog->setDirectory(m_folder);
  const QPointer<QFileDialog> alive = dialog.get();
  const int result = dialog->exec();
  if (!alive) { // the parent went while the dialog was open, and took the dialog with it
    static_cast<void>(dialog.release());
    return {};
  }
  return result == QDialog::Accepted ? dialog->selectedFiles().value(0) : QString();
}

QString PlatformFileDialogs::ShowOpen(const QStringList& filters) {
  return run(QFileDialog::AcceptOpen, filters);
}

QString PlatformFileDialogs::ShowSave(const QStringList& filters) {
  return run(QFileDialog::AcceptSave, filters);
}

} // namespace rpn::machine
