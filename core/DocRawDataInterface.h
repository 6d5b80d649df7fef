#ifndef DOCRAWDATAINTERFACE_H
#define DOCRAWDATAINTERFACE_H

#include <QString>
#include <QtPlugin>

class DICOMDoc;

class DocRawDataInterface
{
public:
    virtual ~DocRawDataInterface() {}
    virtual bool loadDICOM(QString fileName) = 0;
    virtual DICOMDoc *getDICOMDoc() = 0;
    // Why the last loadDICOM failed, in a few words for the user ("compressed
    // DICOM (JPEG 2000) is not supported"); empty after one that succeeded.
    virtual QString getDICOMFailureReason() = 0;
    // Deletes the DICOM document once no view shows it.
    virtual void releaseDICOMDoc() = 0;
};

#define DocRawDataInterface_iid "com.cortivex.CXSCoreDocRawDataInterface/0.1"
Q_DECLARE_INTERFACE(DocRawDataInterface, DocRawDataInterface_iid)

#endif
