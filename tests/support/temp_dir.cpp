#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/book_nodes.h"

namespace vrok::test {

TempDir::TempDir() {
  path_ = MakeTempFolder("vrok-test");
  if (path_.empty()) ADD_FAILURE() << "cannot create a temporary folder";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace vrok::test
