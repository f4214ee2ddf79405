// The last step of every in-place image operation: the record takes the new
// pixels and palette, its old ones are freed, the work record is emptied.
#ifndef LUMAPIX_RECORD_SWAP_HPP
#define LUMAPIX_RECORD_SWAP_HPP

#include "lumapix/xr_image.h"
#include "lumapix/xr_memory.h"

namespace lumapix {

inline void TakeOverImage(XrImage* record, XrImage* result) {
    // OBJECT belongs to the document, not to the pixels: it stays with the record.
    void* object = record->OBJECT;
    XrMemFree(record->PIXELS);
    XrMemFree(record->PALBUT);
    *record = *result;
    record->OBJECT = object;
    *result = XrImage{};
}

}  // namespace lumapix

#endif
