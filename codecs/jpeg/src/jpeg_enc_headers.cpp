// Everything written before the entropy-coded data: SOI, the application
// segments (JFIF, Exif/DCF, G3FAX, Adobe), DQT, DHT, SOF and SOS.
#include <algorithm>
#include <cstring>

#include "jpeg_enc_internal.hpp"
#include "jpeg_internal.hpp"
#include "lumapix/stream_inline.hpp"

namespace lumapix::jpeg {
namespace {

void Put16(CodecStream* s, uint32_t v) {
    PutByte(s, static_cast<uint8_t>(v >> 8));
    PutByte(s, static_cast<uint8_t>(v));
}
void Put32(CodecStream* s, uint32_t v) {
    Put16(s, v >> 16);
    Put16(s, v & 0xFFFF);
}
void PutBytes(CodecStream* s, const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < n; ++i) PutByte(s, p[i]);
}

void CopyText(char* field, size_t size, const char* text) {
    std::memset(field, 0, size);
    std::memcpy(field, text, std::min(size - 1, std::strlen(text)));
}

// TIFF field types.
enum : uint16_t { kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kUndefined = 7 };

// Offsets of every directory and value, worked out before anything is written.
struct ExifLayout {
    uint32_t ifd0, exif, interop, ifd1;
    uint32_t ifd0Values, exifValues, ifd1Values;
    uint32_t thumbnail;  // offset of the thumbnail bytes
    uint32_t size;       // of the whole TIFF structure
};

constexpr uint32_t DirectorySize(uint32_t entries) { return 2 + 12 * entries + 4; }
constexpr uint32_t Even(uint32_t n) { return n + (n & 1); }

// ASCII of a fixed field: its text and NUL.
uint32_t TextCount(const char* field, size_t size) { return static_cast<uint32_t>(strnlen(field, size - 1)) + 1; }
// Bytes an ASCII value takes in the value area (none when it fits the entry).
uint32_t TextArea(const char* field, size_t size) {
    uint32_t count = TextCount(field, size);
    return count > 4 ? Even(count) : 0;
}

bool ThumbIsJpeg(const Encoder& e) { return e.app.ifd1.Compression != 1; }

ExifLayout PlanExif(const Encoder& e) {
    const ExifIfdRecord& d = e.app.ifd0;
    ExifLayout l{};
    l.ifd0 = 8;
    l.ifd0Values = l.ifd0 + DirectorySize(10);
    uint32_t at = l.ifd0Values + TextArea(d.ImageDescription, sizeof d.ImageDescription) +
                  TextArea(d.Make, sizeof d.Make) + TextArea(d.Model, sizeof d.Model) + 8 + 8 + 20;
    l.exif = at;
    l.exifValues = l.exif + DirectorySize(e.appMode == XR_JPG_WRITE_DCF ? 9 : 8);
    at = l.exifValues + 40;
    if (e.appMode == XR_JPG_WRITE_DCF) {
        l.interop = at;
        at += DirectorySize(2);
    }
    if (e.hasThumb) {
        l.ifd1 = at;
        l.ifd1Values = l.ifd1 + DirectorySize(ThumbIsJpeg(e) ? 6 : 12);
        l.thumbnail = l.ifd1Values + (ThumbIsJpeg(e) ? 16 : 6 + 16);
        at = l.thumbnail + e.thumb.size;
    }
    l.size = at;
    return l;
}

// Directory entries, written in tag order.
struct EntryWriter {
    CodecStream* s;
    void Value(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        Put16(s, tag), Put16(s, type), Put32(s, count), Put32(s, value);
    }
    void Short(uint16_t tag, uint32_t value) { Value(tag, kShort, 1, value << 16); }  // left-justified
    void Long(uint16_t tag, uint32_t value) { Value(tag, kLong, 1, value); }
    void Bytes4(uint16_t tag, uint16_t type, const char* four) {
        Put16(s, tag), Put16(s, type), Put32(s, 4);
        PutBytes(s, four, 4);
    }
    // An ASCII value: inline when it fits, else at *area, which moves on.
    void Text(uint16_t tag, const char* field, size_t size, uint32_t& area) {
        uint32_t count = TextCount(field, size);
        if (count > 4) {
            Value(tag, kAscii, count, area);
            area += Even(count);
            return;
        }
        char inline4[4] = {};
        std::memcpy(inline4, field, count - 1);
        Put16(s, tag), Put16(s, kAscii), Put32(s, count);
        PutBytes(s, inline4, 4);
    }
    void Rational(uint16_t tag, uint32_t& area) {
        Value(tag, kRational, 1, area);
        area += 8;
    }
};

void PutTextValue(CodecStream* s, const char* field, size_t size) {
    uint32_t count = TextCount(field, size);
    if (count <= 4) return;
    PutBytes(s, field, count - 1);
    PutByte(s, 0);
    if (count & 1) PutByte(s, 0);
}
void PutDate(CodecStream* s, const char (&field)[20]) {
    char date[20] = {};
    std::memcpy(date, field, strnlen(field, 19));
    PutBytes(s, date, 20);
}
void PutRational(CodecStream* s, const uint32_t (&r)[2]) {
    // An unset resolution reads as 72 rather than as a division by zero.
    Put32(s, r[1] ? r[0] : 72);
    Put32(s, r[1] ? r[1] : 1);
}

void WriteExif(Encoder& e, const ExifLayout& l) {
    CodecStream* s = e.out;
    const ExifIfdRecord& d = e.app.ifd0;
    EntryWriter w{s};
    PutBytes(s, "MM", 2);
    Put16(s, 42);
    Put32(s, l.ifd0);

    // IFD0: the main image.
    uint32_t area = l.ifd0Values;
    Put16(s, 10);
    w.Text(0x010E, d.ImageDescription, sizeof d.ImageDescription, area);
    w.Text(0x010F, d.Make, sizeof d.Make, area);
    w.Text(0x0110, d.Model, sizeof d.Model, area);
    w.Short(0x0112, 1);
    w.Rational(0x011A, area);
    w.Rational(0x011B, area);
    w.Short(0x0128, d.ResolutionUnit);
    w.Value(0x0132, kAscii, 20, area);
    area += 20;
    w.Short(0x0213, e.subsampling == XR_JPG_SUB_422 ? 2 : 1);
    w.Long(0x8769, l.exif);
    Put32(s, e.hasThumb ? l.ifd1 : 0);
    PutTextValue(s, d.ImageDescription, sizeof d.ImageDescription);
    PutTextValue(s, d.Make, sizeof d.Make);
    PutTextValue(s, d.Model, sizeof d.Model);
    PutRational(s, d.XResolution);
    PutRational(s, d.YResolution);
    PutDate(s, d.DateTime);

    // Exif IFD.
    const bool dcf = e.appMode == XR_JPG_WRITE_DCF;
    Put16(s, dcf ? 9 : 8);
    w.Bytes4(0x9000, kUndefined, "0210");
    w.Value(0x9003, kAscii, 20, l.exifValues);
    w.Value(0x9004, kAscii, 20, l.exifValues + 20);
    w.Bytes4(0x9101, kUndefined, "\1\2\3\0");
    w.Bytes4(0xA000, kUndefined, "0100");
    w.Short(0xA001, 1);
    w.Short(0xA002, e.codedWidth);
    w.Short(0xA003, e.codedHeight);
    if (dcf) w.Long(0xA005, l.interop);
    Put32(s, 0);
    PutDate(s, d.DateTimeOriginal);
    PutDate(s, d.DateTimeDigitized);

    if (dcf) {
        Put16(s, 2);
        w.Bytes4(0x0001, kAscii, "R98");
        w.Bytes4(0x0002, kUndefined, "0100");
        Put32(s, 0);
    }

    if (!e.hasThumb) return;
    const ExifIfdRecord& t = e.app.ifd1;
    area = l.ifd1Values;
    if (ThumbIsJpeg(e)) {
        Put16(s, 6);
        w.Short(0x0103, 6);
        w.Rational(0x011A, area);
        w.Rational(0x011B, area);
        w.Short(0x0128, t.ResolutionUnit ? t.ResolutionUnit : 2);
        w.Long(0x0201, l.thumbnail);
        w.Long(0x0202, e.thumb.size);
        Put32(s, 0);
    } else {
        // Uncompressed RGB in one strip.
        Put16(s, 12);
        w.Long(0x0100, e.thumb.width);
        w.Long(0x0101, e.thumb.height);
        w.Value(0x0102, kShort, 3, area);
        area += 6;
        w.Short(0x0103, 1);
        w.Short(0x0106, 2);
        w.Long(0x0111, l.thumbnail);
        w.Short(0x0115, 3);
        w.Long(0x0116, e.thumb.height);
        w.Long(0x0117, e.thumb.size);
        w.Rational(0x011A, area);
        w.Rational(0x011B, area);
        w.Short(0x0128, t.ResolutionUnit ? t.ResolutionUnit : 2);
        Put32(s, 0);
        Put16(s, 8), Put16(s, 8), Put16(s, 8);
    }
    PutRational(s, t.XResolution);
    PutRational(s, t.YResolution);
    PutBytes(s, e.thumb.data, e.thumb.size);
}

void WriteDqt(Encoder& e, int table) {
    CodecStream* s = e.out;
    WriteMarker(s, kDqt);
    Put16(s, 67);
    PutByte(s, static_cast<uint8_t>(table));
    for (int k = 0; k < 64; ++k) PutByte(s, static_cast<uint8_t>(e.qt[table][kZigZag[k]]));
}

void WriteDht(Encoder& e, const HuffSpec& huff, uint8_t classAndId) {
    CodecStream* s = e.out;
    WriteMarker(s, kDht);
    Put16(s, 2 + 1 + 16 + huff.count);
    PutByte(s, classAndId);
    PutBytes(s, huff.bits, 16);
    PutBytes(s, huff.values, huff.count);
}

}  // namespace

