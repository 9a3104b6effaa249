// What the program remembers from one run to the next, in the user's configuration folder
// ($XDG_CONFIG_HOME/rpn-workbench/rpn-workbench.conf): the zoom, each screen's interval text and
// trace-mode tick, each window's position, the last folder of the file dialogs and the five files
// used last.
//
// The shell owns the one Settings object and hands it to the screens; the engines never see it.
// Every value is read once, checked, and kept in memory; a change is written through at once.
// A settings file that is damaged (not text, or values that make no sense), unreadable or
// unwritable never stops the program: it starts with the defaults and says so once on standard
// error. A damaged file is kept beside the new one as "<name>.damaged".
#pragma once

#include <QHash>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QSettings;

namespace rpn {

class Settings {
public:
  static constexpr int kRecentFiles = 5;
  static constexpr int kDefaultZoom = 100;

  // The user's settings file.
  Settings();
  // Any settings file.
  explicit Settings(const QString& path);
  ~Settings();
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;

  // The user's settings file, below the configuration folder of the freedesktop.org rules.
  static QString userPath();
  const QString& path() const { return m_path; }

  // Percent, one of the zoom steps.
  int zoomPercent() const { return m_zoom; }
  void setZoomPercent(int percent);

  // Per window, by its objectName; none where nothing is remembered.
  std::optional<QString> intervalText(const QString& window) const;
  void setIntervalText(const QString& window, const QString& text);
  std::optional<bool> traceMode(const QString& window) const;
  void setTraceMode(const QString& window, bool ticked);
  std::optional<QPoint> windowPosition(const QString& window) const;
  void setWindowPosition(const QString& window, QPoint position);

  // The folder the file dialogs start in; "" when none was used yet.
  const QString& lastFolder() const { return m_lastFolder; }
  void setLastFolder(const QString& folder);
  // Newest first, at most kRecentFiles, each once.
  const QStringList& recentFiles() const { return m_recent; }
  void addRecentFile(const QString& path);
  void removeRecentFile(const QString& path);

  // Writes every change to the file now. False when it cannot be written (after the warning).
  bool sync();
  // The one warning given on standard error, "" if none.
  const QString& warning() const { return m_warning; }

private:
  struct Window {
    std::optional<QString> interval;
    std::optional<bool> trace;
    std::optional<QPoint> position;
  };

  void open();
  void read();
  void write(const QString& key, const QVariant& value);
  void writeRecent();
  void warnOnce(const QString& text);

  QString m_path;
  std::unique_ptr<QSettings> m_store; // null: the file is left alone
  int m_zoom = kDefaultZoom;
  QHash<QString, Window> m_windows;
  QString m_lastFolder;
  QStringList m_recent;
  QString m_warning;
};

} // namespace rpn
