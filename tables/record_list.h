// Intrusive doubly linked lists of records read from the data files.
// A list is a pointer to its first node (null when empty); the holder of the
// head owns every node. Nodes are allocated by the loaders and freed by
// FreeDataTables (tables/data_files.h) or by the owner of a local list.
#ifndef ORVANEL_TABLES_RECORD_LIST_H_
#define ORVANEL_TABLES_RECORD_LIST_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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
  // Where a loader read the record: its line in the file (0: not read from
  // one), and whether that line was longer than one read, so that the record
  // holds only a piece of it and nothing in it can be trusted.
  int32_t line = 0;
  bool inPieces = false;
  RecordNode* prev = nullptr;
  RecordNode* next = nullptr;
};

using RecordList = RecordNode*;

// The last node of the chain that starts at node; null for null.
RecordNode* Tail(RecordNode* node);
// The first node from head whose stored position equals position; null if none.
RecordNode* AtPosition(RecordNode* head, int32_t position);

// text equals name but for letter case (and, with underscoreIsBlank, an _ of
// text for a blank): how a name is typed in a console or a swap set.
bool SameNameFolded(const std::string& text, const char* name, bool underscoreIsBlank);
// The node named text exactly, else the one node whose name text equals as
// SameNameFolded says; null when none, or when several do.
RecordNode* FindByName(RecordNode* head, const std::string& text, bool underscoreIsBlank);

// The node at each position 0..count-1 as AtPosition would find it (the first
// with that stored position; null where none), from one walk of the list, for
// loops that visit the positions in turn.
std::vector<RecordNode*> ByPosition(RecordNode* head, size_t count);

// Appends to the list at *head as AddToList does, with the same links and
// positions, but remembers the tail so that each node costs the same however
// long the list has grown. Nothing else may change the list while it appends.
class ListAppender {
 public:
  explicit ListAppender(RecordList* head) : head_(head), tail_(Tail(*head)) {}
  // Returns node.
  RecordNode* Add(RecordNode* node);

 private:
  RecordList* head_;
  RecordNode* tail_;
};

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
