// Ownership of work records in the image operations: a record freed when it goes
// out of scope, and the last step of every in-place operation, where the record
// takes the new pixels and palette, its old ones are freed and the work record is emptied.
#ifndef LUMAPIX_RECORD_SWAP_HPP
#define LUMAPIX_RECORD_SWAP_HPP

#include "lumapix/xr_image.h"
#include "lumapix/xr_memory.h"

namespace lumapix {

struct OwnedImage {
    XrImage image{};
    OwnedImage() = default;
    OwnedImage(const OwnedImage&) = delete;
    OwnedImage& operator=(const OwnedImage&) = delete;
    ~OwnedImage() { ImageFree(&image); }
};

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
