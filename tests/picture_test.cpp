// Grey and quarter turn: the exported operations against the definitions
// (mean of the three bytes; dst(x, y) = src(width - 1 - y, x)), and the
// AVX2 loops against the portable ones on sizes around every block edge.
#include "cpu_features.h"
#include "picture_kernels.h"
#include <zqscan/zq_scanner.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <vector>

using Picture = std::vector<uint8_t>;

namespace
{

Picture random_picture(int width, int height, unsigned seed)
{
    std::mt19937 random(seed);
    Picture p(size_t(width) * height * 3);
    for (uint8_t &byte : p)
        byte = static_cast<uint8_t>(random());
    return p;
}

Picture reference_turn(const Picture &src, int width, int height)
{
    Picture dst(src.size());
    for (int y = 0; y < width; ++y)
        for (int x = 0; x < height; ++x)
            for (int k = 0; k < 3; ++k)
                dst[(size_t(y) * height + x) * 3 + k] =
                    src[(size_t(x) * width + (width - 1 - y)) * 3 + k];
    return dst;
}

Picture reference_grey(Picture p)
{
    for (size_t i = 0; i < p.size(); i += 3) {
        const uint8_t g = static_cast<uint8_t>((p[i] + p[i + 1] + p[i + 2]) / 3);
        p[i] = p[i + 1] = p[i + 2] = g;
    }
    return p;
}

// Sizes on both sides of the 8-pixel tiles and 128-pixel blocks.
const int kSizes[] = {1, 2, 3, 7, 8, 9, 15, 16, 17, 127, 128, 129, 130};

} // namespace

// ---- grey ----------------------------------------------------------------------

TEST(GreyTest, MeanOfThreeWithRemainderDropped)
{
    Picture p = {10, 20, 31, 255, 255, 255, 255, 255, 254, 0, 0, 2};
    zq_scanner_picture_gray(p.data(), 2, 2);
    EXPECT_EQ(p, (Picture{20, 20, 20, 255, 255, 255, 254, 254, 254, 0, 0, 0}));
}

TEST(GreyTest, EverySumOfThreeBytes)
{
    // The result depends on the sum only, so one pixel for each sum 0..765
    // covers the division; the pixels go through the wide loop too.
    Picture p;
    for (int sum = 0; sum <= 765; ++sum) {
        const int r = std::min(sum, 255), g = std::min(sum - r, 255);
        p.insert(p.end(), {uint8_t(r), uint8_t(g), uint8_t(sum - r - g)});
    }
    const Picture expected = reference_grey(p);
    zq_scanner_picture_gray(p.data(), 766, 1);
    EXPECT_EQ(p, expected);
}

TEST(GreyTest, EveryLengthMatchesDefinition)
{
    for (int width : kSizes)
        for (int height : {1, 3, 8}) {
            Picture p = random_picture(width, height, width * 31 + height);
            const Picture expected = reference_grey(p);
            zq_scanner_picture_gray(p.data(), width, height);
            ASSERT_EQ(p, expected) << width << " x " << height;
        }
}

TEST(GreyTest, SizesThatDescribeNoPictureChangeNothing)
{
    const Picture original = random_picture(4, 4, 1);
    Picture p = original;
    for (auto [w, h] : {std::pair{4, 0}, {0, 4}, {-4, 4}, {4, -1}, {INT_MAX, INT_MAX}}) {
        zq_scanner_picture_gray(p.data(), w, h);
        EXPECT_EQ(p, original) << w << " x " << h;
    }
    zq_scanner_picture_gray(nullptr, 4, 4);
}

#if ZQ_PICTURE_AVX2
TEST(GreyTest, Avx2LoopMatchesPortableLoop)
{
    if (!zq::haveAvx2())
        GTEST_SKIP() << "no AVX2 on this processor";
    for (size_t count = 0; count <= 70; ++count) {
        Picture a = random_picture(int(count), 1, unsigned(count));
        Picture b = a;
        zq::picture::grey_portable(a.data(), count);
        zq::picture::grey_avx2(b.data(), count);
        ASSERT_EQ(a, b) << count << " pixels";
    }
}
#endif

// ---- quarter turn ---------------------------------------------------------------

