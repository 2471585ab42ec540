// The resolution box: the open camera's frame sizes as "1280*720" entries.
// Only the user's choices may reach its slot: every edit here is made with
// the box's signals blocked.
#ifndef ZQVIDEO_RESOLUTIONBOX_H
#define ZQVIDEO_RESOLUTIONBOX_H

#include <QString>

class QComboBox;

// The resolution list's text for a frame size, as in "1280*720".
QString resolutionEntry(int width, int height);

class ResolutionBox
{
  public:
    explicit ResolutionBox(QComboBox *box) : box_(box) {}

    // The configured size as the first entry, before any camera is open.
    void showFirst(int width, int height);
    // Only the granted size is left, selected.
    void keepOnly(int width, int height);
    void select(int width, int height);
    // The camera's sizes, the granted one selected.
    void list(int camera, int width, int height);

  private:
    bool has(const QString &entry) const;
    void keepOnly(const QString &entry);

    QComboBox *box_;
};

#endif
