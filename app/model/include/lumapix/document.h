// A document: one file turned into an image record through the format registry,
// and back into a file. Qt-free; the viewer and the command line share it and
// answer its questions their own way.
#ifndef LUMAPIX_DOCUMENT_H
#define LUMAPIX_DOCUMENT_H

#include <cstdint>
#include <string>

#include "lumapix/display_bitmap.h"
#include "lumapix/format_registry.h"
#include "lumapix/options.h"
#include "lumapix/xr_image.h"

namespace lumapix {

// What opening and saving may ask of the user. The defaults answer without
// asking: no format choice, parameters as they are, conversions accepted.
class DocumentQuestions {
public:
    virtual ~DocumentQuestions() = default;
    // Extension (up to three characters) for a name without a usable one; false = none.
    virtual bool ChooseFormat(const std::string& path, std::string* extension);
    // Parameter dialogs shown before some decodes; false = cancelled.
    virtual bool EditFaxParameters(const std::string& fileName, DecodeOptions* options);
    virtual bool EditMonoPaletteFormat(DecodeOptions* options);
    virtual bool EditRawParameters(const std::string& fileName, DecodeOptions* options);
    // The target format cannot hold the image's mode: convert a copy to mode first?
    virtual bool ConfirmConversion(int32_t mode);
    // A message box: caption and text.
    virtual void Warn(const std::string& caption, const std::string& message);
    // The file is audio; the player takes over (type 0 wma .. 4 wav).
    virtual void PlayAudio(const std::string& path, int32_t audioType);
};

class COrvineDoc {
public:
    enum Status : int32_t { kNormal = 0, kAudio = 1, kFailed = -1 };

    COrvineDoc() = default;
    COrvineDoc(const COrvineDoc&) = delete;
    COrvineDoc& operator=(const COrvineDoc&) = delete;
    ~COrvineDoc();

    // Frees both records and forgets the file.
    void Clear();

    int32_t status = kNormal;
    XrImage image{};
    XrImage undo{};             // the previous image, for Undo
    CodecStatus lastDecodeStatus = XR_OK;
    int32_t decodeMs = 0;
    int32_t encodeMs = 0;
    int32_t processMs = 0;
    uint64_t fileBytes = 0;
    int32_t formatIndex = XR_FORMAT_NONE;
    std::string fileName;       // name with extension
    std::string path;
    BitWindow bitWindow;        // the bits of a sample the view shows
    BitCounts bitCounts{};      // samples with each bit set, for the display-bit panel
    void* dicomList = nullptr;  // element list of a DICOM file
    uint32_t dicomCount = 0;
};

enum class OpenOutcome {
    kOpened,     // the document opens (also with a failed decode, shown as a placeholder)
    kCancelled,  // a parameter dialog was cancelled: no document, no message
    kRefused,    // the decode succeeded but left an empty record
};

// Decodes path into the document. A failed decode still opens: the record becomes
// the placeholder and lastDecodeStatus tells why.
OpenOutcome OpenImageFile(COrvineDoc& doc, const std::string& path, DecodeOptions& options,
                          DocumentQuestions& questions);

// The open hook: clears the document, opens, checks the record, sets the bit window.
OpenOutcome OpenDocument(COrvineDoc& doc, const std::string& path, DecodeOptions& options,
                         DocumentQuestions& questions);

// Encodes record into path with row format. The file is written beside the target
// and moved over it only when the encoder succeeds, so a failed save never
// damages an existing file. Encode time goes to the document.
bool SaveImageFile(COrvineDoc& doc, const XrImage& record, const std::string& path,
                   EncodeOptions& options, int32_t format, DocumentQuestions& questions);

struct SaveResult {
    bool saved = false;
    std::string path;  // the name written, with the format's extension added when needed
};

// Saves the document's image as format at exactly path, converting a copy first
// when the format cannot hold its mode (after asking).
bool SaveDocumentConverted(COrvineDoc& doc, const std::string& path, int32_t format, EncodeOptions& options,
                           DocumentQuestions& questions);

// Save As: adds the extension when the name does not detect as format, converts
// a copy when the format cannot hold the mode (after asking), then saves.
SaveResult SaveDocumentAs(COrvineDoc& doc, const std::string& path, int32_t format, EncodeOptions& options,
                          DocumentQuestions& questions);

}  // namespace lumapix

#endif
