// Clang thread-safety annotations. They document which lock guards which member and
// are checked by clang with -Wthread-safety; under g++ they compile to nothing.
#pragma once

#if defined(__clang__)
#define KALVIRA_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define KALVIRA_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) KALVIRA_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY KALVIRA_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) KALVIRA_THREAD_ANNOTATION(guarded_by(x))
#define PT_GUARDED_BY(x) KALVIRA_THREAD_ANNOTATION(pt_guarded_by(x))
#define ACQUIRED_BEFORE(...) KALVIRA_THREAD_ANNOTATION(acquired_before(__VA_ARGS__))
#define ACQUIRED_AFTER(...) KALVIRA_THREAD_ANNOTATION(acquired_after(__VA_ARGS__))
#define REQUIRES(...) KALVIRA_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) KALVIRA_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) KALVIRA_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) KALVIRA_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define EXCLUDES(...) KALVIRA_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define RETURN_CAPABILITY(x) KALVIRA_THREAD_ANNOTATION(lock_returned(x))
#define NO_THREAD_SAFETY_ANALYSIS KALVIRA_THREAD_ANNOTATION(no_thread_safety_analysis)
