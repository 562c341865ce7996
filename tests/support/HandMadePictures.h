#pragma once

#include <QByteArray>
#include <QSize>
#include <functional>

namespace kx::test {

// Picture files written byte by byte, for the kinds Qt's writers do not make: shared by the
// photo tests, the fuzz corpus and the photo benchmark.

// Little-endian fields, as the BMP headers hold them.
void put16(QByteArray& out, qint64 value);
void put32(QByteArray& out, qint64 value);

// The parts of a BMP file image.
struct BmpParts {
    // The info header's size: 12 (the old OS/2 one, whose palette entries are 3 bytes), 40,
    // or 124 (the fifth version, with the masks inside).
    int header = 40;
    int width = 0;
    int height = 0; // negative: the rows run top-down
    int bits = 24;
    int compression = 0; // 1 RLE8, 2 RLE4, 3 bit fields
    QByteArray masks{};  // a bit-field bitmap's masks
    QByteArray palette{};
    QByteArray pixels{}; // the rows from the bottom one up, or the run-length stream
    int colours = 0;     // the header's count of palette colours; 0: as many as the bits allow
};
QByteArray handBmp(const BmpParts& parts);
// A palette of grey steps from black to white; entries of 4 bytes, or 3 for the old header.
QByteArray greyPalette(int colours, int entryBytes = 4);

// How libjpeg itself is to write a JPEG: for the codings Qt's writer does not offer
// (arithmetic coding, restart markers, CMYK with the Adobe marker).
struct LibjpegCoding {
    int width = 16;
    int height = 16;
    int components = 3; // 3: RGB, 4: CMYK
    bool arithmetic = false;
    bool progressive = false;
    int restartRows = 0;
};
// fill(y, row) writes the width * components samples of row y.
using JpegRowFill = std::function<void(int y, unsigned char* row)>;
QByteArray libjpegBytes(const LibjpegCoding& coding, const JpegRowFill& fill);
// The samples of the fuzz corpus's libjpeg seeds: a ramp that differs from row to row.
void rampRow(int y, unsigned char* row, int samples);

// The same JPEG with another size in its frame header (of any coding), as a damaged or
// hostile file declares one: the decoder believes the header and fills in what the data lacks.
QByteArray withDeclaredSize(QByteArray jpeg, QSize declared);

} // namespace kx::test
