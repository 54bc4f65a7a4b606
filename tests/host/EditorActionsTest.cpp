// Action scripts of the editor host.

#include <gtest/gtest.h>

#include "host/EditorActions.h"

namespace mirel::host {
namespace {

TEST(EditorActions, ReadsEachActionAndRejectsMalformedOnes) {
  std::vector<EditorAction> actions;
  std::string error;
  ASSERT_TRUE(ParseEditorActions("# a comment\ndrag 20 30 0 -10; wheel 5 6 -2\n\nkey enter;type 4.5 x;wait 40",
                                 actions, error))
      << error;
  ASSERT_EQ(actions.size(), 5u);
  EXPECT_EQ(actions[0].kind, EditorAction::Kind::kDrag);
  EXPECT_EQ(actions[0].dy, -10);
  EXPECT_EQ(actions[1].amount, -2);
  EXPECT_EQ(actions[2].text, "enter");
  EXPECT_EQ(actions[3].text, "4.5 x");
  EXPECT_EQ(actions[4].amount, 40);
  for (const char* bad : {"click 1", "drag 1 2 3", "wheel a b c", "key f13", "wait -1", "fly 1 2", "click 1 2 3", "type"}) {
    EXPECT_FALSE(ParseEditorActions(bad, actions, error)) << bad;
    EXPECT_NE(error.find(bad), std::string::npos);
  }
}

}  // namespace
}  // namespace mirel::host
