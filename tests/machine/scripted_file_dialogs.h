// A file dialog for the tests: answers each open or save dialog with the next scripted path ("" is
// a cancel) and records the filters it was shown.
#pragma once

#include "machine/source_file.h"

#include <QString>
#include <QStringList>
#include <deque>

namespace rpn::machine::test {

class ScriptedFileDialogs final : public SourceFileDialogs {
public:
  QString ShowOpen(const QStringList& filters) override { return answer(u"open", filters); }
  QString ShowSave(const QStringList& filters) override { return answer(u"save", filters); }

  void choose(const QString& path) { m_paths.push_back(path); }
  // "open" or "save" for every dialog shown, in order.
  const QStringList& shown() const { return m_shown; }
  const QStringList& lastFilters() const { return m_filters; }

private:
  QString answer(QStringView kind, const QStringList& filters) {
    m_shown << kind.toString();
    m_filters = filters;
    if (m_paths.empty())
      return {};
    QString path = m_paths.front();
    m_paths.pop_front();
    return path;
  }
  std::deque<QString> m_paths;
  QStringList m_shown;
  QStringList m_filters;
};

} // namespace rpn::machine::test
