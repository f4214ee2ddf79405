#include "jpeg_test_support.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "../src/jpeg_internal.hpp"
#include "test_files.hpp"
#include "test_streams.hpp"

namespace jpegtest {

namespace {

// Canonical Huffman table: counts per length and values, plus the encoder's map.
struct Table {
    uint8_t counts[16] = {};
    Bytes values;
    uint16_t code[256] = {};
    uint8_t length[256] = {};
};

void Assign(Table& t) {
    uint32_t code = 0, k = 0;
    for (uint32_t l = 1; l <= 16; ++l) {
        for (uint32_t i = 0; i < t.counts[l - 1]; ++i, ++k, ++code) {
            t.code[t.values[k]] = static_cast<uint16_t>(code);
            t.length[t.values[k]] = static_cast<uint8_t>(l);
        }
        code <<= 1;
    }
}

// Lengths 2, 4, 6, ... so that both the one-step look-up and the long-code path are used.
Table MakeTable(const Bytes& symbols, const std::vector<std::pair<uint8_t, uint32_t>>& groups) {
    Table t;
    t.values = symbols;
    size_t used = 0;
    for (auto [length, n] : groups) {
        t.counts[length - 1] = static_cast<uint8_t>(t.counts[length - 1] + n);
        used += n;
    }
    if (used != symbols.size()) std::abort();
    Assign(t);
    return t;
}

const Table& DcTable() {
    static const Table t = [] {
        Bytes s;
        for (uint8_t i = 0; i < 16; ++i) s.push_back(i);
        return MakeTable(s, {{2, 2}, {4, 4}, {6, 8}, {9, 2}});
    }();
    return t;
}

const Table& AcTable() {
    static const Table t = [] {
        Bytes s = {0x00, 0x01, 0x02, 0x11, 0x03, 0x21};
        for (uint32_t sum = 2; sum <= 30; ++sum)
            for (uint32_t run = 0; run < 16; ++run) {
                uint32_t size = sum - run;
                if (size < 1 || size > 14 || sum < 3) continue;
                uint8_t rs = static_cast<uint8_t>(run << 4 | size);
                if (rs == 0x03 || rs == 0x21) continue;
                s.push_back(rs);
                if (s.size() == 14) s.push_back(0xF0);  // ZRL among the short codes
            }
        // 2 + 4 + 8 + 16 + 32 codes of lengths 2..10, the rest 16 bits long.
        return MakeTable(s, {{2, 2}, {4, 4}, {6, 8}, {8, 16}, {10, 32}, {16, static_cast<uint32_t>(s.size() - 62)}});
    }();
    return t;
}

class BitWriter {
public:
    explicit BitWriter(Bytes& out) : out_(out) {}
    void Put(uint32_t value, uint32_t n) {
        for (uint32_t i = n; i-- > 0;) {
            acc_ = static_cast<uint8_t>(uint32_t{acc_} << 1 | (value >> i & 1));
            if (++bits_ == 8) Byte();
        }
    }
    void Flush() {
        while (bits_ != 0) Put(1, 1);
    }

private:
    void Byte() {
        out_.push_back(acc_);
        if (acc_ == 0xFF) out_.push_back(0);
        acc_ = 0;
        bits_ = 0;
    }
    Bytes& out_;
    uint8_t acc_ = 0;
    uint32_t bits_ = 0;
};

uint32_t Category(int32_t v) {
    uint32_t a = static_cast<uint32_t>(v < 0 ? -v : v), n = 0;
    while (a) ++n, a >>= 1;
    return n;
}

void PutValue(BitWriter& w, int32_t v, uint32_t size) {
    if (size) w.Put(static_cast<uint32_t>(v < 0 ? v + (1 << size) - 1 : v), size);
}

void EncodeBlock(BitWriter& w, const Block& b, int32_t& pred) {
    const Table& dc = DcTable();
    const Table& ac = AcTable();
    int32_t diff = b[0] - pred;
    pred = b[0];
    uint32_t size = Category(diff);
    w.Put(dc.code[size], dc.length[size]);
    PutValue(w, diff, size);
    uint32_t run = 0;
    for (int k = 1; k < 64; ++k) {
        int32_t v = b[lumapix::jpeg::kZigZag[k]];
        if (v == 0) {
            ++run;
            continue;
        }
        while (run >= 16) {
            w.Put(ac.code[0xF0], ac.length[0xF0]);
            run -= 16;
        }
        uint32_t s = Category(v);
        uint8_t rs = static_cast<uint8_t>(run << 4 | s);
        w.Put(ac.code[rs], ac.length[rs]);
        PutValue(w, v, s);
        run = 0;
    }
    if (run) w.Put(ac.code[0], ac.length[0]);
}

void Put16(Bytes& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

Bytes DhtBody(uint8_t tcth, const Table& t) {
    Bytes b = {tcth};
    b.insert(b.end(), t.counts, t.counts + 16);
    b.insert(b.end(), t.values.begin(), t.values.end());
    return b;
}

int32_t Seek(void*, int32_t, int32_t) { return 0; }

}  // namespace

Comp Picture::Effective(size_t c) const {
    Comp k = comps[c];
    if (comps.size() == 1) k.h = k.v = 1;
    return k;
}

Picture MakePicture(uint16_t width, uint16_t height, uint8_t precision, std::vector<Comp> comps,
                    const SampleFn& sample, uint16_t quant) {
    Picture p;
    p.width = width;
    p.height = height;
    p.precision = precision;
    p.comps = std::move(comps);
    for (auto& table : p.quant)
        for (size_t i = 0; i < 64; ++i)
            table[i] = quant ? static_cast<uint16_t>(quant + (i / 8 + i % 8) * quant / 4) : 1;
    for (size_t c = 0; c < p.comps.size(); ++c) {
        p.hmax = std::max<uint32_t>(p.hmax, p.Effective(c).h);
        p.vmax = std::max<uint32_t>(p.vmax, p.Effective(c).v);
    }
    p.mcusX = (width + 8 * p.hmax - 1) / (8 * p.hmax);
    p.mcusY = (height + 8 * p.vmax - 1) / (8 * p.vmax);
    double level = 1 << (precision - 1);
    for (size_t c = 0; c < p.comps.size(); ++c) {
        Comp k = p.Effective(c);
        // The component's own size; samples beyond it repeat the edge.
        uint32_t cw = (width * k.h + p.hmax - 1) / p.hmax, ch = (height * k.v + p.vmax - 1) / p.vmax;
        std::vector<Block> blocks(size_t{p.BlocksX(c)} * p.BlocksY(c));
        for (uint32_t by = 0; by < p.BlocksY(c); ++by)
            for (uint32_t bx = 0; bx < p.BlocksX(c); ++bx) {
                double s[64];
                for (uint32_t i = 0; i < 64; ++i) {
                    uint32_t x = std::min(bx * 8 + i % 8, cw - 1), y = std::min(by * 8 + i / 8, ch - 1);
                    s[i] = sample(c, x, y) - level;
                }
                Block& b = blocks[size_t{by} * p.BlocksX(c) + bx];
                for (uint32_t v = 0; v < 8; ++v)
                    for (uint32_t u = 0; u < 8; ++u) {
                        double sum = 0;
                        for (uint32_t y = 0; y < 8; ++y)
                            for (uint32_t x = 0; x < 8; ++x)
                                sum += s[y * 8 + x] * std::cos((2 * x + 1) * u * M_PI / 16) *
                                       std::cos((2 * y + 1) * v * M_PI / 16);
                        double cu = u ? 1 : M_SQRT1_2, cv = v ? 1 : M_SQRT1_2;
                        double f = sum * cu * cv / 4;
                        b[size_t{v} * 8 + u] = static_cast<int32_t>(std::lround(f / p.quant[k.tq][size_t{v} * 8 + u]));
                    }
            }
        p.coef.push_back(std::move(blocks));
    }
    return p;
}

Bytes Segment(uint8_t marker, const Bytes& body) {
    Bytes out = {0xFF, marker};
    Put16(out, static_cast<uint32_t>(body.size() + 2));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes Encode(const Picture& p, const EncodeOptions& o) {
    Bytes out = {0xFF, 0xD8};
    for (const Bytes& s : o.segments) out.insert(out.end(), s.begin(), s.end());
    for (uint8_t t = 0; t < 4; ++t) {
        Bytes b = {static_cast<uint8_t>((o.wideQuant ? 0x10 : 0) | t)};
        for (int k = 0; k < 64; ++k) {
            uint16_t q = p.quant[t][lumapix::jpeg::kZigZag[k]];
            if (o.wideQuant) Put16(b, q);
            else b.push_back(static_cast<uint8_t>(q));
        }
        Bytes seg = Segment(0xDB, b);
        out.insert(out.end(), seg.begin(), seg.end());
    }
    Bytes sof = {p.precision};
    Put16(sof, o.heightInDnl ? 0 : p.height);
    Put16(sof, p.width);
    sof.push_back(static_cast<uint8_t>(p.comps.size()));
    for (const Comp& c : p.comps) {
        sof.push_back(c.id);
        sof.push_back(static_cast<uint8_t>(c.h << 4 | c.v));
        sof.push_back(c.tq);
    }
    Bytes seg = Segment(o.sof, sof);
    out.insert(out.end(), seg.begin(), seg.end());
    for (uint8_t id = 0; id < 2; ++id) {
        Bytes dc = Segment(0xC4, DhtBody(id, DcTable()));
        Bytes ac = Segment(0xC4, DhtBody(static_cast<uint8_t>(0x10 | id), AcTable()));
        out.insert(out.end(), dc.begin(), dc.end());
        out.insert(out.end(), ac.begin(), ac.end());
    }
    if (o.restart) {
        Bytes dri;
        Put16(dri, o.restart);
        seg = Segment(0xDD, dri);
        out.insert(out.end(), seg.begin(), seg.end());
    }
    Bytes sos = {static_cast<uint8_t>(p.comps.size())};
    for (const Comp& c : p.comps) {
        sos.push_back(c.id);
        sos.push_back(static_cast<uint8_t>(c.td << 4 | c.ta));
    }
    sos.insert(sos.end(), {0, 63, 0});
    seg = Segment(0xDA, sos);
    out.insert(out.end(), seg.begin(), seg.end());

    BitWriter w(out);
    std::vector<int32_t> pred(p.comps.size(), 0);
    uint32_t mcus = p.mcusX * p.mcusY, rst = o.firstRst;
    for (uint32_t m = 0; m < mcus && m < o.stopAfterMcus; ++m) {
        if (o.restart && m && m % o.restart == 0) {
            w.Flush();
            out.push_back(0xFF);
            out.push_back(static_cast<uint8_t>(0xD0 + (rst++ & 7)));
            std::fill(pred.begin(), pred.end(), 0);
        }
        uint32_t mx = m % p.mcusX, my = m / p.mcusX;
        for (size_t c = 0; c < p.comps.size(); ++c) {
            Comp k = p.Effective(c);
            for (uint32_t by = 0; by < k.v; ++by)
                for (uint32_t bx = 0; bx < k.h; ++bx) {
                    size_t at = size_t{my * k.v + by} * p.BlocksX(c) + mx * k.h + bx;
                    EncodeBlock(w, p.coef[c][at], pred[c]);
                }
        }
    }
    w.Flush();
    if (o.heightInDnl) {
        Bytes dnl;
        Put16(dnl, p.height);
        seg = Segment(0xDC, dnl);
        out.insert(out.end(), seg.begin(), seg.end());
    }
    if (o.eoi) out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

Reference Reconstruct(const Picture& p) {
    Reference r;
    r.picture = &p;
    for (size_t c = 0; c < p.comps.size(); ++c) {
        uint32_t bw = p.BlocksX(c), bh = p.BlocksY(c);
        r.strides.push_back(bw * 8);
        std::vector<int32_t> plane(size_t{bw} * bh * 64);
        for (uint32_t by = 0; by < bh; ++by)
            for (uint32_t bx = 0; bx < bw; ++bx) {
                const Block& b = p.coef[c][size_t{by} * bw + bx];
                int16_t coef[64], out[64];
                for (size_t i = 0; i < 64; ++i)
                    coef[i] = static_cast<int16_t>(static_cast<uint32_t>(b[i]) * p.quant[p.comps[c].tq][i]);
                lumapix::jpeg::InverseDctFull(coef, out, 8, p.precision);
                for (uint32_t i = 0; i < 64; ++i)
                    plane[size_t{by * 8 + i / 8} * bw * 8 + bx * 8 + i % 8] = out[i];
            }
        r.planes.push_back(std::move(plane));
    }
    return r;
}

int32_t Reference::At(size_t c, uint32_t x, uint32_t y) const {
    Comp k = picture->Effective(c);
    uint32_t sx = x * k.h / picture->hmax, sy = y * k.v / picture->vmax;
    return planes[c][size_t{sy} * strides[c] + sx];
}

void ExpectedYcc(int32_t y, int32_t cb, int32_t cr, uint8_t bgr[3]) {
    auto clamp = [](int32_t v) { return static_cast<uint8_t>(std::min(255, std::max(0, v))); };
    int32_t u = cb - 128, v = cr - 128;
    bgr[0] = clamp((256 * y + 454 * u) >> 8);
    bgr[1] = clamp((256 * y - 88 * u - 183 * v) >> 8);
    bgr[2] = clamp((256 * y + 359 * v) >> 8);
}

Bytes Jfif(uint8_t units, uint16_t xd, uint16_t yd, uint8_t tw, uint8_t th, const Bytes& rgb) {
    Bytes b = {'J', 'F', 'I', 'F', 0, 1, 2, units};
    Put16(b, xd);
    Put16(b, yd);
    b.push_back(tw);
    b.push_back(th);
    b.insert(b.end(), rgb.begin(), rgb.end());
    return Segment(0xE0, b);
}

void TiffBuilder::Put16(Bytes& out, uint32_t v) const {
    if (motorola) {
        out.push_back(static_cast<uint8_t>(v >> 8));
        out.push_back(static_cast<uint8_t>(v));
    } else {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    }
}

void TiffBuilder::Put32(Bytes& out, uint32_t v) const {
    if (motorola) {
        Put16(out, v >> 16);
        Put16(out, v & 0xFFFF);
    } else {
        Put16(out, v & 0xFFFF);
        Put16(out, v >> 16);
    }
}

Entry TiffBuilder::Ascii(uint16_t tag, const std::string& text) const {
    Bytes b(text.begin(), text.end());
    b.push_back(0);
    return {tag, 2, static_cast<uint32_t>(b.size()), b};
}

Entry TiffBuilder::Short(uint16_t tag, std::vector<uint16_t> values) const {
    Bytes b;
    for (uint16_t v : values) Put16(b, v);
    return {tag, 3, static_cast<uint32_t>(values.size()), b};
}

Entry TiffBuilder::Long(uint16_t tag, uint32_t value) const {
    Bytes b;
    Put32(b, value);
    return {tag, 4, 1, b};
}

Entry TiffBuilder::Rational(uint16_t tag, uint32_t num, uint32_t den) const {
    Bytes b;
    Put32(b, num);
    Put32(b, den);
    return {tag, 5, 1, b};
}

Entry TiffBuilder::Undefined(uint16_t tag, const Bytes& bytes) const {
    return {tag, 7, static_cast<uint32_t>(bytes.size()), bytes};
}

Bytes TiffBuilder::Build(std::vector<Entry> ifd0, std::vector<Entry> exif, std::vector<Entry> ifd1,
                         const Bytes& thumbnail) const {
    auto size = [](const std::vector<Entry>& e) {
        size_t n = 2 + 12 * e.size() + 4;
        for (const Entry& x : e)
            if (x.data.size() > 4) n += x.data.size();
        return static_cast<uint32_t>(n);
    };
    if (!exif.empty()) ifd0.push_back(Long(34665, 0));
    uint32_t at0 = 8, atExif = at0 + size(ifd0), at1 = atExif + (exif.empty() ? 0 : size(exif));
    uint32_t atThumb = at1 + (ifd1.empty() ? 0 : size(ifd1));
    auto patch = [&](std::vector<Entry>& entries) {
        for (Entry& e : entries) {
            if (e.tag == 34665) e = Long(34665, atExif);
            if ((e.tag == 513 || e.tag == 273) && e.type == 4) e = Long(e.tag, atThumb);
        }
    };
    patch(ifd0);
    patch(ifd1);
    Bytes out;
    out.push_back(motorola ? 'M' : 'I');
    out.push_back(motorola ? 'M' : 'I');
    Put16(out, 42);
    Put32(out, at0);
    auto write = [&](const std::vector<Entry>& entries, uint32_t at, uint32_t next) {
        uint32_t data = at + 2 + 12 * static_cast<uint32_t>(entries.size()) + 4;
        Bytes tail;
        Put16(out, static_cast<uint32_t>(entries.size()));
        for (const Entry& e : entries) {
            Put16(out, e.tag);
            Put16(out, e.type);
            Put32(out, e.count);
            if (e.data.size() <= 4) {
                Bytes v = e.data;
                v.resize(4, 0);
                out.insert(out.end(), v.begin(), v.end());
            } else {
                Put32(out, data + static_cast<uint32_t>(tail.size()));
                tail.insert(tail.end(), e.data.begin(), e.data.end());
            }
        }
        Put32(out, next);
        out.insert(out.end(), tail.begin(), tail.end());
    };
    write(ifd0, at0, ifd1.empty() ? 0 : at1);
    if (!exif.empty()) write(exif, atExif, 0);
    if (!ifd1.empty()) write(ifd1, at1, 0);
    out.insert(out.end(), thumbnail.begin(), thumbnail.end());
    return out;
}

Bytes ExifSegment(const Bytes& tiff) {
    Bytes body = {'E', 'x', 'i', 'f', 0, 0};
    body.insert(body.end(), tiff.begin(), tiff.end());
    return Segment(0xE1, body);
}

Decoded Decode(const Bytes& file, const DecodeOptions& o) {
    Decoded r;
    Bytes copy = file;
    std::vector<std::max_align_t> handle(static_cast<size_t>(JpgDecGetHandleSize()) / sizeof(std::max_align_t) + 1);
    void* h = handle.data();
    CodecStream stream{};
    teststreams::PieceSource source{&copy, static_cast<size_t>(o.chunk > 0 ? o.chunk : 0)};
    Bytes staging(o.chunk > 0 ? 64 : 0);
    if (o.chunk > 0) {
        StreamInit(&stream, staging.data(), static_cast<int32_t>(staging.size()), &source, teststreams::PieceSource::Read);
        if (o.seekable) StreamSetSeek(&stream, teststreams::PieceSource::Seek);
    } else {
        StreamInitMemory(&stream, copy.data(), static_cast<int32_t>(copy.size()));
        if (o.seekable) StreamSetSeek(&stream, Seek);
    }
    JpgDecInit(h);
    if (o.scalar) lumapix::jpeg::AsDecoder(h)->allowSimd = 0;
    JpgDecSetStream(h, &stream);
    r.headerStatus = o.thumbnail ? JpgDecReadThumbHeader(h, &r.header, &r.workSize, &r.appMode, &r.app)
                                 : JpgDecReadHeader(h, &r.header, &r.workSize, &r.appMode, &r.app);
    if (r.headerStatus != XR_OK) {
        r.status = r.headerStatus;
        return r;
    }
    XrImage record = r.header;
    if (o.mode) record.MODE = o.mode;
    record.LINEINT = ImageLineBytes(record.MODE, record.WIDTH);
    if (o.recordHeight) record.HEIGHT = o.recordHeight;
    else if (record.HEIGHT == 0) record.HEIGHT = 16383;
    r.lineBytes = record.LINEINT;
    r.pixels.assign(size_t{record.LINEINT} * record.HEIGHT, 0xCD);
    Bytes work(r.workSize);
    if (r.workSize) JpgDecSetWorkBuffer(h, work.data());
    if (o.thumbnail) {
        r.status = JpgDecSetThumbOutput(h, &record);
        if (r.status == XR_OK) r.status = JpgDecDecodeThumb(h, r.pixels.data());
        r.lines = r.status == XR_OK ? record.HEIGHT : 0;
        return r;
    }
    r.status = JpgDecSetOutput(h, &record);
    if (r.status != XR_OK) return r;
    if (o.byLine) {
        for (uint32_t y = 0; y < record.HEIGHT; ++y) {
            uint32_t newHeight = 0;
            r.status = JpgDecDecodeLine(h, r.pixels.data() + size_t{y} * record.LINEINT, &newHeight);
            if (newHeight) r.newHeight = newHeight;
            if (r.status != XR_OK) break;
            ++r.lines;
            if (r.newHeight && r.lines >= r.newHeight) break;
        }
    } else {
        r.status = JpgDecDecodeImage(h, r.pixels.data(), &r.lines);
    }
    return r;
}

OpenDecoder::OpenDecoder(Bytes bytes, bool thumbnail)
    : file(std::move(bytes)),
      handle(static_cast<size_t>(JpgDecGetHandleSize()) / sizeof(std::max_align_t) + 1) {
    StreamInitMemory(&stream, file.data(), static_cast<int32_t>(file.size()));
    StreamSetSeek(&stream, Seek);
    JpgDecInit(get());
    JpgDecSetStream(get(), &stream);
    headerStatus = thumbnail ? JpgDecReadThumbHeader(get(), &header, &workSize, nullptr, nullptr)
                             : JpgDecReadHeader(get(), &header, &workSize, nullptr, nullptr);
    work.resize(workSize);
    if (workSize) JpgDecSetWorkBuffer(get(), work.data());
}

bool HaveTool(const std::string& name) { return testfiles::HaveTool(name); }

Bytes RunTool(const std::string& command, const Bytes& input, const std::string& inputName) {
    testfiles::ScratchDir dir("lumapix-jpeg-tool");
    std::string in = dir / inputName;
    if (!testfiles::WriteBytes(in, input)) return {};
    bool ok = false;
    Bytes output = testfiles::Output(command + " " + testfiles::Quote(in), &ok);
    return ok ? output : Bytes{};
}

Bytes Ppm(uint32_t width, uint32_t height, const std::function<void(uint32_t, uint32_t, uint8_t rgb[3])>& pixel) {
    std::string head = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    Bytes out(head.begin(), head.end());
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t rgb[3];
            pixel(x, y, rgb);
            out.insert(out.end(), rgb, rgb + 3);
        }
    return out;
}

Bytes PnmPixels(const Bytes& pnm, uint32_t* width, uint32_t* height, uint32_t* channels) {
    testfiles::Pnm p = testfiles::ParsePnm(pnm);
    *width = p.width, *height = p.height, *channels = p.channels;
    return p.samples;
}

}  // namespace jpegtest
