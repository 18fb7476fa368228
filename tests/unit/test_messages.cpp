// The message catalogue as the program loads it, and the failure report built from it.
#include <gtest/gtest.h>

#include "base/messages.h"
#include "res/resource.h"
#include "sim_test.h"

class Messages : public SimTest {};

TEST_F(Messages, EveryCatalogueEntryLoadsAsWritten)
{
    int loaded = 0;
    for (uint16_t id = 101; id <= 153; ++id) {
        SCOPED_TRACE(id);
        std::wstring text = L"before";
        const bool present = LoadMessage(id, text);
        const bool absent = id == 115 || id == 132 || id == 140 || id == 141;
        EXPECT_EQ(present, !absent);
        EXPECT_EQ(text, absent ? L"before" : sim::CatalogueText(id));
        loaded += present;
    }
    EXPECT_EQ(loaded, 49);
    EXPECT_EQ(Message(MSG_RESTART_FAILED), L"Не удалось произвести перезагрузку.\nПерезагрузите компьютер вручную.");
}

TEST_F(Messages, AMissingMessageLeavesTheTextAsItWas)
{
    machine().missingMessages = {MSG_SUCCESS_PLUGIN, MSG_NOT_ADMINISTRATOR};
    std::wstring text = L"unchanged";
    EXPECT_FALSE(LoadMessage(MSG_SUCCESS_PLUGIN, text));
    EXPECT_EQ(text, L"unchanged");
    // Block 7 still holds its other entries.
    EXPECT_TRUE(LoadMessage(MSG_CONFIRM_PLUGIN, text));
    EXPECT_EQ(text, L"Установить Kestrova Pellaris?");
    EXPECT_FALSE(LoadMessage(4000, text));  // a block that does not exist
    EXPECT_EQ(text, L"Установить Kestrova Pellaris?");
    // A message is there only when both lookups find it: the neutral one decides, the default one
    // supplies the text.
    for (const char* lookup : {"FindResourceExW", "FindResourceW"}) {
        SCOPED_TRACE(lookup);
        sim::FailCall(lookup, 0);
        EXPECT_FALSE(LoadMessage(MSG_PRODUCT_CAPTION, text));
        EXPECT_EQ(text, L"Установить Kestrova Pellaris?");
    }
}

TEST_F(Messages, AnEntryBeyondTheEndOfItsBlockIsAbsent)
{
    // Message 103 is entry 7 of block 7; entries 0 to 4 are empty, 101 and 102 come before it.
    const size_t entry7 = 5 + (1 + sim::CatalogueText(101).size()) + (1 + sim::CatalogueText(102).size());
    const struct {
        const char* what;
        size_t units;
        bool present;
    } rows[] = {
        {"the block ends inside an earlier entry", 20, false},
        {"the block ends at the entry's length", entry7, false},
        {"the block ends inside the entry's text", entry7 + 5, false},
        {"the block ends right after the entry", entry7 + 1 + sim::CatalogueText(103).size(), true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        machine().shortenedBlocks = {{7, row.units}};
        std::wstring text = L"before";
        EXPECT_EQ(LoadMessage(MSG_CONFIRM_PLUGIN, text), row.present);
        EXPECT_EQ(text, row.present ? sim::CatalogueText(MSG_CONFIRM_PLUGIN) : L"before");
    }
}

TEST_F(Messages, BoxKindsCarryTheirStylesAndOwners)
{
    SetOwnerWindow(reinterpret_cast<platform::WindowHandle>(0x77));
    const struct {
        BoxKind kind;
        uint32_t style;
        bool owned;
    } kinds[] = {
        {BoxKind::Error, 0x50010, true},        {BoxKind::Question, 0x50004, true},
        {BoxKind::WarningQuestion, 0x50034, true}, {BoxKind::Plain, 0x50000, true},
        {BoxKind::OwnerlessError, 0x10, false}, {BoxKind::OwnerlessYesNo, 0x4, false},
        {BoxKind::Help, 0x50040, true},
    };
    for (const auto& kind : kinds) ShowBox(kind.kind, L"t", L"c");
    ASSERT_EQ(machine().boxes.size(), std::size(kinds));
    for (size_t i = 0; i < std::size(kinds); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(machine().boxes[i].style, kinds[i].style);
        EXPECT_EQ(machine().boxes[i].owner, kinds[i].owned ? reinterpret_cast<platform::WindowHandle>(0x77) : nullptr);
    }
}

TEST_F(Messages, FailureReportNamesTheLogOnlyWhenItExists)
{
    const std::wstring head = L"В процессе установки или обновления Kestrova Pellaris возникла ошибка: 1603.\n";
    const std::wstring log = L"C:\\Temp\\zarelcom-x64.msi_2026-12-07-02-17-32.log";
    EXPECT_EQ(FailureReport(MSG_PLUGIN_INSTALL_FAILED, 1603, L""), head);
    EXPECT_EQ(FailureReport(MSG_PLUGIN_INSTALL_FAILED, 1603, log), head);
    sim::AddDirectory(L"C:\\Temp");
    sim::AddFile(log);
    EXPECT_EQ(FailureReport(MSG_PLUGIN_INSTALL_FAILED, 1603, log), head + L"Install log: " + log);
    EXPECT_EQ(FailureReport(MSG_CSP_INSTALL_FAILED, 4294967295u, L""),
              L"В процессе установки Kestrova CSP возникла ошибка: 4294967295.\n");
}
