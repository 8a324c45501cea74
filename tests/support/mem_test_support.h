#pragma once
// Test helpers for the memory manager: a recording error handler installed for one
// scope, and a capture of the alerts shown meanwhile.

#include <string>
#include <vector>

#include "support/mem_pool.h"
#include "platform/alert.h"

namespace zentor::testing_support {

// Records every error the manager reports and answers with a chosen value (0: fail).
class RecordedMemErrors {
 public:
  explicit RecordedMemErrors(int answer = 0) : m_previous(MemPool::SetErrorHandler(&Record)) {
    CallsStorage().clear();
    Answers().assign(1, answer);
  }
  ~RecordedMemErrors() { MemPool::SetErrorHandler(m_previous); }
  RecordedMemErrors(const RecordedMemErrors&) = delete;
  RecordedMemErrors& operator=(const RecordedMemErrors&) = delete;

  // Answers given to successive calls; the last one repeats.
  void SetAnswers(std::vector<int> answers) { Answers() = std::move(answers); }
  const std::vector<MemErrorInfo>& Calls() const { return CallsStorage(); }
  std::vector<uint32_t> Codes() const {
    std::vector<uint32_t> codes;
    for (const MemErrorInfo& info : CallsStorage()) codes.push_back(info.m_errorCode);
    return codes;
  }
  void Clear() { CallsStorage().clear(); }

 private:
  static std::vector<MemErrorInfo>& CallsStorage() {
    static std::vector<MemErrorInfo> calls;
    return calls;
  }
  static std::vector<int>& Answers() {
    static std::vector<int> answers;
    return answers;
  }
  static int Record(const MemErrorInfo& info) {
    size_t index = CallsStorage().size();
    CallsStorage().push_back(info);
    const std::vector<int>& answers = Answers();
    return answers.empty() ? 0 : answers[index < answers.size() ? index : answers.size() - 1];
  }
  MemErrorHandler m_previous;
};

struct CapturedAlert {
  std::string m_title;
  std::string m_text;
  platform::AlertButtons m_buttons;
  int m_defaultButton;
  bool m_beep;
  bool m_stopIcon;
};

// Answers every alert with a chosen answer and keeps what it asked.
class AlertCapture {
 public:
  explicit AlertCapture(platform::AlertAnswer answer = platform::AlertAnswer::Ok)
      : m_previous(platform::SetAlertResponder(&Respond)) {
    Alerts().clear();
    Answer() = answer;
  }
  ~AlertCapture() { platform::SetAlertResponder(m_previous); }
  AlertCapture(const AlertCapture&) = delete;
  AlertCapture& operator=(const AlertCapture&) = delete;

  const std::vector<CapturedAlert>& Shown() const { return Alerts(); }
  void SetAnswer(platform::AlertAnswer answer) { Answer() = answer; }

 private:
  static std::vector<CapturedAlert>& Alerts() {
    static std::vector<CapturedAlert> alerts;
    return alerts;
  }
  static platform::AlertAnswer& Answer() {
    static platform::AlertAnswer answer = platform::AlertAnswer::Ok;
    return answer;
  }
  static platform::AlertAnswer Respond(const platform::AlertRequest& request) {
    Alerts().push_back(CapturedAlert{request.title, request.text, request.buttons, request.defaultButton, request.beep,
                                     request.stopIcon});
    return Answer();
  }
  platform::AlertResponder m_previous;
};

}  // namespace zentor::testing_support
