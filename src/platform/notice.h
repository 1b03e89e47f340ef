// The modal notice: the one way the library talks to a person.
//
// On Windows this is MessageBoxA without an owner window. Elsewhere the
// notice goes to a replaceable handler; the default one writes a single line
// to stderr and answers with the default button, so a process never blocks
// on a notice unless an installed handler chooses to ask someone.
#pragma once

#include <cstdint>

namespace velkor::platform {

// Style flags, with the values MessageBoxA gives them.
enum NoticeStyle : uint32_t {
    kButtonsOk = 0x0,
    kButtonsYesNo = 0x4,
    kIconQuestion = 0x20,
    kIconWarning = 0x30,
    kIconInformation = 0x40,
    kSystemModal = 0x1000,
};

// Answers, with the values MessageBoxA returns.
enum NoticeAnswer : int32_t {
    kAnswerOk = 1,
    kAnswerYes = 6,
    kAnswerNo = 7,
};

// Receives every notice shown through show_notice and returns the answer.
using NoticeHandler = int32_t (*)(const char* text, const char* caption, uint32_t style,
                                  void* context);

// Shows a notice and returns the answer (one of NoticeAnswer). NULL text or
// caption count as empty.
int32_t show_notice(const char* text, const char* caption, uint32_t style);

// Installs handler (nullptr restores the default) and returns the previous
// one. Process-wide; safe to call while other threads show notices. Has no
// effect on Windows, where the real MessageBoxA is used.
NoticeHandler set_notice_handler(NoticeHandler handler, void* context = nullptr);

// The answer of the default button: OK for a notice, No for a Yes/No
// question, so that an unattended process leaves data unchanged.
int32_t default_answer(uint32_t style);

}  // namespace velkor::platform
