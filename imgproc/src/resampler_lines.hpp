// Output-line kernels of the resampler, specialised by method and channel count.
#ifndef LUMAPIX_RESAMPLER_LINES_HPP
#define LUMAPIX_RESAMPLER_LINES_HPP

#include <cstdint>

#include "resampler_state.hpp"

namespace lumapix::res {

// The line kernel for a mode (1..5) and method (0..2). stepX decides whether a
// line first sums each source column vertically (windows of neighbouring output
// pixels overlap) or works per output pixel (large reductions).
LineFn ChooseLine(int32_t mode, int32_t method, uint32_t stepX);
// The whole-image loop of a method; it gathers the same rows as the line engine.
ImageFn ChooseImage(int32_t method);

}  // namespace lumapix::res

#endif
