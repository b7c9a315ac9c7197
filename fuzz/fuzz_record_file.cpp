// Opens a record file pair made of arbitrary bytes: the first two input
// bytes give the index file's length, the index bytes follow and the rest
// is the data file. A damaged index is rebuilt with the stores' scanner. Every record is read and
// decoded, one is appended, and the pair is closed (which compacts it) and opened again: the
// readable records must all still be there, in order, followed by the new one.
#include <cstdlib>

#include "core/userdata/record_file.h"
#include "core/userdata/user_records.h"
#include "support/memory_file_system.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
const std::string kIndex = "/p/notes.vsi";
const std::string kData = "/p/notes.vsd";

std::vector<Bytes> Readable(vrok::RecordFile& file) {
  std::vector<Bytes> records;
  for (int i = 0; i < file.Count(); ++i) {
    if (auto bytes = file.ReadAll(i)) {
      vrok::DecodeBookmark(*bytes);
      vrok::DecodeNote(*bytes);
      records.push_back(std::move(*bytes));
    }
  }
  return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t indexSize = std::min<std::size_t>(data[0] | data[1] << 8, size - 2);
  vrok::testing::MemoryFileSystem files;
  files.SetFile(kIndex, Bytes(data + 2, data + 2 + indexSize));
  files.SetFile(kData, Bytes(data + 2 + indexSize, data + size));

  std::vector<Bytes> expected;
  const Bytes added = {0xAD, 0xDE};
  {
    vrok::RecordFile file(kIndex, kData, files, vrok::StoredRecordLength);
    if (file.Failed()) return 0;
    expected = Readable(file);
    std::uint8_t buffer[16];
    file.Read(1, buffer, data[0] % 8, data[1] % 16);
    if (file.Append(added) != 0) std::abort();
    expected.push_back(added);
  }
  vrok::RecordFile again(kIndex, kData, files, vrok::StoredRecordLength);
  if (again.Failed() || Readable(again) != expected) std::abort();
  return 0;
}
