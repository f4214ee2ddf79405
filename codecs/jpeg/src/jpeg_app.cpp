// Application segments: JFIF (APP0), Exif and G3FAX (APP1), Adobe (APP14).
// Exif is a TIFF structure inside the segment; every read is checked against the
// segment's length, and directories are reached by moving within the segment
// (forward by skipping, backward through the stream's unread).
#include <cstring>

#include "jpeg_internal.hpp"
#include "lumapix/stream_inline.hpp"

namespace lumapix::jpeg {

namespace {

constexpr uint32_t kExifHeader = 6;  // "Exif\0\0"

// Position-tracking reader over the TIFF bytes of an Exif segment.
class Tiff {
public:
    Tiff(CodecStream* s, uint32_t length) : s_(s), length_(length) {}

    CodecStatus status() const { return status_; }
    uint32_t length() const { return length_; }
    bool ok() const { return status_ == XR_OK; }
    void setMotorola(bool m) { motorola_ = m; }

    bool Seek(uint32_t offset) {
        if (!ok()) return false;
        if (offset > length_) return Fail(XR_JPG_EXIF);
        if (offset > pos_) {
            if (SkipBytes(s_, offset - pos_) != 0) return Fail(s_->error);
        } else if (offset < pos_) {
            if (StreamUnread(s_, static_cast<int32_t>(pos_ - offset)) != 0) return Fail(s_->error ? s_->error : XR_JPG_EXIF);
        }
        pos_ = offset;
        return true;
    }

    bool Bytes(uint8_t* out, uint32_t n) {
        if (!ok()) return false;
        if (n > length_ - pos_) return Fail(XR_JPG_EXIF);
        if (n && StreamRead(s_, out, static_cast<int32_t>(n)) != 0) return Fail(s_->error);
        pos_ += n;
        return true;
    }

    uint16_t U16() {
        uint8_t b[2] = {0, 0};
        Bytes(b, 2);
        return Get16(b);
    }
    uint32_t U32() {
        uint8_t b[4] = {0, 0, 0, 0};
        Bytes(b, 4);
        return Get32(b);
    }
    uint16_t Get16(const uint8_t* b) const {
        return static_cast<uint16_t>(motorola_ ? uint32_t{b[0]} << 8 | b[1] : uint32_t{b[1]} << 8 | b[0]);
    }
    uint32_t Get32(const uint8_t* b) const {
        return motorola_ ? uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3]
                         : uint32_t{b[3]} << 24 | uint32_t{b[2]} << 16 | uint32_t{b[1]} << 8 | b[0];
    }

