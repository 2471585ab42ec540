// Draws each page's number in the document (its place in the list, from 1)
// on the top left corner of its thumbnail.  Taken from the row at each
// paint, the numbers follow every move, deletion and addition without
// touching the pages themselves.
#ifndef ZQVIDEO_PAGE_NUMBERS_H
#define ZQVIDEO_PAGE_NUMBERS_H

#include <QStyledItemDelegate>

class PageNumbers : public QStyledItemDelegate
{
    Q_OBJECT

  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};

#endif
