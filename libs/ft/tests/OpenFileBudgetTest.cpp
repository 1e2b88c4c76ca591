#include "ft/OpenFileBudget.h"

#include "DescriptorLimit.h"

#include <gtest/gtest.h>

#include <vector>

using ft::OpenFileBudget;

namespace {

class CountingWaiter : public OpenFileBudget::Waiter {
public:
  void filesFreed() override { told++; }
  int told = 0;
};

// Tickets run out per connection and for all connections together, come
// back when given back or destroyed, and each one that comes back tells the
// waiters.
TEST(OpenFileBudgetTest, TicketsAreBoundedPerConnectionAndInAll) {
  OpenFileBudget budget(3, 5);
  CountingWaiter waiter;
  budget.addWaiter(&waiter);
  std::vector<OpenFileBudget::Ticket> a, b;
  for (int i = 0; i < 3; i++)
    a.push_back(budget.take(1));
  EXPECT_FALSE(budget.available(1));
  EXPECT_FALSE(budget.take(1).held());
  EXPECT_TRUE(budget.available(2));
  b.push_back(budget.take(2));
  b.push_back(budget.take(2));
  EXPECT_EQ(budget.held(), 5u);
  EXPECT_FALSE(budget.available(2));
  EXPECT_FALSE(budget.available(3));
  EXPECT_EQ(waiter.told, 0);

  a[0].giveBack();
  EXPECT_EQ(waiter.told, 1);
  EXPECT_FALSE(a[0].held());
  a[0].giveBack();
  EXPECT_EQ(waiter.told, 1);
  EXPECT_EQ(budget.held(1), 2u);
  EXPECT_TRUE(budget.available(3));
  // A moved ticket counts once, and goes back once.
  OpenFileBudget::Ticket moved(std::move(b[0]));
  EXPECT_FALSE(b[0].held());
  EXPECT_EQ(budget.held(2), 2u);
  b.clear();
  EXPECT_EQ(budget.held(2), 1u);
  budget.removeWaiter(&waiter);
  moved = OpenFileBudget::Ticket();
  EXPECT_EQ(budget.held(2), 0u);
  EXPECT_EQ(waiter.told, 2);
}

TEST(OpenFileBudgetTest, TheProgramBoundIsAnEighthOfALowDescriptorLimit) {
  struct Case {
    int limit;
    std::size_t bound;
  } cases[] = {{1024, 128}, {4096, 128}, {256, 32}, {7, 1}};
  for (const Case& c : cases) {
    testing_support::DescriptorLimit limit(c.limit, testing_support::DescriptorLimit::Exactly);
    if (!limit.allowed())
      continue;
    EXPECT_EQ(OpenFileBudget::programBound(), c.bound) << c.limit;
  }
}

} // namespace
