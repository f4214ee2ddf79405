// JPEG saving: the options of the JPEG page, the JFIF or Exif thumbnail and the
// encoder run. Records the encoder has no converter for are converted on a copy
// first, so any image can be saved in any of the page's colour spaces.
#include <cstdlib>
#include <cstring>

#include "adapter_support.hpp"
#include "lumapix/jpeg_encoder.h"
#include "lumapix/mode_conversion.h"
#include "lumapix/resize_image.h"
#include "lumapix/xr_memory.h"
#include "record_swap.hpp"

namespace {

constexpr uint16_t kThumbWidth = 160, kThumbHeight = 120;

// A block grown by reallocation as the thumbnail's encoder writes.
struct GrowingBlock {
    uint8_t* data = nullptr;
    uint32_t size = 0;
};

int32_t ThmPutStreamCallBack(uint8_t* data, int32_t count, void* user) {
    auto* block = static_cast<GrowingBlock*>(user);
    void* grown = std::realloc(block->data, size_t{block->size} + static_cast<size_t>(count));
    if (!grown) {
        XrLogPrint("Error in ThmPutStreamCallBack\n");
        return -1;
    }
    block->data = static_cast<uint8_t*>(grown);
    std::memcpy(block->data + block->size, data, static_cast<size_t>(count));
    block->size += static_cast<uint32_t>(count);
    return count;
}

// The 160 x 120 thumbnail as a complete JPEG stream (quality 99, 4:2:0, no segments).
CodecStatus EncodeThumbnail(const XrImage& small, GrowingBlock& block) {
    lumapix::CodecHandle handle(JpgEncGetHandleSize());
    if (!handle) return XR_ERR_INTERNAL;
    uint8_t staging[XR_STREAM_BUFFER_SIZE + XR_STREAM_RESERVED];
    CodecStream stream;
    StreamInit(&stream, staging, sizeof staging, &block, ThmPutStreamCallBack);
    JpgEncInit(handle.get());
    JpgEncSetStream(handle.get(), &stream, nullptr);
    CodecStatus status = JpgEncSetParams(handle.get(), 100, nullptr, XR_JPG_CS_YCBCR, XR_JPG_WRITE_NONE,
                                         XR_JPG_SUB_420, nullptr, nullptr);
    uint32_t workSize = 0;
    if (status == XR_OK) status = JpgEncSetImage(handle.get(), &small, &workSize);
    std::unique_ptr<uint8_t[]> work(new (std::nothrow) uint8_t[workSize ? workSize : 1]);
    if (status == XR_OK) status = work ? JpgEncSetWorkBuffer(handle.get(), work.get(), workSize) : XR_ERR_INTERNAL;
    if (status == XR_OK) status = JpgEncEncodeImage(handle.get(), static_cast<const uint8_t*>(small.PIXELS));
    return lumapix::FirstFailure(status, JpgEncEnd(handle.get()));
}

// The record as the encoder can take it for this colour space and sampling:
// the mode to convert to, or the record's own (0).
int32_t ModeFor(const XrImage& record, uint8_t colourSpace, uint8_t subsampling) {
    const bool colourOnly = colourSpace == XR_JPG_CS_LAB || colourSpace == XR_JPG_CS_CMYK ||
                            colourSpace == XR_JPG_CS_YCCK;
    const bool twelve = record.FMT == 12;
    switch (record.MODE) {
        case XR_MODE_RGB:
            return 0;
        case XR_MODE_RGBW:
            // Twelve-bit frames are YCbCr at 4:2:2 or 4:4:4; anything else goes out in 8 bits.
            return twelve && colourSpace == XR_JPG_CS_YCBCR && subsampling != XR_JPG_SUB_420 ? 0 : XR_MODE_RGB;
        case XR_MODE_GRAY:
            return colourOnly || (colourSpace == XR_JPG_CS_YCBCR && subsampling == XR_JPG_SUB_444) ? XR_MODE_RGB : 0;
        case XR_MODE_GRAYW:
            if (twelve && colourSpace == XR_JPG_CS_GRAY) return 0;
            return colourOnly || colourSpace == XR_JPG_CS_YCBCR ? XR_MODE_RGB : XR_MODE_GRAY;
        case XR_MODE_LAB:
            return colourSpace == XR_JPG_CS_LAB ? 0 : XR_MODE_RGB;
        case XR_MODE_YUV3: case XR_MODE_X4: case XR_MODE_X6:
            return 0;  // the encoder says which sampling each takes
        default:
            return XR_MODE_RGB;
    }
}

}  // namespace