    bool Fail(CodecStatus status) {
        if (status_ == XR_OK) status_ = status ? status : XR_JPG_EXIF;
        return false;
    }

private:
    CodecStream* s_;
    uint32_t length_;
    uint32_t pos_ = 0;
    bool motorola_ = false;
    CodecStatus status_ = XR_OK;
};

enum TiffType : uint16_t { kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5 };

uint32_t TypeSize(uint16_t type) {
    switch (type) {
        case 1: case 2: case 6: case 7: return 1;
        case 3: case 8: return 2;
        case 4: case 9: case 11: return 4;
        case 5: case 10: case 12: return 8;
        default: return 0;
    }
}

struct Entry {
    uint16_t tag, type;
    uint32_t count;
    uint8_t value[4];  // the value field as stored
    uint32_t bytes;    // count x type size, saturated
};

// Where an entry's data lies: in the value field, or at an offset it names.
bool SeekData(Tiff& t, const Entry& e) {
    if (e.bytes <= 4) return true;
    return t.Seek(t.Get32(e.value));
}

// First integer of a BYTE, SHORT or LONG entry.
uint32_t Integer(Tiff& t, const Entry& e) {
    if (e.count == 0) return 0;
    if (e.bytes <= 4) {
        if (e.type == kShort) return t.Get16(e.value);
        if (e.type == kLong) return t.Get32(e.value);
        return e.value[0];
    }
    if (!SeekData(t, e)) return 0;
    if (e.type == kShort) return t.U16();
    if (e.type == kLong) return t.U32();
    uint8_t b = 0;
    t.Bytes(&b, 1);
    return b;
}

// Up to n SHORT values.
void Shorts(Tiff& t, const Entry& e, uint16_t* out, uint32_t n) {
    if (e.type != kShort) return;
    uint32_t count = e.count < n ? e.count : n;
    if (e.bytes <= 4) {
        for (uint32_t i = 0; i < count; ++i) out[i] = t.Get16(e.value + 2 * i);
        return;
    }
    if (!SeekData(t, e)) return;
    for (uint32_t i = 0; i < count; ++i) out[i] = t.U16();
}

void Rational(Tiff& t, const Entry& e, uint32_t out[2]) {
    if (e.type != kRational || e.count == 0 || !SeekData(t, e)) return;
    out[0] = t.U32();
    out[1] = t.U32();
}

// A string into a field of capacity bytes, always terminated.
void Text(Tiff& t, const Entry& e, char* out, uint32_t capacity) {
    uint32_t n = e.count < capacity - 1 ? e.count : capacity - 1;
    std::memset(out, 0, capacity);
    if (e.bytes <= 4) {
        std::memcpy(out, e.value, n);
    } else if (SeekData(t, e)) {
        t.Bytes(reinterpret_cast<uint8_t*>(out), n);
    }
    out[capacity - 1] = 0;
}

// Four raw bytes (versions, component configuration).
void Raw4(Tiff& t, const Entry& e, uint8_t out[4]) {
    uint32_t n = e.count < 4 ? e.count : 4;
    std::memset(out, 0, 4);
    if (e.bytes <= 4) {
        std::memcpy(out, e.value, n);
    } else if (SeekData(t, e)) {
        t.Bytes(out, n);
    }
}

// Index of a tag in the list the directories are read for; -1 for the rest.
int TagIndex(uint16_t tag) {
    static constexpr uint16_t kTags[] = {256, 257, 258, 259, 262, 270, 271, 272, 273, 274, 277,
                                         278, 279, 282, 283, 284, 296, 306, 513, 514, 530, 531,
                                         34665, 36864, 36867, 36868, 37121, 40960, 40961, 40962, 40963, 40965};
    for (int i = 0; i < static_cast<int>(sizeof kTags / sizeof kTags[0]); ++i)
        if (kTags[i] == tag) return i;
    return -1;
}

void ReadTag(Tiff& t, const Entry& e, ExifIfdRecord& r) {
    switch (e.tag) {
        case 256: r.ImageWidth = Integer(t, e); break;
        case 257: r.ImageLength = Integer(t, e); break;
        case 258: Shorts(t, e, r.BitsPerSample, 3); break;
        case 259: r.Compression = static_cast<uint16_t>(Integer(t, e)); break;
        case 262: r.PhotometricInterpretation = static_cast<uint16_t>(Integer(t, e)); break;
        case 270: Text(t, e, r.ImageDescription, sizeof r.ImageDescription); break;
        case 271: Text(t, e, r.Make, sizeof r.Make); break;
        case 272: Text(t, e, r.Model, sizeof r.Model); break;
        case 273: r.StripOffsets = Integer(t, e); break;
        case 274: r.Orientation = static_cast<uint16_t>(Integer(t, e)); break;
        case 277: r.SamplesPerPixel = static_cast<uint16_t>(Integer(t, e)); break;
        case 278: r.RowsPerStrip = Integer(t, e); break;
        case 279: r.StripByteCounts = Integer(t, e); break;
        case 282: Rational(t, e, r.XResolution); break;
        case 283: Rational(t, e, r.YResolution); break;
        case 284: r.PlanarConfiguration = static_cast<uint16_t>(Integer(t, e)); break;
        case 296: r.ResolutionUnit = static_cast<uint16_t>(Integer(t, e)); break;
        case 306: Text(t, e, r.DateTime, sizeof r.DateTime); break;
        case 513: r.JPEGInterchangeFormat = Integer(t, e); break;
        case 514: r.JPEGInterchangeFormatLength = Integer(t, e); break;
        case 530: Shorts(t, e, r.YCbCrSubSampling, 2); break;
        case 531: r.YCbCrPositioning = static_cast<uint16_t>(Integer(t, e)); break;
        case 34665: r.ExifIFDPointer = Integer(t, e); break;
        case 36864: Raw4(t, e, reinterpret_cast<uint8_t*>(r.ExifVersion)); break;
        case 36867: Text(t, e, r.DateTimeOriginal, sizeof r.DateTimeOriginal); break;
        case 36868: Text(t, e, r.DateTimeDigitized, sizeof r.DateTimeDigitized); break;
        case 37121: {
            uint8_t b[4];
            Raw4(t, e, b);
            r.ComponentsConfiguration = uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
            break;
        }
        case 40960: Raw4(t, e, reinterpret_cast<uint8_t*>(r.FlashPixVersion)); break;
        case 40961: r.ColorSpace = static_cast<uint16_t>(Integer(t, e)); break;
        case 40962: r.PixelXDimension = Integer(t, e); break;
        case 40963: r.PixelYDimension = Integer(t, e); break;
        case 40965: r.InteroperabilityIFDPointer = Integer(t, e); break;
        default: break;
    }
}

// One directory into r; *next receives the offset of the following directory.
// Only a tag's first entry is read, which bounds the seeking a directory can cause.
bool ReadIfd(Tiff& t, uint32_t offset, ExifIfdRecord& r, uint32_t* next) {
    if (!t.Seek(offset)) return false;
    uint32_t count = t.U16();
    if (!t.ok()) return false;
    if (uint64_t{count} * 12 > t.length() - offset - 2) {
        return t.Fail(XR_JPG_EXIF);
    }
    uint32_t seen = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t at = offset + 2 + 12 * i;
        if (!t.Seek(at)) return false;
        uint8_t raw[12];
        if (!t.Bytes(raw, 12)) return false;
        Entry e{};
        e.tag = t.Get16(raw);
        e.type = t.Get16(raw + 2);
        e.count = t.Get32(raw + 4);
        std::memcpy(e.value, raw + 8, 4);
        uint64_t bytes = uint64_t{e.count} * TypeSize(e.type);
        e.bytes = bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
        int index = TagIndex(e.tag);
        if (index < 0 || TypeSize(e.type) == 0 || (seen & (1u << index))) continue;
        seen |= 1u << index;
        ReadTag(t, e, r);
        if (!t.ok()) return false;
    }
    if (next) {
        uint32_t end = offset + 2 + 12 * count;
        *next = 0;
        if (t.length() - end >= 4 && t.Seek(end)) *next = t.U32();
    }
    return t.ok();
}

