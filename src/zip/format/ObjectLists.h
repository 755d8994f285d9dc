#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Base of the objects that the component's lists hold.
class TPersistent {
  public:
    TPersistent() = default;
    TPersistent(const TPersistent&) = default;
    TPersistent& operator=(const TPersistent&) = default;
    virtual ~TPersistent() = default;
    virtual std::string ClassName() const { return "TPersistent"; }
};

enum class TDuplicates { dupIgnore, dupAccept, dupError };

// A growable array of object references. An owning list (the default) frees
// its objects when they are freed through it or when the list goes away; a
// list that does not own them is a view.
class TObjectList : public TPersistent {
  public:
    static constexpr int32_t MaxListSize = 0x1FFFFFFE;

    TObjectList() = default;
    TObjectList(bool ownsItems, int32_t capacity);
    TObjectList(const TObjectList&) = delete;
    TObjectList& operator=(const TObjectList&) = delete;
    ~TObjectList() override;
    std::string ClassName() const override { return "TObjectList"; }

    [[noreturn]] virtual void Error() const;
    virtual void Grow();
    virtual void Put(int32_t index, TPersistent* obj);
    virtual void FreeItem(TPersistent* obj);
    // Appends (growing first when full) and returns the index.
    virtual int32_t AddObject(TPersistent* obj);
    // Count and capacity to 0; the objects are not freed.
    virtual void Clear();
    // Identity search; -1 when absent.
    virtual int32_t IndexOf(TPersistent* obj);
    virtual void Insert(int32_t index, TPersistent* obj);
    virtual TPersistent* First() const;
    virtual TPersistent* Last() const;
    // The object after obj, or none when obj is the last or absent.
    virtual TPersistent* Next(TPersistent* obj);

    TPersistent* Get(int32_t index) const;
    TPersistent* operator[](int32_t index) const { return Get(index); }
    void Delete(int32_t index);
    void FreeAt(int32_t index);
    void FreeObject(TPersistent* obj);
    void FreeAll();
    void Move(int32_t from, int32_t to);
    void Pack();
    void SetCapacity(int32_t capacity);
    void SetCount(int32_t count);

    int32_t Count() const { return count_; }
    int32_t Capacity() const { return static_cast<int32_t>(items_.size()); }
    bool OwnsItems = true;

  protected:
    void CheckIndex(int32_t index, int32_t last) const;
    void InsertAt(int32_t index, TPersistent* obj);

  private:
    std::vector<TPersistent*> items_;  // Capacity() slots, Count() used
    int32_t count_ = 0;
};

// A list kept in order by Compare. Insert ignores the index it is given.
class TSortedObjectList : public TObjectList {
  public:
    explicit TSortedObjectList(TDuplicates duplicates);
    std::string ClassName() const override { return "TSortedObjectList"; }

    void Put(int32_t index, TPersistent* obj) override;
    // Sorted insert; returns 0.
    int32_t AddObject(TPersistent* obj) override;
    int32_t IndexOf(TPersistent* obj) override;
    void Insert(int32_t index, TPersistent* obj) override;

    virtual TPersistent* KeyOf(TPersistent* obj) const { return obj; }
    // Negative when item sorts before key.
    virtual int Compare(TPersistent* item, TPersistent* key) const = 0;
    // Whether an equal element exists; index is where key belongs (with
    // dupAccept, before all equal elements; otherwise on an equal element).
    virtual bool Search(TPersistent* key, int32_t& index) const;

    TDuplicates DuplicatesMode;
};
