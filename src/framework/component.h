// TComponent: ownership. A component belongs to its owner from construction
// and is freed with it; freeing a component first frees what it owns, last
// created first.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace framework {

class TComponent {
 public:
  // `owner` may be null (the component is then freed by whoever made it).
  explicit TComponent(TComponent* owner);
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  // Frees the owned components and leaves the owner's list.
  virtual ~TComponent();

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(static_cast<size_t>(index)); }

 protected:
  // Frees every owned component now, last created first. Windowed controls
  // call it before their own window goes, so children leave first.
  void DestroyComponents();

 private:
  TComponent* owner_;
  std::string name_;
  std::vector<TComponent*> components_;
};

// Handlers receive the component that fired them.
using TNotifyEvent = std::function<void(TComponent* sender)>;

}  // namespace framework
