#ifndef DOCUMENTLOADER_H
#define DOCUMENTLOADER_H

#include <QObject>
#include <QThreadPool>

#include <memory>

class Document;

// Reads the files a view is asked to show on worker threads and hands each
// finished document over on the thread the loader lives on. Only the newest
// request counts: a document asked for earlier that arrives later is freed
// unseen, and so is one still loading when the loader goes.
class DocumentLoader : public QObject
{
    Q_OBJECT

public:
    explicit DocumentLoader(QObject *parent = nullptr);
    ~DocumentLoader() override;

    // Starts reading fileName for the cover at index (or -1).
    void load(const QString &fileName, int index);
    // Forgets the request under way, if any.
    void cancel();
    bool isLoading() const { return pending; }

signals:
    void loaded(const std::shared_ptr<Document> &document, int index);
    void failed(const QString &fileName, const QString &reason, int index);

private:
    QThreadPool pool;
    quint64 request = 0;
    bool pending = false;
};

#endif
