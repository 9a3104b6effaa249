// The file dialog of the assembler screen's file menu: the platform's open and save dialogs.
#pragma once

#include "source_file.h"

#include <QFileDialog>
#include <QWidget>
#include <memory>

namespace rpn::machine {

class PlatformFileDialogs final : public SourceFileDialogs {
public:
  explicit PlatformFileDialogs(QWidget* parent) : m_parent(parent) {}
  QString ShowOpen(const QStringList& filters) override;
  // The screen asks its own overwrite question, so the dialog does not.
  QString ShowSave(const QStringList& filters) override;
  // The folder both dialogs start in ("" lets the platform choose).
  void setFolder(const QString& folder) { m_folder = folder; }

  // The dialog as it is shown, before it runs. Each filter keeps its caption, while a "*.*" in
  // it matches every name, as the caption promises, also names without a dot.
  static std::unique_ptr<QFileDialog> makeDialog(QWidget* parent, QFileDialog::AcceptMode mode,
                                                 const QStringList& filters);

private:
  QString run(QFileDialog::AcceptMode mode, const QStringList& filters);
  QWidget* m_parent;
  QString m_folder;
};

} // namespace rpn::machine
