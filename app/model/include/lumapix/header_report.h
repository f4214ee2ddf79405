/* The header and timing report of an image: timings, record fields, palette, compression ratio. */
#ifndef LUMAPIX_HEADER_REPORT_H
#define LUMAPIX_HEADER_REPORT_H

#include <stdint.h>

#include <string>

#include "lumapix/xr_image.h"

namespace lumapix {

struct ReportTimes {
    int32_t decodeMs = 0;
    int32_t encodeMs = 0;
    int32_t processMs = 0;
};

// fileBytes is the size of the file last read or written; newline is "\r\n" in
// the viewer's text window and "\n" on a terminal.
std::string HeaderReport(const XrImage& image, const ReportTimes& times, uint64_t fileBytes,
                         const char* newline);

}  // namespace lumapix

#endif
