#include "schedule/time_schedule.h"

#include "tests/schedule/schedule_test_support.h"

#include <gtest/gtest.h>
