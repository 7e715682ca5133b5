// Intrusive doubly linked lists of records read from the data files.
// A list is a pointer to its first node (null when empty); the holder of the
// head owns every node. Nodes are allocated by the loaders and freed by
// FreeDataTables (tables/data_files.h) or by the owner of a local list.
#ifndef ORVANEL_TABLES_RECORD_LIST_H_
#define ORVANEL_TABLES_RECORD_LIST_H_

#include <cstdint>

class RecordNode {
 public:
  RecordNode() = default;
  RecordNode(const RecordNode&) = delete;
  RecordNode& operator=(const RecordNode&) = delete;
  // Lists are freed by owners that know their node type; virtual all the same
  // so that a node deleted through its base is never half destroyed.
  virtual ~RecordNode() = default;

  // Links the node at *item in behind the tail of this node's list.
  // Returns that node, or null when *item is null.
  virtual RecordNode* Append(RecordNode** item);
  // Appends this node at the end of the list at *head; returns this node.
  virtual RecordNode* AddToList(RecordNode** head);
  // Unlinks this node and renumbers the nodes after it. The caller owns the
  // node afterwards. Always true.
  virtual bool RemoveFromList(RecordNode** head);

  bool HasNext() const { return next != nullptr; }
  bool HasPrev() const { return prev != nullptr; }

  int32_t position = 0;
  char name[256] = {};
  RecordNode* prev = nullptr;
  RecordNode* next = nullptr;
};

using RecordList = RecordNode*;

// The last node of the chain that starts at node; null for null.
RecordNode* Tail(RecordNode* node);
// The first node from head whose stored position equals position; null if none.
RecordNode* AtPosition(RecordNode* head, int32_t position);

// Deletes every node of a list of T and sets the head to null.
template <typename T>
void FreeList(RecordList* head) {
  while (*head != nullptr) {
    RecordNode* following = (*head)->next;
    delete static_cast<T*>(*head);
    *head = following;
  }
}

// The program-wide tables, filled at start-up.
extern RecordList versionList;
extern RecordList classList;

#endif  // ORVANEL_TABLES_RECORD_LIST_H_