TEST(RotateTest, ThreeByTwoTurnsCounterClockwise)
{
    // A B C          C F
    // D E F   ->     B E
    //                A D
    Picture p;
    for (uint8_t v : {'A', 'B', 'C', 'D', 'E', 'F'})
        p.insert(p.end(), {v, uint8_t(v + 32), uint8_t(v + 64)});
    zq_scanner_picture_rotate_90(p.data(), 3, 2);
    Picture expected;
    for (uint8_t v : {'C', 'F', 'B', 'E', 'A', 'D'})
        expected.insert(expected.end(), {v, uint8_t(v + 32), uint8_t(v + 64)});
    EXPECT_EQ(p, expected);
}

TEST(RotateTest, EverySizeMatchesMapping)
{
    for (int width : kSizes)
        for (int height : kSizes) {
            Picture p = random_picture(width, height, width * 1000 + height);
            const Picture expected = reference_turn(p, width, height);
            zq_scanner_picture_rotate_90(p.data(), width, height);
            ASSERT_EQ(p, expected) << width << " x " << height;
        }
}

TEST(RotateTest, FourTurnsGiveThePictureBack)
{
    for (auto [width, height] : {std::pair{1, 1}, {5, 3}, {333, 257}, {640, 480}}) {
        const Picture original = random_picture(width, height, 7);
        Picture p = original;
        int w = width, h = height;
        for (int turn = 0; turn < 4; ++turn) {
            zq_scanner_picture_rotate_90(p.data(), w, h);
            std::swap(w, h);
            if (turn < 3 && width != height) {
                EXPECT_NE(p, original);
            }
        }
        EXPECT_EQ(p, original) << width << " x " << height;
    }
}

TEST(RotateTest, LargerPictureAfterSmallerOne)
{
    // The scratch picture is kept between calls and must grow.
    Picture small = random_picture(8, 8, 3);
    zq_scanner_picture_rotate_90(small.data(), 8, 8);
    Picture large = random_picture(300, 200, 4);
    const Picture expected = reference_turn(large, 300, 200);
    zq_scanner_picture_rotate_90(large.data(), 300, 200);
    EXPECT_EQ(large, expected);
}

TEST(RotateTest, SizesThatDescribeNoPictureChangeNothing)
{
    const Picture original = random_picture(4, 4, 2);
    Picture p = original;
    for (auto [w, h] : {std::pair{4, 0}, {0, 4}, {-2, 8}, {INT_MAX, INT_MAX}}) {
        zq_scanner_picture_rotate_90(p.data(), w, h);
        EXPECT_EQ(p, original) << w << " x " << h;
    }
    zq_scanner_picture_rotate_90(nullptr, 4, 4);
}

TEST(RotateTest, PortableLoopMatchesMapping)
{
    for (int width : kSizes)
        for (int height : {1, 9, 129}) {
            Picture src = random_picture(width, height, width + height);
            Picture dst(src.size());
            zq::picture::rotate_portable(src.data(), dst.data(), width, height);
            ASSERT_EQ(dst, reference_turn(src, width, height)) << width << " x " << height;
        }
}

#if ZQ_PICTURE_AVX2
TEST(RotateTest, Avx2LoopMatchesMapping)
{
    if (!zq::haveAvx2())
        GTEST_SKIP() << "no AVX2 on this processor";
    for (int width : kSizes)
        for (int height : kSizes) {
            Picture src = random_picture(width, height, width * 7 + height);
            const Picture expected = reference_turn(src, width, height);
            src.resize(src.size() + zq::picture::kRotateSourceSlack);
            Picture dst(expected.size());
            zq::picture::rotate_avx2(src.data(), dst.data(), width, height);
            ASSERT_EQ(dst, expected) << width << " x " << height;
        }
    // Around the edges of the tall bands the AVX2 loop works in.
    for (int width : {31, 32, 33, 65, 100})
        for (int height : {511, 512, 513, 520, 1030}) {
            Picture src = random_picture(width, height, width + height);
            const Picture expected = reference_turn(src, width, height);
            src.resize(src.size() + zq::picture::kRotateSourceSlack);
            Picture dst(expected.size());
            zq::picture::rotate_avx2(src.data(), dst.data(), width, height);
            ASSERT_EQ(dst, expected) << width << " x " << height;
        }
}
#endif
