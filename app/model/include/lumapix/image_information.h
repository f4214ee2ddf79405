// The text of the image information window: what was opened, how, and what
// went wrong when the decode failed.
#ifndef LUMAPIX_IMAGE_INFORMATION_H
#define LUMAPIX_IMAGE_INFORMATION_H

#include <string>

#include "lumapix/document.h"

namespace lumapix {

// Lines end in "\r\n", like the header report.
std::string ImageInformation(const COrvineDoc& doc);

}  // namespace lumapix

#endif
