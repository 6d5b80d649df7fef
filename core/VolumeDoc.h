#ifndef VOLUMEDOC_H
#define VOLUMEDOC_H

#include <QString>

class CXSCore;

class VolumeDoc
{
public:
    explicit VolumeDoc(CXSCore *core);
    ~VolumeDoc();

    bool readVolume(QString fileName);

    CXSCore *core;
};

#endif
