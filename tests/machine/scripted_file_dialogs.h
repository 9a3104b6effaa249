// A file dialog for the tests: answers each open or save dialog with the next chosen path (none
// left, or "", is a cancel) and records the dialogs shown and the filters they offered.
#pragma once

#include "machine/source_file.h"

#include <QString>
#include <QStringList>

namespace rpn::machine::test {

class ScriptedFileDialogs final : public SourceFileDialogs {
public:
  QString ShowOpen(const QStringList& filters) override { return answer(u"open", filters); }
  QString ShowSave(const QStringList& filters) override { return answer(u"save", filters); }

  void choose(const QString& path) { m_paths << path; }
  // "open" or "save" for every dialog shown, in order.
  const QStringList& shown() const { return m_shown; }
  const QStringList& lastFilters() const { return m_filters; }

private:
  QString answer(QStringView kind, const QStringList& filters) {
    m_shown << kind.toString();
    m_filters = filters;
    return m_paths.isEmpty() ? QString() : m_paths.takeFirst();
  }
  QStringList m_paths;
  QStringList m_shown;
  QStringList m_filters;
};

} // namespace rpn::machine::test
