// Test plug-in: spoils the image, replaces it with another size, then fails;
// the host must free what it left and put the original back.
#include <cstring>

#include "lumapix/xr_plugin.h"

extern "C" {

// Longer than the name field and not terminated: the host cuts it.
void XrPluginInfo(char* name) { std::memset(name, 'F', XR_PLUGIN_NAME_SIZE); }

// Accepts anything, even no image: the host decides when there is none.
int32_t XrPluginQuery(const XrImage*) { return XR_OK; }

int32_t XrPluginExec(XrImage* image, const XrPluginParams*) {
    if (image->PIXELS) std::memset(image->PIXELS, 0xEE, image->SIZE);
    ImageFree(image);
    image->MODE = XR_MODE_RGB;
    image->WIDTH = 1;
    image->HEIGHT = 1;
    image->LINEINT = 3;
    if (ImageAlloc(image) != XR_OK) return XR_ERR_INTERNAL;
    return 7;
}

}  // extern "C"
