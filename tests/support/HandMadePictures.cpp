#include "HandMadePictures.h"

#include <QtEndian>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace kx::test {

void put16(QByteArray& out, qint64 value) {
    char c[2];
    qToLittleEndian<quint16>(quint16(value), c);
    out.append(c, 2);
}

void put32(QByteArray& out, qint64 value) {
    char c[4];
    qToLittleEndian<quint32>(quint32(value), c);
    out.append(c, 4);
}

namespace {

QByteArray infoHeader(const BmpParts& p) {
    QByteArray info;
    put32(info, p.header);
    if (p.header == 12) {
        put16(info, p.width);
        put16(info, p.height);
        put16(info, 1);
        put16(info, p.bits);
        return info;
    }
    put32(info, p.width);
    put32(info, p.height);
    put16(info, 1);
    put16(info, p.bits);
    put32(info, p.compression);
    put32(info, p.pixels.size());
    put32(info, 2835);
    put32(info, 2835);
    put32(info, p.colours);
    put32(info, 0);
    if (p.header > 40) {
        info += p.masks.leftJustified(16, '\0');
        info += QByteArray(p.header - 56, '\0');
    } else {
        info += p.masks; // a bit-field bitmap's masks follow the header
    }
    return info;
}

} // namespace

QByteArray handBmp(const BmpParts& parts) {
    const QByteArray info = infoHeader(parts);
    QByteArray b("BM");
    const qint64 offset = 14 + info.size() + parts.palette.size();
    put32(b, offset + parts.pixels.size());
    put32(b, 0);
    put32(b, offset);
    return b + info + parts.palette + parts.pixels;
}

QByteArray greyPalette(int colours, int entryBytes) {
    QByteArray p;
    for (int i = 0; i < colours; ++i) {
        const char v = char(i * 255 / (colours - 1));
        p.append(v).append(v).append(v);
        if (entryBytes == 4)
            p.append('\0');
    }
    return p;
}

QByteArray libjpegBytes(const LibjpegCoding& coding, const JpegRowFill& fill) {
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(coding.width);
    cinfo.image_height = JDIMENSION(coding.height);
    cinfo.input_components = coding.components;
    cinfo.in_color_space = coding.components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    cinfo.arith_code = coding.arithmetic ? TRUE : FALSE;
    cinfo.restart_in_rows = coding.restartRows;
    if (coding.progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(std::size_t(coding.width) * std::size_t(coding.components));
    while (cinfo.next_scanline < cinfo.image_height) {
        fill(int(cinfo.next_scanline), row.data());
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

void rampRow(int y, unsigned char* row, int samples) {
    for (int i = 0; i < samples; ++i)
        row[i] = static_cast<unsigned char>((i * 7 + y * 13) & 0xFF);
}

QByteArray withDeclaredSize(QByteArray jpeg, QSize declared) {
    // The frame header of any coding: baseline, extended, progressive, arithmetic (not the
    // Huffman and arithmetic table markers C4 and CC, nor C8, which share the range).
    for (qsizetype i = 2; i + 9 < jpeg.size(); ++i) {
        const auto marker = uchar(jpeg[i + 1]);
        if (uchar(jpeg[i]) == 0xFF && marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 &&
            marker != 0xC8 && marker != 0xCC) {
            qToBigEndian<quint16>(quint16(declared.height()), jpeg.data() + i + 5);
            qToBigEndian<quint16>(quint16(declared.width()), jpeg.data() + i + 7);
            return jpeg;
        }
    }
    qFatal("no frame header in the JPEG");
}

} // namespace kx::test
