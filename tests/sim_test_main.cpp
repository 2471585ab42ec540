// Runs the tests with libzqscan bound to the virtual hardware.
#include "seam.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv)
{
    setenv(ZQ_VIRTUAL_HARDWARE_ENV, "tests", 1);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
