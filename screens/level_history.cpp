#include "screens/level_history.h"

namespace zarn {

LevelHistory::Node* LevelHistory::takeNode() {
    if (!free_) {
        blocks_.push_back(std::make_unique<Node[]>(kBlockSize));
        Node* block = blocks_.back().get();
        for (size_t i = 0; i < kBlockSize; ++i) {
            block[i].next = free_;
            free_ = &block[i];
        }
    }
    Node* n = free_;
    free_ = n->next;
    return n;
}

void LevelHistory::append(int16_t y) {
    Node* n = takeNode();
    n->value = y;
    n->previous = tail_;
    n->next = nullptr;
    if (tail_)
        tail_->next = n;
    else
        head_ = n;
    tail_ = n;
    ++size_;
}

void LevelHistory::removeOldest() {
    Node* n = head_;
    if (!n) return;
    head_ = n->next;
    if (head_)
        head_->previous = nullptr;
    else
        tail_ = nullptr;
    n->next = free_;
    n->previous = nullptr;
    free_ = n;
    --size_;
}

int16_t LevelHistory::newest(size_t age) const {
    const Node* n = tail_;
    for (size_t i = 0; i < age && n; ++i) n = n->previous;
    return n ? n->value : 0;
}

}  // namespace zarn
