#pragma once
// A periodic control timer (SetTimer/KillTimer). Normally a QTimer; in an
// automated run time is virtual and moves only when AdvanceClock is called,
// so scripts and tests decide exactly when a timer fires.

#include <QTimer>
#include <functional>
#include <memory>

namespace vrok::platform {

class Timer {
 public:
  explicit Timer(std::function<void()> onTick);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  void Start(int intervalMs);  // starts or restarts
  void Stop();
  bool IsActive() const;

 private:
  friend void AdvanceClock(int ms);
  std::function<void()> onTick_;
  std::unique_ptr<QTimer> real_;
  int interval_ = 0;
  long long due_ = -1;  // virtual time of the next tick; -1 when stopped
};

// Virtual time: fires every virtual timer that comes due within ms, in the
// order they come due (a periodic timer may fire several times).
void AdvanceClock(int ms);
long long VirtualNow();

}  // namespace vrok::platform
