#include "VolumeDoc.h"

VolumeDoc::VolumeDoc(CXSCore *core) : core(core) {}

VolumeDoc::~VolumeDoc() {}

bool VolumeDoc::readVolume(QString fileName)
{
    Q_UNUSED(fileName);
    return false;
}
