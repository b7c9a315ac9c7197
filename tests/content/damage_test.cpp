// Damaged content files: cut short anywhere, or with bytes changed at
// random. Opening and reading must always return, never crash or hang.

#include <gtest/gtest.h>

#include <random>

#include "book_fixture.h"
#include "support/walk.h"

namespace vrok {
namespace {

const char* const kSuffixes[] = {"-Data.pdb", "-Strings.pdb", "-Binary-PPC.pdb"};

TEST(Damage, EveryPrefixOfEveryFile) {
  test::Fixture fx;
  fx.book.items = {std::vector<std::uint8_t>{9, 8, 7}};
  fx.prefix = test::WriteTestBook(fx.book, fx.dir);
  const std::uint64_t stringData = ContentDatabase(fx.prefix).Geometry().stringDataStart;
  for (const char* suffix : kSuffixes) {
    const std::string path = fx.prefix + suffix;
    const auto whole = test::ReadAll(path);
    for (std::size_t n = 0; n < whole.size(); ++n) {
      test::WriteAll(path, std::vector<std::uint8_t>(whole.begin(), whole.begin() + n));
      const ContentDatabase db(fx.prefix);
      test::WalkEverything(db);
      // A cut data file, or a strings file cut before its string data, leaves
      // nothing usable; cut strings or figures only lose what was cut.
      const std::string which = suffix;
      if (which == "-Data.pdb" || (which == "-Strings.pdb" && n < stringData)) {
        EXPECT_FALSE(db.IsReady()) << suffix << " cut at " << n;
      } else {
        EXPECT_TRUE(db.IsReady()) << suffix << " cut at " << n;
      }
    }
    test::WriteAll(path, whole);
  }
  EXPECT_TRUE(ContentDatabase(fx.prefix).IsReady());
}

TEST(Damage, RandomByteCorruptions) {
  test::Fixture fx;
  std::vector<std::vector<std::uint8_t>> originals;
  for (const char* suffix : kSuffixes) originals.push_back(test::ReadAll(fx.prefix + suffix));
  std::mt19937 rng(20261207);
  int ready = 0;
  for (int round = 0; round < 2000; ++round) {
    const std::size_t file = rng() % 3;
    auto bytes = originals[file];
    const std::size_t at = rng() % bytes.size();
    bytes[at] = static_cast<std::uint8_t>(rng());
    test::WriteAll(fx.prefix + kSuffixes[file], bytes);
    const ContentDatabase db(fx.prefix);
    test::WalkEverything(db);
    ready += db.IsReady();
    test::WriteAll(fx.prefix + kSuffixes[file], originals[file]);
  }
  // Most single-byte changes land in data, not geometry: the book still opens.
  EXPECT_GT(ready, 700);
}

}  // namespace
}  // namespace vrok
