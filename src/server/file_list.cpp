#include "server/file_list.h"

#include <new>

namespace zov::server {

namespace {

// A copy of `text` up to its NUL; a null string stays null. False when memory runs out.
bool CopyString(LPCOLESTR text, unique_bstr* copy) {
  if (!text) return true;
  copy->reset(SysAllocString(text));
  return copy->get() != nullptr;
}

}  // namespace

int FileList::Append(LPCOLESTR name, SHORT channel, LPCOLESTR ncName, LONG disk) {
  FileEntry added;
  if (!CopyString(name, &added.name) || !CopyString(ncName, &added.ncName)) return 0;
  added.channel = channel;
  added.disk = disk;

  std::unique_ptr<FileEntry[]> grown(new (std::nothrow) FileEntry[count_ + 1]);
  if (!grown) return 0;
  for (LONG i = 0; i < count_; ++i) grown[i] = std::move(entries_[i]);
  grown[count_] = std::move(added);
  entries_ = std::move(grown);
  ++count_;
  return 1;
}

void FileList::Clear() {
  // delete[] destroys the entries from the last to the first.
  entries_.reset();
  count_ = 0;
}

int FileList::Assign(const FileList& other) {
  if (&other == this) return 1;
  Clear();
  // Entries only come from Append, which copies up to the NUL, so copying them the same way
  // loses nothing.
  for (LONG i = 0; i < other.count_; ++i) {
    const FileEntry& entry = other.entries_[i];
    if (!Append(entry.name.get(), entry.channel, entry.ncName.get(), entry.disk)) return 0;
  }
  return 1;
}

SHORT FileList::ChannelAt(LONG index) const {
  if (index < 0 || index >= count_) return -1;
  return entries_[index].channel;
}

const FileEntry* FileList::At(LONG index) const {
  if (index < 0 || index >= count_) return nullptr;
  return &entries_[index];
}

}  // namespace zov::server
