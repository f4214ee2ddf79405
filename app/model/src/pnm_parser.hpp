// Netpbm header and plain-number scanning on a stdio file, shared by the PNM
// adapters and the fuzz harness (which sizes its allocation from the header).
#ifndef LUMAPIX_PNM_PARSER_HPP
#define LUMAPIX_PNM_PARSER_HPP

#include <cstdint>
#include <cstdio>

#include "lumapix/xr_image.h"

namespace lumapix::pnm {

struct Header {
    int kind = 0;        // the digit of the magic: 1..6
    int32_t maxval = 1;  // 1 for bitmaps
    XrImage image{};     // MODE, WIDTH, HEIGHT, LINEINT, FMT, PALFMT; no pixels
};

inline bool IsBinary(int kind) { return kind >= 4; }

// Reads the header through the single whitespace character after its last number,
// leaving the file at the first pixel byte. 1 for a malformed header or empty or
// oversized dimensions, -1 for a maximum value that has no record format.
CodecStatus ReadHeader(FILE* file, Header* header);

enum class Scan { kNumber, kEnd, kBad };

// One plain number: whitespace, an optional '-', digits, then one whitespace
// character or the end of the file. Large values saturate well above 65535.
// kEnd when the file ends before the number starts.
Scan ReadNumber(FILE* file, int32_t* value);

inline bool IsSpace(int c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\v' || c == '\f'; }
inline bool IsDigit(int c) { return c >= '0' && c <= '9'; }

}  // namespace lumapix::pnm

#endif
