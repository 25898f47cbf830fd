// FileList: the list of file entries that the selection and the DAT file operations build and
// consume, one entry per program or file with the channel it runs in, the NC it belongs to and
// whether it is used from the hard-disk store. A plain array that is reallocated on every append;
// entries keep the order in which they were appended.
#pragma once

#include <memory>

#include "zov/unique_bstr.h"
#include "zov/win32.h"

namespace zov::server {

struct FileEntry {
  unique_bstr name;    // program or file name (a host path once it has been stored)
  SHORT channel = 0;   // NC channel number
  unique_bstr ncName;  // the NC (NCU) named for the entry, or null
  LONG disk = 0;       // 1 when the entry carries the DISK mark, else 0
};

class FileList {
 public:
  FileList() = default;
  FileList(const FileList&) = delete;
  FileList& operator=(const FileList&) = delete;

  // Appends a copy of the strings (a null string stays null) with `channel` and `disk`. Returns 1,
  // or 0 with the list unchanged when memory runs out.
  int Append(LPCOLESTR name, SHORT channel, LPCOLESTR ncName, LONG disk);
  // Frees the entries, the last one first, and the array; the count becomes 0.
  void Clear();
  // Makes the list a copy of `other`, entry by entry in order; nothing happens when `other` is
  // this list. Returns 1, or 0 when memory ran out (the list then holds the entries copied so far).
  int Assign(const FileList& other);

  LONG Count() const { return count_; }
  // The channel of entry `index`, or -1 when the index is negative or not below the count.
  SHORT ChannelAt(LONG index) const;
  // Entry `index`, or null when the index is out of range.
  const FileEntry* At(LONG index) const;

 private:
  std::unique_ptr<FileEntry[]> entries_;  // null when the list is empty
  LONG count_ = 0;
};

}  // namespace zov::server
