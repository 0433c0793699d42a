#include "logging/new_file.h"

#include <QFile>
#include <QFileInfo>

namespace brevane {

namespace {
// Far more than any folder holds of one name; it only bounds the search.
constexpr int max_number = 9999;
}  // namespace

QString numbered_name(const QString& wanted, int n) {
  if (n <= 1) return wanted;
  const qsizetype slash = wanted.lastIndexOf(QLatin1Char('/'));
  const qsizetype dot = wanted.lastIndexOf(QLatin1Char('.'));
  const QString number = QStringLiteral(" (%1)").arg(n);
  if (dot <= slash + 1) return wanted + number;  // no extension, or a dot-file
  return wanted.left(dot) + number + wanted.mid(dot);
}

new_file_result write_new_file(const QString& wanted, const QByteArray& bytes) {
  for (int n = 1; n <= max_number; ++n) {
    const QString name = numbered_name(wanted, n);
    QFile file(name);
    // NewOnly is O_CREAT|O_EXCL: the system guarantees the file is new, so nothing is replaced
    // even when another writer takes the name at the same moment.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
      const QFileInfo there(name);
      if (there.exists() || there.isSymLink()) continue;
      return {QString(), name + QStringLiteral(": ") + file.errorString()};
    }
    if (file.write(bytes) == bytes.size()) {
      file.close();
      if (file.error() == QFileDevice::NoError) return {name, QString()};
    }
    const QString reason = file.errorString();
    // The file is ours and incomplete: a half picture must not pass for a whole one.
    file.close();
    QFile::remove(name);
    return {QString(), name + QStringLiteral(": ") +
                           (reason.isEmpty() ? QStringLiteral("write failed") : reason)};
  }
  return {QString(),
          wanted + QStringLiteral(": every numbered name up to (%1) is taken").arg(max_number)};
}

}  // namespace brevane
