#ifndef GENERALTOOLSINTERFACE_H
#define GENERALTOOLSINTERFACE_H

#include <QString>
#include <QtPlugin>

class GeneralToolsInterface
{
public:
    virtual ~GeneralToolsInterface() {}
    virtual void convertWinDirSlashes2UnixSlashes(QString &path) = 0;
};

#define GeneralToolsInterface_iid "com.cortivex.CXSCoreGeneralToolsInterface/0.1"
Q_DECLARE_INTERFACE(GeneralToolsInterface, GeneralToolsInterface_iid)

#endif
