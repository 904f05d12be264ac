// Doubly linked list of owned element pointers with a built-in cursor.
#pragma once

#include <cstdint>

template <typename T> class List {
  public:
    List() = default;
    List(const List&) = delete;
    List& operator=(const List&) = delete;
    // Deletes every node and its element.
    ~List() { clear(); }

    // Deletes every node and its element from head to tail; the list is then empty, position 0.
    void clear() {
        Node* n = head_;
        while (n) {
            Node* next = n->next;
            delete n->element;
            delete n;
            n = next;
        }
        count_ = 0;
        position_ = 0;
        head_ = tail_ = cursor_ = nullptr;
        ++revision_;
    }

    // Adds element after the tail and takes ownership; in an empty list the new node becomes the
    // cursor at position 1, otherwise cursor and position stay. Always true.
    bool append(T* element) {
        Node* n = new Node{element, nullptr, tail_};
        if (tail_) {
            tail_->next = n;
        } else {
            head_ = n;
            cursor_ = n;
            position_ = 1;
        }
        tail_ = n;
        ++count_;
        ++revision_;
        return true;
    }

    // Number of nodes.
    int32_t count() const { return count_; }
    // 1-based position of the cursor; 0 in a new or emptied list.
    int32_t position() const { return position_; }
    // The cursor's element, or nullptr without a cursor.
    T* current() const { return cursor_ ? cursor_->element : nullptr; }

    // Moves the cursor to the head (position 1, also when empty) and returns its element or
    // nullptr.
    T* first() {
        cursor_ = head_;
        position_ = 1;
        return current();
    }

    // Steps the cursor forward and returns its element; at the tail (or without a cursor) returns
    // nullptr and moves nothing.
    T* next() {
        if (!cursor_ || !cursor_->next) return nullptr;
        cursor_ = cursor_->next;
        ++position_;
        return current();
    }

    // A number that changes with every append, remove and clear (not with cursor moves), so a
    // holder of element pointers can tell that the membership may have changed.
    uint32_t revision() const { return revision_; }

    // True when the cursor is the tail (also for an empty list).
    bool atEnd() const { return cursor_ == tail_; }

    // Seeks to 0-based index i (clamped to the ends) and returns that element; nullptr when empty.
    T* get(int32_t i) {
        seek(i + 1);
        return current();
    }

    // Seeks to 1-based position n (clamped to the ends) and deletes that node and its element. The
    // cursor moves to the following node, or to the previous one when the tail was removed. Does
    // nothing on an empty list. Always true.
    bool remove(int32_t n) {
        seek(n);
        Node* c = cursor_;
        if (!c) return true;
        Node* p = c->previous;
        Node* x = c->next;
        if (p)
            p->next = x;
        else
            head_ = x;
        if (x) {
            x->previous = p;
            cursor_ = x;
        } else {
            tail_ = p;
            cursor_ = p;
            --position_;
        }
        delete c->element;
        delete c;
        --count_;
        ++revision_;
        if (count_ == 0) position_ = 0;
        return true;
    }

  private:
    struct Node {
        T* element;
        Node* next;
        Node* previous;
    };

    void seek(int32_t n) {
        if (!cursor_) {
            if (!head_) return;
            cursor_ = head_;
            position_ = 1;
        }
        while (position_ < n && cursor_->next) {
            cursor_ = cursor_->next;
            ++position_;
        }
        while (position_ > n && cursor_->previous) {
            cursor_ = cursor_->previous;
            --position_;
        }
    }

    int32_t count_ = 0;
    int32_t position_ = 0;
    Node* head_ = nullptr;
    Node* tail_ = nullptr;
    Node* cursor_ = nullptr;
    uint32_t revision_ = 0;
};
