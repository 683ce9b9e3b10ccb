#include "retained/model/records.hpp"

#include <gtest/gtest.h>

namespace orvi {
namespace {

TEST(Records, DeltaEntriesCountEveryResourceListButNotTheSurface) {
  resource_delta delta{"main", {}, {}, {}, {}, {}};
  EXPECT_EQ(count_delta_entries(delta), 0);
  delta.paints.resize(2), delta.images.resize(1), delta.transforms.resize(3);
  EXPECT_EQ(count_delta_entries(delta), 6);
  delta.glyphs.resize(4), delta.clips.resize(5);
  EXPECT_EQ(count_delta_entries(delta), 15);
}

TEST(Records, OperationResultHoldsExactlyItsArguments) {
  const auto r = make_operation_result(false, 7, 0, 0, 0, "retained resource store is not open");
  EXPECT_EQ(std::tie(r.ok, r.revision, r.validations, r.explicitComparisons, r.payloadComparisons, r.message),
            std::make_tuple(false, 7u, 0u, 0u, 0u, text("retained resource store is not open")));
}

}  // namespace
}  // namespace orvi
