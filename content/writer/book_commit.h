#pragma once
// Putting the three encoded files of a book into its folder, replacing the
// book there: staged, synced, committed by one folder rename (see
// WriteBook).

#include <array>
#include <string>

#include "content/writer/book_encoding.h"
#include "content/writer/book_writer.h"

namespace vrok::writer {

// Writes the files (data, strings, binary), and the file extra stages beside
// them when given, into `folder`; false, with error set, when they could not
// be put in place (the old book is then kept, or put back, where that is
// possible).
bool CommitFiles(const std::string& folder, const std::array<const Container*, 3>& files,
                 const CommitFaults* faults, const StageExtra* extra, std::string& error);

}  // namespace vrok::writer
