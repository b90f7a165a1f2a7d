#include "Measure.h"

namespace bench {

Figure Summarize(std::vector<double> samples) {
  Figure f;
  if (samples.empty()) return f;
  std::sort(samples.begin(), samples.end());
  const size_t n = samples.size();
  f.median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
  f.min = samples.front();
  f.max = samples.back();
  f.repetitions = static_cast<int>(n);
  return f;
}

}  // namespace bench
