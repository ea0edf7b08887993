#include "tests/support/ui_recorder.h"

namespace velmora::testing {

namespace {
struct State {
  QStringList messages;
  QStringList questions;
  std::deque<ui::FileDialogRequest> fileRequests;
  std::deque<bool> answers;
  std::deque<QString> files;
};
State& state() {
  static State s;
  return s;
}
}  // namespace

void UiRecorder::install() {
  ui::setMessageBoxHook([](const QString& text) { state().messages.append(text); });
  ui::setQuestionHook([](const QString& text) {
    state().questions.append(text);
    if (state().answers.empty()) return true;
    const bool answer = state().answers.front();
    state().answers.pop_front();
    return answer;
  });
  ui::setFileDialogHook([](const ui::FileDialogRequest& request) {
    state().fileRequests.push_back(request);
    if (state().files.empty()) return QString();
    QString path = state().files.front();
    state().files.pop_front();
    return path;
  });
}

void UiRecorder::reset() { state() = State{}; }
QStringList& UiRecorder::messages() { return state().messages; }
QStringList& UiRecorder::questions() { return state().questions; }
std::deque<ui::FileDialogRequest>& UiRecorder::fileRequests() { return state().fileRequests; }
void UiRecorder::queueAnswer(bool yes) { state().answers.push_back(yes); }
void UiRecorder::queueFile(const QString& path) { state().files.push_back(path); }

}  // namespace velmora::testing