void WriteMarker(CodecStream* s, uint8_t marker) {
    PutByte(s, 0xFF);
    PutByte(s, marker);
}

void ApplyExifDefaults(ExifIfdRecord& d) {
    if (!d.ImageDescription[0]) CopyText(d.ImageDescription, sizeof d.ImageDescription, "IMAGEDESCRIPTION");
    if (!d.Make[0]) CopyText(d.Make, sizeof d.Make, "MAKE");
    if (!d.Model[0]) CopyText(d.Model, sizeof d.Model, "MODEL");
    if (!d.XResolution[1]) d.XResolution[0] = 72, d.XResolution[1] = 1;
    if (!d.YResolution[1]) d.YResolution[0] = 72, d.YResolution[1] = 1;
    if (d.ResolutionUnit != 2 && d.ResolutionUnit != 3) d.ResolutionUnit = 2;
    for (char* date : {d.DateTime, d.DateTimeOriginal, d.DateTimeDigitized})
        if (!date[0]) CopyText(date, 20, "    :  :     :  :  ");
}

void DefaultAppInfo(JpgAppInfo& app) {
    app = JpgAppInfo{};
    app.jfifMajor = 1;
    app.jfifMinor = 2;
    app.g3faxResolution = 200;
    ApplyExifDefaults(app.ifd0);
    ApplyExifDefaults(app.ifd1);
    app.ifd1.Compression = 6;
}

