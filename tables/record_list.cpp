#include "tables/record_list.h"

#include <cctype>

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

namespace {

char Folded(char c, bool underscoreIsBlank) {
  if (underscoreIsBlank && c == '_') c = ' ';
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

}  // namespace

bool SameNameFolded(const std::string& text, const char* name, bool underscoreIsBlank) {
  size_t i = 0;
  for (; i < text.size() && name[i] != '\0'; ++i) {
    if (Folded(text[i], underscoreIsBlank) != Folded(name[i], false)) return false;
  }
  return i == text.size() && name[i] == '\0';
}

RecordNode* FindByName(RecordNode* head, const std::string& text, bool underscoreIsBlank) {
  RecordNode* alike = nullptr;
  int alikeCount = 0;
  for (RecordNode* node = head; node != nullptr; node = node->next) {
    if (text == node->name) return node;
    if (SameNameFolded(text, node->name, underscoreIsBlank) && alikeCount++ == 0) alike = node;
  }
  return alikeCount == 1 ? alike : nullptr;
}

std::vector<RecordNode*> ByPosition(RecordNode* head, size_t count) {
  std::vector<RecordNode*> nodes(count, nullptr);
  for (RecordNode* node = head; node != nullptr; node = node->next) {
    if (node->position < 0 || static_cast<size_t>(node->position) >= count) continue;
    if (nodes[node->position] == nullptr) nodes[node->position] = node;
  }
  return nodes;
}

RecordNode* ListAppender::Add(RecordNode* node) {
  // The steps of AddToList, with the tail at hand instead of walked to.
  if (tail_ == nullptr) {
    *head_ = node;
  } else {
    node->prev = tail_;
    node->position = tail_->position + 1;
    tail_->next = node;
  }
  tail_ = node;
  return node;
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
