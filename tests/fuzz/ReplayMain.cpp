// Runs a fuzz target once over every file of the given folders (or files), as a regression
// test of its seed corpus and of inputs that once failed, without libFuzzer.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool run(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    const QByteArray bytes = f.readAll();
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                           std::size_t(bytes.size()));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QFile::decodeName(argv[i]);
        if (QFileInfo(arg).isDir()) {
            QDirIterator it(arg, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                if (!run(it.next()))
                    return 1;
                ++inputs;
            }
        } else {
            if (!run(arg))
                return 1;
            ++inputs;
        }
    }
    std::printf("%d inputs run\n", inputs);
    return inputs > 0 ? 0 : 1; // an empty corpus would test nothing
}
