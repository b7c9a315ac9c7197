#pragma once
// What the bookmark and note stores share: their pair of record files, the
// entries in stored order with the record number of each, and deleting by
// list position. Each store loads its own kind of entry in Reload. The
// stores are its only instances (user_store.cpp).

#include <span>
#include <string>
#include <vector>

#include "core/userdata/file_system.h"
#include "core/userdata/record_file.h"
#include "core/userdata/stored_pages.h"
#include "core/userdata/user_records.h"

namespace vrok {

template <class Item>
class UserStore {
 public:
  UserStore(const UserStore&) = delete;
  UserStore& operator=(const UserStore&) = delete;
  virtual ~UserStore() = default;

  bool Failed() const { return file_.Failed(); }
  // Readable but not changeable (another window has the pair, or it cannot
  // be written): every change gives -1.
  bool ReadOnly() const { return file_.ReadOnly(); }
  // The record files, for what their opening found.
  const RecordFile& Records() const { return file_; }

  // Deletes the entries at these list positions (in any order, repeats
  // allowed). Nothing is deleted when one is out of range. 0 or -1; the list
  // is reloaded either way.
  int Delete(std::span<const int> positions);

  const std::vector<Item>& Entries() const { return entries_; }
  int Count() const { return static_cast<int>(entries_.size()); }
  // nullptr for a position out of range.
  const Item* Entry(int position) const;

 protected:
  UserStore(const ContentDatabase& content, const ReservedKeys& reserved, bool builtInPages,
            const StoreFiles& names, FileSystem& files)
      : pages_(content, reserved, builtInPages),
        file_(names.index, names.data, files, StoredRecordLength) {}

  // Reads every entry again from the records, with its record number.
  virtual void Reload() = 0;

  StoredPages pages_;
  RecordFile file_;
  std::vector<Item> entries_;
  std::vector<int> records_;  // record number of each entry
};

}  // namespace vrok
