#include "resolutionbox.h"

#include <zqscan/zq_scanner.h>

#include <QComboBox>
#include <QSignalBlocker>

#include <cstdio>
#include <vector>

QString resolutionEntry(int width, int height)
{
    char text[12];
    snprintf(text, sizeof(text), "%d*%d", width, height);
    return QString::fromLatin1(text);
}

bool ResolutionBox::has(const QString &entry) const
{
    return box_->findText(entry, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0;
}

void ResolutionBox::showFirst(int width, int height)
{
    const QString entry = resolutionEntry(width, height);
    const QSignalBlocker quiet(box_);
    if (!has(entry)) {
        box_->clear();
        box_->addItem(entry);
    }
    box_->setCurrentText(entry);
}

void ResolutionBox::keepOnly(int width, int height)
{
    keepOnly(resolutionEntry(width, height));
}

void ResolutionBox::keepOnly(const QString &entry)
{
    const QSignalBlocker quiet(box_);
    if (!has(entry))
        box_->addItem(entry);
    for (int i = box_->count() - 1; i >= 0; --i) {
        if (box_->itemText(i) != entry)
            box_->removeItem(i);
    }
}

void ResolutionBox::select(int width, int height)
{
    const QSignalBlocker quiet(box_);
    box_->setCurrentText(resolutionEntry(width, height));
}

void ResolutionBox::list(int camera, int width, int height)
{
    const QString current = resolutionEntry(width, height);
    keepOnly(current);
    std::vector<char> sizes(ZQ_RESOLUTION_LIST_MAX, '\0');
    zq_scanner_resolution_dump(camera, sizes.data());
    sizes.back() = '\0';
    const QSignalBlocker quiet(box_);
    for (const QString &entry : QString::fromLatin1(sizes.data()).split(',', Qt::SkipEmptyParts)) {
        if (!has(entry))
            box_->addItem(entry);
    }
    box_->setCurrentText(current);
}
