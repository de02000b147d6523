// Runs a fuzz target over files and folders of inputs, as libFuzzer would run them, with
// the normal compiler: the corpus and every crash input stay part of the test suite.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace {

bool runFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    const QByteArray bytes = file.readAll();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                           size_t(bytes.size()));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    int runs = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const QFileInfo info(QString::fromLocal8Bit(argv[i]));
        if (info.isDir()) {
            const QFileInfoList files = QDir(info.filePath()).entryInfoList(QDir::Files, QDir::Name);
            for (const QFileInfo &f : files) {
                ok = runFile(f.filePath()) && ok;
                ++runs;
            }
        } else if (info.exists()) {
            ok = runFile(info.filePath()) && ok;
            ++runs;
        }
    }
    std::printf("%d inputs ran\n", runs);
    return ok ? 0 : 1;
}
