#pragma once
// The COM boundary: no exception ever leaves a method the shell calls.
#include <windows.h>
#include <new>

namespace ombrelo {

template <class F>
HRESULT Guarded(HRESULT onError, F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return onError == S_OK ? S_OK : E_OUTOFMEMORY;
  } catch (...) {
    return onError;
  }
}

// Runs a step whose failure must not stop the caller (it is contained here).
template <class F>
void Contained(F&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

}  // namespace ombrelo
