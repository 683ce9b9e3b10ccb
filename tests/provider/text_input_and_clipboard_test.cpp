#include "tests/provider/provider_steps.hpp"

namespace orvi::provider_steps {

TEST(ProviderTextInput, CompositionFocusAndKeyboard) {
  P p = ready();
  run_script(p, R"(
    begin w2             => text-input w2 preedit selection=1,2; replacement=3,4; caret=5,6,7,8; candidate=9,10; purpose=text; hints=none; dead-key=false; virtual-keyboard=true
    surround w2 7 8 0 0  => text-input w2 surrounding-update selection=7,8; delete=0,0
    begin w1 0 0 0 0 -5 -1 0 0 -2147483648 2147483647 url {0} 1 0 => text-input w1 preedit selection=0,0; replacement=0,0; caret=-5,-1,0,0; candidate=-2147483648,2147483647; purpose=url; hints={0}; dead-key=true; virtual-keyboard=false
    begin - 0 | begin w1 -1 | begin w1 0 -1 | begin w1 0 0 -1 => !text-input-begin invalid-window-range-or-geometry
    begin w1 0 0 0 -1 | begin w1 0 0 0 0 0 0 -1 | begin w1 0 0 0 0 0 0 0 -1 => !text-input-begin invalid-window-range-or-geometry
    surround w1 -1 0 0 0 | surround w1 0 -1 0 0 | surround w2 0 0 0 0 => !surrounding-text inactive-stale-window-or-invalid-range
    surround w1 0 0 -1 0 | surround w1 0 0 0 -1 => !surrounding-text inactive-stale-window-or-invalid-range
    type w1 -1 0 | type w1 0 -1 | type w2 => !text-input-commit inactive-stale-window-or-invalid-range
    cancel w2            => !text-input-cancel inactive-or-stale-window
    focus w1 - | focus w2 w3 => !text-focus-transfer invalid-source-or-destination
    keyboard 1 0         => text-input w1 virtual-keyboard requested=true; visible=false; state=docked)");
  // The second begin replaced the first whole (not the surrounding text), with
  // no cancel in between.
  EXPECT_TRUE(p.composition == (composition_state{"w1", "ka", "abc", 0, 0, 0, 0, -5, -1, 0, 0, -2147483648, 2147483647,
                                                  "url", "{0}", 1, 1, 0}));
  run_script(p, R"(
    type w1 0 2          => text-input w1 commit text=ka; replacement=0,2
    begin w2 ; type w2 0 0 => text-input w2 commit text=ka; replacement=0,0
    focus zz w3          => text-input w3 focus from=zz
    begin w3 ; focus w3 w4 => text-input w3 focus-cancel composition-cancelled-before-transfer + text-input w4 focus from=w3
    cancel w4            => !text-input-cancel inactive-or-stale-window
    begin w4 ; cancel w4 => text-input w4 cancel escape
    type w4              => !text-input-commit inactive-stale-window-or-invalid-range
    surround w4 0 0 0 0  => !surrounding-text inactive-stale-window-or-invalid-range
    begin w4 ; surround w4 0 0 1 2 => text-input w4 surrounding-update selection=0,0; delete=1,2
    keyboard 0 1         => text-input w4 virtual-keyboard requested=false; visible=true; state=docked)");
  // The last begin's numbers with the surrounding update's selection; the
  // keyboard as last requested.
  EXPECT_TRUE(p.composition ==
              (composition_state{"w4", "ka", "abc", 0, 0, 3, 4, 5, 6, 7, 8, 9, 10, "text", "none", 1, 0, 1}));
}

TEST(ProviderClipboard, DelayedItemsAcrossOwnersAndProviderLoss) {
  P eager = ready();
  eager.capability_delayed_clipboard = 0;
  run_script(eager, R"(
    set a text 1 => !clipboard-set permission-format-owner-or-delayed-capability
    set a text 0 => clipboard a ownership format=text/plain;charset=utf-8; delayed=false)");
  P p = ready();
  run_script(p, R"(
    read -               => !clipboard-read permission-format-or-delayed-data
    set a text 1         => clipboard a ownership format=text/plain;charset=utf-8; delayed=true
    set b text 0 0 | set - text 0 | set b text/plain 0 => !clipboard-set permission-format-owner-or-delayed-capability
    read text            => !clipboard-read permission-format-or-delayed-data
    materialize b | materialize a 0 => !clipboard-materialize permission-owner-or-not-delayed
    materialize a        => clipboard a materialized text/plain;charset=utf-8
    materialize a        => !clipboard-materialize permission-owner-or-not-delayed
    read image/rgba8 | read text 0 => !clipboard-read permission-format-or-delayed-data
    read text            => clipboard a read text/plain;charset=utf-8 => late
    set b image/rgba8 0 ; read image/rgba8 => clipboard b read image/rgba8 => hello
    set c application/orvi-value-v1 1 => clipboard c ownership format=application/orvi-value-v1; delayed=true
    keyboard 1 1 ; begin w1 1 2 3 4 5 6 7 8 9 10 text none 0 1 ; loss => provider demo lost device-removed @lost)");
  // The loss cleared the item but its format, the composition and the
  // keyboard's visibility, not its request.
  EXPECT_TRUE(p.clipboard == (clipboard_item{"", "application/orvi-value-v1", "", 0}));
  const composition_state& c = p.composition;
  EXPECT_EQ(c.composition_active + 2 * c.keyboard_requested + 4 * c.keyboard_visible, 2);
  // A teardown keeps the item whole.
  P q = ready();
  run_script(
      q, "set c image/rgba8 1 ; teardown => provider demo torn-down queues-quiesced-identities-invalidated @torn-down");
  EXPECT_TRUE(q.clipboard == (clipboard_item{"c", "image/rgba8", "hello", 1}));
}

}  // namespace orvi::provider_steps
