#ifndef GIFTIFILE_H
#define GIFTIFILE_H

#include "SurfaceFileData.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>
#include <vector>

class QIODevice;
class QXmlStreamReader;

// One DataArray of a GIfTI file, its values in row-major order (the last
// dimension fastest) and in the host's byte order, whatever the file's.
struct GiftiArray
{
    enum class Type { Float32, Int32, UInt8 };

    // As written: "NIFTI_INTENT_POINTSET", and its NIfTI code.
    QString intent;
    int intentCode = 0;
    Type type = Type::Float32;
    std::vector<qint64> dims;
    // How the file held the values: "ASCII", "Base64Binary" or
    // "GZipBase64Binary"; "LittleEndian" or "BigEndian"; column-major or not.
    QString encoding;
    QString endian;
    bool columnMajor = false;
    // The values of a FLOAT32 array; those of an INT32 or UINT8 array are in ints.
    std::vector<float> floats;
    std::vector<qint32> ints;
    QList<QPair<QString, QString>> metaData;
    // The first CoordinateSystemTransformMatrix: the spaces' names and the
    // 16 numbers of the matrix row by row; no numbers when there is none.
    QString dataSpace, transformedSpace;
    std::vector<double> transform;

    qint64 valueCount() const;
    // The value at a row-major index, as a float.
    float valueAt(qint64 index) const;
    // The MetaData value of the name, or an empty text.
    QString metaValue(const QString &name) const;
};

// A GIfTI file (.surf.gii, .func.gii, .shape.gii, .label.gii) read with
// QXmlStreamReader: its data arrays in the three inline encodings and either
// byte order, its label table and its metadata. Data in external files is not
// followed. Every array's size is weighed against the text that holds it
// before anything is allocated, compressed data is inflated into exactly the
// room the dimensions give, and the values of a file are capped.
class GiftiFile
{
public:
    // Whether the name ends in .gii.
    static bool isGiftiFileName(const QString &fileName);
    // The NIfTI code of an intent name ("NIFTI_INTENT_ZSCORE": 5), -1 for a
    // name that is none.
    static int intentCode(const QString &name);
    // Whether the code is one of the statistics, 2 (CORREL) to 24 (LOG10PVAL).
    static bool isStatisticIntent(int code);

    // Only a regular file is opened.
    bool read(const QString &fileName);
    bool read(QIODevice &device);
    // Reads the contents of a file.
    bool readContents(const QByteArray &contents);
    // Why the last read failed, in a few words for the user; empty after one
    // that succeeded.
    QString failureReason() const { return failure; }

    QString version() const { return gifti; }
    const QList<QPair<QString, QString>> &metaData() const { return fileMetaData; }
    const std::vector<VertexLabels::Label> &labelTable() const { return labels; }
    const std::vector<GiftiArray> &arrays() const { return dataArrays; }

    // The mesh of the first POINTSET and TRIANGLE arrays; none without both.
    std::optional<SurfaceGeometry> surface() const;
    // The values of each array of one value per vertex (a shape, a
    // statistic, a time point or no intent), an array of vertices × n values
    // giving n of them; named by the array's Name metadata.
    std::vector<PerVertexValues> perVertexValues() const;
    // The first LABEL array with the label table; none without one.
    std::optional<VertexLabels> vertexLabels() const;

    // The data of each array is taken from the bytes of the file, past the
    // XML reader, when it is plain text between <Data> and </Data>; off, the
    // XML reader reads it all. For comparing the two.
    void setDataTakenDirectly(bool direct) { takeDataDirectly = direct; }

private:
    enum class Outcome { Read, Failed, Misread };
    struct DataText;
    Outcome parse(const QByteArray &document, const std::vector<DataText> &texts);
    bool readMetaData(QXmlStreamReader &xml, QList<QPair<QString, QString>> &into);
    bool readLabelTable(QXmlStreamReader &xml);
    Outcome readDataArray(QXmlStreamReader &xml, const std::vector<DataText> &texts);
    void skipElement(QXmlStreamReader &xml);
    bool decode(GiftiArray &array, const char *text, qint64 length);
    bool checkArrays();
    bool fail(const QString &why);
    void clear();

    QString failure;
    QString gifti;
    QList<QPair<QString, QString>> fileMetaData;
    std::vector<VertexLabels::Label> labels;
    std::vector<GiftiArray> dataArrays;
    qint64 valuesRead = 0;
    qint64 metaDataRead = 0;
    int dataElementsSeen = 0;
    const QByteArray *raw = nullptr;
    bool takeDataDirectly = true;
};

#endif
