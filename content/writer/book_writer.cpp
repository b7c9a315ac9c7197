#include "content/writer/book_writer.h"

// WriteBook: the layout (book_layout.cpp), the encoding into the three files
// (book_encoding.cpp) and their commit into the folder (book_commit.cpp).

#include "content/writer/book_commit.h"
#include "content/writer/book_encoding.h"

namespace vrok {

std::vector<std::uint8_t> MakeImageItem(const std::vector<ImageVariant>& variants) {
  std::vector<std::uint8_t> item(3 + 11 * variants.size(), 0);
  item[0] = static_cast<std::uint8_t>(variants.size());
  std::size_t offset = item.size();
  for (std::size_t i = 0; i < variants.size(); ++i) {
    std::uint8_t* r = &item[3 + 11 * i];
    const ImageVariant& v = variants[i];
    r[0] = static_cast<std::uint8_t>(v.width >> 8);
    r[1] = static_cast<std::uint8_t>(v.width);
    r[2] = static_cast<std::uint8_t>(v.height >> 8);
    r[3] = static_cast<std::uint8_t>(v.height);
    for (int b = 0; b < 4; ++b) r[5 + b] = static_cast<std::uint8_t>(offset >> (24 - 8 * b));
    offset += v.bytes.size();
  }
  for (const auto& v : variants) item.insert(item.end(), v.bytes.begin(), v.bytes.end());
  return item;
}

BookWriteResult WriteBook(const Book& book, const std::string& folder) {
  return WriteBook(book, folder, nullptr);
}

BookWriteResult WriteBook(const Book& book, const std::string& folder, const CommitFaults* faults) {
  BookWriteResult result;
  const auto layout = LayOutBook(book, result.message);
  if (!layout) return result;
  return WriteBook(book, *layout, folder, faults);
}

BookWriteResult WriteBook(const Book& book, const BookLayout& layout, const std::string& folder,
                          const CommitFaults* faults, const StageExtra* extra) {
  BookWriteResult result;
  writer::EncodedBook encoded;
  if (!writer::EncodeBook(book, layout, encoded, result.message)) return result;
  if (!FinishInterruptedCommit(folder, result.message)) return result;
  if (!writer::CommitFiles(folder, {&*encoded.data, &*encoded.stringsFile, &*encoded.binaryFile},
                           faults, extra, result.message)) {
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace vrok
