#include "platform_file_dialogs.h"

#include <QFileDialog>

namespace rpn::machine {

QString PlatformFileDialogs::ShowOpen(const QStringList& filters) {
  return QFileDialog::getOpenFileName(m_parent, {}, m_folder, filters.join(QStringLiteral(";;")));
}

QString PlatformFileDialogs::ShowSave(const QStringList& filters) {
  return QFileDialog::getSaveFileName(m_parent, {}, m_folder, filters.join(QStringLiteral(";;")),
                                      nullptr, QFileDialog::DontConfirmOverwrite);
}

} // namespace rpn::machine
