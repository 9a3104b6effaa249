#include "file_errors.h"

#include <cerrno>

namespace rpn {

QString fileErrorCause(int systemError, const QString& platformText, bool writing) {
  switch (systemError) {
  case ENOENT:
  case ENOTDIR:
    return writing ? QStringLiteral("保存先のフォルダが見つかりません")
                   : QStringLiteral("ファイルが見つかりません");
  case EACCES:
  case EPERM:
    return QStringLiteral("アクセスが拒否されました");
  case EISDIR:
    return QStringLiteral("ファイルではなくフォルダです");
  case EROFS:
    return QStringLiteral("読み取り専用のファイルシステムです");
  case ENOSPC:
  case EDQUOT:
    return QStringLiteral("ディスクの空き容量が足りません");
  case EIO:
    return QStringLiteral("ディスクへの書き込みまたは読み込みに失敗しました");
  case EFBIG:
    return QStringLiteral("ファイルが大きすぎます");
  default:
    return platformText;
  }
}

} // namespace rpn
