// The intrusive record lists: appending, lookup by stored position, removal
// with renumbering, and the teardown of the program-wide tables.
#include "tables/record_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Checks the list invariant: positions 0, 1, 2, ... in next order and mutual
// prev/next links; returns the nodes in order.
std::vector<RecordNode*> CheckedNodes(RecordNode* head) {
  std::vector<RecordNode*> nodes;
  RecordNode* previous = nullptr;
  for (RecordNode* node = head; node != nullptr; node = node->next) {
    EXPECT_EQ(node->position, static_cast<int32_t>(nodes.size()));
    EXPECT_EQ(node->prev, previous);
    nodes.push_back(node);
    previous = node;
  }
  return nodes;
}

// A list of n heap nodes built with AddToList.
class ListOfNodes : public ::testing::Test {
 protected:
  void Build(int n) {
    for (int i = 0; i < n; ++i) {
      owned_.push_back(new RecordNode);
      owned_.back()->AddToList(&head_);
    }
  }
  void TearDown() override {
    for (RecordNode* node : owned_) delete node;
  }

  RecordList head_ = nullptr;
  std::vector<RecordNode*> owned_;
};

TEST_F(ListOfNodes, AddToListAppendsInOrderWithPositionsAndLinks) {
  Build(1);
  EXPECT_EQ(head_, owned_[0]);
  EXPECT_EQ(head_->position, 0);
  EXPECT_FALSE(head_->HasPrev());
  EXPECT_FALSE(head_->HasNext());

  Build(4);
  std::vector<RecordNode*> nodes = CheckedNodes(head_);
  EXPECT_EQ(nodes, owned_);
  EXPECT_EQ(Tail(head_), owned_[4]);
  EXPECT_EQ(Tail(owned_[2]), owned_[4]);
  EXPECT_EQ(Tail(owned_[4]), owned_[4]);
  EXPECT_EQ(Tail(nullptr), nullptr);
  EXPECT_TRUE(owned_[2]->HasPrev());
  EXPECT_TRUE(owned_[2]->HasNext());
  EXPECT_FALSE(owned_[4]->HasNext());
}

TEST_F(ListOfNodes, AtPositionFindsStoredPositionsAndNothingElse) {
  EXPECT_EQ(AtPosition(nullptr, 0), nullptr);
  Build(3);
  EXPECT_EQ(AtPosition(head_, 0), head_);
  EXPECT_EQ(AtPosition(head_, 2), owned_[2]);
  // What a combo box reports with nothing selected, and one past the end.
  EXPECT_EQ(AtPosition(head_, -1), nullptr);
  EXPECT_EQ(AtPosition(head_, 3), nullptr);

  EXPECT_EQ(ByPosition(head_, 4), (std::vector<RecordNode*>{head_, owned_[1], owned_[2], nullptr}));

  // The match is on the stored field, not on the number of steps taken.
  owned_[1]->position = 7;
  EXPECT_EQ(AtPosition(head_, 7), owned_[1]);
  EXPECT_EQ(AtPosition(head_, 1), nullptr);
  // Where two nodes share a position, the first one is found.
  owned_[2]->position = 0;
  EXPECT_EQ(ByPosition(head_, 3), (std::vector<RecordNode*>{head_, nullptr, nullptr}));
}

TEST_F(ListOfNodes, ListAppenderLinksAsAddToListDoes) {
  ListAppender empty(&head_);
  owned_.push_back(new RecordNode);
  EXPECT_EQ(empty.Add(owned_.back()), owned_.back());
  Build(2);
  // Behind a list that already has nodes, as the loaders append to classList.
  ListAppender appender(&head_);
  for (int i = 0; i < 3; ++i) {
    owned_.push_back(new RecordNode);
    appender.Add(owned_.back());
  }
  EXPECT_EQ(CheckedNodes(head_), owned_);
  EXPECT_EQ(Tail(head_), owned_[5]);
}

TEST_F(ListOfNodes, RemovingTheHeadPromotesTheSecondNodeAndRenumbers) {
  Build(4);
  EXPECT_TRUE(owned_[0]->RemoveFromList(&head_));
  EXPECT_EQ(head_, owned_[1]);
  EXPECT_EQ(CheckedNodes(head_), std::vector<RecordNode*>(owned_.begin() + 1, owned_.end()));
  EXPECT_EQ(owned_[0]->prev, nullptr);
  EXPECT_EQ(owned_[0]->next, nullptr);
}

TEST_F(ListOfNodes, RemovingMiddleAndLastNodesKeepsTheLinksMutual) {
  Build(4);
  EXPECT_TRUE(owned_[1]->RemoveFromList(&head_));
  EXPECT_EQ(head_, owned_[0]);
  EXPECT_EQ(CheckedNodes(head_), (std::vector<RecordNode*>{owned_[0], owned_[2], owned_[3]}));

  EXPECT_TRUE(owned_[3]->RemoveFromList(&head_));
  EXPECT_EQ(CheckedNodes(head_), (std::vector<RecordNode*>{owned_[0], owned_[2]}));
  EXPECT_FALSE(owned_[2]->HasNext());
  EXPECT_EQ(AtPosition(head_, 2), nullptr);

  // Down to one node, then none.
  EXPECT_TRUE(owned_[2]->RemoveFromList(&head_));
  EXPECT_TRUE(owned_[0]->RemoveFromList(&head_));
  EXPECT_EQ(head_, nullptr);
}

TEST_F(ListOfNodes, AppendLinksBehindTheTailAndIgnoresANullItem) {
  Build(3);
  RecordNode* nothing = nullptr;
  EXPECT_EQ(owned_[0]->Append(&nothing), nullptr);
  EXPECT_EQ(CheckedNodes(head_).size(), 3u);

  // Called on a node in the middle, it still links in at the end.
  RecordNode* extra = new RecordNode;
  owned_.push_back(extra);
  EXPECT_EQ(owned_[1]->Append(&extra), extra);
  EXPECT_EQ(CheckedNodes(head_), owned_);
}

}  // namespace
