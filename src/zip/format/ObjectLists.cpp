#include "zip/format/ObjectLists.h"

#include <cmath>

#include "zip/ZipExceptions.h"
#include "zip/base/ZipStrings.h"

TObjectList::TObjectList(bool ownsItems, int32_t capacity) : OwnsItems(ownsItems) {
    SetCapacity(capacity);
}

TObjectList::~TObjectList() {
    if (OwnsItems) {
        for (int32_t i = 0; i < count_; ++i) {
            delete items_[static_cast<size_t>(i)];
        }
    }
}

void TObjectList::Error() const {
    // The placeholder stays unfilled: this is the text the list has always shown.
    throw EListError(ZipStrings::ListIndexOutOfBounds);
}

void TObjectList::CheckIndex(int32_t index, int32_t last) const {
    if (index < 0 || index > last) {
        Error();
    }
}

void TObjectList::Grow() {
    const int32_t capacity = Capacity();
    int32_t delta = 0;
    if (capacity <= 4) {
        delta = 4;
    } else if (capacity <= 8) {
        delta = 8;
    } else {
        delta = static_cast<int32_t>(std::lround(std::sqrt(static_cast<double>(capacity))));
    }
    SetCapacity(capacity + delta);
}

TPersistent* TObjectList::Get(int32_t index) const {
    CheckIndex(index, count_ - 1);
    return items_[static_cast<size_t>(index)];
}

void TObjectList::Put(int32_t index, TPersistent* obj) {
    CheckIndex(index, count_ - 1);
    items_[static_cast<size_t>(index)] = obj;
}

void TObjectList::FreeItem(TPersistent* obj) {
    if (OwnsItems) {
        delete obj;
    }
}

int32_t TObjectList::AddObject(TPersistent* obj) {
    const int32_t index = count_;
    InsertAt(index, obj);
    return index;
}

void TObjectList::InsertAt(int32_t index, TPersistent* obj) {
    CheckIndex(index, count_);
    if (count_ == Capacity()) {
        Grow();
    }
    for (int32_t i = count_; i > index; --i) {
        items_[static_cast<size_t>(i)] = items_[static_cast<size_t>(i - 1)];
    }
    items_[static_cast<size_t>(index)] = obj;
    ++count_;
}

void TObjectList::Insert(int32_t index, TPersistent* obj) { InsertAt(index, obj); }

void TObjectList::Clear() {
    items_.clear();
    items_.shrink_to_fit();
    count_ = 0;
}

int32_t TObjectList::IndexOf(TPersistent* obj) {
    for (int32_t i = 0; i < count_; ++i) {
        if (items_[static_cast<size_t>(i)] == obj) {
            return i;
        }
    }
    return -1;
}

TPersistent* TObjectList::First() const { return Get(0); }

TPersistent* TObjectList::Last() const { return Get(count_ - 1); }

TPersistent* TObjectList::Next(TPersistent* obj) {
    const int32_t index = IndexOf(obj);
    if (index < 0 || index + 1 >= count_) {
        return nullptr;
    }
    return items_[static_cast<size_t>(index + 1)];
}

void TObjectList::Delete(int32_t index) {
    CheckIndex(index, count_ - 1);
    for (int32_t i = index; i + 1 < count_; ++i) {
        items_[static_cast<size_t>(i)] = items_[static_cast<size_t>(i + 1)];
    }
    --count_;
    items_[static_cast<size_t>(count_)] = nullptr;
}

void TObjectList::FreeAt(int32_t index) {
    TPersistent* obj = Get(index);
    FreeItem(obj);
    Delete(index);
}

void TObjectList::FreeObject(TPersistent* obj) {
    const int32_t index = IndexOf(obj);
    if (index < 0) {
        throw EListError("tObject " + (obj ? obj->ClassName() : std::string("nil")) +
                         " not in item list");
    }
    FreeAt(index);
}

void TObjectList::FreeAll() {
    for (int32_t i = 0; i < count_; ++i) {
        FreeItem(items_[static_cast<size_t>(i)]);
    }
    Clear();
}

void TObjectList::Move(int32_t from, int32_t to) {
    CheckIndex(from, count_ - 1);
    CheckIndex(to, count_ - 1);
    TPersistent* obj = items_[static_cast<size_t>(from)];
    Delete(from);
    InsertAt(to, obj);
}

void TObjectList::Pack() {
    int32_t kept = 0;
    for (int32_t i = 0; i < count_; ++i) {
        if (items_[static_cast<size_t>(i)] != nullptr) {
            items_[static_cast<size_t>(kept++)] = items_[static_cast<size_t>(i)];
        }
    }
    for (int32_t i = kept; i < count_; ++i) {
        items_[static_cast<size_t>(i)] = nullptr;
    }
    count_ = kept;
}

void TObjectList::SetCapacity(int32_t capacity) {
    if (capacity < count_ || capacity > MaxListSize) {
        Error();
    }
    items_.resize(static_cast<size_t>(capacity), nullptr);
}

void TObjectList::SetCount(int32_t count) {
    if (count < 0 || count > MaxListSize) {
        Error();
    }
    if (count > Capacity()) {
        SetCapacity(count);
    }
    for (int32_t i = count_; i < count; ++i) {
        items_[static_cast<size_t>(i)] = nullptr;
    }
    count_ = count;
}

TSortedObjectList::TSortedObjectList(TDuplicates duplicates) : DuplicatesMode(duplicates) {}

void TSortedObjectList::Put(int32_t /*index*/, TPersistent* /*obj*/) {
    throw EListError(ZipStrings::PutInSortedList);
}

int32_t TSortedObjectList::AddObject(TPersistent* obj) {
    Insert(0, obj);
    return 0;
}

int32_t TSortedObjectList::IndexOf(TPersistent* obj) {
    int32_t index = 0;
    return Search(KeyOf(obj), index) ? index : -1;
}

void TSortedObjectList::Insert(int32_t /*index*/, TPersistent* obj) {
    int32_t at = 0;
    if (Search(KeyOf(obj), at)) {
        switch (DuplicatesMode) {
            case TDuplicates::dupIgnore:
                return;
            case TDuplicates::dupError:
                throw EListError(ZipStrings::DuplicateObjectIndex);
            case TDuplicates::dupAccept:
                break;
        }
    }
    InsertAt(at, obj);
}

bool TSortedObjectList::Search(TPersistent* key, int32_t& index) const {
    int32_t lo = 0;
    int32_t hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        const int c = Compare(KeyOf(Get(mid)), key);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (DuplicatesMode != TDuplicates::dupAccept) {
                    lo = mid;
                }
            }
        }
    }
    index = lo;
    return found;
}
