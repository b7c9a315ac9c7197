#include "core/userdata/user_store.h"

#include "core/userdata/bookmark_store.h"
#include "core/userdata/note_store.h"

namespace vrok {

template <class Item>
int UserStore<Item>::Delete(std::span<const int> positions) {
  const int result = RemoveEntries(file_, records_, positions);
  Reload();
  return result;
}

template <class Item>
const Item* UserStore<Item>::Entry(int position) const {
  if (position < 0 || position >= Count()) return nullptr;
  return &entries_[static_cast<std::size_t>(position)];
}

template class UserStore<Bookmark>;
template class UserStore<Note>;

}  // namespace vrok
