// What becomes of collected pages when the window closes: a PDF now, the
// collection kept for the next start, or the collection given up (the
// pages and their files stay in the list either way).
#ifndef ZQVIDEO_QUITQUESTION_H
#define ZQVIDEO_QUITQUESTION_H

class QWidget;

enum class QuitAnswer { Compose, Keep, Discard };

// Asks with a message box whose default and Escape answer is Keep.  Tests
// replace it.
extern QuitAnswer (*askAboutCollection)(QWidget *parent, int pages);

#endif
