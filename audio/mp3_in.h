// TMP3In, the MP3 file input of the player chains (MP3In1, MP3In2): TWMIn over the MP3
// media reader, whose expected run length is a third of a second longer than the length
// the reader reports. The run still ends where the decoded data ends.
//
// Threads and ownership: as TWMIn (wm_in.h).
#pragma once

#include "audio/wm_in.h"

namespace kalvira {

class TMP3In : public TWMIn {
 public:
  TMP3In() = default;
  ~TMP3In() override;

 protected:
  void OpenFileCore() override REQUIRES(open_lock_);
};

}  // namespace kalvira
