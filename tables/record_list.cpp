#include "tables/record_list.h"

RecordList versionList = nullptr;
RecordList classList = nullptr;

RecordNode* Tail(RecordNode* node) {
  if (node == nullptr) return nullptr;
  while (node->next != nullptr) node = node->next;
  return node;
}

RecordNode* AtPosition(RecordNode* head, int32_t position) {
  for (RecordNode* node = head; node != nullptr; node = node->next) {
    if (node->position == position) return node;
  }
  return nullptr;
}

RecordNode* RecordNode::Append(RecordNode** item) {
  if (*item == nullptr) return nullptr;
  RecordNode* tail = Tail(this);
  (*item)->position = tail->position + 1;
  tail->next = *item;
  (*item)->prev = tail;
  return *item;
}

RecordNode* RecordNode::AddToList(RecordNode** head) {
  if (*head == nullptr) {
    *head = this;
    return this;
  }
  RecordNode* tail = Tail(*head);
  prev = tail;
  position = tail->position + 1;
  tail->next = this;
  return this;
}

bool RecordNode::RemoveFromList(RecordNode** head) {
  for (RecordNode* node = this; node != nullptr; node = node->next) node->position -= 1;
  if (*head == this) *head = next;
  if (HasPrev()) prev->next = next;
  if (HasNext()) next->prev = prev;
  prev = nullptr;
  next = nullptr;
  return true;
}
