#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Exception.h"
#include "platform/MemoryStream.h"
#include "zip/io/SplitStream.h"

namespace {

// Three parts "abc", "" and "defg"; opening records the part numbers asked
// for, as the component's part switching would.
class SplitStreamTest : public ::testing::Test {
  protected:
    SplitStreamTest() {
        for (const std::string text : {"abc", "", "defg"}) {
            auto part = std::make_unique<TMemoryStream>();
            part->WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
            part->SetPosition(0);
            parts_.push_back(std::move(part));
        }
    }

    TSplitStream Make(int lastNumber) {
        return TSplitStream(*parts_[0], 0, lastNumber, [this](int number) -> TStream& {
            opened.push_back(number);
            parts_.at(static_cast<size_t>(number))->SetPosition(0);
            return *parts_.at(static_cast<size_t>(number));
        });
    }

    std::vector<int> opened;

  private:
    std::vector<std::unique_ptr<TMemoryStream>> parts_;
};

TEST_F(SplitStreamTest, ReadsGoOnAcrossPartsUpToTheLastOne) {
    TSplitStream s = Make(2);
    std::string text(10, '\0');
    EXPECT_EQ(s.Read(text.data(), 10), 7);
    text.resize(7);
    EXPECT_EQ(text, "abcdefg");
    EXPECT_EQ(opened, (std::vector<int>{1, 2}));
    EXPECT_EQ(s.Number(), 2);
    // Positions and sizes are those of the current part.
    EXPECT_EQ(s.Position(), 4);
    EXPECT_EQ(s.Size(), 4);
    EXPECT_FALSE(s.Next());
}

TEST_F(SplitStreamTest, AOneVolumeLimitStopsAtThePartEnd) {
    TSplitStream s = Make(0);
    char text[8];
    EXPECT_EQ(s.Read(text, 8), 3);
    EXPECT_TRUE(opened.empty());
}

TEST_F(SplitStreamTest, GoToOpensOnlyAnotherPartAndRestartForgetsTheLimit) {
    TSplitStream s = Make(2);
    s.GoTo(0);
    EXPECT_TRUE(opened.empty());
    s.GoTo(2);
    EXPECT_EQ(opened, (std::vector<int>{2}));
    TMemoryStream other;
    s.Restart(other, 1, 1);
    EXPECT_EQ(&s.Part(), &other);
    EXPECT_FALSE(s.Next());
}

TEST_F(SplitStreamTest, IsReadOnly) {
    TSplitStream s = Make(2);
    EXPECT_THROW(s.Write("x", 1), EStreamError);
    EXPECT_THROW(s.SetSize(0), EStreamError);
}

}  // namespace
