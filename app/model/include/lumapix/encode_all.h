// Writing one image in every format it can be saved in: RGB, INDEX, YUV, GRAY
// and MONO copies, each in the formats that hold that mode.
#ifndef LUMAPIX_ENCODE_ALL_H
#define LUMAPIX_ENCODE_ALL_H

#include <string>
#include <vector>

#include "lumapix/document.h"

namespace lumapix {

struct EncodeAllResult {
    std::string path;           // the file written or attempted
    bool written = false;
    bool skipped = false;       // no encoder for the format in this build
};

// Writes folder/rgb.bmp, folder/index.gif, ... from doc's image. Encoder errors
// are reported through questions and the sequence goes on; formats without an
// encoder yet are skipped. The document's own image is not changed.
std::vector<EncodeAllResult> EncodeAll(COrvineDoc& doc, const std::string& folder, EncodeOptions& options,
                                       DocumentQuestions& questions);

}  // namespace lumapix

#endif