// Reads the fixed part of an application segment into id (up to n bytes).
CodecStatus ReadId(CodecStream* s, uint8_t* id, uint32_t n) {
    std::memset(id, 0, n);
    if (StreamRead(s, id, static_cast<int32_t>(n)) != 0) return s->error;
    return XR_OK;
}

CodecStatus Skip(CodecStream* s, uint32_t n) { return SkipBytes(s, n) == 0 ? XR_OK : s->error; }

// Sets the header to the RGB thumbnail that follows in the stream.
void ThumbHeader(Decoder& d, uint32_t width, uint32_t height) {
    d.thumbWidth = static_cast<uint16_t>(width);
    d.thumbHeight = static_cast<uint16_t>(height);
    d.header.MODE = XR_MODE_RGB;
    d.header.WIDTH = d.thumbWidth;
    d.header.HEIGHT = d.thumbHeight;
    d.header.LINEINT = 3u * width;
    d.header.FMT = 8;
    d.workSize = 0;
    d.phase = kInScan;
}

// Bytes an uncompressed Exif thumbnail needs.
uint64_t ThumbBytes(const ExifIfdRecord& r, uint32_t kind) {
    uint64_t w = r.ImageWidth, h = r.ImageLength;
    if (kind == kThumbExifRgb) return w * h * 3;
    uint64_t units = (w + 1) / 2 * ((h + r.YCbCrSubSampling[1] - 1) / r.YCbCrSubSampling[1]);
    return units * (r.YCbCrSubSampling[1] == 2 ? 6u : 4u);
}

