// Intrusive circular doubly linked lists with a sentinel head. A member record starts
// with its ListLink, so a link can be turned back into the record that holds it.
#pragma once

namespace vorn3 {

struct ListLink {
    ListLink* next;
    ListLink* prev;
};

// Makes a head empty, or a member linked to itself (not in any list).
inline void listInit(ListLink& node) {
    node.next = node.prev = &node;
}

// Links node just before `before`; with the head as `before` this appends.
inline void listInsertBefore(ListLink& node, ListLink& before) {
    node.next = &before;
    node.prev = before.prev;
    before.prev = &node;
    node.prev->next = &node;
}

// Removes node from its list and leaves it linked to itself.
inline void listUnlink(ListLink& node) {
    node.prev->next = node.next;
    node.next->prev = node.prev;
    listInit(node);
}

// The record whose first member is `link`.
template <typename Record>
Record& listRecord(ListLink* link) {
    return *reinterpret_cast<Record*>(link);
}

}  // namespace vorn3
