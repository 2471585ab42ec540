#include "page_numbers.h"

#include <QApplication>
#include <QPainter>

void PageNumbers::paint(QPainter *painter, const QStyleOptionViewItem &option,
                        const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    QStyleOptionViewItem page = option;
    initStyleOption(&page, index);
    const QStyle *style = page.widget ? page.widget->style() : QApplication::style();
    const QRect icon = style->subElementRect(QStyle::SE_ItemViewItemDecoration, &page, page.widget);
    const QString number = QString::number(index.row() + 1);
    const QFontMetrics metrics(page.font);
    const QRect badge(icon.topLeft(),
                      QSize(metrics.horizontalAdvance(number) + 6, metrics.height()));
    painter->save();
    painter->setPen(Qt::NoPen);
    painter->setBrush(page.palette.color(QPalette::Highlight));
    painter->drawRoundedRect(badge, 3, 3);
    painter->setPen(page.palette.color(QPalette::HighlightedText));
    painter->setFont(page.font);
    painter->drawText(badge, Qt::AlignCenter, number);
    painter->restore();
}
