#pragma once
// Files in the data folder are only ever added: a name that is taken, even between the check
// and the write, gives the new file a number, "<name> (2).<ext>", "<name> (3).<ext>", ...

#include <QByteArray>
#include <QString>

namespace brevane {

struct new_file_result {
  QString path;   // where the bytes went; empty on failure
  QString error;  // why nothing was written, naming the path tried
};

// "<dir>/<base> (n).<ext>" for n >= 2; the wanted path itself for n <= 1.
QString numbered_name(const QString& wanted, int n);

// Writes bytes into a file that did not exist before, at `wanted` or its first free numbered
// name. Nothing is left behind when the write fails.
new_file_result write_new_file(const QString& wanted, const QByteArray& bytes);

}  // namespace brevane
