// Whether the preview shows a live picture, which a capture needs.
#ifndef ZQVIDEO_LIVEFRAME_H
#define ZQVIDEO_LIVEFRAME_H

#include <QElapsedTimer>

// A picture is live while the camera's last frame is less than a second
// old: a capture asked for later would take a page nobody saw, at some
// unknown time when frames come back.
class LiveFrame
{
  public:
    void arrived() { last_.start(); }
    void lost() { last_.invalidate(); }
    bool live() const { return last_.isValid() && !last_.hasExpired(kLiveMs); }

  private:
    static constexpr qint64 kLiveMs = 1000;
    QElapsedTimer last_;
};

#endif
