#include "file_filters.hpp"

namespace {

struct Entry {
    const char* label;
    const char* patterns;  // separated by ';'
};

QString Filter(const Entry& e) {
    return QString::fromUtf8(e.label) + QStringLiteral(" (") +
           QString::fromUtf8(e.patterns).replace(QLatin1Char(';'), QLatin1Char(' ')) + QLatin1Char(')');
}

}  // namespace

QStringList OpenFilters() {
    static const Entry entries[] = {
        {"対応ファイル ",
         "*.bmp;*.jpg;*.ljp;*.jp2;*.jpc;*.j2k;*.png;*.gif;*.jbg;*.mh;*.mr;*.mmr;*.pnm;*.ppm;*.pgm;*.pbm;*.raw;"
         "*.rle;*.dcm;*.wma;*.mp3;*.aac;*.adts;*.adif;*.m4a;*.mp4;*.wav"},
        {"BMP - Windows Bitmap (*.bmp)", "*bmp"},
        {"JPG - JPEG (*.jpg)", "*jpg"},
        {"LJP - JPEG lossless (*.ljp)", "*ljp"},
        {"JP2 - JPEG 2000 (*.jp2),(*.jpc),(*.j2k)", "*jp2;*jpc;*j2k"},
        {"PNG - Portable Network Graphics (*.png)", "*png"},
        {"GIF - CompuServe (*.gif)", "*gif"},
        {"JBG - JBIG (*.jbg)", "*jbg"},
        {"MH  - Modified Huffman (*.mh)", "*mh"},
        {"MR  - Modified Read (*.mr)", "*mr"},
        {"MMR - Modified Modified Read (*.mmr)", "*mmr"},
        {"PNM - Portable Pixelmap (*.ppm),(*.pnm),(*.pgm),(*.pbm)", "*ppm;*pnm;*pgm;*pbm"},
        {"RAW - Raw Image (*.raw)", "*raw"},
        {"RLE - Runlength Compression (*.rle)", "*rle"},
        {"DCM - DICOM Standard Image (*.dcm)", "*dcm"},
        {"MP3 - MPEG Audio Layer-3 (*.mp3)", "*mp3"},
        {"AAC - Advanced Audio Coding (*.aac),(*.adts),(*.adif)", "*aac;*adts;*adif"},
        {"MP4-AAC (*.m4a),(*.mp4)", "*m4a;*mp4"},
        {"WMA - Windows Media Audio (*.wma)", "*wma"},
        {"WAV - RIFF waveform Audio Format (*.wav)", "*wav"},
        {"すべてのファイル (*.*)", "*"},
    };
    QStringList filters;
    for (const Entry& e : entries) filters << Filter(e);
    return filters;
}

QStringList SaveFilters() {
    static const Entry entries[] = {
        {"BMP - Windows Bitmap (*.bmp)", "*bmp"},
        {"JPG - JPEG (*.jpg)", "*jpg"},
        {"LJP - JPEG lossless (*.ljp)", "*ljp"},
        {"JP2 - JPEG 2000", "*jp2"},
        {"PNG - Portable Network Graphics (*.png)", "*png"},
        {"GIF - CompuServe (*.gif)", "*gif"},
        {"JBG - JBIG (*.jbg)", "*jbg"},
        {"MH - Modified Huffman (*.mh)", "*.mh"},
        {"MR - Modified Read (*.mr)", "*.mr"},
        {"MMR - Modified Modefied Read (*.mmr)", "*.mmr"},
        {"PNM - Portable Pixelmap (*.pnm)", "*.pnm"},
        {"RAW - Raw Image (*.raw)", "*raw"},
    };
    QStringList filters;
    for (const Entry& e : entries) filters << Filter(e);
    return filters;
}

QString FilterLabel(const QString& filter) {
    qsizetype open = filter.lastIndexOf(QStringLiteral(" ("));
    return open < 0 ? filter : filter.left(open);
}
