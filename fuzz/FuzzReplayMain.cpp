// Runs a fuzz target over files and folders of inputs, for builds without libFuzzer.
// With -max_len=N first, an input longer than N fails the run: libFuzzer would cut
// it to N bytes, so the seed would no longer be the complete file it was made as.

#include <QDirIterator>
#include <QFile>
#include <QTextStream>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char *argv[])
{
    int count = 0;
    qint64 maxLength = -1;
    int first = 1;
    if (argc > 1 && qstrncmp(argv[1], "-max_len=", 9) == 0) {
        maxLength = QByteArray(argv[1] + 9).toLongLong();
        first = 2;
    }
    for (int i = first; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        QStringList files;
        if (QFileInfo(path).isDir()) {
            QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                files << it.next();
        } else {
            files << path;
        }
        for (const QString &name : files) {
            QFile file(name);
            if (!file.open(QIODevice::ReadOnly)) {
                QTextStream(stderr) << "cannot read " << name << "\n";
                return 1;
            }
            const QByteArray data = file.readAll();
            if (maxLength >= 0 && data.size() > maxLength) {
                QTextStream(stderr) << name << " is longer than the " << maxLength
                                    << " bytes the fuzzer is given\n";
                return 1;
            }
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(data.constData()),
                                   size_t(data.size()));
            ++count;
        }
    }
    QTextStream(stdout) << count << " inputs ran\n";
    return count > 0 ? 0 : 1;
}
