#include "pnm_parser.hpp"

namespace lumapix::pnm {

namespace {

constexpr int32_t kSaturated = 1 << 24;  // any value this large is invalid everywhere
constexpr int kMaxCommentRun = 256;
constexpr int32_t kMaxDimension = 65535;

// Skips blank space and '#' comment lines; false after too many comments in a row.
// Comment lines are dropped whole whatever their length: only the count is limited.
bool SkipComments(FILE* f) {
    for (int comments = 0;;) {
        int c = getc_unlocked(f);
        while (IsSpace(c)) c = getc_unlocked(f);
        if (c != '#') {
            if (c != EOF) ungetc(c, f);
            return true;
        }
        if (++comments > kMaxCommentRun) return false;
        while (c != '\n' && c != EOF) c = getc_unlocked(f);
    }
}

// Bits per sample for the maximum values a record can hold; 0 for the rest.
int8_t FormatForMaxval(int32_t maxval) {
    switch (maxval) {
        case 3: return 2;
        case 15: return 4;
        case 63: return 6;
        case 255: return 8;
        case 1023: return 10;
        case 4095: return 12;
        case 65535: return 16;
        default: return 0;
    }
}

bool ReadDimension(FILE* f, int32_t* value) {
    return ReadNumber(f, value) == Scan::kNumber && *value > 0 && *value <= kMaxDimension;
}

}  // namespace

Scan ReadNumber(FILE* f, int32_t* value) {
    int c = getc_unlocked(f);
    while (IsSpace(c)) c = getc_unlocked(f);
    if (c == EOF) return Scan::kEnd;
    bool negative = c == '-';
    if (negative) c = getc_unlocked(f);
    if (!IsDigit(c)) return Scan::kBad;
    int32_t v = 0;
    for (; IsDigit(c); c = getc_unlocked(f)) v = v >= kSaturated ? kSaturated : v * 10 + (c - '0');
    if (c != EOF && !IsSpace(c)) return Scan::kBad;
    *value = negative ? -v : v;
    return Scan::kNumber;
}

CodecStatus ReadHeader(FILE* f, Header* h) {
    *h = Header{};
    if (!SkipComments(f)) return XR_ERR_ARGUMENT;
    int p = getc_unlocked(f);
    int digit = getc_unlocked(f);
    if (p != 'P' || digit < '1' || digit > '6') return XR_ERR_ARGUMENT;
    h->kind = digit - '0';
    int32_t width = 0, height = 0;
    if (!SkipComments(f) || !ReadDimension(f, &width)) return XR_ERR_ARGUMENT;
    if (!SkipComments(f) || !ReadDimension(f, &height)) return XR_ERR_ARGUMENT;

    XrImage& image = h->image;
    image.WIDTH = static_cast<uint16_t>(width);
    image.HEIGHT = static_cast<uint16_t>(height);
    bool wide = false;
    if (h->kind == 1 || h->kind == 4) {
        image.MODE = XR_MODE_MONO;
        // A set bit is black in a bitmap, so the bits are kept and the polarity says so.
        image.PALFMT = XR_PALFMT_WHITEISZERO;
    } else {
        // No comments here: the maximum value directly follows the height.
        if (ReadNumber(f, &h->maxval) != Scan::kNumber) return XR_ERR_INTERNAL;
        image.FMT = FormatForMaxval(h->maxval);
        if (image.FMT == 0) return XR_ERR_INTERNAL;
        wide = image.FMT > 8;
        if (wide && IsBinary(h->kind)) return XR_ERR_INTERNAL;  // two-byte binary samples: not supported
        bool gray = h->kind == 2 || h->kind == 5;
        image.MODE = gray ? (wide ? XR_MODE_GRAYW : XR_MODE_GRAY) : (wide ? XR_MODE_RGBW : XR_MODE_RGB);
    }
    image.LINEINT = ImageLineBytes(image.MODE, image.WIDTH);
    return XR_OK;
}

}  // namespace lumapix::pnm
