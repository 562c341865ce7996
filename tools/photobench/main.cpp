// kartotex-photo-bench: the peak memory of loading a very large JPEG into the photo box of
// the editing forms, measured above the program's resting size.
//
//   kartotex-photo-bench [--side N] [--keep FILE]
//
// Writes an N x N colour JPEG (default 20000) row by row into a temporary folder, creates the
// photo box as the forms hold it, then loads the file through the box's own load step and
// prints the resident size before, the peak added by the load, its time, and the sizes the
// picture was decoded and placed at. Exit status 0 when the peak added stays under 100 MB.
#include "../bench/ProcessMemory.h"
#include "editing/PhotoPanel.h"
#include "platform/JpegDecoder.h"
#include "platform/QtPrompter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr qint64 kLimitKb = 100 * 1024; // what loading may add to the resting size

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

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    int side = 20000;
    QString keep;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--side"))
            side = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--keep"))
            keep = args[i + 1];
    }
    if (side < 1 || side > 65500) {
        std::fprintf(stderr, "usage: kartotex-photo-bench [--side 1..65500] [--keep FILE]\n");
        return 2;
    }

    QTemporaryDir dir;
    const QString path = keep.isEmpty() ? dir.filePath(QStringLiteral("photo.jpg")) : keep;
    QElapsedTimer timer;
    timer.start();
    if (!QFile::exists(path) && !writeJpeg(path, side)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("JPEG %d x %d: %.1f MB, written in %.1f s\n", side, side,
                double(QFile(path).size()) / 1e6, double(timer.elapsed()) / 1000);

    // The box as the editing forms hold it, shown once so that it is at rest.
    kx::QtPrompter prompter;
    QLabel caption;
    kx::PhotoPanel panel(prompter, &caption);
    panel.show();
    app.processEvents();

    const qint64 restingKb = kx::bench::residentKb();
    const kx::bench::PeakGrowth growth;
    timer.restart();
    panel.loadPicture(path);
    const double seconds = double(timer.elapsed()) / 1000;
    const qint64 addedKb = growth.addedKb();

    const QSize placed = panel.picture().size();
    const QSize decoded = kx::decodeJpegFile(path, &kx::PhotoPanel::fittedSize).image.size();
    std::printf("photo load %d x %d JPEG: resting %.1f MB, peak +%.1f MB%s, %.2f s; decoded at "
                "%d x %d, placed at %d x %d\n",
                side, side, double(restingKb) / 1024, double(addedKb) / 1024,
                growth.exact() ? "" : " (peak rise only)", seconds, decoded.width(),
                decoded.height(), placed.width(), placed.height());
    const bool met = !panel.isEmpty() && addedKb < kLimitKb;
    std::printf("target (under %lld MB added): %s\n", kLimitKb / 1024, met ? "met" : "NOT met");
    return met ? 0 : 1;
}
