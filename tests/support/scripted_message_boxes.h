#pragma once
// Message boxes answered by a script, for tests of the procedures that show them.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/runtime/message_box.h"

namespace kx::test {

// Answers every kx::MsgBox while it lives: records each box and answers from a queue (an empty
// queue answers OK). Restores the previous handler afterwards.
class ScriptedMessageBoxes {
  public:
    struct Box {
        std::string prompt;
        std::int32_t buttons;
        std::string title;
        bool operator==(const Box&) const = default;
    };

    ScriptedMessageBoxes()
        : handler_(
              [this](const std::string& prompt, std::int32_t buttons, const std::string& title) {
                  shown_.push_back({prompt, buttons, title});
                  if (whileShown) {
                      whileShown();
                  }
                  if (answers_.empty()) {
                      return vbmsg::kOK;
                  }
                  const std::int32_t answer = answers_.front();
                  answers_.pop_front();
                  return answer;
              }) {}
    ScriptedMessageBoxes(const ScriptedMessageBoxes&) = delete;
    ScriptedMessageBoxes& operator=(const ScriptedMessageBoxes&) = delete;

    void answerNext(std::int32_t answer) { answers_.push_back(answer); }
    const std::vector<Box>& shown() const { return shown_; }

    // Runs while each box is shown, after it is recorded (a user acting, a failing report).
    std::function<void()> whileShown;

  private:
    std::vector<Box> shown_;
    std::deque<std::int32_t> answers_;
    ScopedMessageBoxHandler handler_;  // last: it goes before the lists it fills
};

}  // namespace kx::test
