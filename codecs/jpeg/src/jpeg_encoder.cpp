// The encoder's calls: options, frame planning, line gathering and MCU rows.
#include <algorithm>
#include <cstring>
#include <new>

#include "jpeg_enc_internal.hpp"

using namespace lumapix::jpeg;

namespace {

Encoder* AsEncoder(void* handle) { return static_cast<Encoder*>(handle); }

// Latches the first failure.
CodecStatus Fail(Encoder& e, CodecStatus status) {
    if (e.status == XR_OK) e.status = status;
    return e.status;
}

uint32_t EntryBytes(int32_t mode) {
    switch (mode) {
        case XR_MODE_RGB: case XR_MODE_LAB: case XR_MODE_YUV3: return 3;
        case XR_MODE_YUV: case XR_MODE_GRAYW: case XR_MODE_HIGH: return 2;
        case XR_MODE_GRAY: return 1;
        case XR_MODE_RGBW: case XR_MODE_X6: return 6;
        case XR_MODE_YUVW: case XR_MODE_X4: return 4;
        default: return 0;
    }
}

CodecStatus CheckTable(const uint16_t* table) {
    for (int i = 0; i < 64; ++i) {
        if (table[i] == 0) return XR_ERR_ARGUMENT;
        // 1 is never used; above 255 does not fit an 8-bit DQT entry.
        if (table[i] == 1 || table[i] > 255) return XR_ERR_UNSUPPORTED;
    }
    return XR_OK;
}

// Components, sampling, table choices and the MCU's shape for the colour space.
void PlanFrame(Encoder& e) {
    const uint8_t hy = e.subsampling == XR_JPG_SUB_444 ? 1 : 2;
    const uint8_t vy = e.subsampling == XR_JPG_SUB_420 ? 2 : 1;
    switch (e.colourSpace) {
        case XR_JPG_CS_GRAY:
            e.nf = 1, e.nq = 1;
            e.comp[0] = {1, 1, 0, 0, 0};
            break;
        case XR_JPG_CS_CMYK:
            e.nf = 4, e.nq = 1;
            for (auto& c : e.comp) c = {1, 1, 0, 0, 0};
            break;
        case XR_JPG_CS_YCCK:
            e.nf = 4, e.nq = 2;
            e.comp[0] = e.comp[3] = {1, 1, 0, 0, 0};
            e.comp[1] = e.comp[2] = {1, 1, 1, 1, 1};
            break;
        default:  // YCbCr and CIELab
            e.nf = 3, e.nq = 2;
            e.comp[0] = {hy, vy, 0, 0, 0};
            e.comp[1] = e.comp[2] = {1, 1, 1, 1, 1};
            break;
    }
    e.blocksPerMcu = 0;
    for (uint8_t c = 0; c < e.nf; ++c)
        for (int b = 0; b < e.comp[c].h * e.comp[c].v; ++b) e.blockComponent[e.blocksPerMcu++] = c;
    const uint32_t mcuWidth = 8u * e.comp[0].h, mcuHeight = 8u * e.comp[0].v;
    // The paired modes hold two pixels per entry across, X6 also two lines per line.
    const uint32_t across = e.mode == XR_MODE_X4 || e.mode == XR_MODE_X6 ? 2 : 1;
    const uint32_t down = e.mode == XR_MODE_X6 ? 2 : 1;
    e.mcuEntries = mcuWidth / across;
    e.mcuLines = mcuHeight / down;

    const bool twelve = e.precision == 12;
    e.dcSpec[0] = twelve ? &kDc12 : &kDcLuminance8;
    e.acSpec[0] = twelve ? &kAc12 : &kAcLuminance8;
    e.dcSpec[1] = twelve ? &kDc12 : &kDcChrominance8;
    e.acSpec[1] = twelve ? &kAc12 : &kAcChrominance8;
    for (int t = 0; t < e.nq; ++t) {
        if (!e.customTables) ScaleQuantTable(t ? kAnnexChrominance : kAnnexLuminance, e.quality, e.qt[t]);
        PrepareQuantiser(e.qt[t], e.precision, e.reciprocal[t]);
        BuildHuffCodes(*e.dcSpec[t], e.dc[t]);
        BuildHuffCodes(*e.acSpec[t], e.ac[t]);
    }
}

// Converts and codes one MCU row from the gathered lines.
void EncodeMcuRow(Encoder& e) {
    const uint8_t* rows[16];
    for (uint32_t i = 0; i < e.mcuLines; ++i)  // lines past the last repeat it
        rows[i] = e.work + std::min(i, e.linesGathered - 1) * e.lineBytes;
    const uint8_t* mcuRows[16];
    for (uint32_t x0 = 0; x0 < e.width; x0 += e.mcuEntries) {
        const uint32_t inside = std::min(e.mcuEntries, e.width - x0);
        for (uint32_t i = 0; i < e.mcuLines; ++i) {
            const uint8_t* source = rows[i] + size_t{x0} * e.entryBytes;
            if (inside == e.mcuEntries) {
                mcuRows[i] = source;
                continue;
            }
            // The right edge: columns past the last repeat it.
            uint8_t* padded = e.mcuPixels + size_t{i} * e.mcuEntries * e.entryBytes;
            std::memcpy(padded, source, size_t{inside} * e.entryBytes);
            for (uint32_t x = inside; x < e.mcuEntries; ++x)
                std::memcpy(padded + size_t{x} * e.entryBytes, source + size_t{inside - 1} * e.entryBytes, e.entryBytes);
            mcuRows[i] = padded;
        }
        e.convert(e, mcuRows, e.blocks);
        for (int b = 0; b < e.blocksPerMcu; ++b) EncodeBlock(e, e.blocks[b], e.blockComponent[b]);
    }
}

}  // namespace

