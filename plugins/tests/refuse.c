/* Test plug-in, written in C: its query refuses every image, with a negative
   status for GRAY and a positive one otherwise. */
#include <string.h>

#include "lumapix/xr_plugin.h"

void XrPluginInfo(char* name) { strcpy(name, "Refuse"); }

int32_t XrPluginQuery(const XrImage* image) { return image && image->MODE == XR_MODE_GRAY ? -1 : 5; }

int32_t XrPluginExec(XrImage* image, const XrPluginParams* params) {
    (void)image;
    (void)params;
    return XR_OK;
}
