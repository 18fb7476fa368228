#include "base/messages.h"

#include "base/text.h"
#include "platform/files.h"

namespace {

constexpr uint16_t kEntriesPerBlock = 16;

constexpr uint32_t kMbOk = 0x0;
constexpr uint32_t kMbYesNo = 0x4;
constexpr uint32_t kMbIconError = 0x10;
constexpr uint32_t kMbIconExclamation = 0x30;
constexpr uint32_t kMbIconInformation = 0x40;
constexpr uint32_t kMbSetForeground = 0x10000;
constexpr uint32_t kMbTopmost = 0x40000;
constexpr uint32_t kMbInFront = kMbSetForeground | kMbTopmost;

platform::WindowHandle ownerWindow = nullptr;

// Walks a string-table block to entry `index`: each entry is a length followed by that many units.
bool FindEntry(const platform::StringBlock& block, uint16_t index, size_t& offset, size_t& length)
{
    size_t position = 0;
    for (uint16_t i = 0; i < index; ++i) {
        if (position >= block.length) return false;
        position += 1 + block.data[position];
    }
    if (position >= block.length) return false;
    length = block.data[position];
    offset = position + 1;
    return length != 0 && offset + length <= block.length;
}

// The string-table block that holds message `id`, and the entry's place in it.
uint16_t BlockOf(uint16_t id) { return static_cast<uint16_t>(id / kEntriesPerBlock + 1); }
uint16_t IndexOf(uint16_t id) { return static_cast<uint16_t>(id % kEntriesPerBlock); }

struct BoxStyle {
    uint32_t flags;
    bool owned;
};

BoxStyle StyleOf(BoxKind kind)
{
    switch (kind) {
    case BoxKind::Error: return {kMbOk | kMbIconError | kMbInFront, true};
    case BoxKind::Question: return {kMbYesNo | kMbInFront, true};
    case BoxKind::WarningQuestion: return {kMbYesNo | kMbIconExclamation | kMbInFront, true};
    case BoxKind::Plain: return {kMbOk | kMbInFront, true};
    case BoxKind::OwnerlessError: return {kMbOk | kMbIconError, false};
    case BoxKind::OwnerlessYesNo: return {kMbYesNo, false};
    case BoxKind::Help: return {kMbOk | kMbIconInformation | kMbInFront, true};
    }
    return {kMbOk, false};
}

}  // namespace

bool LoadMessage(uint16_t id, std::wstring& text)
{
    // The neutral lookup decides whether the message exists; the default lookup supplies the text,
    // as Windows' own string loading would.
    platform::StringBlock block;
    size_t offset = 0;
    size_t length = 0;
    if (!platform::FindNeutralStringBlock(BlockOf(id), block) || !FindEntry(block, IndexOf(id), offset, length)) {
        return false;
    }
    if (!platform::FindStringBlock(BlockOf(id), block) || !FindEntry(block, IndexOf(id), offset, length)) return false;
    text.assign(block.data + offset, block.data + offset + length);
    return true;
}

std::wstring Message(uint16_t id)
{
    std::wstring text;
    LoadMessage(id, text);
    return text;
}

void SetOwnerWindow(platform::WindowHandle window) { ownerWindow = window; }

int ShowBox(BoxKind kind, const std::wstring& text, const std::wstring& caption)
{
    const BoxStyle style = StyleOf(kind);
    return platform::ShowMessageBox(style.owned ? ownerWindow : nullptr, text, caption, style.flags);
}

int ShowMessage(BoxKind kind, uint16_t messageId, uint16_t captionId)
{
    return ShowBox(kind, Message(messageId), Message(captionId));
}

std::wstring FailureReport(uint16_t messageId, uint32_t code, const std::wstring& logPath)
{
    std::wstring text = Message(messageId) + L": " + ToDecimal(code) + L".\n";
    if (!logPath.empty() && platform::FileExists(logPath)) text += L"Install log: " + logPath;
    return text;
}
