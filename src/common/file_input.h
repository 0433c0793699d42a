#pragma once
// Opens the files the program reads. Only a regular file is read: a FIFO blocks the open until
// a writer comes and a device such as /dev/zero or /dev/urandom never ends, so either would
// hang the program or feed it endless nonsense. They are refused before anything can block.

#include <QFile>
#include <QString>
#include <string>

namespace brevane::files {

struct open_result {
  std::string not_a_file;  // why the path is no regular file: "it is a FIFO, not a file"
  std::string error;       // the system's reason it could not be opened: "Permission denied"
  bool ok() const { return not_a_file.empty() && error.empty(); }
  // One of the two, for callers that say "cannot be read: <why>".
  const std::string& why() const { return not_a_file.empty() ? error : not_a_file; }
};

// Opens path into file for reading, when it is a regular file. The type is taken from the very
// file opened (without waiting for a FIFO's writer), so nothing can swap it in between.
open_result open_regular(const QString& path, QFile& file);

}  // namespace brevane::files
