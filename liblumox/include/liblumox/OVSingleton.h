// One process-wide object of a class, created on first use.
#pragma once

#include <boost/core/noncopyable.hpp>
#include <boost/thread/once.hpp>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace liblumox {

template <class T>
class OVSingleton : private boost::noncopyable {
public:
  virtual ~OVSingleton() {}

  // The one T; created by the first call. Callers racing that first call
  // wait for it. If creation throws, the next call tries again.
  static T& instance() {
    boost::call_once(onceFlag_, &OVSingleton::create);
    onceCompleted();
    return *instance_;
  }

  // Deletes the object at teardown; instance() must not be called afterwards.
  static void destroy() {
    delete instance_;
    instance_ = nullptr;
  }

protected:
  OVSingleton() = default;

private:
  // Not covered: one edge of the cleanup after a throwing constructor,
  // which gcov does not count among the exception branches.
  static void create() {
    instance_ = new T();  // GCOVR_EXCL_BR_LINE
    onceCompleting();
  }

  // Boost.Thread decides "already run" in its compiled library, which a
  // thread-sanitised build cannot see into; without these marks the sanitizer
  // takes the object's construction and its first use elsewhere for a race.
  static void onceCompleting() {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(&onceFlag_);
#endif
  }
  static void onceCompleted() {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(&onceFlag_);
#endif
  }

  // Owned, but released only by destroy(): the teardown is registered with
  // atexit by the plug-in, and a static destructor of its own would run in
  // an order relative to it that the linker picks.
  static T* instance_;
  static boost::once_flag onceFlag_;
};

template <class T>
T* OVSingleton<T>::instance_ = nullptr;

template <class T>
boost::once_flag OVSingleton<T>::onceFlag_ = BOOST_ONCE_INIT;

}  // namespace liblumox
