// Feeds arbitrary bytes, as a .nii or (with the gzip magic) a .nii.gz file, to
// the NIfTI header checks, the library's read and the conversion to a volume.

#include "NiftiImage.h"
#include "NiftiVolume.h"
#include "VolumeDoc.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The library reads files by name.
    const bool compressed = size >= 2 && data[0] == 0x1f && data[1] == 0x8b;
    const QString name = QDir::temp().filePath(QString("fuzz_nifti_%1.nii%2")
                                                   .arg(QCoreApplication::applicationPid())
                                                   .arg(compressed ? ".gz" : ""));
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();

    auto image = std::make_unique<NiftiImage>();
    if (image->read(name, true)) {
        VolumeDoc doc;
        NiftiVolume(std::move(image)).fillVolume(doc);
    }
    QFile::remove(name);
    return 0;
}
