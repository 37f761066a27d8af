#include "framework/component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace framework {
namespace {

std::vector<std::string> g_freed;

class Probe : public TComponent {
 public:
  Probe(TComponent* owner, std::string name) : TComponent(owner) { SetName(std::move(name)); }
  ~Probe() override { g_freed.push_back(Name()); }
};

TEST(ComponentTest, OwnerFreesWhatItOwnsLastCreatedFirst) {
  g_freed.clear();
  {
    Probe owner(nullptr, "owner");
    new Probe(&owner, "a");
    auto* b = new Probe(&owner, "b");
    new Probe(b, "b1");
    new Probe(&owner, "c");
    EXPECT_EQ(owner.ComponentCount(), 3);
  }
  EXPECT_EQ(g_freed, (std::vector<std::string>{"owner", "c", "b", "b1", "a"}));
}

TEST(ComponentTest, FreedComponentLeavesItsOwnersList) {
  g_freed.clear();
  Probe owner(nullptr, "owner");
  new Probe(&owner, "a");
  auto* b = new Probe(&owner, "b");
  delete b;
  ASSERT_EQ(owner.ComponentCount(), 1);
  EXPECT_EQ(owner.Components(0)->Name(), "a");
}

}  // namespace
}  // namespace framework
