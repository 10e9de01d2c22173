#pragma once

#include <memory>
#include <utility>

namespace QasUtils {

/// Owns one reference to a platform object of type T, or none. A copy holds one more reference
/// to the same object; the last reference to go releases it.
template <typename T>
class CoReferenceTracker {
 public:
  CoReferenceTracker() = default;
  explicit CoReferenceTracker(std::shared_ptr<T> reference) : reference_(std::move(reference)) {}
  CoReferenceTracker(const CoReferenceTracker&) = default;
  CoReferenceTracker& operator=(const CoReferenceTracker&) = default;
  virtual ~CoReferenceTracker() { reference_.reset(); }

  /// Whether no object is held.
  bool IsEmpty() const { return reference_ == nullptr; }

 protected:
  T& Object() const { return *reference_; }

 private:
  std::shared_ptr<T> reference_;
};

}  // namespace QasUtils
