// The sound card behind the output ring: QAudioSink on the default output,
// pulling the ring's buffers on a thread of its own so that the window thread
// may wait for the decoding thread without starving the device.
#ifndef LUMAPIX_QT_WAVE_DEVICE_HPP
#define LUMAPIX_QT_WAVE_DEVICE_HPP

#include "lumapix/wave_output.h"

namespace lumapix {

// The Qt device, or null when the system has no audio output (the ring then
// falls back to the null device). Needs a QCoreApplication.
const WaveDevice* QtWaveDevice();

// Selects the Qt device for the ring when there is an output, else the null
// device; true when sound goes to a real output.
bool SelectQtWaveDevice();

}  // namespace lumapix

#endif
