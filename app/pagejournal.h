// The page list as a document that outlives the program: after every change
// of the list's model or of the PDF collection the pages, in list order, and
// which of them are collected are written to a journal, and a window that
// starts (or switches to a save directory) reads them back.
//
// The journal of a save directory lives in the program's state folder
// ($XDG_STATE_HOME/zqvideo, by default ~/.local/state/zqvideo), named by a
// hash of the directory's path and holding that path: the page folder itself
// (often a memory stick that other systems show hidden files on, or a folder
// that cannot be written) gets no file of the program's.
#ifndef ZQVIDEO_PAGEJOURNAL_H
#define ZQVIDEO_PAGEJOURNAL_H

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <list>
#include <string>
#include <vector>

class QListWidget;
class QTimer;

// True when path names a regular file that can be read: a page that can
// still be shown and composed.
bool pageFileUsable(const QByteArray &path);

class PageJournal : public QObject
{
    Q_OBJECT

  public:
    struct Page {
        QByteArray path; // the bytes the file was written under
        bool collected;
    };
    struct State {
        std::vector<Page> pages;
        bool collecting = false;
    };

    // The list's items keep their paths as bytes in Qt::UserRole.
    explicit PageJournal(QListWidget *list, QObject *parent = nullptr);

    // The journal's file for a save directory.
    static QString fileFor(const QByteArray &saveDir);
    // The state saved for saveDir, without the pages whose files are no
    // longer usable; their paths go to gone.  Empty when there is none.
    static State read(const QByteArray &saveDir, QStringList &gone);

    // The status bar's report of pages dropped because their files are gone.
    static QString goneReport(const QStringList &paths);

    // Records the list for saveDir from now on, starting with its state now.
    void start(const QByteArray &saveDir);
    // Writes what is pending, then records nothing until the next start:
    // while the list is refilled, and while it is taken down with the window.
    void stop();

  public slots:
    // The PDF collection: whether one is on and the paths it holds.
    void setCollection(bool collecting, const std::list<std::string> &pages);

  signals:
    // The journal could not be written; why, for the status bar.
    void failed(const QString &why);

  private:
    QByteArray contents() const;
    void write();

    QListWidget *list_;
    QTimer *pending_;    // one write for the changes of one pass of the event loop
    QByteArray saveDir_; // empty: not recording
    bool collecting_ = false;
    QSet<QByteArray> collected_;
    QByteArray written_; // what the file holds, so that unchanged states are not written again
    bool failing_ = false;
};

#endif
