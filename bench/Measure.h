#pragma once
// Timing of repeated runs: median, minimum and maximum in microseconds.
#include <windows.h>

#include <algorithm>
#include <vector>

namespace bench {

struct Figure {
  double median = 0, min = 0, max = 0;  // microseconds
  int repetitions = 0;
};

class Stopwatch {
 public:
  Stopwatch() { QueryPerformanceCounter(&start_); }
  double Micros() const {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start_.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
  }

 private:
  LARGE_INTEGER start_;
};

Figure Summarize(std::vector<double> samples);

// Runs body warmup times unmeasured, then repetitions times, each timed on its own.
template <class F>
Figure Measure(int repetitions, int warmup, F&& body) {
  for (int i = 0; i < warmup; ++i) body();
  std::vector<double> samples;
  samples.reserve(static_cast<size_t>(repetitions));
  for (int i = 0; i < repetitions; ++i) {
    Stopwatch watch;
    body();
    samples.push_back(watch.Micros());
  }
  return Summarize(std::move(samples));
}

// Runs a and b alternately, so that both see the same state of the machine.
template <class A, class B>
std::pair<Figure, Figure> MeasurePair(int repetitions, int warmup, A&& a, B&& b) {
  for (int i = 0; i < warmup; ++i) {
    a();
    b();
  }
  std::vector<double> sa, sb;
  for (int i = 0; i < repetitions; ++i) {
    Stopwatch wa;
    a();
    sa.push_back(wa.Micros());
    Stopwatch wb;
    b();
    sb.push_back(wb.Micros());
  }
  return {Summarize(std::move(sa)), Summarize(std::move(sb))};
}

}  // namespace bench
