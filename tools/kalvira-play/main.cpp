// kalvira-play FILE...: plays MP3 files one after another through the radio's own chain,
// TMP3In → TDXAudioOut, on the device KALVIRA_AUDIO_OUT chooses (PortAudio by default,
// wav:PATH to record), and prints each file's format and tag record. In a terminal,
// space pauses and resumes and q stops. For listening, for bug reports and for checks.
//
// Exit status: 0 when every file played to its end, 1 when a run reported an error,
// 2 for a usage error. The main thread is the user-interface thread of the engine.
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "audio/dx_audio_out.h"
#include "audio/mp3_in.h"
#include "base/cp1251.h"
#include "base/sync_call.h"

namespace kalvira {
namespace {

// The terminal's settings while keys are read one at a time; restored at every exit.
termios g_saved_termios;
volatile std::sig_atomic_t g_raw = 0;

void RestoreTerminal() {
  if (g_raw != 0) {
    tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_termios);
    g_raw = 0;
  }
}

void OnSignal(int signal) {
  RestoreTerminal();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// Keys without Enter and without echo; Ctrl-C still interrupts.
bool EnterKeyMode() {
  if (isatty(STDIN_FILENO) == 0 || tcgetattr(STDIN_FILENO, &g_saved_termios) != 0) return false;
  termios raw = g_saved_termios;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  std::atexit(RestoreTerminal);
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(signal, OnSignal);
  if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) return false;
  g_raw = 1;
  return true;
}

// The engine's calls for this thread arrive through a pipe, so the loop below sleeps until
// a call or a key comes and costs no wake-ups of its own while a file plays.
int g_wake_pipe[2] = {-1, -1};

void InstallWakeUp() {
  if (pipe(g_wake_pipe) != 0) return;
  SyncCallQueue::Instance().SetWakeUp([] {
    const char byte = 1;
    (void)!write(g_wake_pipe[1], &byte, 1);
  });
}

// Waits for a synchronized call or (with `keys`) a key; runs the calls; returns the key
// pressed, or 0.
char WaitForCallOrKey(bool keys) {
  pollfd fds[2] = {{g_wake_pipe[0], POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
  // The time limit only guards against a wake-up missed before the pipe existed.
  if (poll(fds, keys ? 2 : 1, 1000) > 0) {
    char drain[64];
    if ((fds[0].revents & POLLIN) != 0) (void)!read(g_wake_pipe[0], drain, sizeof drain);
  }
  SyncCallQueue::Instance().RunPending();
  char key = 0;
  if (keys && (fds[1].revents & POLLIN) != 0 && read(STDIN_FILENO, &key, 1) != 1) key = 0;
  return key;
}

std::string Clock(std::int64_t centiseconds) {
  char text[32];
  const std::int64_t seconds = centiseconds / 100;
  std::snprintf(text, sizeof text, "%lld:%02lld.%02lld", static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60), static_cast<long long>(centiseconds % 100));
  return text;
}

void PrintRecord(TMP3In& input) {
  TId3v2Tags& tags = input.Id3v2Tags();
  std::printf("  format    %u Hz, %u channel%s, %u bits, %s\n", input.GetSampleRate(),
              input.GetChannels(), input.GetChannels() == 1 ? "" : "s", input.GetBitsPerSample(),
              Clock(input.DurationCs()).c_str());
  const struct {
    const char* name;
    std::string value;
  } fields[] = {
      {"artist", tags.Artist()},
      {"title", tags.Title()},
      {"album", tags.Album()},
      {"genre", tags.Genre()},
      {"track", Cp1251ToUtf8(tags.Track())},
      {"year", Cp1251ToUtf8(tags.Year())},
      {"comment", tags.Comment()},
      {"composer", tags.Composer()},
      {"encoder", tags.Encoder()},
      {"copyright", tags.Copyright()},
      {"language", tags.Language()},
      {"link", tags.Link()},
  };
  for (const auto& field : fields) {
    if (!field.value.empty()) std::printf("  %-9s %s\n", field.name, field.value.c_str());
  }
  std::fflush(stdout);
}

int Main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: kalvira-play FILE...\n"
                 "Plays the files one after another; space pauses and resumes, q stops.\n"
                 "KALVIRA_AUDIO_OUT: portaudio (default), wav:PATH (record), none\n");
    return 2;
  }
  SyncCallQueue::Instance().BindUiThread();
  InstallWakeUp();
  const bool keys = EnterKeyMode();

  TMP3In input;
  input.SetOutputChannels(TChannelsNumber::cnMonoOrStereo);
  TDXAudioOut out;
  out.SetInput(&input);
  bool done = false;
  out.SetOnDone([&done](TAuOutput*) { done = true; });
  out.SetOnUnderrun([](TAuOutput*) { std::fprintf(stderr, "  (underrun)\n"); });
  if (out.DeviceCount() > 0) {
    std::printf("device    %s\n", out.DeviceList()[0].description.c_str());
  }

  int status = 0;
  bool quit = false;
  for (int i = 1; i < argc && !quit; ++i) {
    const std::string file = argv[i];
    std::printf("%s\n", file.c_str());
    input.SetFileName(file);
    try {
      PrintRecord(input);
    } catch (const std::exception& e) {
      // The run reports the same failure; the record is only for show.
      std::printf("  tags      (not read: %s)\n", e.what());
    }
    done = false;
    out.Run();
    bool paused = false;
    while (!done) {
      const char key = WaitForCallOrKey(keys);
      if (key == ' ') {
        if (paused) {
          out.Resume();
          std::printf("  playing\n");
        } else {
          out.Pause();
          std::printf("  paused (space resumes)\n");
        }
        std::fflush(stdout);
        paused = !paused;
      } else if (key == 'q' || key == 'Q') {
        if (paused) out.Resume();
        out.Stop(true);
        quit = true;
      }
    }
    if (!out.ErrorText().empty()) {
      std::printf("  error     %s\n", out.ErrorText().c_str());
      status = 1;
    }
    std::fflush(stdout);
  }
  RestoreTerminal();
  return status;
}

}  // namespace
}  // namespace kalvira

int main(int argc, char** argv) {
  return kalvira::Main(argc, argv);
}
