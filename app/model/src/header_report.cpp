#include "lumapix/header_report.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>

namespace lumapix {

namespace {

class Report {
public:
    explicit Report(const char* newline) : newline_(newline) {}

    // Appends a formatted line; "\n" in the format becomes the chosen line ending.
    void Line(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        char buffer[256];
        va_list args;
        va_start(args, format);
        std::vsnprintf(buffer, sizeof buffer, format, args);
        va_end(args);
        for (const char* p = buffer; *p; ++p) {
            if (*p == '\n') text_ += newline_;
            else text_ += *p;
        }
    }
    std::string Take() { return std::move(text_); }

private:
    const char* newline_;
    std::string text_;
};

uint64_t Address(const void* p) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)); }

}  // namespace

std::string HeaderReport(const XrImage& image, const ReportTimes& times, uint64_t fileBytes,
                         const char* newline) {
    Report r(newline);
    r.Line("--- BENCH MARK ---\n\n");
    r.Line("Decode Time = %d [msec]\n", times.decodeMs);
    r.Line("Encode Time = %d [msec]\n", times.encodeMs);
    r.Line("Proc Time = %d [msec]\n", times.processMs);
    r.Line("\n\n--- LUMAPIX HEADER ---\n\n");
    r.Line("MODE ------- %d [%s]\n", image.MODE, ImageModeName(image.MODE));
    r.Line("OBJECT ----- %" PRIu64 " [%08" PRIx64 "h]\n", Address(image.OBJECT), Address(image.OBJECT));
    r.Line("WIDTH ------ %d [%04xh]\n", image.WIDTH, image.WIDTH);
    r.Line("HEIGHT ----- %d [%04xh]\n", image.HEIGHT, image.HEIGHT);
    r.Line("SIZE ------- %u [%08xh]\n", image.SIZE, image.SIZE);
    r.Line("PIXELS ----- %" PRIu64 " [%08" PRIx64 "h]\n", Address(image.PIXELS), Address(image.PIXELS));
    r.Line("LINEINT ---- %u [%08xh]\n", image.LINEINT, image.LINEINT);
    r.Line("FMT -------- %d [%02xh]\n", image.FMT, static_cast<uint8_t>(image.FMT));
    r.Line("PALFMT ----- %d [%08xh]\n", image.PALFMT, image.PALFMT);
    r.Line("PALCOUNT --- %d [%08xh]\n", image.PALCOUNT, image.PALCOUNT);
    r.Line("PALBUT ----- %" PRIu64 " [%08" PRIx64 "h]\n", Address(image.PALBUT), Address(image.PALBUT));
    r.Line("--- LUMAPIX PALETTE ---\n");
    r.Line("--- RED, GREEN, BLUE ---\n");
    if (image.PALBUT) {
        for (uint32_t n = 0; n < image.PALCOUNT; ++n) {
            const uint8_t* e = image.PALBUT + 4 * n;
            r.Line("NO[%3u] (%3d,%3d,%3d), (%02X,%02X,%02X)\n", n, e[2], e[1], e[0], e[2], e[1], e[0]);
        }
    }
    r.Line("\n\n");
    double raw = double(ImageLineBytes(image.MODE, image.WIDTH)) * image.HEIGHT;
    double ratio = raw > 0 ? 100.0 * double(fileBytes) / raw : 0.0;
    r.Line("COMPRESSION RATIO -- %6.3f [%%] \n", ratio);
    return r.Take();
}

}  // namespace lumapix
