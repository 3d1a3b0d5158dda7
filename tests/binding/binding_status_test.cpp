// BindingStatus: ok and failed states, the error message, copies and moves.
#include "binding/binding_status.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

namespace Nimbel {
namespace {

TEST(BindingStatusTest, FreshStatusIsOkEmptyAndHasNoMessage) {
    const BindingStatus status;
    EXPECT_TRUE(status.Ok());
    EXPECT_TRUE(status.Value().IsEmpty());
    EXPECT_EQ(status.ErrorMessage(), "");
}

TEST(BindingStatusTest, SetErrorLeavesExactlyTheErrorMember) {
    BindingStatus status;
    status.Value()["partial"] = int64_t{1};
    status.SetError("Field 'gameId' is required");
    EXPECT_FALSE(status.Ok());
    EXPECT_EQ(status.ErrorMessage(), "Field 'gameId' is required");
    ASSERT_EQ(status.Value().Kind(), BindingPropertyKind::Structure);
    ASSERT_EQ(status.Value().Size(), 1u);
    EXPECT_EQ(status.Value().Members()[0].Name(), "error");
}

TEST(BindingStatusTest, MessageIsEmptyUnlessAFailedStatusHoldsAStringError) {
    struct Case {
        const char* description;
        std::function<void(BindingStatus&)> prepare;
    };
    const Case cases[] = {
        {"ok status with an error member",
         [](BindingStatus& s) { s.Value()["error"] = "not a failure"; }},
        {"failed, error member is a number",
         [](BindingStatus& s) {
             s.SetError("x");
             s.Value()["error"] = int64_t{5};
         }},
        {"failed, error member removed",
         [](BindingStatus& s) {
             s.SetError("x");
             s.Value().Clear();
         }},
        {"failed, empty message", [](BindingStatus& s) { s.SetError(""); }},
    };
    for (const Case& c : cases) {
        BindingStatus status;
        c.prepare(status);
        EXPECT_EQ(status.ErrorMessage(), "") << c.description;
    }
}

TEST(BindingStatusTest, SetErrorAcceptsItsOwnMessageAsTheNewOne) {
    BindingStatus status;
    status.SetError("first failure");
    status.SetError(status.ErrorMessage());
    EXPECT_EQ(status.ErrorMessage(), "first failure");
}

TEST(BindingStatusTest, StatusFromAValueHoldsACopy) {
    BindingProperty value;
    value["gameId"] = uint64_t{42};
    const BindingStatus status(value);
    EXPECT_TRUE(status.Ok());
    value["gameId"] = uint64_t{7};
    EXPECT_EQ(status.Value()["gameId"].GetUnsigned(), 42u);
    EXPECT_NE(status.Value().Arena(), value.Arena());
}

TEST(BindingStatusTest, MovingAStatusCarriesValueAndFlag) {
    BindingStatus failed;
    failed.SetError("broken");
    const PropertyArena* arena = failed.Value().Arena();

    BindingStatus moved(std::move(failed));
    EXPECT_FALSE(moved.Ok());
    EXPECT_EQ(moved.ErrorMessage(), "broken");
    EXPECT_EQ(moved.Value().Arena(), arena) << "the value moved without a copy";
    // NOLINTNEXTLINE(bugprone-use-after-move): the moved-from state is under test
    EXPECT_TRUE(failed.Ok());
    EXPECT_TRUE(failed.Value().IsEmpty());

    BindingStatus assigned;
    assigned = std::move(moved);
    EXPECT_FALSE(assigned.Ok());
    EXPECT_EQ(assigned.ErrorMessage(), "broken");
}

}  // namespace
}  // namespace Nimbel
