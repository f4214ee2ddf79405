// The filters read the unchanged source from the host's saved copy while they
// write into the record, so they need no buffer of their own.
#ifndef LUMAPIX_PLUGINS_SAVED_IMAGE_H
#define LUMAPIX_PLUGINS_SAVED_IMAGE_H

#include "lumapix/xr_plugin.h"

// Whether params carry a copy laid out like image, with at least its palette.
inline bool HasMatchingSaved(const XrImage& image, const XrPluginParams* params) {
    if (!params) return false;
    const XrImage& saved = params->saved;
    return saved.MODE == image.MODE && saved.WIDTH == image.WIDTH && saved.HEIGHT == image.HEIGHT &&
           saved.LINEINT == image.LINEINT && saved.PIXELS &&
           (!image.PALBUT || (saved.PALBUT && saved.PALCOUNT >= image.PALCOUNT));
}

#endif
