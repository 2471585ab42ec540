#include "pagedocument.h"

#include "config.h"
#include "page_files.h"
#include "page_numbers.h"
#include "pagejournal.h"
#include "pageturn.h"
#include "trash.h"

#include <QAbstractItemView>
#include <QAction>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFile>
#include <QFontMetrics>
#include <QFutureWatcher>
#include <QListWidget>
#include <QStatusBar>
#include <QUrl>
#include <QtConcurrent>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <utility>

namespace
{

constexpr int kStatusLongMs = 10000;

// Room round a page's thumbnail and name in the list.
constexpr int kThumbnailMargin = 8;

// The page's latest thumbnail request: a thumbnail that arrives after a
// later one was asked for (a page turned right after its capture) is
// dropped.
constexpr int kThumbnailRequestRole = Qt::UserRole + 1;

QByteArray pathOf(const QListWidgetItem *item)
{
    return item->data(Qt::UserRole).toByteArray();
}

// A list in icon mode leaves a dragged icon wherever it is dropped, and
// refuses drops on other icons; a dragged page is to change its place in
// the order instead.  Watches the list's viewport.
class DropReorders : public QObject
{
  public:
    explicit DropReorders(QListWidget *list) : QObject(list), list_(list)
    {
        list->viewport()->installEventFilter(this);
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
            return false;
        auto *drop = static_cast<QDropEvent *>(event);
        if (drop->source() != list_)
            return false;
        if (type == QEvent::Drop) {
            moveSelectedBefore(rowAt(drop->pos()));
            // Moved already: the drag must not take the page out of the list.
            drop->setDropAction(Qt::CopyAction);
        }
        drop->accept();
        return true;
    }

  private:
    // The list shows its pages in one line: a drop goes before the first
    // page whose middle lies right of it.
    int rowAt(const QPoint &position) const
    {
        int row = 0;
        while (row < list_->count() &&
               list_->visualItemRect(list_->item(row)).center().x() < position.x())
            ++row;
        return row;
    }

    // The selected pages keep their order among themselves.  Each move is
    // one of the model's, so that whoever watches the list sees it.
    void moveSelectedBefore(int row)
    {
        QAbstractItemModel *model = list_->model();
        std::vector<QPersistentModelIndex> selected;
        for (const QModelIndex &index : list_->selectionModel()->selectedIndexes())
            selected.emplace_back(index);
        std::sort(selected.begin(), selected.end(),
                  [](const QPersistentModelIndex &a, const QPersistentModelIndex &b) {
                      return a.row() < b.row();
                  });
        for (const QPersistentModelIndex &page : selected) {
            const int from = page.row();
            model->moveRow(QModelIndex(), from, QModelIndex(), row);
            if (from >= row)
                ++row; // the next one goes behind it
        }
    }

    QListWidget *list_;
};

} // namespace

PageDocument::PageDocument(QListWidget *list, QAction *undoDelete, QStatusBar *status,
                           std::list<std::string> &collected, const bool &collecting,
                           QObject *parent)
    : QObject(parent), list_(list), undoDelete_(undoDelete), status_(status), collected_(collected),
      collecting_(collecting), journal_(new PageJournal(list, this))
{
    setUpList();
    connect(journal_, &PageJournal::failed, this,
            [this](const QString &why) { status_->showMessage(why, kStatusLongMs); });
    connect(undoDelete_, &QAction::triggered, this, &PageDocument::undoRemoval);
}

PageDocument::~PageDocument() = default;

void PageDocument::setUpList()
{
    // The thumbnails keep their places in the flow; a dragged one moves in
    // the order.
    list_->setMovement(QListView::Static);
    list_->setDragDropMode(QAbstractItemView::InternalMove);
    list_->setDefaultDropAction(Qt::MoveAction);
    list_->viewport()->setAcceptDrops(true); // which the static movement turned off
    new DropReorders(list_);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setItemDelegate(new PageNumbers(list_));
    connect(list_->model(), &QAbstractItemModel::rowsMoved, this, &PageDocument::followListOrder);
}

