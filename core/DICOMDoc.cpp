#include "DICOMDoc.h"

DICOMDoc::DICOMDoc(CXSCore *core) : core(core) {}

DICOMDoc::~DICOMDoc() {}

bool DICOMDoc::readDICOM(QString fileName)
{
    Q_UNUSED(fileName);
    return false;
}
