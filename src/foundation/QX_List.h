#pragma once
// Intrusive doubly linked list that owns its objects. Every kind of world and scene object lives in
// one of these: creation order is file order, drawing order and tie-break order; append and unlink
// are O(1); addresses stay stable because objects refer to each other by pointer.
// T must have public members `T* Prev` and `T* Next`, both null while T is in no list.

#include <cassert>
#include <cstddef>
#include <memory>

namespace gm {

template <class T> class ListQX {
public:
    ListQX() = default;
    ListQX(const ListQX&) = delete;
    ListQX& operator=(const ListQX&) = delete;
    ~ListQX() { Clear(); }

    T* First() const noexcept { return First_; }
    T* Last() const noexcept { return Last_; }
    std::size_t Size() const noexcept { return Count_; }
    bool Empty() const noexcept { return Count_ == 0; }

    // Takes ownership and appends; returns the object for convenience.
    T* Append(std::unique_ptr<T> owned) {
        T* obj = owned.release();
        assert(obj->Prev == nullptr && obj->Next == nullptr);
        obj->Prev = Last_;
        obj->Next = nullptr;
        if (Last_)
            Last_->Next = obj;
        else
            First_ = obj;
        Last_ = obj;
        ++Count_;
        return obj;
    }

    // Unlinks without destroying; ownership passes to the caller.
    std::unique_ptr<T> Unlink(T* obj) noexcept {
        if (obj->Prev)
            obj->Prev->Next = obj->Next;
        else
            First_ = obj->Next;
        if (obj->Next)
            obj->Next->Prev = obj->Prev;
        else
            Last_ = obj->Prev;
        obj->Prev = obj->Next = nullptr;
        --Count_;
        return std::unique_ptr<T>(obj);
    }

    void Erase(T* obj) noexcept { Unlink(obj).reset(); }

    // Destroys every object, first to last.
    void Clear() noexcept {
        while (First_)
            Erase(First_);
    }

    class Iterator {
    public:
        explicit Iterator(T* at) : At_(at) {}
        T* operator*() const noexcept { return At_; }
        Iterator& operator++() noexcept {
            At_ = At_->Next;
            return *this;
        }
        bool operator!=(const Iterator& other) const noexcept { return At_ != other.At_; }
        bool operator==(const Iterator& other) const noexcept { return At_ == other.At_; }

    private:
        T* At_;
    };
    // Plain iteration; to erase while walking, take Next before erasing.
    Iterator begin() const noexcept { return Iterator(First_); }
    Iterator end() const noexcept { return Iterator(nullptr); }

private:
    T* First_ = nullptr;
    T* Last_ = nullptr;
    std::size_t Count_ = 0;
};

} // namespace gm
