#pragma once
// LevelHistory: the trace y positions of one band on the single-channel
// screen, newest at the tail. A doubly linked list whose nodes come in blocks
// of ten and go back to a free list when removed, so a long run allocates no
// more than the longest history needs.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace zarn {

class LevelHistory {
public:
    static constexpr size_t kBlockSize = 10;

    LevelHistory() = default;
    LevelHistory(const LevelHistory&) = delete;
    LevelHistory& operator=(const LevelHistory&) = delete;

    void append(int16_t y);
    // Removes the oldest value; nothing when empty.
    void removeOldest();
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // The value `age` steps before the newest (0 is the newest); call with age < size().
    int16_t newest(size_t age = 0) const;
    size_t blocks() const { return blocks_.size(); }

    // Newest to oldest.
    template <typename F>
    void forEachNewestFirst(F&& visit) const {
        for (const Node* n = tail_; n; n = n->previous) visit(n->value);
    }

private:
    struct Node {
        Node* previous = nullptr;
        Node* next = nullptr;
        int16_t value = 0;
    };
    Node* takeNode();

    std::vector<std::unique_ptr<Node[]>> blocks_;
    Node* free_ = nullptr;
    Node* head_ = nullptr;
    Node* tail_ = nullptr;
    size_t size_ = 0;
};

}  // namespace zarn
