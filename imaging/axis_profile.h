// The pixels of a frame along a stretch of one column or row, as edge
// measurements read them: each place the sum of three pixels side by side
// across the stretch, per channel.
#ifndef ZQ_AXIS_PROFILE_H
#define ZQ_AXIS_PROFILE_H

#include <opencv2/core/mat.hpp>

#include <array>
#include <optional>

namespace zq::imaging
{

class AxisProfile
{
  public:
    static constexpr int kMaxLength = 128;

    // The stretch of length places from `from` (frame pixels), along the
    // frame's column through it when vertical, else its row, in the
    // direction of sign (+1 or -1).  Nothing when it leaves the frame.
    static std::optional<AxisProfile> read(const cv::Mat &frame, cv::Point from, bool vertical,
                                           int sign, int length);

    int length() const { return length_; }
    // The frame position of place t, to a fraction.
    cv::Point2f at(float t) const { return cv::Point2f(from_) + axis_ * t; }

    // How the brightness changes across place t, in the channel that
    // changes most: the mean of the places 2 to 4 beyond it against that
    // of the places 2 to 4 before it, in grey levels.  A step between two
    // surfaces changes it; a thin line of ink on either side of t does
    // not.  Valid for t from 4 to length - 5.
    int plateauStep(int t, int *channel = nullptr) const;
    // The place between first and last with the largest plateau step.
    int strongestStep(int first, int last) const;
    // The first place from first towards last where the grey level rises
    // by minRise from the plateau before it to the plateau beyond, at the
    // peak of that rise; -1 when there is none.
    int firstRise(int first, int last, int minRise) const;
    // The place nearest last, searching back towards first, where the
    // brightness steps by at least minStep either way (plateauStep), at the
    // peak of that step; -1 when there is none.
    int lastStep(int first, int last, int minStep) const;
    // The middle of the step at or next to place t, to a fraction of a
    // place: where the channel's brightness changes fastest.
    float stepMiddle(int t) const;
    // The mean grey level of place t.
    int grey(int t) const;

  private:
    AxisProfile() = default;
    int sum(int from, int to, int channel) const; // places [from, to)

    cv::Point from_;
    cv::Point2f axis_;
    int length_ = 0;
    // prefix_[t][c]: the sum of channel c over places before t.
    std::array<cv::Vec3i, kMaxLength + 1> prefix_;
};

} // namespace zq::imaging

#endif
