#pragma once

#include <gtest/gtest.h>

#include <string>

// Names each case of a value-parameterised suite after the `name` field of its row.
struct RowName {
  template <typename Row>
  std::string operator()(const testing::TestParamInfo<Row>& info) const {
    return info.param.name;
  }
};
