// A doubly linked list of untyped pointers. It neither owns nor references its items; it owns its nodes,
// which are heap-allocated one per Append and freed by Clear and the destructor. Not thread-safe: its owner
// (a pin enumerator) is used by one thread at a time.
#pragma once

class CPointerList {
public:
    struct Node {
        Node* previous;
        Node* next;
        void* item;
    };

    CPointerList() = default;
    ~CPointerList() { Clear(); }
    CPointerList(const CPointerList&) = delete;
    CPointerList& operator=(const CPointerList&) = delete;

    // Appends `item`; null (and nothing changed) when the node cannot be allocated.
    Node* Append(void* item);
    // Appends every item of `other` in order; FALSE at the first failed allocation (items so far stay).
    bool AppendAll(const CPointerList& other);
    // The first node holding `item` (pointer comparison), or null.
    Node* Contains(const void* item) const;
    // Drops the last node (nothing when empty): undoes an Append whose item was taken back.
    void RemoveLast();
    void Clear();

    int Count() const { return count; }
    Node* First() const { return first; }
    Node* Last() const { return last; }

private:
    Node* first = nullptr;
    Node* last = nullptr;
    int count = 0;
};
