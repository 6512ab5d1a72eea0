#include "EngineTestUtils.h"

#include <gtest/gtest.h>
