#include "settings.h"

#include "screen_kit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <algorithm>

namespace rpn {
namespace {

// A settings file of this program is a few hundred bytes of text.
constexpr qint64 kFileLimit = 64 * 1024;
// No remembered text (an interval box, a path) is longer than this.
constexpr qsizetype kTextLimit = 4096;
// Window positions beyond this lie on no screen there is.
constexpr int kPositionLimit = 1'000'000;

const QString kZoomKey = QStringLiteral("zoom");
const QString kFilesGroup = QStringLiteral("files");
const QString kLastFolderKey = QStringLiteral("files/lastFolder");
const QString kRecentKey = QStringLiteral("files/recent");

QString key(const QString& window, QStringView name) {
  return window + u'/' + name.toString();
}

bool hasControlCharacters(QStringView text) {
  return std::any_of(text.begin(), text.end(),
                     [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

// What QSettings writes: UTF-8 text in lines.
bool looksLikeSettingsText(const QByteArray& bytes) {
  QStringDecoder decoder(QStringDecoder::Utf8);
  const QString text = decoder(bytes);
  if (decoder.hasError())
    return false;
  return std::none_of(text.begin(), text.end(), [](QChar c) {
    return (c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c.unicode() == 0x7f;
  });
}

bool isSoundText(const QVariant& value) {
  if (value.typeId() != QMetaType::QString)
    return false;
  const QString text = value.toString();
  return text.size() <= kTextLimit && !hasControlCharacters(text);
}

bool isSoundPath(const QString& path) {
  return !path.isEmpty() && path.size() <= kTextLimit && QDir::isAbsolutePath(path) &&
         !hasControlCharacters(path);
}

} // namespace

Settings::Settings() : Settings(userPath()) {}

Settings::Settings(const QString& path) : m_path(path) {
  open();
  if (m_store)
    read();
}

Settings::~Settings() {
  if (m_store)
    sync();
}

QString Settings::userPath() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  if (folder.isEmpty())
    return {};
  QString organisation = QCoreApplication::organizationName();
  if (organisation.isEmpty())
    organisation = QStringLiteral("rpn-workbench");
  QString application = QCoreApplication::applicationName();
  if (application.isEmpty())
    application = QStringLiteral("rpn-workbench");
  return folder + u'/' + organisation + u'/' + application + QStringLiteral(".conf");
}

void Settings::open() {
  if (m_path.isEmpty()) {
    warnOnce(
        QStringLiteral("rpn-workbench: 設定を保存する場所がありません。設定は保存されません。"));
    return;
  }
  bool damaged = false;
  if (QFileInfo::exists(m_path)) {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
      // Left alone: a file that cannot be read is no file to write over either.
      warnOnce(
          QStringLiteral("rpn-workbench: 設定ファイル %1 を読めません (%2)。既定の設定で始めます。")
              .arg(m_path, file.errorString()));
      return;
    }
    const QByteArray bytes = file.read(kFileLimit + 1);
    damaged = bytes.size() > kFileLimit || !looksLikeSettingsText(bytes);
  }
  if (!damaged) {
    m_store = std::make_unique<QSettings>(m_path, QSettings::IniFormat);
    if (m_store->status() == QSettings::NoError)
      return;
    if (m_store->status() == QSettings::AccessError) {
      m_store.reset();
      warnOnce(QStringLiteral("rpn-workbench: 設定ファイル %1 を読めません。既定の設定で始めます。")
                   .arg(m_path));
      return;
    }
    m_store.reset();
  }
  // A damaged file is kept aside for whoever wants to look at it, and a new one begins.
  warnOnce(QStringLiteral("rpn-workbench: 設定ファイル %1 が壊れています。既定の設定で始めます。")
               .arg(m_path));
  const QString aside = m_path + QStringLiteral(".damaged");
  QFile::remove(aside);
  if (QFile::rename(m_path, aside))
    m_store = std::make_unique<QSettings>(m_path, QSettings::IniFormat);
}

void Settings::read() {
  bool sound = true;
  const auto check = [&sound](bool ok) {
    sound = sound && ok;
    return ok;
  };

  if (const QVariant zoom = m_store->value(kZoomKey); zoom.isValid()) {
    bool number = false;
    const int percent = zoom.toString().toInt(&number);
    if (check(number && isZoomStep(percent)))
      m_zoom = percent;
  }
  if (const QVariant folder = m_store->value(kLastFolderKey); folder.isValid())
    if (check(isSoundText(folder) && isSoundPath(folder.toString())))
      m_lastFolder = folder.toString();
  if (const QVariant recent = m_store->value(kRecentKey); recent.isValid()) {
    const QStringList paths = recent.toStringList();
    check(recent.typeId() == QMetaType::QString || recent.typeId() == QMetaType::QStringList);
    for (const QString& path : paths)
      if (check(isSoundPath(path)) && !m_recent.contains(path) && m_recent.size() < kRecentFiles)
        m_recent << path;
  }

  const QStringList groups = m_store->childGroups();
  for (const QString& window : groups) {
    if (window == kFilesGroup)
      continue;
    Window remembered;
    if (const QVariant interval = m_store->value(key(window, u"interval")); interval.isValid())
      if (check(isSoundText(interval)))
        remembered.interval = interval.toString();
    if (const QVariant trace = m_store->value(key(window, u"trace")); trace.isValid()) {
      const QString text = trace.toString();
      if (check(text == u"true" || text == u"false"))
        remembered.trace = text == u"true";
    }
    if (const QVariant position = m_store->value(key(window, u"position")); position.isValid()) {
      const QPoint point = position.toPoint();
      if (check(position.typeId() == QMetaType::QPoint && std::abs(point.x()) < kPositionLimit &&
                std::abs(point.y()) < kPositionLimit))
        remembered.position = point;
    }
    m_windows.insert(window, remembered);
  }
  if (!sound)
    warnOnce(QStringLiteral("rpn-workbench: 設定ファイル %1 に読めない値があります。その値は既定の"
                            "設定で始めます。")
                 .arg(m_path));
}

void Settings::write(const QString& name, const QVariant& value) {
  if (!m_store)
    return;
  m_store->setValue(name, value);
  sync();
}

bool Settings::sync() {
  if (!m_store)
    return false;
  m_store->sync();
  if (m_store->status() == QSettings::NoError)
    return true;
  warnOnce(QStringLiteral("rpn-workbench: 設定ファイル %1 に書き込めません。設定は保存されません。")
               .arg(m_path));
  return false;
}

void Settings::warnOnce(const QString& text) {
  if (!m_warning.isEmpty())
    return;
  m_warning = text;
  qWarning("%s", qUtf8Printable(text));
}

void Settings::setZoomPercent(int percent) {
  if (!isZoomStep(percent) || percent == m_zoom)
    return;
  m_zoom = percent;
  write(kZoomKey, percent);
}

std::optional<QString> Settings::intervalText(const QString& window) const {
  return m_windows.value(window).interval;
}

void Settings::setIntervalText(const QString& window, const QString& text) {
  const QString kept = text.left(kTextLimit);
  std::optional<QString>& interval = m_windows[window].interval;
  if (interval == kept)
    return;
  interval = kept;
  write(key(window, u"interval"), kept);
}

std::optional<bool> Settings::traceMode(const QString& window) const {
  return m_windows.value(window).trace;
}

void Settings::setTraceMode(const QString& window, bool ticked) {
  std::optional<bool>& trace = m_windows[window].trace;
  if (trace == ticked)
    return;
  trace = ticked;
  write(key(window, u"trace"), ticked);
}

std::optional<QPoint> Settings::windowPosition(const QString& window) const {
  return m_windows.value(window).position;
}

void Settings::setWindowPosition(const QString& window, QPoint position) {
  std::optional<QPoint>& kept = m_windows[window].position;
  if (kept == position)
    return;
  kept = position;
  write(key(window, u"position"), position);
}

void Settings::setLastFolder(const QString& folder) {
  if (!isSoundPath(folder) || folder == m_lastFolder)
    return;
  m_lastFolder = folder;
  write(kLastFolderKey, folder);
}

void Settings::addRecentFile(const QString& path) {
  if (!isSoundPath(path))
    return;
  QStringList recent = m_recent;
  recent.removeAll(path);
  recent.prepend(path);
  if (recent.size() > kRecentFiles)
    recent.resize(kRecentFiles);
  if (recent == m_recent)
    return;
  m_recent = recent;
  writeRecent();
}

void Settings::removeRecentFile(const QString& path) {
  if (m_recent.removeAll(path) > 0)
    writeRecent();
}

void Settings::writeRecent() {
  write(kRecentKey, m_recent);
}

} // namespace rpn
