#include "line_model.h"

#include <algorithm>

namespace {

// Bytes that are due but not the last of their queue go on at least this often.
constexpr std::chrono::milliseconds kPassEvery{1};

using Clock = LineModel::Clock;

// When the bytes of `queue` must move on next: the last one at its time, the
// others within kPassEvery of the first one's time.
Clock::time_point DueOf(const auto& queue) {
  if (queue.empty()) return Clock::time_point::max();
  return std::min(queue.back().due, queue.front().due + kPassEvery);
}

}  // namespace

LineModel::LineModel(HandheldDevice& handheld, Settings settings)
    : handheld_(handheld),
      settings_(settings),
      random_(settings.seed),
      cleanBits_(settings.bitErrorRate > 0 ? std::min(settings.bitErrorRate, 1.0) : 1.0) {
  if (settings_.bitErrorRate > 0) nextFlip_ = cleanBits_(random_);
}

std::uint8_t LineModel::WithNoise(std::uint8_t byte) {
  if (settings_.bitErrorRate <= 0) return byte;
  for (; nextFlip_ < 8; nextFlip_ += 1 + cleanBits_(random_)) byte ^= static_cast<std::uint8_t>(1u << nextFlip_);
  nextFlip_ -= 8;
  return byte;
}

Clock::duration LineModel::ByteTime(long speed) const {
  if (!settings_.paced || speed <= 0) return Clock::duration::zero();
  return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(10'000'000'000LL / speed));
}

Clock::time_point LineModel::Queue(std::deque<Event>& queue, Clock::time_point& free, Event event) {
  const Clock::time_point start = std::max(now(), free);
  event.due = start + (event.speedChange ? Clock::duration::zero() : ByteTime(event.speed));
  free = event.due;
  queue.push_back(event);
  return event.due;
}

void LineModel::OnByte(HandheldLine&, std::uint8_t byte, long speed) {
  Queue(toHandheld_, inFree_, {{}, byte, speed, false});
}

void LineModel::OnSpeed(HandheldLine&, long speed) {
  // A new speed applies after the bytes sent before it.
  Queue(toHandheld_, inFree_, {{}, 0, speed, true});
}

void LineModel::OnIdle(HandheldLine&) {
  if (toHandheld_.empty()) handheld_.OnIdle(*this);
}

void LineModel::OnOpen(HandheldLine&) {
  Clear();
  handheld_.OnOpen(*this);
}

void LineModel::HandOver(Clock::time_point until) {
  while (!toHandheld_.empty() && toHandheld_.front().due <= until) {
    const Event e = toHandheld_.front();
    toHandheld_.pop_front();
    if (e.speedChange)
      handheld_.OnSpeed(*this, e.speed);
    else
      handheld_.OnByte(*this, e.byte, e.speed);
  }
}

void LineModel::OnClose(HandheldLine&) {
  // The computer's last bytes reach the handheld before its closing does.
  Drain();
  Clear();
  handheld_.OnClose(*this);
}

void LineModel::Clear() {
  toHandheld_.clear();
  toAdapter_.clear();
  adapter_.clear();
  inFree_ = outFree_ = Clock::time_point{};
}

void LineModel::Send(const std::uint8_t* bytes, std::size_t count, long speed) {
  for (std::size_t i = 0; i < count; ++i) Queue(toAdapter_, outFree_, {{}, WithNoise(bytes[i]), speed, false});
}

void LineModel::Release() {
  if (!adapter_.empty() && write) write(adapter_.data(), adapter_.size());
  adapter_.clear();
}

Clock::time_point LineModel::Pass() {
  const Clock::time_point t = now();
  HandOver(t);
  const long speed = computerSpeed ? computerSpeed() : 0;
  while (!toAdapter_.empty() && toAdapter_.front().due <= t) {
    const Event e = toAdapter_.front();
    toAdapter_.pop_front();
    // A burst whose time ran out before this byte came has left without it.
    if (settings_.latency > Clock::duration::zero() && !adapter_.empty() && e.due >= burstStart_ + settings_.latency)
      Release();
    if (adapter_.empty()) burstStart_ = e.due;
    adapter_.push_back(e.speed == speed ? e.byte : 0x00);
    if (adapter_.size() >= kBurstBytes) Release();
  }
  if (!adapter_.empty() && t >= burstStart_ + settings_.latency) Release();
  return NextDue();
}

Clock::time_point LineModel::NextDue() const {
  Clock::time_point next = std::min(DueOf(toHandheld_), DueOf(toAdapter_));
  if (!adapter_.empty()) next = std::min(next, burstStart_ + settings_.latency);
  // The byte that fills the adapter sends the burst on its way.
  const std::size_t room = kBurstBytes - adapter_.size();
  if (settings_.latency > Clock::duration::zero() && toAdapter_.size() >= room)
    next = std::min(next, toAdapter_[room - 1].due);
  return next;
}
