// Test plug-in: doubles the width of a GRAY image, replacing the record's
// buffers as a plug-in that changes the size must.
#include <cstring>

#include "lumapix/xr_plugin.h"

extern "C" {

void XrPluginInfo(char* name) { std::strcpy(name, "Widen x2"); }

int32_t XrPluginQuery(const XrImage* image) {
    return image && image->MODE == XR_MODE_GRAY && image->PIXELS && image->WIDTH <= 32767 ? XR_OK
                                                                                          : XR_ERR_UNSUPPORTED;
}

int32_t XrPluginExec(XrImage* image, const XrPluginParams* params) {
    // The host must hand over an exact copy of the image as it is now.
    const XrImage& saved = params->saved;
    if (saved.MODE != image->MODE || saved.WIDTH != image->WIDTH || saved.HEIGHT != image->HEIGHT ||
        saved.LINEINT != image->LINEINT || saved.SIZE != image->SIZE || saved.PIXELS == image->PIXELS ||
        std::memcmp(saved.PIXELS, image->PIXELS, image->SIZE) != 0)
        return XR_ERR_MISMATCH;
    params->refresh();

    XrImage wide{};
    wide.MODE = XR_MODE_GRAY;
    wide.WIDTH = static_cast<uint16_t>(saved.WIDTH * 2);
    wide.HEIGHT = saved.HEIGHT;
    wide.LINEINT = ImageLineBytes(XR_MODE_GRAY, wide.WIDTH);
    wide.FMT = saved.FMT;
    if (ImageAlloc(&wide) != XR_OK) {
        ImageFree(&wide);
        return XR_ERR_INTERNAL;
    }
    for (uint32_t y = 0; y < saved.HEIGHT; ++y) {
        const uint8_t* in = ImageLine(&saved, y);
        uint8_t* out = ImageLine(&wide, y);
        for (uint32_t x = 0; x < saved.WIDTH; ++x) out[2 * x] = out[2 * x + 1] = in[x];
    }
    ImageFree(image);
    *image = wide;
    return XR_OK;
}

}  // extern "C"
