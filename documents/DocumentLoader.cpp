#include "DocumentLoader.h"

#include "Documents.h"


DocumentLoader::DocumentLoader(QObject *parent) : QObject(parent)
{
    // A superseded read goes on until it ends; the newer one needs a thread of its own.
    pool.setMaxThreadCount(2);
}

DocumentLoader::~DocumentLoader()
{
    ++request;
    pool.clear();
    pool.waitForDone();
}

void DocumentLoader::load(const QString &fileName, int index)
{
    const quint64 ticket = ++request;
    pending = true;
    // Requests that have not started yet will never be wanted.
    pool.clear();
    // The loader outlives every read (its destructor waits for them), and a
    // result posted to a loader that is gone is dropped with it.
    pool.start([this, ticket, fileName, index] {
        QString reason;
        std::shared_ptr<Document> document = readDocument(fileName, reason);
        QMetaObject::invokeMethod(this, [this, ticket, fileName, index, document, reason] {
            if (ticket != request)
                return;
            pending = false;
            if (document)
                emit loaded(document, index);
            else
                emit failed(fileName, reason, index);
        });
    });
}

void DocumentLoader::cancel()
{
    ++request;
    pending = false;
    pool.clear();
}
