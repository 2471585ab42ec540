// Shared set-up of the document image processing tests: the detection
// storage is prepared for every test and the crop record starts empty.
#ifndef ZQ_TESTS_IMAGING_FIXTURE_H
#define ZQ_TESTS_IMAGING_FIXTURE_H

#include "scene.h"
#include "zq_opencv_internal.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

class ImagingTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        zq_scanner_dllinit();
        g_cutting_edge = CuttingEdgeInfo{};
    }
    void TearDown() override { zq_scanner_dllunit(); }
};

// A packed RGB24 frame of exactly width * height * 3 bytes, so that the
// address sanitizer sees any access past its end.
struct Frame {
    Frame(int w, int h, uint8_t fill = 0) : width(w), height(h), bytes(size_t(w) * h * 3, fill) {}
    Frame(const zq::sim::PageScene &scene, int w, int h)
        : width(w), height(h), bytes(zq::sim::renderScene(scene, w, h))
    {
    }

    uint8_t *data() { return bytes.data(); }
    uint8_t *pixel(int x, int y) { return &bytes[(size_t(y) * width + x) * 3]; }
    // A view for comparisons; rows are packed.
    cv::Mat mat() { return cv::Mat(height, width, CV_8UC3, bytes.data()); }

    int width;
    int height;
    std::vector<uint8_t> bytes;
};

#endif