QListWidgetItem *PageDocument::add(const QByteArray &path, const QString &name)
{
    auto *item = new QListWidgetItem(name);
    item->setData(Qt::UserRole, path);
    // The room the page takes with its thumbnail, from the start: the list
    // does not move the pages after one whose thumbnail arrives later (the
    // two pages of a spread come in one tick).
    const QFontMetrics text = list_->fontMetrics();
    const QSize thumbnail = list_->iconSize();
    item->setSizeHint(QSize(std::max(text.horizontalAdvance(item->text()), thumbnail.width()),
                            thumbnail.height() + text.height()) +
                      QSize(kThumbnailMargin, kThumbnailMargin));
    list_->insertItem(list_->count(), item);
    showThumbnail(item);
    list_->scrollToItem(item);
    return item;
}

void PageDocument::collect(const QByteArray &path)
{
    collected_.emplace_back(path.constData());
    emit collectionChanged();
    emit collectedPageChanged(path);
}

bool PageDocument::isCollected(const QByteArray &path) const
{
    return std::find(collected_.begin(), collected_.end(), path.toStdString()) != collected_.end();
}

// Made from the written file on a worker thread, so that the preview does
// not wait for it: the page is listed at once and its picture follows.  A
// page deleted meanwhile simply gets none.
void PageDocument::showThumbnail(QListWidgetItem *item)
{
    const quint64 request = ++thumbnailRequests_;
    item->setData(kThumbnailRequestRole, request);
    auto *watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, request] {
        watcher->deleteLater();
        for (int i = 0; i < list_->count(); ++i) {
            QListWidgetItem *page = list_->item(i);
            if (page->data(kThumbnailRequestRole).toULongLong() == request) {
                page->setIcon(QIcon(QPixmap::fromImage(watcher->result())));
                return;
            }
        }
    });
    watcher->setFuture(QtConcurrent::run(pageThumbnail, QFile::decodeName(pathOf(item)),
                                         list_->iconSize().width()));
}

void PageDocument::removeAll()
{
    QList<QListWidgetItem *> all;
    for (int row = 0; row < list_->count(); ++row)
        all << list_->item(row);
    remove(all);
}

// Each page remembers the path its file was written to, so that deleting
// it moves that file even after the save directory changed.  A page whose
// file cannot go to the trash stays, and the status bar says why; one whose
// file is gone already just leaves the list.
void PageDocument::remove(const QList<QListWidgetItem *> &pages)
{
    Deletion deletion{{}, collections_};
    QStringList report;
    QStringList gone;
    for (QListWidgetItem *item : pages) {
        const QByteArray path = pathOf(item);
        struct stat status;
        if (lstat(path.constData(), &status) != 0 && errno == ENOENT) {
            gone << QFile::decodeName(path);
            takeFromCollection(path);
            delete item;
            continue;
        }
        QString why;
        const QString inTrash = moveToTrash(path, why);
        if (inTrash.isEmpty()) {
            report << tr("%1 无法移到回收站：%2").arg(item->text(), why);
            continue;
        }
        const int row = list_->row(item);
        deletion.pages.push_back({std::unique_ptr<QListWidgetItem>(list_->takeItem(row)), row, path,
                                  inTrash, takeFromCollection(path)});
    }
    if (!deletion.pages.empty()) {
        const QString undo = undoDelete_->shortcut().toString(QKeySequence::NativeText);
        report.prepend(tr("已将 %n 页移到回收站，按 %1 可恢复", nullptr, int(deletion.pages.size()))
                           .arg(undo));
        deletions_.push_back(std::move(deletion));
    }
    if (!gone.isEmpty())
        report << PageJournal::goneReport(gone);
    if (!report.isEmpty())
        say(report);
    undoDelete_->setEnabled(!deletions_.empty());
    emit collectionChanged();
}

// Page names are unique time stamps: a path is in the collection once at
// most.  Its place there, or -1.
int PageDocument::takeFromCollection(const QByteArray &path)
{
    const auto entry = std::find(collected_.begin(), collected_.end(), path.toStdString());
    if (entry == collected_.end())
        return -1;
    const int position = int(std::distance(collected_.begin(), entry));
    collected_.erase(entry);
    return position;
}

