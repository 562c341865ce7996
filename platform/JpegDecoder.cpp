#include "JpegDecoder.h"

#include "AreaReducer.h"

#include <QFile>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>

#include <jpeglib.h>
// after jpeglib.h, whose types it uses
#include <jerror.h>

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

// Where the decoder reads from: an open file or bytes in memory.
struct JpegSource {
    FILE* file;
    const unsigned char* bytes;
    unsigned long size;
    void attach(jpeg_decompress_struct* cinfo) const {
        if (file)
            jpeg_stdio_src(cinfo, file);
        else
            jpeg_mem_src(cinfo, bytes, size);
    }
};

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

// The memory libjpeg may take for its own buffers. A file of one scan needs only a few rows of
// them, whatever its size; a file of several scans keeps the coefficients of the whole
// picture, bounded by kMaxCoefficientBytes below. A file that needs more is refused by the
// decoder instead of being allocated.
constexpr long kDecoderMemory = 320L * 1024 * 1024;

// The most a file of several scans (a progressive one) may keep of its coefficients: the
// decoder holds them all, at 128 bytes per block of 8 x 8 samples, until its last scan is read.
// Enough for a progressive photo of 100 megapixels in the usual 4:2:0 colour, which the size
// rule admits: such a photo costs its coefficients' memory while it loads, a picture of one
// scan only a band of rows.
constexpr qint64 kMaxCoefficientBytes = 300LL * 1024 * 1024;

// The work a picture may cost, in blocks of 8 x 8 samples decoded, counted scan by scan before
// the scan is read: a block of an arithmetic-coded scan counts kArithmeticBlockCost blocks, as
// decoding one can take that much longer (about half a microsecond when its data is made to
// hold every coefficient). The budget, about 1.5 s of a present-day processor, covers a file
// of one Huffman-coded scan of three full-resolution components of 65,500 x 65,500 pixels,
// whose work beyond that grows with its data; a declared size that would cost more (a few
// hundred bytes of arithmetic-coded data declaring 65,500 x 65,500 pixels, or a progressive
// file whose scans go over the whole picture again and again) is refused before it is read.
constexpr qint64 kWorkBudget = 220'000'000;
constexpr qint64 kArithmeticBlockCost = 80;
// However small its scans, a file of more scans than this is refused.
constexpr int kMaxScans = 1000;

// A decoding that had better not go on: the outcome kept for the handler the jump lands in.
enum class Outcome { Decoded, Failed, TooLarge, TooManyScans };

// Counts the work of each scan as it begins, through libjpeg's progress hook, and stops the
// decoding by a jump when the budget is spent.
struct WorkMonitor {
    jpeg_progress_mgr pub;
    std::jmp_buf* jump;
    Outcome* outcome;
    int countedScan;
    qint64 spent;
};

qint64 blocksOfScan(const jpeg_decompress_struct* cinfo) {
    qint64 blocks = 0;
    for (int i = 0; i < cinfo->comps_in_scan; ++i)
        blocks += qint64(cinfo->cur_comp_info[i]->width_in_blocks) *
                  cinfo->cur_comp_info[i]->height_in_blocks;
    return blocks;
}

qint64 blocksOfPicture(const jpeg_decompress_struct* cinfo) {
    qint64 blocks = 0;
    for (int i = 0; i < cinfo->num_components; ++i)
        blocks +=
            qint64(cinfo->comp_info[i].width_in_blocks) * cinfo->comp_info[i].height_in_blocks;
    return blocks;
}

// Adds the scan that has just begun, once; false when that goes beyond a bound.
bool countScan(j_decompress_ptr cinfo, WorkMonitor* monitor) {
    if (cinfo->input_scan_number == monitor->countedScan)
        return true;
    monitor->countedScan = cinfo->input_scan_number;
    if (cinfo->input_scan_number > kMaxScans) {
        *monitor->outcome = Outcome::TooManyScans;
        return false;
    }
    monitor->spent += blocksOfScan(cinfo) * (cinfo->arith_code ? kArithmeticBlockCost : 1);
    if (monitor->spent > kWorkBudget) {
        *monitor->outcome = Outcome::TooLarge;
        return false;
    }
    return true;
}

void monitorProgress(j_common_ptr cinfo) {
    auto* monitor = reinterpret_cast<WorkMonitor*>(cinfo->progress);
    if (!cinfo->is_decompressor || countScan(reinterpret_cast<j_decompress_ptr>(cinfo), monitor))
        return;
    std::longjmp(*monitor->jump, 1);
}

// The smallest scale n/8 whose output covers want in both directions; the output size is
// left in cinfo.
void chooseScale(jpeg_decompress_struct* cinfo, QSize want) {
    cinfo->scale_denom = 8;
    for (unsigned n = 1; n <= 8; ++n) {
        cinfo->scale_num = n;
        jpeg_calc_output_dimensions(cinfo);
        if (int(cinfo->output_width) >= want.width() && int(cinfo->output_height) >= want.height())
            return;
    }
}

