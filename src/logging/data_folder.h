#pragma once
// One writer per data folder: the folder is made when missing and held through a lock file for
// the whole run. A folder that another Brevane holds is left alone for the first free sibling
// ("data 2", "data 3", ...).

#include <QLockFile>
#include <QString>
#include <memory>
#include <string>

namespace brevane {

inline constexpr const char* data_folder_lock_name = ".brevane.lock";
inline constexpr int max_data_folder_siblings = 99;

// Makes the folder when it is missing. Empty when it is a writable folder, else why not.
std::string make_writable_folder(const QString& path);

// Releases a folder's lock. A lock file that went with its folder during the run cannot be
// removed; Qt would say so on stderr at the very end, long after the loss was told.
struct release_folder_lock {
  QString path;  // the lock file
  void operator()(QLockFile* lock) const;
};
using folder_lock = std::unique_ptr<QLockFile, release_folder_lock>;

struct data_folder_claim {
  QString path;         // the folder this run writes into; empty when none
  folder_lock lock;     // held for as long as the claim lives
  std::string message;  // why a sibling was taken, or why no folder could be
};

// Claims `wanted`, or, when another running Brevane holds it, the first free sibling up to
// "<wanted> <max_siblings>". A lock left by a process that is gone is taken over at once.
data_folder_claim claim_data_folder(const QString& wanted,
                                    int max_siblings = max_data_folder_siblings);

}  // namespace brevane
