#include "platform/qt/timer.h"

#include <algorithm>
#include <vector>

#include "platform/qt/environment.h"

namespace vrok::platform {

namespace {
long long now = 0;
std::vector<Timer*>& Live() {
  static std::vector<Timer*> timers;
  return timers;
}
}  // namespace

Timer::Timer(std::function<void()> onTick) : onTick_(std::move(onTick)) { Live().push_back(this); }

Timer::~Timer() { std::erase(Live(), this); }

void Timer::Start(int intervalMs) {
  interval_ = std::max(1, intervalMs);
  if (Automated()) {
    due_ = now + interval_;
    return;
  }
  if (!real_) {
    real_ = std::make_unique<QTimer>();
    QObject::connect(real_.get(), &QTimer::timeout, [this] { onTick_(); });
  }
  real_->start(interval_);
}

void Timer::Stop() {
  due_ = -1;
  if (real_) real_->stop();
}

bool Timer::IsActive() const { return due_ >= 0 || (real_ && real_->isActive()); }

void AdvanceClock(int ms) {
  const long long target = now + std::max(0, ms);
  for (;;) {
    Timer* next = nullptr;
    for (Timer* t : Live())
      if (t->due_ >= 0 && t->due_ <= target && (next == nullptr || t->due_ < next->due_)) next = t;
    if (next == nullptr) break;
    now = next->due_;
    next->due_ += next->interval_;
    next->onTick_();  // may stop, restart or destroy timers
  }
  now = target;
}

long long VirtualNow() { return now; }

}  // namespace vrok::platform
