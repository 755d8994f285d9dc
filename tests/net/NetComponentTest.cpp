#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/NetComponent.h"
#include "net/SocketStack.h"

namespace {

// Records every work event as text, e.g. "begin 0 10", "work 0 100", "end 0".
struct WorkRecorder {
    explicit WorkRecorder(TNetComponent& component) {
        component.OnWorkBegin = [this, &component](TNetComponent* sender, TWorkMode mode,
                                                   int64_t max) {
            EXPECT_EQ(sender, &component);
            events.push_back("begin " + std::to_string(mode) + " " + std::to_string(max));
        };
        component.OnWork = [this](TNetComponent*, TWorkMode mode, int64_t count) {
            events.push_back("work " + std::to_string(mode) + " " + std::to_string(count));
        };
        component.OnWorkEnd = [this](TNetComponent*, TWorkMode mode) {
            events.push_back("end " + std::to_string(mode));
        };
    }
    std::vector<std::string> events;
};

// A component whose work events are recorded.
class NetComponentWork : public ::testing::Test {
  protected:
    TNetComponent component;
    WorkRecorder recorder{component};
};

}  // namespace

TEST_F(NetComponentWork, CountsInsideOneWorkRaiseRunningTotals) {
    component.StartWork(wkRead, 0);
    component.AddWork(wkRead, 100);
    component.AddWork(wkRead, 0);
    component.AddWork(wkRead, 50);
    component.FinishWork(wkRead);
    const std::vector<std::string> expected = {"begin 0 0", "work 0 100", "work 0 100",
                                               "work 0 150", "end 0"};
    EXPECT_EQ(recorder.events, expected);
}

TEST_F(NetComponentWork, NestedWorkReportsOnlyTheOutermostBeginAndEnd) {
    component.StartWork(wkRead, 10);
    component.StartWork(wkRead, 99);
    component.AddWork(wkRead, 4);
    component.FinishWork(wkRead);
    EXPECT_EQ(recorder.events.back(), "work 0 4");
    component.FinishWork(wkRead);
    const std::vector<std::string> expected = {"begin 0 10", "work 0 4", "end 0"};
    EXPECT_EQ(recorder.events, expected);
    EXPECT_EQ(component.WorkInfo(wkRead).Expected, 10);
    // A new outermost work starts counting from zero.
    component.StartWork(wkRead, 0);
    component.AddWork(wkRead, 1);
    EXPECT_EQ(recorder.events.back(), "work 0 1");
}

TEST_F(NetComponentWork, CountsOutsideAnOpenWorkOfTheirDirectionAreDropped) {
    component.AddWork(wkRead, 100);
    EXPECT_TRUE(recorder.events.empty());
    EXPECT_EQ(component.WorkInfo(wkRead).Total, 0);
    component.StartWork(wkRead, 0);
    component.AddWork(wkWrite, 7);
    EXPECT_EQ(component.WorkInfo(wkWrite).Total, 0);
    EXPECT_EQ(recorder.events.size(), 1u);
}

TEST(NetComponent, UnassignedEventsAreSkipped) {
    TNetComponent component;
    component.StartWork(wkWrite, 5);
    component.AddWork(wkWrite, 5);
    component.FinishWork(wkWrite);
    EXPECT_EQ(component.WorkInfo(wkWrite).Total, 5);
    EXPECT_EQ(component.WorkInfo(wkWrite).Depth, 0);
}

// A handler that raises must not leave the work open: the next transfer
// would otherwise never report its begin and end.
TEST(NetComponent, AWorkEndHandlerThatRaisesStillClosesTheWork) {
    TNetComponent component;
    component.OnWorkEnd = [](TNetComponent*, TWorkMode) { throw std::runtime_error("handler"); };
    component.StartWork(wkRead, 0);
    EXPECT_THROW(component.FinishWork(wkRead), std::runtime_error);
    EXPECT_EQ(component.WorkInfo(wkRead).Depth, 0);
}

TEST(NetComponent, StatusTextsFollowTheirTemplates) {
    TNetComponent component;
    std::vector<std::string> texts;
    std::vector<TNetStatus> statuses;
    component.OnStatus = [&](TNetComponent*, TNetStatus status, const std::string& text) {
        statuses.push_back(status);
        texts.push_back(text);
    };
    component.ReportStatus(stResolving, "example.org");
    component.ReportStatus(stConnecting, "10.0.0.1");
    component.ReportStatus(stConnected, "10.0.0.1");
    component.ReportStatus(stDisconnecting, "10.0.0.1");
    component.ReportStatus(stDisconnected, "");
    component.ReportStatus(stText, "free %s text");
    const std::vector<std::string> expected = {
        "Resolving hostname example.org.", "Connecting to 10.0.0.1.", "Connected.",
        "Disconnecting from 10.0.0.1.",    "Not connected.",          "free %s text"};
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(statuses.front(), stResolving);
    EXPECT_EQ(statuses.back(), stText);
}

// The first component loads the library, later ones share it, and the last
// one to go unloads it.
TEST(NetComponent, TheStackLivesWhileAnyComponentDoes) {
    ASSERT_EQ(StackUsers, 0);
    ASSERT_FALSE(GlobalStack);
    auto first = std::make_unique<TNetComponent>();
    TSocketStack* stack = GlobalStack.get();
    ASSERT_NE(stack, nullptr);
    {
        TNetComponent second;
        EXPECT_EQ(GlobalStack.get(), stack);
        EXPECT_EQ(StackUsers, 2);
    }
    EXPECT_EQ(GlobalStack.get(), stack);
    EXPECT_EQ(StackUsers, 1);
    first.reset();
    EXPECT_EQ(StackUsers, 0);
    EXPECT_FALSE(GlobalStack);
}
