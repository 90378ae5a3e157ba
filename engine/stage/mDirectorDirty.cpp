#include <algorithm>

#include "engine/platform/Memory.h"
#include "engine/stage/mDirector.h"

DirtyEntry* mDirector::setDirtyCapacity(int32_t capacity) {
    dirtyMemory.reset();
    dirtyTable = nullptr;
    dirtyCapacity = 0;
    dirtyCount = 0;
    // The sentinel needs an entry of its own: below one there is no table at all.
    if (capacity < 1) return nullptr;
    dirtyMemory =
        platform::Memory::allocate(static_cast<std::size_t>(capacity) * sizeof(DirtyEntry));
    if (!dirtyMemory) return nullptr;
    dirtyTable = reinterpret_cast<DirtyEntry*>(dirtyMemory.get());
    dirtyCapacity = capacity;
    resetDirtyList();
    return dirtyTable;
}

void mDirector::resetDirtyList() {
    if (!dirtyTable) return;
    DirtyEntry& sentinel = dirtyTable[0];
    sentinel = DirtyEntry{sentinelEdge, sentinelEdge, sentinelEdge, sentinelEdge, 0, &sentinel};
    dirtyCount = 1;
}

void mDirector::invalidate(const Rect* rects, int32_t count, int32_t kind) {
    if (!rects) return;
    for (int32_t i = 0; i < count; ++i) {
        Rect clipped = rects[i];
        clipped.bottom = std::min(clipped.bottom, info->height);
        clipped.right = std::min(clipped.right, info->width);
        clipped.top = std::max(clipped.top, 0);
        clipped.left = std::max(clipped.left, 0);
        if (clipped.isEmpty()) continue;
        // Whole 4-byte groups of the 8-bit back buffer; may pass the width by up to 3 pixels,
        // which stays inside the row's padding.
        addDirty(clipped.left & ~3, clipped.top, (clipped.right + 3) & ~3, clipped.bottom, kind);
    }
}

int32_t mDirector::addDirty(int32_t left, int32_t top, int32_t right, int32_t bottom,
                            int32_t kind) {
    if (dirtyCount >= dirtyCapacity) return 0;
    DirtyEntry* sentinel = &dirtyTable[0];

    DirtyEntry* before = sentinel;
    for (DirtyEntry* entry = sentinel->next; entry != sentinel; entry = entry->next) {
        DirtyEntry& e = *entry;
        if (right < e.left || left > e.right || bottom < e.top || top > e.bottom) {
            before = entry;
            continue;
        }
        bool mergeable = e.kind != 1;
        if (mergeable && left <= e.left && right >= e.right && top <= e.top && bottom >= e.bottom) {
            before->next = e.next;  // absorbed; `before` stays
            continue;
        }
        if (mergeable && left == e.left && right == e.right) {
            before->next = e.next;
            addDirty(left, std::min(top, e.top), right, std::max(bottom, e.bottom), kind);
            return 1;
        }
        if (mergeable && top == e.top && bottom == e.bottom) {
            before->next = e.next;
            addDirty(std::min(left, e.left), top, std::max(right, e.right), bottom, kind);
            return 1;
        }
        if (right > e.left && left < e.right && bottom > e.top && top < e.bottom) {
            // Only the parts outside the listed rectangle are added.
            int32_t bandTop = std::max(top, e.top);
            int32_t bandBottom = std::min(bottom, e.bottom);
            if (left < e.left) addDirty(left, bandTop, e.left, bandBottom, kind);
            if (right > e.right) addDirty(e.right, bandTop, right, bandBottom, kind);
            if (top < e.top) addDirty(left, top, right, e.top, kind);
            if (bottom > e.bottom) addDirty(left, e.bottom, right, bottom, kind);
            return 1;
        }
        before = entry;
    }

    // Sorted by top, then left, before entries with the same top and left. The walk stops at
    // the sentinel itself, whatever the coordinates.
    DirtyEntry* place = sentinel;
    while (place->next != sentinel && place->next->top < top)
        place = place->next;
    while (place->next != sentinel && place->next->top == top && place->next->left < left)
        place = place->next;
    DirtyEntry& added = dirtyTable[dirtyCount++];
    added = DirtyEntry{left, top, right, bottom, kind, place->next};
    place->next = &added;
    return 1;
}

void mDirector::compose() {
    if (dirtyCount <= 1 || !first) return;
    const DirtyEntry* sentinel = &dirtyTable[0];
    Rect clipped;
    mRenderer* renderer = first;
    do {
        const Rect& bounds = renderer->bounds;
        for (const DirtyEntry* entry = sentinel->next;
             entry != sentinel && entry->top <= bounds.bottom; entry = entry->next) {
            Rect area{entry->left, entry->top, entry->right, entry->bottom};
            if (entry->kind != 1 && intersect(clipped, bounds, area)) renderer->draw(&clipped, 1);
        }
        renderer = renderer->next;
    } while (first && renderer != first);
}