CodecStatus ParseExif(Decoder& d, uint32_t length, bool* stop) {
    CodecStream* s = d.stream;
    Tiff t(s, length);
    uint8_t order[2];
    if (!t.Bytes(order, 2)) return t.status();
    if (order[0] == 'M' && order[1] == 'M') {
        t.setMotorola(true);
    } else if (!(order[0] == 'I' && order[1] == 'I')) {
        return XR_JPG_EXIF;
    }
    uint16_t magic = t.U16();
    uint32_t ifd0 = t.U32();
    if (!t.ok()) return t.status();
    if (magic != 42 || ifd0 < 8) return XR_JPG_EXIF;

    ExifIfdRecord& main = d.app.ifd0;
    ExifIfdRecord& thumb = d.app.ifd1;
    uint32_t ifd1 = 0;
    if (!ReadIfd(t, ifd0, main, &ifd1)) return t.status();
    uint32_t exif = main.ExifIFDPointer;
    if (exif && !ReadIfd(t, exif, main, nullptr)) return t.status();
    uint32_t interop = main.InteroperabilityIFDPointer;
    if (interop && !ReadIfd(t, interop, main, nullptr)) return t.status();
    if (ifd1 && !ReadIfd(t, ifd1, thumb, nullptr)) return t.status();

    bool jpeg = thumb.JPEGInterchangeFormat != 0 && thumb.Compression != 1;
    bool strips = thumb.StripOffsets != 0;
    if (ifd1 && (thumb.JPEGInterchangeFormat || strips)) {
        d.thumbPresent = 1;
        thumb.thumbnailLength = jpeg ? thumb.JPEGInterchangeFormatLength : thumb.StripByteCounts;
    }
    if (!d.thumbRequested || !d.thumbPresent) return t.Seek(length) ? XR_OK : t.status();

    if (jpeg) {
        // The embedded stream is parsed as the image from its SOI on.
        if (!t.Seek(thumb.JPEGInterchangeFormat)) return t.status();
        d.thumbKind = kThumbExifJpeg;
        d.inThumbStream = 1;
        d.phase = kSeekSoi;
        return XR_OK;
    }
    if (thumb.Compression != 1 && thumb.Compression != 0) return XR_ERR_UNSUPPORTED;
    uint16_t photometric = thumb.PhotometricInterpretation;
    if (photometric == 2) {
        d.thumbKind = kThumbExifRgb;
    } else if (photometric == 6) {
        uint16_t sh = thumb.YCbCrSubSampling[0], sv = thumb.YCbCrSubSampling[1];
        if (sh != 2 || (sv != 1 && sv != 2)) return XR_ERR_UNSUPPORTED;
        d.thumbKind = kThumbExifYcc;
        d.thumbSubH = sh;
        d.thumbSubV = sv;
    } else {
        return XR_ERR_UNSUPPORTED;
    }
    if (thumb.ImageWidth == 0 || thumb.ImageLength == 0) return XR_JPG_EXIF;
    if (thumb.ImageWidth > 0xFFFF || thumb.ImageLength > 0xFFFF) return XR_ERR_UNSUPPORTED;
    if (thumb.StripOffsets > length || ThumbBytes(thumb, d.thumbKind) > length - thumb.StripOffsets)
        return XR_JPG_EXIF;
    if (!t.Seek(thumb.StripOffsets)) return t.status();
    ThumbHeader(d, thumb.ImageWidth, thumb.ImageLength);
    *stop = true;
    return XR_OK;
}

}  // namespace

