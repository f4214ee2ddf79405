#include "lumapix/codec_stream.h"
#include "lumapix/format_adapters.h"

namespace {
// One decode and one encode at a time per thread share these.
thread_local uint8_t readStaging[XR_STREAM_BUFFER_SIZE];
thread_local uint8_t writeStaging[XR_STREAM_BUFFER_SIZE];
}  // namespace

extern "C" uint8_t* ReadStagingBuffer(void) { return readStaging; }
extern "C" uint8_t* WriteStagingBuffer(void) { return writeStaging; }
