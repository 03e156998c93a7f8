// Names the calling thread for debuggers, top and /proc. Internal to audio/.
#pragma once

#include <pthread.h>

#include <string>

namespace kalvira {

// Linux keeps 15 characters of a thread name; longer names are cut, not refused.
inline void SetCurrentThreadName(const std::string& name) {
  pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
}

}  // namespace kalvira
