#include <gtest/gtest.h>

#include <string>

#include "lumapix/header_report.h"

namespace {

using lumapix::HeaderReport;
using lumapix::ReportTimes;

TEST(HeaderReport, ListsTimesFieldsPaletteAndRatio) {
    uint8_t palette[2 * 4] = {10, 20, 30, 0, 255, 128, 0, 0};  // blue, green, red, 0
    XrImage image{};
    image.MODE = XR_MODE_INDEX;
    image.WIDTH = 640;
    image.HEIGHT = 480;
    image.LINEINT = 640;
    image.SIZE = 640 * 480;
    image.PALCOUNT = 2;
    image.PALBUT = palette;
    ReportTimes times{12, 3, 45};
    std::string report = HeaderReport(image, times, 640 * 480 / 4, "\n");
    for (const char* line : {"--- BENCH MARK ---\n\nDecode Time = 12 [msec]\nEncode Time = 3 [msec]\nProc Time = 45 [msec]\n",
                             "MODE ------- 4 [INDEX]\n", "WIDTH ------ 640 [0280h]\n", "HEIGHT ----- 480 [01e0h]\n",
                             "SIZE ------- 307200 [0004b000h]\n", "PIXELS ----- 0 [00000000h]\n",
                             "PALCOUNT --- 2 [00000002h]\n", "--- RED, GREEN, BLUE ---\n",
                             "NO[  0] ( 30, 20, 10), (1E,14,0A)\nNO[  1] (  0,128,255), (00,80,FF)\n",
                             "COMPRESSION RATIO -- 25.000 [%] \n"})
        EXPECT_NE(report.find(line), std::string::npos) << line << "\nin\n" << report;
}

TEST(HeaderReport, RequestedLineEndingAndNoRatioForAnEmptyRecord) {
    XrImage image{};
    image.MODE = XR_MODE_RGB;
    image.WIDTH = image.HEIGHT = 2;
    std::string report = HeaderReport(image, ReportTimes{}, 24, "\r\n");
    EXPECT_NE(report.find("MODE ------- 1 [RGB]\r\n"), std::string::npos);
    EXPECT_NE(report.find("COMPRESSION RATIO -- 200.000 [%] \r\n"), std::string::npos);
    std::string bare = report;  // no line ends alone
    for (size_t at; (at = bare.find("\r\n")) != std::string::npos;) bare.erase(at, 2);
    EXPECT_EQ(bare.find('\n'), std::string::npos);
    report = HeaderReport(XrImage{}, ReportTimes{}, 100, "\n");
    EXPECT_NE(report.find("MODE ------- 0 [UNKNOWN]\n"), std::string::npos);
    EXPECT_NE(report.find("COMPRESSION RATIO --  0.000 [%] \n"), std::string::npos);
}

}  // namespace
