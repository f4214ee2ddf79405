// The rules behind the image view and its panels, kept apart from the widgets:
// zoom steps, status-bar texts, the pixel navigator's texts and the display-bit
// window the two trackbars edit.
#ifndef LUMAPIX_VIEW_RULES_H
#define LUMAPIX_VIEW_RULES_H

#include <cstdint>
#include <string>

#include "lumapix/display_bitmap.h"
#include "lumapix/xr_image.h"

namespace lumapix {

// Zoom is unsigned 16.16 fixed point; 65536 shows one image pixel per screen pixel.
constexpr uint32_t kZoomActual = 65536;
constexpr uint32_t kZoomMin = 8192;
constexpr uint32_t kZoomMax = 524288;

uint32_t ZoomIn(uint32_t zoom);
uint32_t ZoomOut(uint32_t zoom);
// Image size on screen at a zoom.
uint32_t ZoomedLength(uint32_t length, uint32_t zoom);
// Image coordinate under a point of the zoomed image.
uint32_t ImageCoordinate(uint32_t zoomedCoordinate, uint32_t zoom);

// Status bar: "RGB 8 bit : BLACKISZERO (640x480)   " and "表示 = 1.000倍".
std::string ImageStatusText(const XrImage& image);
std::string ZoomStatusText(uint32_t zoom);
// Texts that size the two status panes.
extern const char* const kImageStatusSizer;
extern const char* const kZoomStatusSizer;

// Pixel navigator: the colour lines of pixel (x, y), empty outside the image or
// for modes without a reading, and the position lines.
std::string NavigatorColorText(const XrImage& image, uint32_t x, uint32_t y);
std::string NavigatorPositionText(uint32_t x, uint32_t y);
extern const char* const kNavigatorNoColor;     // shown without a document
extern const char* const kNavigatorNoPosition;

// Display-bit panel: the trackbars' range for a sample format, and how moving
// one end pulls the other so the window stays at most 8 (or the sample's) bits.
struct BitRange {
    int32_t bottom;
    int32_t top;
};
BitRange DisplayBitRange(int8_t fmt);
bool DisplayBitsAdjustable(int32_t mode);  // RGB, GRAY, RGBW, GRAYW
BitWindow MoveLowBit(BitWindow window, int32_t lo, int8_t fmt);
BitWindow MoveHighBit(BitWindow window, int32_t hi, int8_t fmt);
// The window as the trackbars show it, clamped into the range.
BitWindow ClampToRange(BitWindow window, BitRange range);

}  // namespace lumapix

#endif
