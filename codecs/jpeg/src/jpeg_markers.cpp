// Marker syntax and the header segments: SOI search, tables, frame and scan
// headers, up to the SOS of the image to decode.
#include <cstring>

#include "jpeg_internal.hpp"
#include "lumapix/stream_inline.hpp"

namespace lumapix::jpeg {

namespace {

constexpr uint32_t kMaxStrayBytes = 4095;
constexpr uint32_t kMaxMarkers = 65535;

inline CodecStatus StreamStatus(CodecStream* s) { return s->error ? s->error : XR_JPG_MARKER; }

// Segment length without its two length bytes.
CodecStatus ReadLength(CodecStream* s, uint32_t* length) {
    uint16_t lp = 0;
    if (StreamReadU16(s, &lp) != 0) return s->error;
    if (lp < 2) return XR_JPG_MARKER;
    *length = lp - 2u;
    return XR_OK;
}

CodecStatus ParseDht(Decoder& d, uint32_t length) {
    CodecStream* s = d.stream;
    while (length > 0) {
        uint8_t head[17];
        if (length < 17) return XR_JPG_HUFFMAN_COUNTS;
        if (StreamRead(s, head, 17) != 0) return s->error;
        length -= 17;
        uint32_t tc = head[0] >> 4, th = head[0] & 15;
        if (tc > 1) return XR_JPG_HUFFMAN_CLASS;
        if (th >= 2) return XR_JPG_HUFFMAN_ID;
        uint32_t total = 0;
        for (int i = 1; i <= 16; ++i) total += head[i];
        if (total > 256 || total > length) return XR_JPG_HUFFMAN_COUNTS;
        // Every definition claims length, code and value storage for each code.
        if (d.huffmanPoolUsed + 4 * total > kHuffmanPool) return XR_JPG_HUFFMAN_POOL;
        d.huffmanPoolUsed += 4 * total;
        uint8_t values[256];
        if (total && StreamRead(s, values, static_cast<int32_t>(total)) != 0) return s->error;
        length -= total;
        bool built = tc ? BuildAcTable(d.ac[th], head + 1, values) : BuildHuffTable(d.dc[th], head + 1, values);
        if (!built) return XR_JPG_HUFFMAN_COUNTS;
    }
    return XR_OK;
}

CodecStatus ParseDqt(Decoder& d, uint32_t length) {
    CodecStream* s = d.stream;
    while (length > 0) {
        uint8_t pq = 0;
        if (StreamReadU8(s, &pq) != 0) return s->error;
        bool wide = (pq >> 4) != 0;
        uint32_t need = wide ? 128 : 64;
        if (length - 1 < need) return XR_JPG_MARKER;
        length -= 1 + need;
        uint16_t* table = d.quant[pq & 3];
        for (int k = 0; k < 64; ++k) {
            uint16_t v = 0;
            if (wide) {
                if (StreamReadU16(s, &v) != 0) return s->error;
            } else {
                uint8_t b = 0;
                if (StreamReadU8(s, &b) != 0) return s->error;
                v = b;
            }
            table[kZigZag[k]] = v;
        }
    }
    return XR_OK;
}

CodecStatus ParseSof(Decoder& d, uint32_t length) {
    CodecStream* s = d.stream;
    uint8_t head[6];
    if (length < 6) return XR_JPG_MARKER;
    if (StreamRead(s, head, 6) != 0) return s->error;
    uint8_t precision = head[0];
    if (precision != 8 && precision != 12) return XR_ERR_UNSUPPORTED;
    uint8_t nf = head[5];
    if (nf != 1 && nf != 3 && nf != 4) return XR_ERR_ARGUMENT;
    if (length < 6 + 3u * nf) return XR_JPG_MARKER;
    Component comp[4] = {};
    uint32_t blocks = 0;
    for (int i = 0; i < nf; ++i) {
        uint8_t c[3];
        if (StreamRead(s, c, 3) != 0) return s->error;
        uint8_t h = c[1] >> 4, v = c[1] & 15;
        if (h < 1 || h > 4 || v < 1 || v > 2) return XR_JPG_SAMPLING;
        comp[i].id = c[0];
        comp[i].h = h;
        comp[i].v = v;
        comp[i].tq = c[2] & 3;
        blocks += uint32_t{h} * v;
    }
    if (nf > 1 && blocks > kMaxBlocks) return XR_JPG_SAMPLING;
    if (SkipBytes(s, length - 6 - 3u * nf) != 0) return s->error;
    d.precision = precision;
    d.frameHeight = static_cast<uint16_t>(uint32_t{head[1]} << 8 | head[2]);
    if (d.frameHeight == 0xFFFF) d.frameHeight = 0;  // treated as "given later"
    d.width = static_cast<uint16_t>(uint32_t{head[3]} << 8 | head[4]);
    if (d.width == 0) return XR_ERR_FORMAT;
    d.nf = nf;
    std::memcpy(d.comp, comp, sizeof comp);
    d.frameSeen = 1;
    return XR_OK;
}

CodecStatus ParseSos(Decoder& d, uint32_t length) {
    CodecStream* s = d.stream;
    uint8_t ns = 0;
    if (length < 1 || StreamReadU8(s, &ns) != 0) return s->error ? s->error : XR_JPG_MARKER;
    if (ns < 1 || ns > 4 || length < 4 + 2u * ns) return XR_JPG_MARKER;
    uint8_t pairs[8];
    if (StreamRead(s, pairs, 2 * ns) != 0) return s->error;
    uint8_t tail[3];
    if (StreamRead(s, tail, 3) != 0) return s->error;
    if (SkipBytes(s, length - 4 - 2u * ns) != 0) return s->error;
    for (int j = 0; j < ns; ++j) {
        if ((pairs[2 * j + 1] >> 4) > 2) return XR_JPG_DC_SELECTOR;
        if ((pairs[2 * j + 1] & 15) > 2) return XR_JPG_AC_SELECTOR;
    }
    d.ns = ns;
    d.ss = tail[0];
    d.se = tail[1];
    d.ah = tail[2] >> 4;
    d.al = tail[2] & 15;
    if (!d.frameSeen) return XR_ERR_FORMAT;
    // One interleaved scan carries every component.
    if (ns != d.nf) return XR_ERR_FORMAT;
    uint8_t used = 0;
    for (int j = 0; j < ns; ++j) {
        int f = -1;
        for (int i = 0; i < d.nf; ++i) {
            if (d.comp[i].id == pairs[2 * j] && !(used & (1u << i))) {
                f = i;
                break;
            }
        }
        if (f < 0) return XR_ERR_FORMAT;
        used = static_cast<uint8_t>(used | 1u << f);
        d.scanOrder[j] = static_cast<uint8_t>(f);
        d.comp[f].td = pairs[2 * j + 1] >> 4;
        d.comp[f].ta = pairs[2 * j + 1] & 15;
    }
    return XR_OK;
}

CodecStatus ParseDri(Decoder& d, uint32_t length) {
    uint16_t ri = 0;
    if (length < 2) return XR_JPG_MARKER;
    if (StreamReadU16(d.stream, &ri) != 0) return d.stream->error;
    if (SkipBytes(d.stream, length - 2) != 0) return d.stream->error;
    d.restartInterval = ri;
    return XR_OK;
}

CodecStatus ParseDnl(Decoder& d, uint32_t length) {
    uint16_t nl = 0;
    if (length < 2) return XR_JPG_MARKER;
    if (StreamReadU16(d.stream, &nl) != 0) return d.stream->error;
    if (SkipBytes(d.stream, length - 2) != 0) return d.stream->error;
    d.dnlHeight = nl;
    return XR_OK;
}

bool UnsupportedProcess(uint32_t m) {
    switch (m) {
        case 0xC2: case 0xC3: case 0xC5: case 0xC6: case 0xC7: case 0xC9: case 0xCA: case 0xCB:
        case kDac: case 0xCD: case 0xCE: case 0xCF: case kDhp: case kExp: return true;
        default: return false;
    }
}

// Colour class, MCU geometry and the header the caller sees, once SOS is read.
void FinishFrame(Decoder& d) {
    if (d.nf == 1) {
        d.colourClass = kGrey;
        d.comp[0].h = d.comp[0].v = 1;  // a single-component scan is not interleaved
    } else if (d.nf == 3) {
        d.colourClass = d.g3fax ? kLab : kYcc;
    } else {
        d.colourClass = d.adobe && d.adobeTransform == 2 ? kYcck : kCmyk;
    }
    d.hmax = d.vmax = 1;
    d.blocksPerMcu = 0;
    for (int i = 0; i < d.nf; ++i) {
        if (d.comp[i].h > d.hmax) d.hmax = d.comp[i].h;
        if (d.comp[i].v > d.vmax) d.vmax = d.comp[i].v;
        d.blocksPerMcu += uint32_t{d.comp[i].h} * d.comp[i].v;
    }
    for (int i = 0; i < d.nf; ++i) {
        static const HuffTable kEmptyDc{};
        static const AcTable kEmptyAc{};
        d.dcOf[i] = d.comp[i].td < 2 ? &d.dc[d.comp[i].td] : &kEmptyDc;
        d.acOf[i] = d.comp[i].ta < 2 ? &d.ac[d.comp[i].ta] : &kEmptyAc;
    }
    uint32_t mcuWidth = 8u * d.hmax;
    d.mcusPerRow = (d.width + mcuWidth - 1) / mcuWidth;
    SetupSampleMaps(d);

    int32_t mode = d.colourClass == kGrey ? XR_MODE_GRAY : d.colourClass == kLab ? XR_MODE_LAB : XR_MODE_RGB;
    if (d.precision == 12) {
        if (mode == XR_MODE_RGB) mode = XR_MODE_RGBW;
        if (mode == XR_MODE_GRAY) mode = XR_MODE_GRAYW;
    }
    d.header.MODE = mode;
    d.header.WIDTH = d.width;
    d.header.HEIGHT = d.frameHeight ? d.frameHeight : d.dnlHeight;
    d.header.LINEINT = ImageLineBytes(mode, d.width);
    d.header.FMT = static_cast<int8_t>(d.precision);
    d.workSize = (d.width + 32u) * 48u * (d.precision == 12 ? 2u : 1u);
}

}  // namespace

int32_t SkipBytes(CodecStream* s, uint32_t n) {
    auto staged = static_cast<uint32_t>(s->limit - s->cursor);
    uint32_t take = n < staged ? n : staged;
    s->cursor += take;
    s->count += static_cast<int32_t>(take);
    s->position += static_cast<int32_t>(take);
    n -= take;
    while (n > 0) {
        int32_t chunk = n > 0x40000000u ? 0x40000000 : static_cast<int32_t>(n);
        if (StreamSkip(s, chunk) != 0) return -1;
        n -= static_cast<uint32_t>(chunk);
    }
    return s->error ? -1 : 0;
}

int32_t NextMarker(CodecStream* s, CodecStatus* status) {
    uint32_t stray = 0;
    for (;;) {
        int32_t c = NextByte(s);
        if (c < 0) break;
        if (c != 0xFF) {
            if (++stray > kMaxStrayBytes) {
                *status = XR_JPG_MARKER;
                return -1;
            }
            continue;
        }
        do c = NextByte(s);
        while (c == 0xFF);
        if (c < 0) break;
        if (c == 0) {  // a data FF
            if (++stray > kMaxStrayBytes) {
                *status = XR_JPG_MARKER;
                return -1;
            }
            continue;
        }
        if (c <= 0x02 || c >= 0xC0) return c;
        *status = XR_JPG_MARKER;  // reserved marker value
        return -1;
    }
    *status = StreamStatus(s);
    return -1;
}

CodecStatus ParseHeader(Decoder& d, int thumbnail) {
    CodecStream* s = d.stream;
    d.thumbRequested = static_cast<uint8_t>(thumbnail != 0);
    d.appMode = XR_JPG_APP_NONE;
    uint32_t markers = 0, segments = 0;
    while (d.phase != kInScan) {
        CodecStatus status = XR_OK;
        int32_t m = NextMarker(s, &status);
        if (m < 0) return status;
        if (d.phase == kSeekSoi) {
            if (m == kSoi) {
                d.phase = kInHeader;
                markers = 0;
            } else if (++markers > kMaxMarkers) {
                return XR_JPG_MARKER;
            }
            continue;
        }
        if (++segments > kMaxMarkers) return XR_JPG_MARKER;
        auto marker = static_cast<uint32_t>(m);
        if (marker == kSoi || marker == kEoi || marker <= 0x02 || (marker >= kRst0 && marker <= kRst7)) continue;
        if (UnsupportedProcess(marker)) return XR_JPG_PROCESS;
        uint32_t length = 0;
        status = ReadLength(s, &length);
        if (status != XR_OK) return status;
        bool stop = false;
        switch (marker) {
            case kSof0: case kSof1: status = ParseSof(d, length); break;
            case kDht: status = ParseDht(d, length); break;
            case kDqt: status = ParseDqt(d, length); break;
            case kDri: status = ParseDri(d, length); break;
            case kDnl: status = ParseDnl(d, length); break;
            case kSos:
                status = ParseSos(d, length);
                if (status == XR_OK) d.phase = kInScan;
                break;
            case kApp0: status = ParseApp0(d, length, &stop); break;
            case kApp1: status = ParseApp1(d, length, &stop); break;
            case kApp14: status = ParseApp14(d, length); break;
            default:
                if (SkipBytes(s, length) != 0) status = s->error;
                break;
        }
        if (status != XR_OK) return status;
        if (stop) return XR_OK;  // the header describes an uncompressed thumbnail
    }
    if (d.thumbRequested && !d.thumbPresent) return XR_JPG_NO_THUMBNAIL;
    FinishFrame(d);
    return XR_OK;
}

}  // namespace lumapix::jpeg
