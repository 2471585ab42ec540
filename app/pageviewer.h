// A captured page looked at closely, in a window of its own: fitted to the
// window or at 100 %, zoomed and dragged about, and on to the next or the
// previous page of the list.  It reads the pages from the list's model:
// each row's text is the page's name, its Qt::UserRole data the bytes of
// its path.
#ifndef ZQVIDEO_PAGEVIEWER_H
#define ZQVIDEO_PAGEVIEWER_H

#include <QPersistentModelIndex>
#include <QWidget>

class QAbstractItemModel;
class QLabel;
class ZoomView;

class PageViewer : public QWidget
{
    Q_OBJECT

  public:
    PageViewer(QAbstractItemModel *pages, QWidget *parent);

    // Shows the page of that row and brings the window up.
    void showPage(int row);
    int currentRow() const { return page_.row(); }
    ZoomView *view() const { return view_; }

  private:
    void step(int rows);
    void showState();

    QAbstractItemModel *pages_;
    QPersistentModelIndex page_; // follows the page when the list is reordered
    ZoomView *view_;
    QLabel *state_;
    QString failure_;
};

#endif
