// A file dialog for the tests: answers each open or save dialog with the next chosen path (none
// left, or "", is a cancel) and records the dialogs shown and the filters they offered; and the
// files the tests put in front of it.
#pragma once

#include "machine/source_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

namespace rpn::test {

// Writes bytes to path, making its folder; returns the path.
inline QString writeFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  if (file.open(QIODevice::WriteOnly))
    file.write(bytes);
  return path;
}

inline QByteArray readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace rpn::test
