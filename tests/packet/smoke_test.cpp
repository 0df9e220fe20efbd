#include "packet/data_packet.h"
#include <gtest/gtest.h>
TEST(Smoke, Builds) { packet::TSioDataPacket p; EXPECT_FALSE(p.Enabled()); }
