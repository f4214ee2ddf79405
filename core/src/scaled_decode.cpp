#include "lumapix/scaled_decode.h"

#include "lumapix/xr_memory.h"

namespace {

constexpr uint32_t kOne = 65536;          // 1.0 in 16.16
constexpr uint32_t kMaxSkipLines = 65535;  // bounds the lines skipped above the clip
constexpr uint32_t kMaxLinesPerStep = 256; // bounds the lines read for one target line

bool ScalableMode(int32_t mode) { return mode >= XR_MODE_RGB && mode <= XR_MODE_MONO; }

uint16_t Min16(uint32_t a, uint32_t b) { return static_cast<uint16_t>(a < b ? a : b); }

}  // namespace

extern "C" {

void ScaledDecodeInit(XrScaledDecode* sd) {
    *sd = XrScaledDecode{};
    ScaledDecodeSetRegion(sd, nullptr);
}

void ScaledDecodeSetRegion(XrScaledDecode* sd, const XrRect* rect) {
    if (rect) {
        sd->clipX = rect->x;
        sd->clipY = rect->y;
        sd->clipWidth = rect->width;
        sd->clipHeight = rect->height;
    } else {
        sd->clipX = sd->clipY = 0;
        sd->clipWidth = sd->clipHeight = 0xFFFF;
    }
}

CodecStatus ScaledDecodeSetup(XrScaledDecode* sd, const XrImage* source, XrImage* target,
                              int32_t bottomUp, const uint8_t* sourcePalette,
                              const XrLineConverterTables* tables) {
    if (!sd || !source || !target || !tables) return XR_ERR_ARGUMENT;
    if (!sd->workLine) return XR_ERR_ARGUMENT;
    if (!ScalableMode(source->MODE) || !ScalableMode(target->MODE)) return XR_ERR_UNSUPPORTED;
    if (target->WIDTH == 0 || target->HEIGHT == 0) return XR_ERR_UNSUPPORTED;

    sd->clipX = Min16(sd->clipX, source->WIDTH);
    sd->clipY = Min16(sd->clipY, source->HEIGHT);
    uint32_t roomX = source->WIDTH - sd->clipX;
    uint32_t roomY = source->HEIGHT - sd->clipY;
    sd->clipWidth = sd->clipWidth ? Min16(sd->clipWidth, roomX) : static_cast<uint16_t>(roomX);
    sd->clipHeight = sd->clipHeight ? Min16(sd->clipHeight, roomY) : static_cast<uint16_t>(roomY);
    if (sd->clipWidth == 0 || sd->clipHeight == 0) return XR_ERR_UNSUPPORTED;

    sd->step = static_cast<uint32_t>((uint64_t{sd->clipHeight} << 16) / target->HEIGHT);
    sd->accumulator = kOne;
    // Windows are counted in file line order.
    if (bottomUp) sd->clipY = static_cast<uint16_t>(source->HEIGHT - sd->clipHeight - sd->clipY);

    sd->extract = tables->extract[source->MODE];
    sd->convert = tables->convert[target->MODE];
    sd->stretch = tables->stretch[target->MODE];
    if (!sd->extract || !sd->convert || !sd->stretch) return XR_ERR_UNSUPPORTED;

    sd->sourceMode = source->MODE;
    sd->sourcePalette = sourcePalette;
    sd->sourceHeight = source->HEIGHT;
    sd->targetWidth = target->WIDTH;
    sd->targetHeight = target->HEIGHT;
    sd->sourcePalfmt = source->PALFMT;
    sd->targetPalfmt = target->PALFMT;
    sd->outputLines = sd->sourceLines = 0;
    sd->lineReady = 0;

    if (target->MODE == XR_MODE_INDEX && target->PALBUT) {
        // Indices of an INDEX source pass through, so its own palette applies.
        const uint8_t* palette = source->MODE == XR_MODE_INDEX || !tables->systemPalette
                                     ? sourcePalette : tables->systemPalette;
        uint32_t entries = target->PALCOUNT < 256 ? target->PALCOUNT : 256;
        if (palette) XrMemCopy(target->PALBUT, palette, size_t{entries} * 4);
    }
    return XR_OK;
}

CodecStatus ScaledDecodeLine(XrScaledDecode* sd, XrSourceLineFn next, void* codec,
                             uint8_t* targetLine) {
    if (!sd || !next || !targetLine || !sd->stretch) return XR_ERR_ARGUMENT;
    for (uint32_t n = 0; sd->sourceLines < sd->clipY && n < kMaxSkipLines; ++n) {
        CodecStatus status = next(codec, sd->workLine);
        if (status != XR_OK) return status;
        ++sd->sourceLines;
    }
    bool fresh = false;
    uint32_t clipEnd = uint32_t{sd->clipY} + sd->clipHeight;
    for (uint32_t n = 0; sd->accumulator >= kOne && n < kMaxLinesPerStep; ++n) {
        if (sd->sourceLines < clipEnd) {
            CodecStatus status = next(codec, sd->workLine);
            if (status != XR_OK) return status;
            ++sd->sourceLines;
            fresh = true;
        }
        sd->accumulator -= kOne;
    }
    if (fresh) {
        if (sd->extract(sd->workLine, sd->clipX, sd->clipWidth) != 0) return XR_ERR_UNSUPPORTED;
        if (sd->convert(sd->workLine, sd->clipWidth, sd->sourceMode, sd->sourcePalette,
                        sd->sourcePalfmt, sd->targetPalfmt) != 0)
            return XR_ERR_UNSUPPORTED;
        sd->lineReady = 1;
    }
    if (!sd->lineReady) return XR_ERR_INTERNAL;
    if (sd->stretch(sd->workLine, sd->clipWidth, targetLine, sd->targetWidth) != 0)
        return XR_ERR_UNSUPPORTED;
    sd->accumulator += sd->step;
    ++sd->outputLines;
    return XR_OK;
}

CodecStatus ScaledDecodeImage(XrScaledDecode* sd, XrSourceLineFn next, void* codec,
                              const XrImage* target, int32_t bottomUp) {
    if (!sd || !target || !target->PIXELS) return XR_ERR_ARGUMENT;
    for (uint32_t i = 0; i < target->HEIGHT; ++i) {
        uint32_t y = bottomUp ? target->HEIGHT - 1 - i : i;
        CodecStatus status = ScaledDecodeLine(sd, next, codec, ImageLine(target, y));
        if (status != XR_OK) return status;
    }
    return XR_OK;
}

}  // extern "C"