// Takes the last deletion back, its pages in the reverse order of their
// removal so that each returns to its row.  The collection gets its pages
// back only while the collection they left is still on.
void PageDocument::undoRemoval()
{
    if (deletions_.empty())
        return;
    Deletion deletion = std::move(deletions_.back());
    deletions_.pop_back();
    const bool sameCollection = collecting_ && deletion.collection == collections_;
    int restored = 0;
    QStringList failures;
    for (auto page = deletion.pages.rbegin(); page != deletion.pages.rend(); ++page) {
        QString why;
        if (!restoreFromTrash(page->pathInTrash, page->path, why)) {
            failures << tr("%1 无法从回收站恢复：%2").arg(page->item->text(), why);
            continue;
        }
        QListWidgetItem *item = page->item.release();
        list_->insertItem(std::min(page->row, list_->count()), item);
        // A thumbnail that arrived while the page was away was dropped.
        if (item->icon().isNull())
            showThumbnail(item);
        if (sameCollection && page->collectedAt >= 0) {
            const int at = std::min(page->collectedAt, int(collected_.size()));
            collected_.insert(std::next(collected_.begin(), at), page->path.toStdString());
        }
        ++restored;
    }
    if (restored > 0)
        failures.prepend(tr("已从回收站恢复 %n 页", nullptr, restored));
    say(failures);
    undoDelete_->setEnabled(!deletions_.empty());
    followListOrder();
    emit collectionChanged();
}

void PageDocument::turn(const QList<QListWidgetItem *> &pages, PageTurn turn)
{
    QStringList report;
    for (QListWidgetItem *item : pages) {
        const QByteArray path = pathOf(item);
        QString why;
        if (!turnPageFile(path, turn, writerQuality(g_Config.quality), why)) {
            report << tr("%1 无法旋转：%2").arg(item->text(), why);
            continue;
        }
        showThumbnail(item);
        if (isCollected(path))
            emit collectedPageChanged(path);
        report << tr("已旋转 %1").arg(item->text());
    }
    if (!report.isEmpty())
        say(report);
}

void PageDocument::open(const QList<QListWidgetItem *> &pages)
{
    for (QListWidgetItem *item : pages) {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(pathOf(item)))))
            status_->showMessage(tr("无法打开 %1：桌面没有可以显示它的程序").arg(item->text()),
                                 kStatusLongMs);
    }
}

// A page whose file went away meanwhile (deleted or replaced outside the
// program) leaves the list and the collection: a PDF is made of the
// others.
QString PageDocument::dropMissing()
{
    QStringList gone;
    for (int row = list_->count() - 1; row >= 0; --row) {
        const QByteArray path = pathOf(list_->item(row));
        if (pageFileUsable(path))
            continue;
        gone.prepend(QFile::decodeName(path));
        delete list_->takeItem(row);
        collected_.remove(path.toStdString());
    }
    if (gone.isEmpty())
        return QString();
    emit collectionChanged();
    return PageJournal::goneReport(gone);
}

bool PageDocument::restore(const QByteArray &dir)
{
    journal_->stop();
    list_->clear();
    QStringList gone;
    const PageJournal::State saved = PageJournal::read(dir, gone);
    collected_.clear();
    for (const PageJournal::Page &page : saved.pages) {
        const int slash = page.path.lastIndexOf('/');
        add(page.path, QString::fromUtf8(page.path.mid(slash + 1)));
        if (page.collected) {
            collected_.push_back(page.path.toStdString());
            emit collectedPageChanged(page.path);
        }
    }
    // The journal's first write keeps the collection as it was saved.
    journal_->setCollection(saved.collecting, collected_);
    journal_->start(dir);
    if (!gone.isEmpty())
        status_->showMessage(PageJournal::goneReport(gone), kStatusLongMs);
    return saved.collecting;
}

void PageDocument::startCollection()
{
    ++collections_;
}

void PageDocument::keepCollection(bool kept)
{
    journal_->setCollection(kept, collected_);
}

void PageDocument::close()
{
    journal_->stop();
}

// The PDF takes the collected pages in the order the list shows them.
void PageDocument::followListOrder()
{
    std::list<std::string> ordered;
    for (int row = 0; row < list_->count(); ++row) {
        const std::string path = pathOf(list_->item(row)).toStdString();
        const auto entry = std::find(collected_.begin(), collected_.end(), path);
        if (entry != collected_.end())
            ordered.splice(ordered.end(), collected_, entry);
    }
    // A collected page without a thumbnail cannot be: keep it all the same.
    ordered.splice(ordered.end(), collected_);
    collected_ = std::move(ordered);
}

void PageDocument::say(const QStringList &report)
{
    status_->showMessage(report.join(tr("；")), kStatusLongMs);
}
