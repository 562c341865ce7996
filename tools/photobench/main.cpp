// kartotex-photo-bench: the peak memory and the time of loading very large JPEGs into the
// photo box of the editing forms, the memory measured above the program's resting size.
//
//   kartotex-photo-bench [--side N] [--keep FILE]
//
// Writes an N x N colour JPEG row by row into a temporary folder (by default two of them,
// 20,000 and 65,500 pixels each way), creates the photo box as the forms hold it, then loads
// each file through the box's own load step and prints the resident size before, the peak
// added by the load, its time, and the sizes the picture was decoded and placed at. Then it
// loads a crafted picture that is cheap to store and costly to decode (a 451-byte
// arithmetic-coded JPEG declaring 65,500 x 65,500 pixels) and prints how long it took to be
// refused or shown. Exit status 0 when every load added under 50 MB and took under 2 s of
// processor time (the time on the clock is printed beside it; on a machine shared with other
// work it is the longer one).
#include "../bench/ProcessMemory.h"
#include "../bench/QuietPrompter.h"
#include "editing/PhotoPanel.h"
#include "platform/JpegDecoder.h"
#include "tests/support/HandMadePictures.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QList>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr qint64 kLimitKb = 50 * 1024; // what loading may add to the resting size
constexpr double kLimitSeconds = 2.0;  // how long any picture may take to be refused or shown

// Shows nothing: the warning a refused picture brings is kept to be printed.
class SilentPrompter : public kx::bench::QuietPrompter {
public:
    QString lastWarning;
    void warning(const QString& text) override {
        lastWarning = text;
    }
};

// A smooth colour field with a grid of darker lines: real picture content, as a camera's
// would compress, written one row at a time so that the writer itself stays small.
bool writeJpeg(const QString& path, int side) {
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        return false;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = JDIMENSION(side);
    cinfo.image_height = JDIMENSION(side);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 85, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(std::size_t(side) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = int(cinfo.next_scanline);
        for (int x = 0; x < side; ++x) {
            const bool line = x % 500 < 4 || y % 500 < 4;
            row[std::size_t(x) * 3] = JSAMPLE(line ? 20 : x * 255 / side);
            row[std::size_t(x) * 3 + 1] = JSAMPLE(line ? 20 : y * 255 / side);
            row[std::size_t(x) * 3 + 2] = JSAMPLE(line ? 20 : 128);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(file) == 0;
}

// The seed of the JPEG fuzz corpus that is costly to decode: a 24 x 17 arithmetic-coded JPEG
// (451 bytes) whose frame header then declares side x side pixels.
QByteArray arithmeticDeclaring(int side) {
    const kx::test::LibjpegCoding coding{24, 17, 3, true, false, 0};
    const QByteArray small = kx::test::libjpegBytes(
        coding, [](int y, unsigned char* row) { kx::test::rampRow(y, row, 24 * 3); });
    return kx::test::withDeclaredSize(small, QSize(side, side));
}

// One load through the box's own step, measured.
struct Load {
    qint64 restingKb = 0;
    qint64 addedKb = 0;
    bool exact = false;
    double seconds = 0;
    double processorSeconds = 0;
    QString refusal; // the warning or the error's text; empty when the picture was placed
};

Load load(kx::PhotoPanel& panel, SilentPrompter& prompter, const QString& path) {
    Load measured;
    panel.clear();
    prompter.lastWarning.clear();
    measured.restingKb = kx::bench::residentKb();
    const kx::bench::PeakGrowth growth;
    QElapsedTimer timer;
    timer.start();
    const std::clock_t processorStart = std::clock();
    try {
        panel.loadPicture(path);
        measured.refusal = prompter.lastWarning;
    } catch (const std::runtime_error& e) {
        measured.refusal = QString::fromUtf8(e.what());
    }
    measured.seconds = double(timer.elapsed()) / 1000;
    measured.processorSeconds = double(std::clock() - processorStart) / CLOCKS_PER_SEC;
    measured.addedKb = growth.addedKb();
    measured.exact = growth.exact();
    return measured;
}

bool met(const Load& l) {
    return l.addedKb < kLimitKb && l.processorSeconds < kLimitSeconds;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QList<int> sides{20000, 65500};
    QString keep;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--side"))
            sides = {args[i + 1].toInt()};
        else if (args[i] == QLatin1String("--keep"))
            keep = args[i + 1];
    }
    if (sides.front() < 1 || sides.front() > 65500 || (!keep.isEmpty() && sides.size() > 1)) {
        std::fprintf(stderr, "usage: kartotex-photo-bench [--side 1..65500 [--keep FILE]]\n");
        return 2;
    }

    // The box as the editing forms hold it, shown once so that it is at rest.
    SilentPrompter prompter;
    QLabel caption;
    kx::PhotoPanel panel(prompter, &caption);
    panel.show();
    app.processEvents();

    QTemporaryDir dir;
    bool allMet = true;
    for (const int side : sides) {
        const QString path = keep.isEmpty() ? dir.filePath(QStringLiteral("photo.jpg")) : keep;
        QElapsedTimer timer;
        timer.start();
        if ((keep.isEmpty() || !QFile::exists(path)) && !writeJpeg(path, side)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("JPEG %d x %d: %.1f MB, written in %.1f s\n", side, side,
                    double(QFile(path).size()) / 1e6, double(timer.elapsed()) / 1000);
        std::fflush(stdout);

        const Load l = load(panel, prompter, path);
        const QSize placed = panel.picture().size();
        const QSize decoded = kx::decodeJpegFile(path, &kx::PhotoPanel::fittedSize).image.size();
        std::printf("photo load %d x %d JPEG: resting %.1f MB, peak +%.1f MB%s, %.2f s (%.2f s "
                    "processor); decoded at %d x %d, placed at %d x %d%s%s\n",
                    side, side, double(l.restingKb) / 1024, double(l.addedKb) / 1024,
                    l.exact ? "" : " (peak rise only)", l.seconds, l.processorSeconds,
                    decoded.width(), decoded.height(), placed.width(), placed.height(),
                    l.refusal.isEmpty() ? "" : "; refused: ", qPrintable(l.refusal));
        allMet &= met(l) && !panel.isEmpty();
        if (keep.isEmpty())
            QFile::remove(path);
    }

    const QString crafted = dir.filePath(QStringLiteral("crafted.jpg"));
    const QByteArray craftedBytes = arithmeticDeclaring(65500);
    QFile file(crafted);
    if (!file.open(QIODevice::WriteOnly) || file.write(craftedBytes) != craftedBytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(crafted));
        return 1;
    }
    file.close();
    const Load l = load(panel, prompter, crafted);
    std::printf(
        "crafted %lld-byte arithmetic-coded JPEG declaring 65500 x 65500: %s in %.2f s (%.2f "
        "s processor), peak +%.1f MB%s\n",
        static_cast<long long>(craftedBytes.size()),
        l.refusal.isEmpty() ? "shown" : qPrintable(QStringLiteral("refused (%1)").arg(l.refusal)),
        l.seconds, l.processorSeconds, double(l.addedKb) / 1024,
        l.exact ? "" : " (peak rise only)");
    allMet &= met(l);

    std::printf("target (every load under %lld MB added and under %.0f s of processor): %s\n",
                kLimitKb / 1024, kLimitSeconds, allMet ? "met" : "NOT met");
    return allMet ? 0 : 1;
}
