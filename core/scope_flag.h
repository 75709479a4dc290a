// A flag that is set for the life of a scope.
#pragma once

namespace qsm {

// Sets `flag` to true when made and back to false when the scope is left, on every way out. `Flag` is a
// bool or a std::atomic<bool> (whose stores are then sequentially consistent).
template <class Flag>
class [[nodiscard]] ScopedFlag {
public:
    explicit ScopedFlag(Flag& flag) : flag_(flag) { flag_ = true; }
    ~ScopedFlag() { flag_ = false; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

private:
    Flag& flag_;
};

}  // namespace qsm
