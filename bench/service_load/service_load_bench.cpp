// The service at scale: N simulated listeners against one MySQL-protocol server, each
// with a connection of its own (a TMyConnection, as every running copy of the program
// keeps one) fetching the chat feed's query, on a time scale compressed 100 times: a
// fetch every 250 ms instead of every 25 s, and one new chat message every 600 ms (one
// per simulated minute) from a writer of its own. One simulated listener therefore
// stands for 100 real ones.
//
//   service_load_bench URL [SECONDS_PER_LEVEL] [MAX_LISTENERS]
//
// Measures one listener first (the reference of the same run), then doubles N until the
// p99 fetch latency reaches 100 ms (or connections fail), then narrows the step between
// the last level that held and the first that did not. Prints a line per level and the
// largest N that held, with what that means in real listeners.
//
// Threads: one per listener and the writer; each owns its connection and query. The
// results go to per-listener vectors, read after every thread has been joined.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/service_url.h"
#include "dbclient/my_connection.h"
#include "dbclient/my_query.h"
#include "online/service_config.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr const char* kChatQuery =
    "SELECT id, user, message from ut_messages order by id desc limit 16 ";
constexpr milliseconds kFetchInterval{25000 / 100};
constexpr milliseconds kMessageInterval{60000 / 100};
constexpr double kTargetP99Ms = 100.0;

struct Level {
  int listeners = 0;
  double p50_ms = 0;
  double p99_ms = 0;
  double fetches_per_second = 0;
  long failures = 0;
  bool Held() const { return failures == 0 && p99_ms < kTargetP99Ms; }
};

double Percentile(std::vector<double>& values, double p) {
  if (values.empty()) return 0;
  const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at), values.end());
  return values[at];
}

Level Run(int listeners, std::chrono::seconds length) {
  std::vector<std::vector<double>> latencies(static_cast<std::size_t>(listeners));
  std::atomic<long> failures{0};
  std::atomic<bool> told{false};
  // Counts a failure; the first one of a level is printed.
  const auto Fail = [&](const char* what) {
    ++failures;
    if (!told.exchange(true)) std::fprintf(stderr, "%d listeners: %s\n", listeners, what);
  };
  std::atomic<int> connected{0};
  std::atomic<bool> go{false};
  Clock::time_point start;
  std::vector<std::thread> threads;
  threads.reserve(static_cast<std::size_t>(listeners) + 1);
  for (int i = 0; i < listeners; ++i) {
    threads.emplace_back([&, i] {
      kalvira::TMyConnection connection;
      kalvira::ConfigureServiceConnection(connection);
      kalvira::TMyQuery query;
      query.SetConnection(&connection);
      // A thousand copies connecting in the same instant overrun the server's accept
      // queue; real listeners start at different times, and a copy whose connect fails
      // tries again at its next fetch. So a connect is tried a few times here, and only a
      // listener that never gets in counts as a failure.
      for (int attempt = 1; attempt <= 5 && !connection.Connected(); ++attempt) {
        try {
          connection.SetConnected(true);
        } catch (const std::exception& e) {
          if (attempt == 5) Fail(e.what());
          std::this_thread::sleep_for(milliseconds(100 * attempt));
        }
      }
      ++connected;
      while (!go.load()) std::this_thread::sleep_for(milliseconds(5));
      if (!connection.Connected()) return;
      // Listeners started at different moments: spread over one interval.
      std::mt19937 random(static_cast<unsigned>(i));
      auto next = start + milliseconds(std::uniform_int_distribution<int>(
                              0, static_cast<int>(kFetchInterval.count()) - 1)(random));
      std::vector<double>& mine = latencies[static_cast<std::size_t>(i)];
      while (next < start + length) {
        std::this_thread::sleep_until(next);
        const auto before = Clock::now();
        try {
          query.SetActive(false);
          query.SetSQL(kChatQuery);
          query.Execute();
          mine.push_back(std::chrono::duration<double, std::milli>(Clock::now() - before).count());
        } catch (const std::exception& e) {
          Fail(e.what());
        }
        next += kFetchInterval;
      }
    });
  }
  threads.emplace_back([&] {
    kalvira::TMyConnection connection;
    kalvira::ConfigureServiceConnection(connection);
    kalvira::TMyQuery query;
    query.SetConnection(&connection);
    ++connected;
    while (!go.load()) std::this_thread::sleep_for(milliseconds(5));
    long n = 0;
    for (auto next = start; next < start + length; next += kMessageInterval) {
      std::this_thread::sleep_until(next);
      try {
        query.SetActive(false);
        query.SetSQL("INSERT INTO ut_messages (user, message) VALUES ('listener', 'message " +
                     std::to_string(++n) + " of the load run')");
        query.Execute();
      } catch (const std::exception& e) {
        Fail(e.what());
      }
    }
  });
  while (connected.load() < listeners + 1) std::this_thread::sleep_for(milliseconds(5));
  start = Clock::now() + milliseconds(50);
  go.store(true);
  for (std::thread& t : threads) t.join();

  std::vector<double> all;
  for (const auto& mine : latencies) all.insert(all.end(), mine.begin(), mine.end());
  Level level;
  level.listeners = listeners;
  level.failures = failures.load();
  level.fetches_per_second =
      static_cast<double>(all.size()) / std::chrono::duration<double>(length).count();
  level.p50_ms = Percentile(all, 0.50);
  level.p99_ms = Percentile(all, 0.99);
  return level;
}

void Print(const Level& level, double reference_p99) {
  std::printf(
      "%6d listeners (%7d real)  %8.1f fetches/s  p50 %7.2f ms  p99 %7.2f ms  "
      "p99/reference %6.1f  failures %ld  %s\n",
      level.listeners, level.listeners * 100, level.fetches_per_second, level.p50_ms, level.p99_ms,
      reference_p99 > 0 ? level.p99_ms / reference_p99 : 0.0, level.failures,
      level.Held() ? "held" : "did not hold");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: %s URL [SECONDS_PER_LEVEL] [MAX_LISTENERS]\n", argv[0]);
    return 2;
  }
  if (!kalvira::ParseServiceUrl(argv[1])) {
    std::fprintf(stderr, "bad URL\n");
    return 2;
  }
  // Every listener connects as the program does: through the service settings.
  ::setenv("KALVIRA_SERVICE", argv[1], 1);
  const std::chrono::seconds length(argc > 2 ? std::atoi(argv[2]) : 8);
  const int max_listeners = argc > 3 ? std::atoi(argv[3]) : 6400;

  const Level reference = Run(1, length);
  Print(reference, reference.p99_ms);
  int held = reference.Held() ? 1 : 0;
  int failed = 0;
  for (int n = 50; n <= max_listeners; n *= 2) {
    const Level level = Run(n, length);
    Print(level, reference.p99_ms);
    if (!level.Held()) {
      failed = n;
      break;
    }
    held = n;
  }
  // Two halvings of the step between the last level that held and the first that did not.
  for (int i = 0; i < 2 && failed > 0 && failed - held > held / 8; ++i) {
    const int n = (held + failed) / 2;
    const Level level = Run(n, length);
    Print(level, reference.p99_ms);
    (level.Held() ? held : failed) = n;
  }
  std::printf(
      "largest N with p99 under %.0f ms: %d simulated listeners, about %d real "
      "listeners (each fetching every 25 s)%s\n",
      kTargetP99Ms, held, held * 100,
      failed == 0 ? " (the largest level tried; more may hold)" : "");
  return 0;
}
