// The live picture large, in a window of its own or on the whole screen,
// zoomable to 100 % to judge the focus on small print, with the page's
// outline as the preview draws it.  It takes a copy of each frame only
// while it is shown.
#ifndef ZQVIDEO_LIVEVIEW_H
#define ZQVIDEO_LIVEVIEW_H

#include <QWidget>

class ZoomView;

class LiveView : public QWidget
{
    Q_OBJECT

  public:
    explicit LiveView(QWidget *parent);

    // A double click on the preview opens the large view.
    void openOnDoubleClick(QWidget *preview);
    // Shows, or hides when shown.
    void toggle();
    void showFrame(const unsigned char *rgb, int width, int height);
    ZoomView *view() const { return view_; }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    ZoomView *view_;
    QWidget *preview_ = nullptr;
};

#endif