CodecStatus WriteHeaders(Encoder& e) {
    CodecStream* s = e.out;
    WriteMarker(s, kSoi);
    if (e.precision == 8) {
        if (e.appMode == XR_JPG_WRITE_JFIF) {
            const uint32_t thumbBytes = e.hasThumb ? 3u * e.thumb.width * e.thumb.height : 0;
            WriteMarker(s, kApp0);
            Put16(s, 16 + thumbBytes);
            PutBytes(s, "JFIF", 5);
            PutByte(s, 1), PutByte(s, 2);
            PutByte(s, e.app.units);
            // A zero density is not allowed; 1:1 says "square pixels".
            Put16(s, e.app.xDensity ? e.app.xDensity : 1);
            Put16(s, e.app.yDensity ? e.app.yDensity : 1);
            PutByte(s, static_cast<uint8_t>(e.hasThumb ? e.thumb.width : 0));
            PutByte(s, static_cast<uint8_t>(e.hasThumb ? e.thumb.height : 0));
            if (e.hasThumb) PutBytes(s, e.thumb.data, thumbBytes);
        } else if (e.appMode == XR_JPG_WRITE_EXIF || e.appMode == XR_JPG_WRITE_DCF) {
            const ExifLayout layout = PlanExif(e);
            WriteMarker(s, kApp1);
            Put16(s, layout.size + 8);
            PutBytes(s, "Exif\0", 6);
            WriteExif(e, layout);
        } else if (e.appMode == XR_JPG_WRITE_G3FAX) {
            WriteMarker(s, kApp1);
            Put16(s, 12);
            PutBytes(s, "G3FAX", 6);
            Put16(s, 1994);
            Put16(s, e.app.g3faxResolution);
        }
        // Readers take four-component files without this segment as plain CMYK,
        // but most (Adobe's own, ImageMagick) expect the inverted form it announces.
        if (e.colourSpace == XR_JPG_CS_YCCK || e.colourSpace == XR_JPG_CS_CMYK) {
            WriteMarker(s, kApp14);
            Put16(s, 14);
            PutBytes(s, "Adobe", 5);
            Put16(s, 100), Put16(s, 0), Put16(s, 0);
            PutByte(s, e.colourSpace == XR_JPG_CS_YCCK ? 2 : 0);
        }
    }
    for (int t = 0; t < e.nq; ++t) WriteDqt(e, t);
    for (int t = 0; t < e.nq; ++t) WriteDht(e, *e.dcSpec[t], static_cast<uint8_t>(t));
    for (int t = 0; t < e.nq; ++t) WriteDht(e, *e.acSpec[t], static_cast<uint8_t>(0x10 + t));

    WriteMarker(s, e.precision == 12 ? kSof1 : kSof0);
    Put16(s, 8 + 3u * e.nf);
    PutByte(s, e.precision);
    Put16(s, e.codedHeight);
    Put16(s, e.codedWidth);
    PutByte(s, e.nf);
    for (int c = 0; c < e.nf; ++c) {
        PutByte(s, static_cast<uint8_t>(c + 1));
        PutByte(s, static_cast<uint8_t>(e.comp[c].h << 4 | e.comp[c].v));
        PutByte(s, e.comp[c].tq);
    }
    WriteMarker(s, kSos);
    Put16(s, 6 + 2u * e.nf);
    PutByte(s, e.nf);
    for (int c = 0; c < e.nf; ++c) {
        PutByte(s, static_cast<uint8_t>(c + 1));
        PutByte(s, static_cast<uint8_t>(e.comp[c].td << 4 | e.comp[c].ta));
    }
    PutByte(s, 0), PutByte(s, 63), PutByte(s, 0);
    return s->error ? s->error : XR_OK;
}

// Bytes of the APP1 Exif segment's body, to check that it fits a segment.
uint32_t ExifSegmentLength(const Encoder& e) { return PlanExif(e).size + 8; }

}  // namespace lumapix::jpeg
