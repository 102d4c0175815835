#include "CPointerList.h"

#include <new>

CPointerList::Node* CPointerList::Append(void* item)
{
    Node* node = new (std::nothrow) Node{last, nullptr, item};
    if (node == nullptr)
        return nullptr;
    if (last == nullptr)
        first = node;
    else
        last->next = node;
    last = node;
    ++count;
    return node;
}

bool CPointerList::AppendAll(const CPointerList& other)
{
    for (Node* node = other.first; node != nullptr; node = node->next) {
        if (Append(node->item) == nullptr)
            return false;
    }
    return true;
}

CPointerList::Node* CPointerList::Contains(const void* item) const
{
    for (Node* node = first; node != nullptr; node = node->next) {
        if (node->item == item)
            return node;
    }
    return nullptr;
}

void CPointerList::RemoveLast()
{
    Node* node = last;
    if (node == nullptr)
        return;
    last = node->previous;
    if (last == nullptr)
        first = nullptr;
    else
        last->next = nullptr;
    --count;
    delete node;
}

void CPointerList::Clear()
{
    Node* node = first;
    while (node != nullptr) {
        Node* next = node->next;
        delete node;
        node = next;
    }
    first = nullptr;
    last = nullptr;
    count = 0;
}
