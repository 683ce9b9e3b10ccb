#include "tests/provider/provider_steps.hpp"

namespace orvi::provider_steps {

TEST(ProviderAccessibility, BatchesGenerationsAndActions) {
  P p = ready();
  run_script(p, R"(
    node n1 1             => !accessibility-update invalid-batch-node-role-or-name
    commit                => !accessibility-batch no-active-batch
    batch                 => accessibility tree batch-begin updates-hidden-until-commit
    batch                 => !accessibility-batch nested-batch
    node n1 3             =>
    node - 3 | node n2 3 - OK | node n2 3 button - | node n2 0 => !accessibility-update invalid-batch-node-role-or-name
    node n2 1 label Name ; commit => accessibility tree batch-commit nodes=2
    batch ; node n1 3 link Open =>
    node n1 2             => !accessibility-update stale-generation
    node n3 1 ; node n2 5 label Name ; commit => accessibility tree batch-commit nodes=3
    action n1 4 | action n4 1 => !accessibility-action stale-or-missing-node-identity
    action n1 3           => accessibility n1 action invoke
    action n1 3 1         => !accessibility-action callback-reentrancy-blocked
    window - | window w1 8 => !window-event invalid-state-thread-or-window
    batch ; begin w1 ; teardown => provider demo torn-down queues-quiesced-identities-invalidated @torn-down
    window w1 => !window-event invalid-state-thread-or-window)");
  // An equal or later generation replaced role and name; a node of an older
  // generation did not.
  EXPECT_EQ(p.node_generations, (std::vector<std::int32_t>{3, 5, 1}));
  EXPECT_EQ(p.node_roles, (std::vector<std::string>{"link", "label", "button"}));
  EXPECT_EQ(p.node_names, (std::vector<std::string>{"Open", "Name", "OK"}));
  EXPECT_EQ(p.find_accessibility_node("n3") * 10 + p.find_accessibility_node("n4"), 19);
  EXPECT_EQ(p.batch_active + p.composition.composition_active, 0u);  // the teardown ended both
}

}  // namespace orvi::provider_steps
