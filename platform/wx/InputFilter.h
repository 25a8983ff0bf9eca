#pragma once

#include <functional>
#include <memory>

namespace vobrik {

// Sees, for as long as it exists, every key and mouse-button event that
// reaches any window of the program, before the window does, and drops those
// the callback refuses. Pointer motion and the wheel pass untouched.
class TInputFilter {
  public:
    // refuse is asked once per event; true drops the event.
    explicit TInputFilter(std::function<bool()> refuse);
    ~TInputFilter();
    TInputFilter(const TInputFilter&) = delete;
    TInputFilter& operator=(const TInputFilter&) = delete;

  private:
    class TImpl;
    std::unique_ptr<TImpl> Impl;
};

} // namespace vobrik
