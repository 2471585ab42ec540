// The pages of the list as one document: their order, the thumbnails, the
// journal that keeps them across starts, deletion into the desktop's trash
// with undo, and which of them the PDF collection holds.  The collection
// itself is the window's record; this class keeps it in step with the list.
#ifndef ZQVIDEO_PAGEDOCUMENT_H
#define ZQVIDEO_PAGEDOCUMENT_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <list>
#include <memory>
#include <string>
#include <vector>

class PageJournal;
class QAction;
class QListWidget;
class QListWidgetItem;
class QStatusBar;
enum class PageTurn;

class PageDocument : public QObject
{
    Q_OBJECT

  public:
    // collected and collecting: the window's PDF collection, its pages'
    // paths oldest first and whether it is on.  undoDelete takes the last
    // deletion back.
    PageDocument(QListWidget *list, QAction *undoDelete, QStatusBar *status,
                 std::list<std::string> &collected, const bool &collecting, QObject *parent);
    ~PageDocument() override;

    // A page at the end of the list; its path as the bytes its file lies
    // under, so that a name that is not valid UTF-8 survives.
    QListWidgetItem *add(const QByteArray &path, const QString &name);
    // A written page joins the collection.
    void collect(const QByteArray &path);
    bool isCollected(const QByteArray &path) const;

    void remove(const QList<QListWidgetItem *> &pages);
    void removeAll();
    void undoRemoval();
    void turn(const QList<QListWidgetItem *> &pages, PageTurn turn);
    void open(const QList<QListWidgetItem *> &pages);
    // Takes out the pages whose files went away; the report, or nothing.
    QString dropMissing();

    // The list and collection kept for the save directory dir; whether its
    // collection was on.
    bool restore(const QByteArray &dir);
    // A new collection: pages deleted from an earlier one come back
    // without their place in it.
    void startCollection();
    // Whether the journal keeps the collection (on, or being composed).
    void keepCollection(bool kept);
    // Stops the journal: the list going down with the window is no change.
    void close();

  signals:
    // The collection's pages or their order changed.
    void collectionChanged();
    // A collected page is new or its picture changed: words recognised on
    // it before no longer fit.
    void collectedPageChanged(const QByteArray &path);

  private:
    // A page taken out of the list, its file in the desktop's trash.
    struct TrashedPage {
        std::unique_ptr<QListWidgetItem> item;
        int row;
        QByteArray path;
        QString pathInTrash;
        int collectedAt; // in the collection; -1 when not collected
    };
    // The pages one press deleted, in the order they were taken out.
    struct Deletion {
        std::vector<TrashedPage> pages;
        int collection; // the collection their places belong to
    };

    void setUpList();
    void showThumbnail(QListWidgetItem *item);
    int takeFromCollection(const QByteArray &path);
    void followListOrder();
    void say(const QStringList &report);

    QListWidget *list_;
    QAction *undoDelete_;
    QStatusBar *status_;
    std::list<std::string> &collected_;
    const bool &collecting_;
    PageJournal *journal_;
    std::vector<Deletion> deletions_; // what undo takes back, last one last
    int collections_ = 0;             // counts the collections started
    quint64 thumbnailRequests_ = 0;   // counts the thumbnails asked for
};

#endif
