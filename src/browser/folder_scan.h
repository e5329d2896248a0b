#pragma once

// One reading of a folder for the file list: every entry but ".", with the
// attribute bits the list filters by (linux_shell.h), its size and time.

#include <QString>

#include <cstdint>
#include <vector>

namespace vumo {

struct TScanEntry {
  QString name;
  std::uint32_t attributes = 0;
  std::int64_t size = 0;
  std::int64_t mtimeNs = 0;
};

// Replaces the entries with those of the folder; none when it cannot be read.
void ScanFolder(const QString& folder, std::vector<TScanEntry>& entries);

}  // namespace vumo