extern "C" {

int32_t JpgEncGetHandleSize(void) { return kEncHandleSize; }

CodecStatus JpgEncInit(void* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    Encoder* e = new (handle) Encoder{};
    e->quality = 80;
    DefaultAppInfo(e->app);
    return XR_OK;
}

CodecStatus JpgEncSetStream(void* handle, CodecStream* output, CodecStream* input) {
    if (!handle) return XR_ERR_ARGUMENT;
    Encoder& e = *AsEncoder(handle);
    if (!output) return Fail(e, XR_ERR_ARGUMENT);
    e.out = output;
    e.in = input;
    StreamReset(output, XR_STREAM_WRITE);
    if (input) StreamReset(input, XR_STREAM_READ);
    return e.status;
}

CodecStatus JpgEncSetQTables(void* handle, const uint16_t* tables, uint32_t count) {
    if (!handle) return XR_ERR_ARGUMENT;
    Encoder& e = *AsEncoder(handle);
    if (!tables || count == 0 || count > 2) return Fail(e, XR_ERR_ARGUMENT);
    for (uint32_t t = 0; t < count; ++t)
        if (CodecStatus status = CheckTable(tables + 64 * t)) return Fail(e, status);
    for (uint32_t t = 0; t < 2; ++t) std::memcpy(e.qt[t], tables + 64 * std::min(t, count - 1), sizeof e.qt[t]);
    e.customTables = 1;
    return e.status;
}

CodecStatus JpgEncSetParams(void* handle, uint8_t quality, const uint16_t* tables, uint8_t colourSpace,
                            uint8_t appMode, uint8_t subsampling, const JpgAppInfo* appInfo,
                            const JpgThumbnail* thumbnail) {
    if (!handle) return XR_ERR_ARGUMENT;
    Encoder& e = *AsEncoder(handle);
    e.quality = quality >= 100 ? 99 : quality;
    e.colourSpace = colourSpace > XR_JPG_CS_YCCK ? uint8_t{XR_JPG_CS_YCBCR} : colourSpace;
    e.appMode = appMode > XR_JPG_WRITE_G3FAX ? uint8_t{XR_JPG_WRITE_NONE} : appMode;
    e.subsampling = subsampling > XR_JPG_SUB_444 ? uint32_t{XR_JPG_SUB_420} : subsampling;
    if (appInfo)
        e.app = *appInfo;
    else
        DefaultAppInfo(e.app);
    e.hasThumb = 0;
    if (thumbnail) {
        if (!thumbnail->data || !appInfo) return Fail(e, XR_ERR_ARGUMENT);
        const bool exif = e.appMode == XR_JPG_WRITE_EXIF || e.appMode == XR_JPG_WRITE_DCF;
        if (e.appMode == XR_JPG_WRITE_EXIF && appInfo->ifd1.Compression != 1 && appInfo->ifd1.Compression != 6)
            return Fail(e, XR_ERR_ARGUMENT);
        // Only JFIF and Exif carry thumbnails; RGB thumbnails must hold their pixels.
        const bool rgb = e.appMode == XR_JPG_WRITE_JFIF || (exif && appInfo->ifd1.Compression == 1);
        if (rgb && (thumbnail->width == 0 || thumbnail->height == 0 ||
                    uint64_t{thumbnail->size} < 3ull * thumbnail->width * thumbnail->height))
            return Fail(e, XR_ERR_ARGUMENT);
        if (e.appMode == XR_JPG_WRITE_JFIF && (thumbnail->width > 255 || thumbnail->height > 255))
            return Fail(e, XR_ERR_ARGUMENT);
        e.thumb = *thumbnail;
        if (rgb) e.thumb.size = 3u * thumbnail->width * thumbnail->height;
        e.hasThumb = e.appMode == XR_JPG_WRITE_JFIF || exif;
    }
    if (tables) return JpgEncSetQTables(handle, tables, 2);
    e.customTables = 0;
    return e.status;
}

CodecStatus JpgEncSetImage(void* handle, const XrImage* image, uint32_t* workSize) {
    if (!handle) return XR_ERR_ARGUMENT;
    Encoder& e = *AsEncoder(handle);
    if (e.status) return e.status;
    if (!image || !workSize || !e.out) return Fail(e, XR_ERR_ARGUMENT);
    const uint32_t entryBytes = EntryBytes(image->MODE);
    if (image->WIDTH == 0 || image->HEIGHT == 0 || entryBytes == 0) return Fail(e, XR_ERR_MISMATCH);
    if (image->FMT != 0 && image->FMT != 8 && image->FMT != 12) return Fail(e, XR_ERR_MISMATCH);
    const uint32_t lineBytes = entryBytes * image->WIDTH;
    if (image->LINEINT < lineBytes) return Fail(e, XR_ERR_MISMATCH);
    e.mode = image->MODE;
    e.width = image->WIDTH;
    e.height = image->HEIGHT;
    e.lineInterval = image->LINEINT;
    e.lineBytes = lineBytes;
    e.entryBytes = entryBytes;
    e.precision = image->FMT == 12 ? 12 : 8;
    const uint32_t across = e.mode == XR_MODE_X4 || e.mode == XR_MODE_X6 ? 2 : 1;
    e.codedWidth = e.width * across;
    e.codedHeight = e.height * (e.mode == XR_MODE_X6 ? 2 : 1);
    if (e.codedWidth > 0xFFFF || e.codedHeight > 0xFFFF) return Fail(e, XR_ERR_MISMATCH);
    if ((e.appMode == XR_JPG_WRITE_EXIF || e.appMode == XR_JPG_WRITE_DCF) && e.precision == 8)
        ApplyExifDefaults(e.app.ifd0);

    PlanFrame(e);
    e.convert = ChooseConverter(e.mode, e.colourSpace, e.subsampling, e.precision);
    if (!e.convert) return Fail(e, XR_ERR_UNSUPPORTED);
    // Application segments are at most 65535 bytes long.
    const bool exif = e.appMode == XR_JPG_WRITE_EXIF || e.appMode == XR_JPG_WRITE_DCF;
    if (e.precision == 8 && exif && ExifSegmentLength(e) > 0xFFFF) return Fail(e, XR_ERR_ARGUMENT);
    if (e.precision == 8 && e.appMode == XR_JPG_WRITE_JFIF && e.hasThumb && 16u + e.thumb.size > 0xFFFF)
        return Fail(e, XR_ERR_ARGUMENT);

    e.workNeeded = kEncWorkLines * lineBytes;
    *workSize = e.workNeeded;
    e.imageSet = 1;
    if (CodecStatus status = WriteHeaders(e)) return Fail(e, status);
    return XR_OK;
}

CodecStatus JpgEncSetWorkBuffer(void* handle, uint8_t* buffer, uint32_t size) {
    if (!handle) return XR_ERR_ARGUMENT;
    Encoder& e = *AsEncoder(handle);
    if (e.status) return e.status;
    if (!buffer || !e.imageSet || size < e.workNeeded) return Fail(e, XR_ERR_ARGUMENT);
    e.work = buffer;
    return XR_OK;
}

CodecStatus JpgEncEncodeLine(void* handle, const uint8_t* line) {
    if (!handle) return XR_ERR_ARGUMENT;
    Encoder& e = *AsEncoder(handle);
    if (e.status) return e.status;
    if (!e.work) return Fail(e, XR_ERR_WORK_BUFFER);
    if (e.linesTaken >= e.height) return XR_ERR_ARGUMENT;  // the picture is complete
    uint8_t* slot = e.work + size_t{e.linesGathered} * e.lineBytes;
    if (e.in) {
        if (StreamRead(e.in, slot, static_cast<int32_t>(e.lineBytes)) != static_cast<int32_t>(e.lineBytes) ||
            (e.lineInterval > e.lineBytes && StreamSkip(e.in, static_cast<int32_t>(e.lineInterval - e.lineBytes)) < 0))
            return Fail(e, e.in->error ? e.in->error : XR_ERR_STREAM_END);
    } else {
        if (!line) return Fail(e, XR_ERR_ARGUMENT);
        std::memcpy(slot, line, e.lineBytes);
    }
    ++e.linesGathered;
    ++e.linesTaken;
    if (e.linesGathered == e.mcuLines || e.linesTaken == e.height) {
        EncodeMcuRow(e);
        e.linesGathered = 0;
        if (e.out->error) return Fail(e, e.out->error);
    }
    return XR_OK;
}

CodecStatus JpgEncEncodeImage(void* handle, const uint8_t* pixels) {
    if (!handle) return XR_ERR_ARGUMENT;
    Encoder& e = *AsEncoder(handle);
    if (e.status) return e.status;
    if (!e.in && !pixels) return Fail(e, XR_ERR_ARGUMENT);
    for (uint32_t y = e.linesTaken; y < e.height; ++y)
        if (CodecStatus status = JpgEncEncodeLine(handle, e.in ? nullptr : pixels + size_t{y} * e.lineInterval))
            return status;
    return XR_OK;
}

CodecStatus JpgEncEnd(void* handle) {
    if (!handle) return XR_ERR_ARGUMENT;
    Encoder& e = *AsEncoder(handle);
    if (!e.out) return Fail(e, XR_ERR_ARGUMENT);
    if (e.imageSet) FlushBits(e);
    WriteMarker(e.out, 0xD9);
    // A memory stream holds its bytes already; a callback stream hands over the rest.
    if (e.out->transfer) StreamFlush(e.out);
    if (e.out->error) Fail(e, e.out->error);
    return e.status;
}

}  // extern "C"
