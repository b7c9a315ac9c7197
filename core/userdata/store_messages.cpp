#include "core/userdata/store_messages.h"

namespace vrok {
namespace {

// Paths are UTF-8 on this system; shown as they are.
std::u16string Wide(const std::string& text) {
  std::u16string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    char32_t c = lead;
    std::size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (extra > text.size() - i - 1) extra = 0;
    if (extra > 0) c = lead & (0x3F >> extra);
    for (std::size_t k = 1; k <= extra; ++k)
      c = c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += extra + 1;
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::u16string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return Wide(slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1));
}

std::u16string Unusable(const StoreWords& w) {
  return std::u16string(u" ") + std::u16string(w.heading) + u" cannot be shown or changed.";
}

std::u16string Describe(const RecordFile::Notice& n, const RecordFile& file, const StoreWords& w) {
  using What = RecordFile::Notice::What;
  const std::u16string path = Wide(n.path);
  const std::u16string aside = Wide(n.aside);
  switch (n.what) {
    case What::kDataMissing:
      return path + u" is missing." + Unusable(w);
    case What::kNotAFile:
      return path + u" is a link or not a plain file; it is not used." + Unusable(w);
    case What::kUnreadable:
      return path + u" cannot be read." + Unusable(w);
    case What::kBadVersion:
      if (n.aside.empty())
        return path + u" is not a " + std::u16string(w.one) + u" file." + Unusable(w);
      return path + u" was not a " + std::u16string(w.one) + u" file and has been started anew. " +
             u"The old file is kept as " + aside + u".";
    case What::kIndexRebuilt: {
      std::u16string text = path + u" was missing or damaged. The " + std::u16string(w.items) +
                            u" were read again from " + Wide(file.DataPath()) +
                            u"; deleted ones may have come back.";
      if (!n.aside.empty())
        text += u" The files as found are kept as " + aside + u" and its index.";
      return text;
    }
    case What::kStrayNewIndex:
      return path + u" did not belong to the " + std::u16string(w.items) +
             u" and was not used. It is kept as " + aside + u".";
  }
  return {};
}

}  // namespace

std::vector<std::u16string> OpeningMessages(const RecordFile& file, const StoreWords& words) {
  std::vector<std::u16string> messages;
  for (const auto& notice : file.Notices()) messages.push_back(Describe(notice, file, words));
  if (auto why = ReadOnlyMessage(file, words); !why.empty()) messages.push_back(std::move(why));
  return messages;
}

std::u16string ReadOnlyMessage(const RecordFile& file, const StoreWords& w) {
  using Reason = RecordFile::ReadOnlyReason;
  switch (file.WhyReadOnly()) {
    case Reason::kNone:
      return {};
    case Reason::kLocked:
      return std::u16string(w.heading) + u" are open in another Vrok window";
    case Reason::kNotWritable:
      return std::u16string(w.heading) + u" can be read but not changed: " +
             FolderOf(file.DataPath()) + u" or its " + std::u16string(w.one) +
             u" files cannot be written.";
    case Reason::kNoCopy:
      return std::u16string(w.heading) + u" can be read but not changed: no copy of the damaged " +
             u"files could be kept in " + FolderOf(file.DataPath()) + u".";
  }
  return {};
}

std::u16string NotDeletedMessage(const StoreWords& w, std::size_t count) {
  return count == 1 ? u"This " + std::u16string(w.one) + u" could not be deleted."
                    : u"These " + std::u16string(w.items) + u" could not be deleted.";
}

}  // namespace vrok
