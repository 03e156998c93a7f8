// The read-ahead of sizes and genres: every result is what reading that one file in order
// gives, whatever the number of workers, and workers stop cleanly when the scan leaves
// early.
#include "scan/tag_prefetch.h"

#include <gtest/gtest.h>

#include "scan/genre_reader.h"
#include "tests/scan/scan_fixture.h"

namespace kalvira {
namespace {

TEST(TagPrefetchTest, ResultsAreWhatEachFileGivesInOrder) {
  testing::MusicCollection c;
  std::vector<std::string> paths;
  for (int i = 0; i < 12; ++i) {
    const std::string name = "f" + std::to_string(i) + ".mp3";
    if (i % 4 == 0) {
      paths.push_back(c.OfSize(name, 5000));
    } else if (i % 4 == 1) {
      paths.push_back(c.Bytes(name, std::string(1100000, '\0')));  // large, no audio
    } else {
      paths.push_back(c.TaggedBy(name, "id3v2 -2 --TCON Genre" + std::to_string(i)));
    }
  }
  paths.push_back(c.Path("missing.mp3"));
  std::vector<bool> wanted(paths.size(), true);
  wanted[2] = false;
  for (int threads : {1, 3}) {
    SCOPED_TRACE(threads);
    TTagPrefetch prefetch(paths, wanted, threads);
    TGenreReader reader;
    int idles = 0;
    for (std::size_t i = 0; i < paths.size(); ++i) {
      const TTagPrefetch::Result result = prefetch.Take(
          i, [&] { ++idles; }, std::chrono::milliseconds(1));
      const bool large = wanted[i] && LargeEnough(paths[i]);
      EXPECT_EQ(result.large, large) << i;
      EXPECT_EQ(result.genre, large ? reader.Read(paths[i]) : std::nullopt) << i;
    }
  }
}

TEST(TagPrefetchTest, LeavingEarlyStopsTheWorkers) {
  testing::MusicCollection c;
  std::vector<std::string> paths;
  for (int i = 0; i < 40; ++i) paths.push_back(c.Untagged("u" + std::to_string(i) + ".mp3"));
  auto prefetch = std::make_unique<TTagPrefetch>(paths, std::vector<bool>(paths.size(), true), 2);
  EXPECT_TRUE(prefetch
                  ->Take(
                      0, [] {}, std::chrono::milliseconds(1))
                  .large);
  prefetch.reset();  // joins; the files not yet read are never read
}

}  // namespace
}  // namespace kalvira
