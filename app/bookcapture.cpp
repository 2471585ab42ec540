#include "bookcapture.h"

#include <QAction>
#include <QStatusBar>

#include <cmath>
#include <utility>

namespace
{

const char kBookKey[] = "capture/book";
const char kRightPageFirstKey[] = "capture/rightPageFirst";

zqPoint pixel(const zqPointF &p)
{
    return {int(std::lround(p.x)), int(std::lround(p.y))};
}

} // namespace

BookCapture::BookCapture(QAction *bookMode, QAction *rightPageFirst, QStatusBar *statusBar,
                         QObject *parent, Settings settings)
    : QObject(parent), bookMode_(bookMode), rightPageFirst_(rightPageFirst),
      settings_(std::move(settings)), statusBar_(statusBar)
{
    setObjectName("bookCapture");
    bookMode_->setChecked(settings_.readSwitch(kBookKey));
    rightPageFirst_->setChecked(settings_.readSwitch(kRightPageFirstKey));
    rightPageFirst_->setEnabled(isOn());
    connect(bookMode_, &QAction::triggered, this, &BookCapture::switchedByUser);
    connect(rightPageFirst_, &QAction::triggered, this, &BookCapture::switchedByUser);
}

bool BookCapture::isOn() const
{
    return bookMode_->isChecked();
}

void BookCapture::switchedByUser()
{
    rightPageFirst_->setEnabled(isOn());
    if (!settings_.writeSwitch(kBookKey, isOn()) ||
        !settings_.writeSwitch(kRightPageFirstKey, rightPageFirst_->isChecked()))
        statusBar_->showMessage(tr("无法把书本模式的设置写入 %1").arg(settings_.switchesFile()),
                                10000);
}

bool BookCapture::find(const unsigned char *rgb, int width, int height, int denominator)
{
    pagesFound_ = std::max(0, zq_scanner_book_find_reduced(rgb, width, height, denominator));
    return pagesFound_ > 0;
}

// The outline runs along the page's top edge from left to right, then
// along its bottom edge back: its first and last points are the left
// corners, the two in its middle the right ones.
bool BookCapture::outerCorners(zqPoint corners[4]) const
{
    zqPointF first[2 * ZQ_BOOK_EDGE_POINTS];
    zqPointF last[2 * ZQ_BOOK_EDGE_POINTS];
    if (pagesFound_ == 0 || zq_scanner_book_outline(0, first) != 0 ||
        zq_scanner_book_outline(pagesFound_ - 1, last) != 0)
        return false;
    corners[0] = pixel(first[0]);
    corners[1] = pixel(last[ZQ_BOOK_EDGE_POINTS - 1]);
    corners[2] = pixel(last[ZQ_BOOK_EDGE_POINTS]);
    corners[3] = pixel(first[2 * ZQ_BOOK_EDGE_POINTS - 1]);
    return true;
}

void BookCapture::show(unsigned char *rgb, int width, int height) const
{
    zq_scanner_book_show(rgb, width, height);
}

bool BookCapture::rightPageFirst() const
{
    return rightPageFirst_->isChecked();
}

std::vector<CapturedPicture> bookPictures(const unsigned char *rgb, int width, int height,
                                          int pagesFound, bool rightPageFirst)
{
    std::vector<int> pages(size_t(std::max(0, pagesFound)), 0);
    if (pages.size() == 2)
        pages = rightPageFirst ? std::vector<int>{1, 0} : std::vector<int>{0, 1};
    std::vector<CapturedPicture> pictures;
    if (pages.empty())
        pictures.push_back(CapturedPicture::whole(rgb, width, height));
    for (size_t i = 0; i < pages.size(); ++i) {
        pictures.push_back(
            CapturedPicture::cutBy([&](unsigned char *out, int size, int *w, int *h) {
                return zq_scanner_book_page_do(rgb, width, height, pages[i], 1, out, size, w, h);
            }));
        if (pages.size() > 1)
            pictures.back().suffix = "-" + std::to_string(i + 1);
    }
    return pictures;
}
