// The viewer never frees what start-up makes: the application object, its
// renderer and the renderer's arrays live until the process ends. Tests that
// make them (or swap a renderer's arrays for their own) keep them the same
// way: reachable until exit, so the sanitizer build's leak check sees live
// objects, and a lost allocation of the code under test still stands out.
#ifndef VANTREL_TESTS_KEEP_ALIVE_H
#define VANTREL_TESTS_KEEP_ALIVE_H

#include <memory>
#include <vector>

inline void KeepUntilExit(const void* p) {
  // Never destroyed: the leak check runs after static destructors.
  static std::vector<const void*>* kept = new std::vector<const void*>;
  if (p) kept->push_back(p);
}

template <class T>
struct SKeepUntilExit {
  void operator()(T* p) const { KeepUntilExit(p); }
};

// Owns a renderer or an application object as the program does: dropping or
// resetting it hands the object to KeepUntilExit instead of deleting it.
template <class T>
using KeptPtr = std::unique_ptr<T, SKeepUntilExit<T>>;

#endif
