#include "host/headless/headless_host.h"

#include <algorithm>
#include <chrono>

namespace corvane {

namespace {
// A modal run that nobody ends is a test fault; give up long before CTest's time-out.
constexpr auto kModalLimit = std::chrono::minutes(2);
}  // namespace

HeadlessWindow::~HeadlessWindow() {
  host_.Forget(this);
}

void HeadlessWindow::Navigate(const std::string& url, const std::string& html) {
  url_ = url;
  html_ = html;
  changes_.clear();
  host_.Loop().Post([this] { events_.OnDocumentComplete(); });
}

void HeadlessWindow::ApplyChanges(const std::vector<dom::Change>& changes) {
  changes_.insert(changes_.end(), changes.begin(), changes.end());
}

void HeadlessWindow::SetSizeAndCenter(int width, int height) {
  width_ = width;
  height_ = height;
}

int HeadlessWindow::RunModal() {
  if (modalResult_) {  // ended while it was being set up, as a real window allows
    const int result = *modalResult_;
    modalResult_.reset();
    return result;
  }
  std::optional<HeadlessHost::ModalStep> step = host_.TakeModalStep();
  if (step) {
    host_.Loop().Post([this, step = std::move(*step)] { step(*this); });
  } else {
    host_.Loop().Post([this] { EndModal(IDCANCEL); });
  }
  inModal_ = true;
  if (!host_.Loop().RunUntil([this] { return modalResult_.has_value(); }, kModalLimit)) {
    modalResult_ = IDCANCEL;
  }
  inModal_ = false;
  const int result = *modalResult_;
  modalResult_.reset();
  return result;
}

void HeadlessWindow::EndModal(int result) {
  modalResult_ = result;
}

bool HeadlessWindow::Print() {
  ++printed_;
  return host_.printDialog_ ? host_.printDialog_() : true;
}

void HeadlessWindow::Input(const ViewInput& input) {
  host_.Loop().Post([this, input] { events_.OnViewInput(input); });
}

void HeadlessWindow::Cancel() {
  host_.Loop().Post([this] { events_.OnCancel(); });
}

std::unique_ptr<HostWindow> HeadlessHost::CreateWindow(HostWindowEvents& events,
                                                       HostWindow* parent) {
  auto window = std::make_unique<HeadlessWindow>(*this, events, parent);
  windows_.push_back(window.get());
  return window;
}

int HeadlessHost::MessageBox(HostWindow*, const std::string& text, const std::string& caption,
                             unsigned style) {
  messages_.push_back({text, caption, style});
  if (!answers_.empty()) {
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  return (style & 0xF) == MB_YESNO ? IDNO : IDOK;
}

bool HeadlessHost::OpenExternal(const std::string& target, std::function<void()> onFailed) {
  opened_.push_back(target);
  // The opener started and reports later, as a real one does.
  if (openFails_ && onFailed) static_cast<void>(loop_.Post(std::move(onFailed)));
  return true;
}

void HeadlessHost::WaitFor(const Event& done) {
  static_cast<void>(loop_.RunUntil([&done] { return done.IsSet(); }, kModalLimit));
}

std::optional<HeadlessHost::ModalStep> HeadlessHost::TakeModalStep() {
  if (modalSteps_.empty()) return std::nullopt;
  ModalStep step = std::move(modalSteps_.front());
  modalSteps_.pop_front();
  return step;
}

void HeadlessHost::Forget(HeadlessWindow* window) {
  windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
}

}  // namespace corvane
