#pragma once

#include <coroutine>
#include <utility>
#include <vector>

namespace hourloom::test {

// Where a fake's coroutines wait while the test holds the gate closed: an answer that arrives
// only when the test says, without a clock. open() resumes every waiter before it returns.
class Gate {
public:
    struct Passage {
        Gate &gate;
        bool await_ready() const noexcept { return !gate.closed_; }
        void await_suspend(std::coroutine_handle<> waiter) { gate.waiting_.push_back(waiter); }
        void await_resume() const noexcept {}
    };

    Passage pass() { return {*this}; }
    void close() { closed_ = true; }
    void open()
    {
        closed_ = false;
        for (const std::coroutine_handle<> waiter : std::exchange(waiting_, {}))
            waiter.resume();
    }
    bool isClosed() const { return closed_; }

private:
    bool closed_ = false;
    std::vector<std::coroutine_handle<>> waiting_;
};

} // namespace hourloom::test
