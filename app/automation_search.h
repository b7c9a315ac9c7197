#pragma once
// The script command "wait-search MS": waits until the book search index
// is ready (or known to be unavailable), or fails after MS real
// milliseconds.

#include <string>

namespace vrok {

class ReaderApp;

bool WaitSearch(ReaderApp& app, long long ms, std::string& error);

}  // namespace vrok