CodecStatus ParseApp0(Decoder& d, uint32_t length, bool* stop) {
    CodecStream* s = d.stream;
    if (d.thumbPresent) return Skip(s, length);
    if (length < 3) {
        d.appMode = XR_JPG_APP_UNKNOWN;
        return Skip(s, length);
    }
    uint8_t id[14];
    uint32_t n = length < 14 ? length : 14;
    CodecStatus status = ReadId(s, id, n);
    if (status != XR_OK) return status;
    if (n >= 5 && std::memcmp(id, "JFXX", 5) == 0) {
        d.appMode = XR_JPG_APP_JFXX;
        return Skip(s, length - n);
    }
    if (n < 14 || std::memcmp(id, "JFIF", 5) != 0) {
        d.appMode = XR_JPG_APP_UNKNOWN;
        return Skip(s, length - n);
    }
    d.appMode = XR_JPG_APP_JFIF;
    JpgAppInfo& a = d.app;
    a.jfifMajor = id[5];
    a.jfifMinor = id[6];
    a.units = id[7];
    a.xDensity = static_cast<uint16_t>(uint32_t{id[8]} << 8 | id[9]);
    a.yDensity = static_cast<uint16_t>(uint32_t{id[10]} << 8 | id[11]);
    a.thumbWidth = id[12];
    a.thumbHeight = id[13];
    uint32_t pixels = 3u * a.thumbWidth * a.thumbHeight;
    // A thumbnail the segment cannot hold is taken as absent.
    if (pixels && pixels <= length - 14) {
        d.thumbPresent = 1;
        if (d.thumbRequested) {
            d.thumbKind = kThumbJfif;
            ThumbHeader(d, a.thumbWidth, a.thumbHeight);
            *stop = true;
            return XR_OK;
        }
    }
    return Skip(s, length - 14);
}

CodecStatus ParseApp1(Decoder& d, uint32_t length, bool* stop) {
    CodecStream* s = d.stream;
    if (d.inThumbStream) return Skip(s, length);  // no nested Exif inside a thumbnail
    if (length < 4) {
        d.appMode = XR_JPG_APP_UNKNOWN;
        return Skip(s, length);
    }
    uint8_t id[6];
    uint32_t n = length < kExifHeader ? length : kExifHeader;
    CodecStatus status = ReadId(s, id, n);
    if (status != XR_OK) return status;
    length -= n;
    if (n == kExifHeader && std::memcmp(id, "Exif\0\0", 6) == 0) {
        d.appMode = XR_JPG_APP_EXIF;
        if (!s->seek) return Skip(s, length);
        return ParseExif(d, length, stop);
    }
    if (n >= 5 && std::memcmp(id, "G3FAX", 5) == 0) {
        d.appMode = XR_JPG_APP_G3FAX;
        d.g3fax = 1;
        if (n == kExifHeader && id[5] == 0 && length >= 4) {
            uint16_t version = 0, resolution = 0;
            if (StreamReadU16(s, &version) != 0 || StreamReadU16(s, &resolution) != 0) return s->error;
            d.app.g3faxResolution = resolution;
            length -= 4;
        }
        return Skip(s, length);
    }
    d.appMode = XR_JPG_APP_UNKNOWN;
    return Skip(s, length);
}

CodecStatus ParseApp14(Decoder& d, uint32_t length) {
    CodecStream* s = d.stream;
    uint8_t id[12];
    if (length < 12) return Skip(s, length);
    CodecStatus status = ReadId(s, id, 12);
    if (status != XR_OK) return status;
    if (std::memcmp(id, "Adobe", 5) == 0) {
        d.adobe = 1;
        d.adobeTransform = id[11];  // after version (2), flags0 (2), flags1 (2)
    }
    return Skip(s, length - 12);
}

}  // namespace lumapix::jpeg