// A picture decoded larger than this many times its target size in either direction is not
// held: its rows are reduced to the target as they are decoded. Below it the picture is held
// at its decoded size, a few times the target at most, and the caller reduces it.
constexpr int kHeldOverTarget = 4;

// What the decoder is asked for: the colour space, the size it decodes to and whether the
// rows are reduced as they come. Plain values, so that a jump out of the decoder skips nothing.
struct OutputPlan {
    bool gray = false;
    bool cmyk = false;
    QSize want; // what the target asks for; empty without a target
    int width = 0;
    int height = 0;
    bool reduceRows = false;
};

// The steps below run inside decode(), whose setjmp every jump of libjpeg lands on; like it,
// they hold no C++ object with a destructor of its own.

// Reads the header and weighs the first scan; false when the work is refused (the monitor
// has said why).
bool readHeader(jpeg_decompress_struct* cinfo, WorkMonitor* monitor, JpegPicture* out) {
    jpeg_read_header(cinfo, TRUE);
    out->size = QSize(int(cinfo->image_width), int(cinfo->image_height));
    // The coefficients of a file of several scans are turned into pixels in one more pass.
    if (jpeg_has_multiple_scans(cinfo))
        monitor->spent = blocksOfPicture(cinfo);
    // The first scan's header has been read with the picture's: its work is weighed now.
    return countScan(cinfo, monitor);
}

// Chooses the colour space and the scale, and whether the rows are reduced as they come.
OutputPlan planOutput(jpeg_decompress_struct* cinfo, JpegTarget target, QSize own) {
    OutputPlan plan;
    plan.gray = cinfo->num_components == 1;
    plan.cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = plan.gray ? JCS_GRAYSCALE : plan.cmyk ? JCS_CMYK : JCS_RGB;
    if (target) {
        plan.want = target(own).boundedTo(own).expandedTo(QSize(1, 1));
        chooseScale(cinfo, plan.want);
    } else {
        jpeg_calc_output_dimensions(cinfo);
    }
    plan.width = int(cinfo->output_width);
    plan.height = int(cinfo->output_height);
    plan.reduceRows =
        target && (qint64(plan.width) > qint64(kHeldOverTarget) * plan.want.width() ||
                   qint64(plan.height) > qint64(kHeldOverTarget) * plan.want.height());
    return plan;
}

// Whether the picture held, or the coefficients of a file of several scans, would pass
// their bounds.
bool exceedsBounds(jpeg_decompress_struct* cinfo, const OutputPlan& plan) {
    const qint64 decodedPixels = qint64(plan.width) * plan.height;
    return (!plan.reduceRows && decodedPixels > kMaxJpegPixels) ||
           (jpeg_has_multiple_scans(cinfo) &&
            blocksOfPicture(cinfo) * qint64(sizeof(JBLOCK)) > kMaxCoefficientBytes);
}

// Decodes the rows into out->image, reducing them on the way when the plan says so. The
// reducer is made in the caller's reducerSpace.
Outcome readRows(jpeg_decompress_struct* cinfo, const OutputPlan& plan, JpegPicture* out,
                 std::optional<AreaReducer>* reducerSpace) {
    const QImage::Format format = plan.gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888;
    out->image =
        plan.reduceRows ? QImage(plan.want, format) : QImage(plan.width, plan.height, format);
    if (out->image.isNull())
        return Outcome::TooLarge;
    // Rows that are reduced, and CMYK rows, go through buffers of the decoder's own, freed
    // when it is destroyed.
    const auto rowBuffer = [cinfo](int bytes) {
        return (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                           JDIMENSION(bytes), 1)[0];
    };
    const int channels = plan.gray ? 1 : 3;
    JSAMPROW cmykRow = plan.cmyk ? rowBuffer(plan.width * 4) : nullptr;
    JSAMPROW reducedRow = plan.reduceRows ? rowBuffer(plan.width * channels) : nullptr;
    AreaReducer* reducer = nullptr;
    if (plan.reduceRows) {
        try {
            reducer = &reducerSpace->emplace(QSize(plan.width, plan.height), &out->image);
        } catch (const std::bad_alloc&) {
            return Outcome::TooLarge;
        }
    }
    while (cinfo->output_scanline < cinfo->output_height) {
        const int y = int(cinfo->output_scanline);
        uchar* pixels = plan.reduceRows ? reducedRow : out->image.scanLine(y);
        JSAMPROW row = plan.cmyk ? cmykRow : pixels;
        jpeg_read_scanlines(cinfo, &row, 1);
        if (plan.cmyk)
            cmykToRgb(row, pixels, plan.width, cinfo->saw_Adobe_marker);
        if (reducer)
            reducer->addRow(pixels);
    }
    return Outcome::Decoded;
}

