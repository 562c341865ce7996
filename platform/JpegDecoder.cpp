#include "JpegDecoder.h"

#include <QFile>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <jpeglib.h>

namespace kx {

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return. It jumps back
// into decode() with the decoder's own message text kept for the exception.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void errorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (e.g. a truncated file whose rest is filled in grey) are not errors; the picture
// is used as decoded and nothing goes to the console.
void outputMessage(j_common_ptr) {}

// Adobe CMYK/YCCK files hold inverted ink values; libjpeg hands them back as stored.
void cmykToRgb(const JSAMPLE* in, uchar* out, int width, bool inverted) {
    for (int x = 0; x < width; ++x, in += 4, out += 3) {
        int c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[0] = uchar(c * k / 255);
        out[1] = uchar(m * k / 255);
        out[2] = uchar(y * k / 255);
    }
}

// Everything that libjpeg may jump out of lives in this function, and it holds no C++ object
// with a destructor of its own: the jump skips no cleanup. Returns false with message set on
// a decoder error.
bool decode(FILE* file, QImage* out, int* depth, char* message, std::size_t messageSize) {
    jpeg_decompress_struct cinfo;
    ErrorManager jerr;
    cinfo.err = jpeg_std_error(&jerr.pub);
    jerr.pub.error_exit = errorExit;
    jerr.pub.output_message = outputMessage;
    if (setjmp(jerr.jump)) {
        jpeg_destroy_decompress(&cinfo); // also frees what the decoder allocated
        std::snprintf(message, messageSize, "%s", jerr.message);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);

    const bool gray = cinfo.num_components == 1;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = gray ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&cinfo);

    const int width = int(cinfo.output_width);
    const int height = int(cinfo.output_height);
    *out = QImage(width, height, gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    if (out->isNull()) {
        jpeg_destroy_decompress(&cinfo);
        std::snprintf(message, messageSize, "Image too large: %d x %d pixels", width, height);
        return false;
    }
    // A CMYK row goes through a buffer of the decoder's own, freed when it is destroyed.
    JSAMPARRAY cmykRow = cmyk ? (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo),
                                                           JPOOL_IMAGE, JDIMENSION(width) * 4, 1)
                              : nullptr;
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = int(cinfo.output_scanline);
        JSAMPROW row = cmyk ? cmykRow[0] : out->scanLine(y);
        jpeg_read_scanlines(&cinfo, &row, 1);
        if (cmyk)
            cmykToRgb(row, out->scanLine(y), width, cinfo.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    *depth = gray ? 8 : 24;
    return true;
}

} // namespace

JpegPicture decodeJpegFile(const QString& path) {
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!file) {
        const int code = errno;
        throw std::runtime_error(QStringLiteral("A(z) „%1” fájl nem nyitható meg. %2")
                                     .arg(path, QString::fromLocal8Bit(std::strerror(code)))
                                     .toStdString());
    }
    JpegPicture picture;
    char message[JMSG_LENGTH_MAX + 64];
    const bool ok = decode(file, &picture.image, &picture.depth, message, sizeof message);
    std::fclose(file);
    if (!ok)
        throw std::runtime_error(message);
    return picture;
}

} // namespace kx
