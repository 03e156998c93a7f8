// The program's beeps (kalvira::IBeeper) through the desktop's bell. Tone() rings the
// same bell and returns at once: the desktop has no portable way to sound a tone of a
// given pitch and length, and nothing waits on the tone's length.
//
// Threads: the user-interface thread only.
#pragma once

#include "platform/desktop_services.h"

namespace kalvira::ui {

class TQtBeeper : public kalvira::IBeeper {
 public:
  void Beep() override;
  void Tone(unsigned frequency_hz, unsigned duration_ms) override;
};

}  // namespace kalvira::ui
