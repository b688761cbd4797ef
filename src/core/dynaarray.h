// A growable array of fixed-size plain records with a built-in cursor that it
// also publishes through a pointer variable of its owner.
//
// Iteration idiom: First(), then `while (Next())`; inside the loop the cursor
// variable points at the visited element and Index() is its index + 1.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

template <typename T>
class TDynaArray {
    static_assert(std::is_trivially_copyable_v<T>, "elements are moved as raw bytes");

public:
    explicit TDynaArray(T** cursorVar = nullptr) : FCursorVar(cursorVar) {}
    TDynaArray(const TDynaArray&) = delete;
    TDynaArray& operator=(const TDynaArray&) = delete;
    // Leaves the owner's cursor variable alone: the owner may be half gone.
    ~TDynaArray() = default;

    std::uint32_t Count() const { return FCount; }
    std::int32_t Index() const { return FIndex; }
    T* Current() const { return FCurrent; }
    // The element block; null while the array is empty.
    const T* Data() const { return FData.get(); }
    std::size_t Allocated() const { return FAllocated; }
    static constexpr std::uint32_t Granularity() { return FGranularity; }
    static constexpr std::size_t ItemSize() { return sizeof(T); }

    // No range check: callers pass valid indexes only.
    T* GotoIndex(std::int32_t index) {
        FIndex = index;
        SetCurrent(FData.get() + index);
        return FCurrent;
    }

    T* Add() {
        Resize(FCount + 1);
        T* item = FData.get() + (FCount - 1);
        std::memset(static_cast<void*>(item), 0, sizeof(T));
        FIndex = static_cast<std::int32_t>(FCount - 1);
        SetCurrent(item);
        return item;
    }

    // Opens a zero-filled element at index (0 .. count) and positions on it;
    // the elements from index on move up by one place.
    T* Insert(std::int32_t index) {
        if (index < 0 || static_cast<std::uint32_t>(index) > FCount) return nullptr;
        Resize(FCount + 1);
        T* data = FData.get();
        std::memmove(static_cast<void*>(data + index + 1), data + index,
                     (FCount - 1 - static_cast<std::uint32_t>(index)) * sizeof(T));
        std::memset(static_cast<void*>(data + index), 0, sizeof(T));
        return GotoIndex(index);
    }

    void Delete(std::int32_t index) {
        if (index < 0 || static_cast<std::uint32_t>(index) >= FCount) return;
        T* data = FData.get();
        std::memmove(static_cast<void*>(data + index), data + index + 1,
                     (FCount - 1 - static_cast<std::uint32_t>(index)) * sizeof(T));
        Resize(FCount - 1);
        FIndex = -1;
        SetCurrent(nullptr);
    }

    void First() {
        if (FCount == 0) return;
        FIndex = 0;
        SetCurrent(FData.get());
    }

    bool Next() {
        if (FCount == 0 || FIndex < 0 || static_cast<std::uint32_t>(FIndex) >= FCount) return false;
        SetCurrent(FData.get() + FIndex);
        ++FIndex;
        return true;
    }

    void Clear() {
        while (FCount > 0) Delete(0);
    }

private:
    void SetCurrent(T* item) {
        FCurrent = item;
        if (FCursorVar != nullptr) *FCursorVar = item;
    }

    // The block grows in whole steps of FGranularity elements, so with step 1
    // it holds exactly `count` elements; an empty array holds no block.
    void Resize(std::uint32_t count) {
        const std::size_t needed =
            count == 0 ? 0 : (std::size_t{count - 1} / FGranularity + 1) * sizeof(T) * FGranularity;
        if (needed != FAllocated) {
            if (count == 0) {
                FData.reset();
            } else {
                auto block = std::make_unique<T[]>(needed / sizeof(T));
                if (FData)
                    std::memcpy(static_cast<void*>(block.get()), FData.get(),
                                std::min(needed, FAllocated));
                FData = std::move(block);
            }
            FAllocated = needed;
        }
        FCount = count;
    }

    T** FCursorVar = nullptr;
    T* FCurrent = nullptr;
    std::unique_ptr<T[]> FData;
    std::uint32_t FCount = 0;
    std::int32_t FIndex = -1;
    std::size_t FAllocated = 0;
    static constexpr std::uint32_t FGranularity = 1;
};
