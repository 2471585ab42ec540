// Composes a PDF of the collected pages on a thread of its own, so that the
// window stays live meanwhile.  With a text layer it first waits for the
// library to finish recognising the pages, reporting how far it is.
//
// While a composition runs, nothing else may call libzqscan's PDF entry
// points: they are for one thread at a time.
#ifndef ZQVIDEO_PDF_COMPOSER_H
#define ZQVIDEO_PDF_COMPOSER_H

#include <QObject>
#include <QString>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

class PdfComposer : public QObject
{
    Q_OBJECT

  public:
    explicit PdfComposer(QObject *parent = nullptr);
    // Stops waiting for recognition (no PDF is made then) and waits for a
    // composition that has begun.
    ~PdfComposer() override;

    // Starts composing pages into output; the previous composition must have
    // finished.
    void start(std::vector<std::string> pages, std::string output, bool searchable);
    // Gives the running composition up: the wait for recognition ends at
    // once, and a PDF already being written is dropped when it is done; a
    // file it was to replace stays as it was.  cancelled() says when it
    // has stopped.
    void cancel() { cancelled_ = true; }

  signals:
    // So many of the pages have their words; emitted as that grows.
    void recognising(int done, int total);
    // zq_create_pdf's result and, on failure, zq_pdf_error()'s text.
    void finished(int result, const QString &why);
    // The composition was cancelled; no PDF was left.
    void cancelled();

  private:
    void run(const std::vector<std::string> &pages, const std::string &output, bool searchable);
    bool waitForWords(const std::vector<std::string> &pages);

    std::thread thread_;
    std::atomic<bool> cancelled_{false}; // by the user
    std::atomic<bool> quitting_{false};  // the composer goes down
};

#endif
