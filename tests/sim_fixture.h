// A test fixture with fresh virtual hardware for every test.
#ifndef ZQ_TESTS_SIM_FIXTURE_H
#define ZQ_TESTS_SIM_FIXTURE_H

#include "virtual_hardware.h"

#include <gtest/gtest.h>

using zq::sim::hw;

class SimTest : public testing::Test
{
  protected:
    void SetUp() override { hw().reset(); }
    void TearDown() override { hw().reset(); }

    static zq::sim::VirtualCamera &
    addCamera(int node, zq::sim::CameraConfig config = zq::sim::CameraConfig::documentCamera())
    {
        return hw().addCamera(node, std::move(config));
    }
};

#endif
