// Collected pages that can no longer go into a PDF (another file in a
// page's place, one that is no picture any more) would fail the whole PDF:
// the question whether to make it of the other pages.
#ifndef ZQVIDEO_LEAVEOUTQUESTION_H
#define ZQVIDEO_LEAVEOUTQUESTION_H

#include <QStringList>

class QWidget;

// Names each problem ("NAME：why") and asks; true to leave those pages out,
// false (the default and Escape answer) to compose nothing now.  Tests
// replace it.
extern bool (*askToLeaveOut)(QWidget *parent, const QStringList &problems);

#endif
