// The mode converter's handle, shared by the converter and its quantisers.
#ifndef LUMAPIX_CONVERTER_STATE_HPP
#define LUMAPIX_CONVERTER_STATE_HPP

#include <cstdint>

#include "lumapix/mode_converter.h"
#include "work_line.hpp"

namespace lumapix::conv {

struct ErrorVector {
    int16_t r, g, b;
};

// The two-line method reads its error line through a short delay queue.
struct ErrorFifo {
    int32_t count;
    int32_t head;
    ErrorVector slots[4];
    void Clear() { count = head = 0; }
    void Push(const ErrorVector& v) { slots[(head + count++) & 3] = v; }
    ErrorVector Pop() {
        ErrorVector v = slots[head];
        head = (head + 1) & 3;
        --count;
        return v;
    }
};

struct Converter;
// A conversion done straight from line to line, without the working line.
using DirectFn = void (*)(const uint8_t* source, uint8_t* destination, uint32_t width);
using QuantiseFn = CodecStatus (*)(Converter& c, const uint16_t* work, uint8_t* line);

struct Converter {
    const XrImage* source;
    XrImage* destination;
    const uint8_t* sourcePalette;
    const uint8_t* quantPalette;   // INDEX output: system palette or the caller's
    uint32_t quantEntries;
    uint16_t width, height;
    uint8_t paletteMode;           // 0 system, 1 user, 0xFF before any choice
    uint8_t ditherMode;            // 0..7, 0xFF before ConvSetDither
    uint8_t coefficient;           // error scale in 1/128 units
    uint8_t threshold;             // MONO threshold for dither modes 0..3
    uint16_t x, y;                 // pixel and line counters
    ErrorVector* errorLines[3];
    ErrorVector* errorWork;
    ErrorFifo fifo;
    uint16_t* workLine;
    UnpackFn unpack;
    PackFn pack;
    QuantiseFn quantise;           // INDEX and MONO destinations
    DirectFn direct;               // frequent pairs, same result as unpack + pack
    UnpackState unpackState;
    PackState packState;
    uint8_t copyLines;             // equal modes other than INDEX and MONO
};

// Picks the INDEX or MONO line quantiser for the converter's dither and palette mode.
QuantiseFn ChooseQuantiser(const Converter& c, int32_t destinationMode);

}  // namespace lumapix::conv

#endif
