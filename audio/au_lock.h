// The re-entrant lock of the input layers (DataLock, OpenLock), annotated so that clang
// can check the members it guards. Internal to audio/.
#pragma once

#include <mutex>

#include "base/thread_annotations.h"

namespace kalvira {

class CAPABILITY("mutex") AuRecursiveMutex {
 public:
  AuRecursiveMutex() = default;
  AuRecursiveMutex(const AuRecursiveMutex&) = delete;
  AuRecursiveMutex& operator=(const AuRecursiveMutex&) = delete;

  void Lock() ACQUIRE() { mu_.lock(); }
  void Unlock() RELEASE() { mu_.unlock(); }

 private:
  std::recursive_mutex mu_;
};

class SCOPED_CAPABILITY AuRecursiveLock {
 public:
  explicit AuRecursiveLock(AuRecursiveMutex& mu) ACQUIRE(mu) : mu_(mu) { mu_.Lock(); }
  ~AuRecursiveLock() RELEASE() { mu_.Unlock(); }
  AuRecursiveLock(const AuRecursiveLock&) = delete;
  AuRecursiveLock& operator=(const AuRecursiveLock&) = delete;

 private:
  AuRecursiveMutex& mu_;
};

}  // namespace kalvira