extern "C" CodecStatus jpg_make_thumbnail(const XrImage* record, uint8_t appMode, JpgThumbnail* thumbnail) {
    if (!record || !thumbnail || !record->PIXELS) return XR_ERR_ARGUMENT;
    *thumbnail = JpgThumbnail{};
    if (record->MODE != XR_MODE_RGB) return XR_ERR_ARGUMENT;
    lumapix::OwnedImage small;
    CodecStatus status = ImageCopy(&small.image, record);
    if (status == XR_OK) status = ResizeImage(&small.image, 2, kThumbWidth, kThumbHeight, 0, 0);
    if (status != XR_OK) return status;
    if (appMode == XR_JPG_WRITE_JFIF) {
        const size_t bytes = size_t{3} * kThumbWidth * kThumbHeight;
        auto* rgb = static_cast<uint8_t*>(std::malloc(bytes));
        if (!rgb) return XR_ERR_INTERNAL;
        for (uint32_t y = 0; y < kThumbHeight; ++y) {
            const uint8_t* in = ImageLine(&small.image, y);
            uint8_t* out = rgb + size_t{3} * kThumbWidth * y;
            for (uint32_t x = 0; x < kThumbWidth; ++x, in += 3, out += 3) out[0] = in[2], out[1] = in[1], out[2] = in[0];
        }
        *thumbnail = {kThumbWidth, kThumbHeight, rgb, static_cast<uint32_t>(bytes)};
        return XR_OK;
    }
    GrowingBlock block;
    status = EncodeThumbnail(small.image, block);
    if (status != XR_OK) {
        std::free(block.data);
        return status;
    }
    *thumbnail = {kThumbWidth, kThumbHeight, block.data, block.size};
    return XR_OK;
}

extern "C" void jpg_free_thumbnail(JpgThumbnail* thumbnail) {
    if (!thumbnail) return;
    std::free(const_cast<uint8_t*>(thumbnail->data));
    *thumbnail = JpgThumbnail{};
}

extern "C" CodecStatus jpg_encode(FILE* file, XrImage* record, const EncodeOptions* options) {
    if (!record || !file || !record->PIXELS || !options) return XR_ERR_ARGUMENT;
    const uint8_t appMode = options->jpegAppMode;
    const bool exif = appMode == XR_JPG_WRITE_EXIF || appMode == XR_JPG_WRITE_DCF;

    std::unique_ptr<JpgAppInfo> app(new (std::nothrow) JpgAppInfo());
    if (!app) return XR_ERR_INTERNAL;
    JpgThumbnail thumbnail{};
    bool withThumbnail = options->jpegThumbnail != 0 && (appMode == XR_JPG_WRITE_JFIF || exif);
    if (exif) {
        for (ExifIfdRecord* ifd : {&app->ifd0, &app->ifd1}) {
            ifd->XResolution[0] = ifd->YResolution[0] = 72;
            ifd->XResolution[1] = ifd->YResolution[1] = 1;
            ifd->ResolutionUnit = 2;
        }
        std::strcpy(app->ifd0.ImageDescription, "IMAGE TITLE");
        std::strcpy(app->ifd0.Make, "MAKER CANPANY NAME");
        std::strcpy(app->ifd0.Model, "ENCODER MODEL NAME");
        for (char* date : {app->ifd0.DateTime, app->ifd0.DateTimeOriginal, app->ifd0.DateTimeDigitized})
            std::memcpy(date, "2004:07:01 12:00:00", 19);
        app->ifd1.Compression = 6;
    } else if (appMode == XR_JPG_WRITE_G3FAX) {
        app->g3faxResolution = 200;  // the fax resolution the segment must state
    }
    if (withThumbnail && jpg_make_thumbnail(record, appMode, &thumbnail) != XR_OK) withThumbnail = false;

    // The encoder's input: the record itself or a converted copy.
    lumapix::OwnedImage converted;
    const XrImage* source = record;
    const int32_t mode = ModeFor(*record, options->jpegColorSpace, options->jpegSubsampling);
    CodecStatus status = XR_OK;
    if (mode != 0) {
        status = ImageCopy(&converted.image, record);
        if (status == XR_OK) status = ConvertImageMode(&converted.image, mode, 0, 0, 128, 0, nullptr, 0);
        source = &converted.image;
    }

    lumapix::CodecHandle handle(JpgEncGetHandleSize());
    if (!handle) status = XR_ERR_INTERNAL;
    CodecStream stream;
    if (status == XR_OK) {
        JpgEncInit(handle.get());
        lumapix::OpenWriteStream(&stream, file);
        JpgEncSetStream(handle.get(), &stream, nullptr);
        status = JpgEncSetParams(handle.get(), options->jpegQuality, nullptr, options->jpegColorSpace, appMode,
                                 options->jpegSubsampling, app.get(), withThumbnail ? &thumbnail : nullptr);
        uint32_t workSize = 0;
        if (status == XR_OK) status = JpgEncSetImage(handle.get(), source, &workSize);
        std::unique_ptr<uint8_t[]> work;
        if (status == XR_OK) {
            work.reset(new (std::nothrow) uint8_t[workSize]);
            status = work ? JpgEncSetWorkBuffer(handle.get(), work.get(), workSize) : XR_ERR_INTERNAL;
        }
        if (status == XR_OK && options->line) {
            for (uint32_t y = 0; y < source->HEIGHT && status == XR_OK; ++y)
                status = JpgEncEncodeLine(handle.get(), ImageLine(source, y));
        } else if (status == XR_OK) {
            status = JpgEncEncodeImage(handle.get(), static_cast<const uint8_t*>(source->PIXELS));
        }
        status = lumapix::FirstFailure(status, JpgEncEnd(handle.get()));
    }
    jpg_free_thumbnail(&thumbnail);
    return status;
}
