// Real time for a CliSession on the Qt event loop: the steady clock and
// numbered Qt timers that hand their id back to one callback.
#pragma once

#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "base/time_host.h"
#include "cli/cli_session.h"
#include "protocol/transfer_engine.h"

namespace velmora::cli {

class QtPlatform final : public SteadyTime<CliPlatform> {
 public:
  using Fired = std::function<void(int id)>;
  using Line = std::function<void(const std::string&)>;

  // errorLine empty: standard error's lines are dropped (a quiet session).
  explicit QtPlatform(Line errorLine, Fired fired = {}) : errorLine_(std::move(errorLine)), fired_(std::move(fired)) {}
  ~QtPlatform() override {
    for (auto& entry : timers_) entry.second->stop();
  }
  // Where the timers fire from now on; empty: into nothing.
  void setFired(Fired fired) { fired_ = std::move(fired); }

  void startTimer(int id, int ms) override {
    std::unique_ptr<QTimer>& timer = timers_[id];
    if (!timer) {
      timer = std::make_unique<QTimer>();
      // A coarse timer may fire early, and the device needs its whole pause.
      timer->setTimerType(id == kPaceTimerId ? Qt::PreciseTimer : Qt::CoarseTimer);
      QObject::connect(timer.get(), &QTimer::timeout, timer.get(), [this, id] {
        if (fired_) fired_(id);
      });
    }
    timer->start(ms);
  }
  void stopTimer(int id) override {
    const auto it = timers_.find(id);
    if (it != timers_.end()) it->second->stop();
  }
  void errorLine(const std::string& line) override {
    if (errorLine_) errorLine_(line);
  }

 private:
  Line errorLine_;
  Fired fired_;
  std::map<int, std::unique_ptr<QTimer>> timers_;
};

}  // namespace velmora::cli
