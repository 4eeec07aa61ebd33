#include <gtest/gtest.h>

#include "core/status.h"

TEST(StatusTest, CodesAreNegative) { EXPECT_LT(qelta::kErrFileIo, 0); }
