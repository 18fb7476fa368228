// The message catalogue and the program's kinds of message box.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui.h"

// Replaces `text` with message `id` of the program's string table and answers true; when the message
// is absent, answers false and leaves `text` exactly as it was.
bool LoadMessage(uint16_t id, std::wstring& text);

// Message `id`, or an empty text when it is absent.
std::wstring Message(uint16_t id);

enum class BoxKind {
    Error,            // OK, error icon, owned, foreground, topmost
    Question,         // Yes/No, owned, foreground, topmost
    WarningQuestion,  // Yes/No, exclamation icon, owned, foreground, topmost
    Plain,            // OK, owned, foreground, topmost
    OwnerlessError,   // OK, error icon, no owner
    OwnerlessYesNo,   // Yes/No, no owner
    Help,             // OK, information icon, owned, foreground, topmost
};

constexpr int kButtonOk = 1;
constexpr int kButtonYes = 6;
constexpr int kButtonNo = 7;

// The invisible window that owns the program's boxes; created once by the run flow.
void SetOwnerWindow(platform::WindowHandle window);

// Shows a box of `kind` and returns the button pressed (0 when the box could not be shown).
int ShowBox(BoxKind kind, const std::wstring& text, const std::wstring& caption);

// Shows message `messageId` with message `captionId` as its title.
int ShowMessage(BoxKind kind, uint16_t messageId, uint16_t captionId);

// The report of a failed child installation: the message, ": <code>.\n", and the log line when a
// log path is known and a file exists there.
std::wstring FailureReport(uint16_t messageId, uint32_t code, const std::wstring& logPath);
