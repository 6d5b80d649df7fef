#include <QtPlugin>

Q_IMPORT_PLUGIN(CXSCore)
