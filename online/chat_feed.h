// The chat feed and the message insert: what one fetch of the 16 newest listener
// messages yields, and how one message is stored. The main window puts the lines into
// its two labels and switches the feed off after a failure; this file decides nothing
// about widgets.
//
// Threads: the user-interface thread only (statements block it).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kalvira {

class TServiceDatabase;
class TSettingsFiles;

// One message row as a line of the HTML-subset labels: user, ": ", message, "<br>".
// Nothing is escaped or added; the labels render only their subset.
std::string ChatLine(std::string_view user, std::string_view message);

// The most a label line takes of one field; a server that sends more gets its text cut
// at a character boundary, so a hostile row cannot stall the window's rendering.
inline constexpr std::size_t kMaxChatFieldBytes = 8192;

struct ChatFetch {
  // True when the fetch failed and was logged; the feed is then off for the run.
  bool failed = false;
  // The lines, newest first, at most 16 (empty after a failure).
  std::vector<std::string> lines;
};

// One fetch: configures the connection, runs the chat query on dfqup and reads the
// columns user and message of each row. Any failure, of the statement or of reading its
// rows (a server that sends other columns), is logged once with the feed's message and
// gives `failed` with no lines. An empty table is no failure. Throws only what LogError
// throws (a refused write), which happens only on that failure.
ChatFetch FetchChatMessages(TServiceDatabase& db, const TSettingsFiles& settings);

// Configures the connection and inserts one row (user, message) through dfqup. A failure
// is logged and shown to no one. Throws only what LogError throws.
void SendChatMessage(TServiceDatabase& db, const TSettingsFiles& settings, std::string_view user,
                     std::string_view message);

}  // namespace kalvira
