#ifndef DICOMDOC_H
#define DICOMDOC_H

#include <QString>

class CXSCore;

class DICOMDoc
{
public:
    explicit DICOMDoc(CXSCore *core);
    ~DICOMDoc();

    bool readDICOM(QString fileName);

    CXSCore *core;
};

#endif
