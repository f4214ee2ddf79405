// The debug trace of the application data a header call found.
#include <cstdarg>
#include <cstdio>

#include "lumapix/jpeg_decoder.h"

namespace {

class Text {
public:
    Text(char* out, uint32_t size) : out_(out), size_(size) {
        if (out_ && size_) out_[0] = 0;
    }

    __attribute__((format(printf, 2, 3))) void Print(const char* format, ...) {
        char line[600];
        va_list args;
        va_start(args, format);
        int n = std::vsnprintf(line, sizeof line, format, args);
        va_end(args);
        if (n < 0) return;
        Append(line, static_cast<uint32_t>(n) < sizeof line ? static_cast<uint32_t>(n) : sizeof line - 1);
    }

    // A version of four characters; absent ones are zero bytes, which are left
    // out so that the text stays one string.
    void Version(const char* label, const char v[4]) {
        Print("%s", label);
        char chars[5];
        uint32_t n = 0;
        for (int i = 0; i < 4; ++i)
            if (v[i]) chars[n++] = v[i];
        Append(chars, n);
        Append("\n", 1);
    }

    uint32_t length() const { return length_; }

private:
    void Append(const char* text, uint32_t n) {
        if (!out_ || size_ == 0) return;
        uint32_t room = size_ - 1 - length_;
        if (n > room) n = room;
        for (uint32_t i = 0; i < n; ++i) out_[length_ + i] = text[i];
        length_ += n;
        out_[length_] = 0;
    }

    char* out_;
    uint32_t size_;
    uint32_t length_ = 0;
};

int I(uint32_t v) { return static_cast<int>(v); }

// Precisions keep the reads inside fields that a caller left unterminated.
void TraceIfd(Text& t, const ExifIfdRecord& r) {
    t.Print("ImageDescription      : %.256s\n", r.ImageDescription);
    t.Print("Make                  : %.256s\n", r.Make);
    t.Print("Model                 : %.256s\n", r.Model);
    t.Print("Orientation           : %d\n", r.Orientation);
    t.Print("XResolution           : %d/%d\n", I(r.XResolution[0]), I(r.XResolution[1]));
    t.Print("YResolution           : %d/%d\n", I(r.YResolution[0]), I(r.YResolution[1]));
    t.Print("ResolutionUnit        : %d\n", r.ResolutionUnit);
    t.Print("DateTime              : %.20s\n", r.DateTime);
    t.Print("YCbCrPositioning      : %d\n", r.YCbCrPositioning);
    t.Print("ExifIFDPointer        : %d\n", I(r.ExifIFDPointer));
    t.Version("ExifVersion             : ", r.ExifVersion);
    t.Print("ComponentsConfiguration : %08X\n", r.ComponentsConfiguration);
    t.Version("FlashPixVersion         : ", r.FlashPixVersion);
    t.Print("ColorSpace              : %d\n", r.ColorSpace);
    t.Print("PixelXDimension         : %d\n", I(r.PixelXDimension));
    t.Print("PixelYDimension         : %d\n", I(r.PixelYDimension));
}

}  // namespace

extern "C" uint32_t JpgFormatAppTrace(uint32_t appMode, const JpgAppInfo* info, char* text, uint32_t size) {
    Text t(text, size);
    switch (appMode) {
        case XR_JPG_APP_NONE: t.Print("APP_MODE : %s\n", "NOTHING"); break;
        case XR_JPG_APP_JFIF:
            t.Print("APP_MODE : %s\n", "JFIF");
            if (!info) break;
            t.Print("Major Version     : %d\n", info->jfifMajor);
            t.Print("Minor Version     : %d\n", info->jfifMinor);
            t.Print("Units             : %d\n", info->units);
            t.Print("Xdensity          : %d\n", info->xDensity);
            t.Print("Ydensity          : %d\n", info->yDensity);
            t.Print("Thumbnail-Width   : %d\n", info->thumbWidth);
            t.Print("Thumbnail-Height  : %d\n", info->thumbHeight);
            t.Print("%s", info->thumbWidth && info->thumbHeight ? "Thumbnail Image   : Exist\n"
                                                                : "Thumbnail Image   : Not Exist\n");
            break;
        case XR_JPG_APP_EXIF:
            t.Print("APP_MODE : %s\n", "EXIF");
            if (!info) break;
            TraceIfd(t, info->ifd0);
            TraceIfd(t, info->ifd1);
            break;
        default: t.Print("APP_MODE : UNKNOWN\n"); break;
    }
    return t.length();
}
