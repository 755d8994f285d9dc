#include <gtest/gtest.h>

#include "zip/ZipExceptions.h"
#include "zip/format/ObjectLists.h"
#include "zip/format/SortedZip.h"

namespace {

struct Counted : TPersistent {
    explicit Counted(int* deaths) : deaths_(deaths) {}
    ~Counted() override { ++*deaths_; }
    std::string ClassName() const override { return "Counted"; }
    int* deaths_;
};

std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EListError& e) {
        return e.Message();
    }
    return "(none)";
}

TEST(TObjectList, GrowthSteps) {
    TObjectList list(false, 0);
    int dummy = 0;
    Counted c(&dummy);
    list.AddObject(&c);
    EXPECT_EQ(list.Capacity(), 4);
    list.SetCapacity(16);
    while (list.Count() < 16) {
        list.AddObject(&c);
    }
    list.AddObject(&c);
    EXPECT_EQ(list.Capacity(), 20);
    list.SetCapacity(100);
    while (list.Count() < 100) {
        list.AddObject(&c);
    }
    list.AddObject(&c);
    EXPECT_EQ(list.Capacity(), 110);
}

TEST(TObjectList, IndexErrorsKeepThePlaceholderUnfilled) {
    TObjectList list;
    EXPECT_EQ(MessageOf([&] { list.Get(0); }), "List index out of bounds (%d)");
    EXPECT_EQ(MessageOf([&] { list.Insert(1, nullptr); }), "List index out of bounds (%d)");
    EXPECT_EQ(MessageOf([&] { list.SetCapacity(0x1FFFFFFF); }), "List index out of bounds (%d)");
    list.AddObject(nullptr);
    EXPECT_EQ(MessageOf([&] { list.SetCapacity(0); }), "List index out of bounds (%d)");
}

TEST(TObjectList, OwningListFreesAndViewsDoNot) {
    int deaths = 0;
    {
        TObjectList owner;
        owner.AddObject(new Counted(&deaths));
        owner.AddObject(new Counted(&deaths));
        TPersistent* first = owner.First();
        owner.FreeAt(0);
        EXPECT_EQ(deaths, 1);
        EXPECT_NE(owner.First(), first);
        Counted stranger(&deaths);
        EXPECT_EQ(MessageOf([&] { owner.FreeObject(&stranger); }),
                  "tObject Counted not in item list");
    }
    EXPECT_EQ(deaths, 3);  // the list's last object and the stranger
    Counted kept(&deaths);
    {
        TObjectList view(false, 2);
        view.AddObject(&kept);
        view.FreeAll();
        EXPECT_EQ(view.Count(), 0);
    }
    EXPECT_EQ(deaths, 3);
}

TEST(TObjectList, MovePackAndDelete) {
    int d = 0;
    Counted a(&d), b(&d), c(&d);
    TObjectList list(false, 0);
    list.AddObject(&a);
    list.AddObject(nullptr);
    list.AddObject(&b);
    list.AddObject(&c);
    list.Pack();
    ASSERT_EQ(list.Count(), 3);
    list.Move(0, 2);
    EXPECT_EQ(list.Get(0), &b);
    EXPECT_EQ(list.Get(2), &a);
    EXPECT_EQ(list.Next(&b), &c);
    list.Delete(0);
    EXPECT_EQ(list.IndexOf(&b), -1);
    EXPECT_EQ(list.Last(), &a);
}

std::unique_ptr<TZipHeaderInfo> Entry(const std::string& dir, const std::string& name,
                                      uint32_t offset, uint32_t size = 0, uint32_t packed = 0,
                                      uint32_t dos = 0x21000000) {
    auto e = std::make_unique<TZipHeaderInfo>();
    e->Setdirectory(dir);
    e->Setfilename(name);
    e->relative_offset = offset;
    e->uncompressed_size = size;
    e->compressed_size = packed;
    e->last_mod_file_date_time = dos;
    return e;
}