// The decoding after the error manager is set: header, plan, bounds, rows.
Outcome decodeAttached(jpeg_decompress_struct* cinfo, JpegTarget target, JpegPicture* out,
                       std::optional<AreaReducer>* reducerSpace, WorkMonitor* monitor) {
    if (!readHeader(cinfo, monitor, out))
        return *monitor->outcome;
    const OutputPlan plan = planOutput(cinfo, target, out->size);
    if (exceedsBounds(cinfo, plan))
        return Outcome::TooLarge;
    jpeg_start_decompress(cinfo);
    const Outcome outcome = readRows(cinfo, plan, out, reducerSpace);
    if (outcome != Outcome::Decoded)
        return outcome;
    jpeg_finish_decompress(cinfo);
    out->depth = plan.gray ? 8 : 24;
    return Outcome::Decoded;
}

// Every jump of libjpeg lands in this function, and it holds no C++ object with a destructor
// of its own: the jump skips no cleanup. On Failed, message holds the decoder's text.
Outcome decode(const JpegSource& source, JpegTarget target, JpegPicture* out,
               std::optional<AreaReducer>* reducerSpace, char* message, std::size_t messageSize) {
    jpeg_decompress_struct cinfo;
    ErrorManager jerr;
    Outcome refusal = Outcome::Failed;
    WorkMonitor monitor{{}, &jerr.jump, &refusal, 0, 0};
    monitor.pub.progress_monitor = monitorProgress;
    cinfo.err = jpeg_std_error(&jerr.pub);
    jerr.pub.error_exit = errorExit;
    jerr.pub.output_message = outputMessage;
    if (setjmp(jerr.jump)) {
        const int code = jerr.pub.msg_code;
        jpeg_destroy_decompress(&cinfo); // also frees what the decoder allocated
        if (refusal != Outcome::Failed)
            return refusal;
        if (code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE)
            return Outcome::TooLarge;
        std::snprintf(message, messageSize, "%s", jerr.message);
        return Outcome::Failed;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kDecoderMemory;
    cinfo.progress = &monitor.pub;
    source.attach(&cinfo);
    const Outcome outcome = decodeAttached(&cinfo, target, out, reducerSpace, &monitor);
    jpeg_destroy_decompress(&cinfo);
    return outcome;
}

JpegPicture decodeFrom(const JpegSource& source, JpegTarget target) {
    JpegPicture picture;
    std::optional<AreaReducer> reducer;
    char message[JMSG_LENGTH_MAX];
    switch (decode(source, target, &picture, &reducer, message, sizeof message)) {
    case Outcome::Decoded:
        return picture;
    case Outcome::TooLarge:
        throw PictureTooLargeError(picture.size);
    case Outcome::TooManyScans:
        throw std::runtime_error(QStringLiteral("A kép több mint %1 menetben kódolt, nem "
                                                "tölthető be !")
                                     .arg(kMaxScans)
                                     .toStdString());
    case Outcome::Failed:
        break;
    }
    throw std::runtime_error(message);
}

} // namespace

namespace {

QString tooLargeMessage(QSize own) {
    // The size is known once the header is read; the decoder's memory bound may be met sooner.
    if (!own.isValid())
        return QStringLiteral("A kép túl nagy, nem tölthető be !");
    return QStringLiteral("A kép túl nagy (%1 × %2 képpont), nem tölthető be !")
        .arg(own.width())
        .arg(own.height());
}

} // namespace

PictureTooLargeError::PictureTooLargeError(QSize own)
    : std::runtime_error(tooLargeMessage(own).toStdString()) {}

QString PictureTooLargeError::userMessage() const {
    return QString::fromUtf8(what());
}

JpegPicture decodeJpegFile(const QString& path, JpegTarget target) {
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!file) {
        const int code = errno;
        throw std::runtime_error(QStringLiteral("A(z) „%1” fájl nem nyitható meg. %2")
                                     .arg(path, QString::fromLocal8Bit(std::strerror(code)))
                                     .toStdString());
    }
    // The file is closed whether the decoding succeeds or throws.
    const std::unique_ptr<FILE, int (*)(FILE*)> closer(file, &std::fclose);
    return decodeFrom(JpegSource{file, nullptr, 0}, target);
}

JpegPicture decodeJpegData(const QByteArray& bytes, JpegTarget target) {
    return decodeFrom(JpegSource{nullptr, reinterpret_cast<const unsigned char*>(bytes.constData()),
                                 static_cast<unsigned long>(bytes.size())},
                      target);
}

} // namespace kx
