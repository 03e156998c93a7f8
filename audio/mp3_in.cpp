#include "audio/mp3_in.h"

namespace kalvira {

TMP3In::~TMP3In() {
  ShutdownInput();
}

void TMP3In::OpenFileCore() {
  TWMIn::OpenFileCore();
  // Only a file that is now open, and only when its length is known: a third of a second
  // added to an unknown length would make a run of a third of a second.
  if (!ReaderOpen() || Size() <= 0) return;
  const MediaFormat format = OpenFormat();
  const std::int64_t extra = format.sample_rate / 3;
  SetTotalSamplesField(TotalSamplesField() + extra);
  SetSize(Size() + extra * (format.bits_per_sample / 8) * format.channels);
}

}  // namespace kalvira