TEST(TSortedZip, DuplicateDiskAndOffsetIsRejectedAndListUnchanged) {
    TSortedZip list(TDuplicates::dupError);
    auto a = Entry("", "a", 100);
    auto b = Entry("", "b", 100);
    list.AddObject(a.release());
    EXPECT_EQ(MessageOf([&] { list.AddObject(b.get()); }), "Duplicate Object index");
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(MessageOf([&] { list.Put(0, nullptr); }), "Cannot <Put> an Object in a sorted list!");
}

TEST(TSortedZip, DirectoryOrderIsDiskThenOffset) {
    TSortedZip list(TDuplicates::dupError);
    auto late = Entry("", "late", 500);
    late->disk_number_start = 1;
    list.AddObject(late.release());
    list.AddObject(Entry("", "b", 300).release());
    list.AddObject(Entry("", "a", 10).release());
    EXPECT_EQ(list.Entry(0)->filename, "a");
    EXPECT_EQ(list.Entry(1)->filename, "b");
    EXPECT_EQ(list.Entry(2)->filename, "late");
    EXPECT_EQ(list.IndexOf(list.Entry(1)), 1);
}

// Entries added in this directory order: x (dir d\, 30 bytes), y (10), z (30), w (20).
std::vector<std::string> SortedNames(TZipSortMode mode,
                                     std::vector<std::unique_ptr<TZipHeaderInfo>>& all) {
    TSortedZip view(TDuplicates::dupAccept);
    view.OwnsItems = false;
    view.ListSortMode = mode;
    for (auto& e : all) {
        view.AddObject(e.get());
    }
    std::vector<std::string> names;
    for (int32_t i = 0; i < view.Count(); ++i) {
        names.push_back(view.Entry(i)->filename);
    }
    return names;
}

TEST(TSortedZip, EverySortMode) {
    std::vector<std::unique_ptr<TZipHeaderInfo>> all;
    // dates: 2000-01-01, 2010-01-01, 2000-01-01, 1990-01-01
    all.push_back(Entry("d\\", "x", 0, 30, 30, (20u << 25) | (1u << 21) | (1u << 16)));
    all.push_back(Entry("B\\", "Y", 1, 10, 1, (30u << 25) | (1u << 21) | (1u << 16)));
    all.push_back(Entry("a\\", "z", 2, 30, 15, (20u << 25) | (1u << 21) | (1u << 16)));
    all.push_back(Entry("", "w", 3, 20, 10, (10u << 25) | (1u << 21) | (1u << 16)));
    using V = std::vector<std::string>;
    EXPECT_EQ(SortedNames(ByName, all), (V{"z", "Y", "x", "w"}));
    EXPECT_EQ(SortedNames(ByFileName, all), (V{"w", "x", "Y", "z"}));
    EXPECT_EQ(SortedNames(ByDirectoryName, all), (V{"w", "z", "Y", "x"}));
    // Descending modes keep directory order for ties (x before z).
    EXPECT_EQ(SortedNames(ByDate, all), (V{"Y", "x", "z", "w"}));
    EXPECT_EQ(SortedNames(ByUnCompressedSize, all), (V{"x", "z", "w", "Y"}));
    EXPECT_EQ(SortedNames(ByCompressedSize, all), (V{"x", "z", "w", "Y"}));
    // Rates: x 100, Y 10, z 50, w 50; equal rates put the later one first.
    EXPECT_EQ(SortedNames(ByRate, all), (V{"x", "w", "z", "Y"}));
    EXPECT_EQ(SortedNames(ByNone, all), (V{"x", "Y", "z", "w"}));
}

TEST(TSortedZip, Zip64EntryMarksTheListForGood) {
    TSortedZip list(TDuplicates::dupError);
    auto big = Entry("", "big", 0);
    big->SetUnCompressedSize(0x100000000ull);
    EXPECT_FALSE(list.HasZip64Entries);
    list.AddObject(big.release());
    EXPECT_TRUE(list.HasZip64Entries);
    list.FreeAt(0);
    EXPECT_TRUE(list.HasZip64Entries);
}

}  // namespace
