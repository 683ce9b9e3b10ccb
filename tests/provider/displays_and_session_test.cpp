#include "tests/provider/provider_steps.hpp"

namespace orvi::provider_steps {

TEST(ProviderDisplays, TopologyRevisionsAndSession) {
  P p = ready();
  run_script(p, R"(
    topology                                               => !display-topology no-displays
    publish left -1920 0 1920 1080 -1920 0 1920 1040 100 1 =>
    publish right 0 0 2560 1440 0 0 2560 1400 150 1 ; topology => !display-topology primary-count=2
    publish left -1920 0 1920 1080 -1920 0 1921 1040 100 0 => !display-publish work-area-outside-display
    publish right 0 0 0 9 0 0 9 9 1 0                      => !display-publish invalid-display-geometry
    publish right 1 2 2561 1441 3 4 2557 1436 200 0        =>
    topology                                               => display topology changed revision=1; displays=2
    topology                                               => display topology changed revision=2; displays=2
    publish left -1920 0 1920 1080 -1920 0 1920 1040 100 0 ; topology => !display-topology primary-count=0
    session 0                                              => !session-transition duplicate-state=active
    session 1 {0}                                          => session application suspended {0}
    session 0                                              => session application active user)");
  EXPECT_EQ(p.find_display("right") * 10 + p.find_display("middle"), 9);
  // The later record of an id replaced the earlier, primary flag included.
  EXPECT_EQ((std::vector<std::int32_t>{p.display_x[1], p.display_y[1], p.display_width[1], p.display_height[1],
                                       p.display_work_x[1], p.display_work_y[1], p.display_work_width[1],
                                       p.display_work_height[1], p.display_scale[1], p.display_primary[1]}),
            (std::vector<std::int32_t>{1, 2, 2561, 1441, 3, 4, 2557, 1436, 200, 0}));
}

}  // namespace orvi::provider_steps
