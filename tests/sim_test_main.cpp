// Runs the tests with libzqscan bound to the virtual hardware.
#include "virtual_hardware.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv)
{
    zq::sim::useVirtualHardware("tests");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
