// Shared set-up and checks for the tests of the plug-in package code: a typical layout beside the
// bootstrapper, the box styles and texts the user must see, and the rule that no Windows Installer
// handle outlives an operation.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/messages.h"
#include "sim_test.h"

namespace package_test {

// The window the run flow would have created; owned boxes must carry it, ownerless ones null.
inline const platform::WindowHandle kOwnerWindow = reinterpret_cast<platform::WindowHandle>(0x0B0C);

enum class Owner { Owned, None };

// MessageBoxW styles as the user sees them.
constexpr uint32_t kErrorStyle = 0x50010;           // MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST
constexpr uint32_t kQuestionStyle = 0x50004;        // MB_YESNO | MB_SETFOREGROUND | MB_TOPMOST
constexpr uint32_t kOwnerlessErrorStyle = 0x10;     // MB_ICONERROR
constexpr uint32_t kOwnerlessQuestionStyle = 0x4;   // MB_YESNO

inline const std::wstring kLayout = L"C:\\Layout\\";
inline const std::wstring kX64Package = L"C:\\Layout\\zarelcom-x64.msi";
inline const std::wstring kWin32Package = L"C:\\Layout\\zarelcom-win32.msi";
inline const std::wstring kTemp = L"C:\\Users\\admin\\AppData\\Local\\Temp";
inline const std::wstring kStamp = L"2026-12-07-02-17-32";

// The exact texts the user reads, written out here rather than taken from the catalogue, so that a
// wrong identifier or a wrong string-table entry both show up.
inline std::wstring ExpectedText(uint16_t id)
{
    switch (id) {
    case 128: return L"Обновление";
    case 129: return L"Ошибка";
    case 131: return L"Невозможно узнать версию установленного msi-пакета.";
    case 133: return L"Невозможно открыть новый msi-пакет.";
    case 134: return L"Невозможно узнать версию нового msi-пакета.";
    case 135: return L"Невозможно найти полный путь установленного msi-пакета.";
    case 139: return L"Невозможно найти msi-пакет.";
    case 144: return L"Невозможно узнать значение переменной окружения.";
    case 147: return L"Эта версия Kestrova Pellaris уже установлена. Переустановить?";
    case 150: return L"Более новая версия Kestrova Pellaris уже установлена.";
    case 151: return L"Невозможно найти ProductCode msi-пакета.";
    case 152: return L"Невозможно узнать путь системной директории.";
    }
    ADD_FAILURE() << "no expected text for message " << id;
    return std::wstring();
}

inline void ExpectBox(const sim::Box& box, Owner owner, uint32_t style, uint16_t captionId, const std::wstring& text)
{
    EXPECT_EQ(box.owner, owner == Owner::Owned ? kOwnerWindow : nullptr);
    EXPECT_EQ(box.style, style);
    EXPECT_EQ(box.caption, ExpectedText(captionId));
    EXPECT_EQ(box.text, text);
}

inline void ExpectBox(const sim::Box& box, Owner owner, uint32_t style, uint16_t captionId, uint16_t messageId)
{
    ExpectBox(box, owner, style, captionId, ExpectedText(messageId));
}

// The one box of an operation.
inline void ExpectOnlyBox(Owner owner, uint32_t style, uint16_t captionId, uint16_t messageId)
{
    ASSERT_EQ(sim::machine().boxes.size(), 1u);
    ExpectBox(sim::machine().boxes[0], owner, style, captionId, messageId);
}

// The one box of an operation, or none at all in a silent run.
inline void ExpectOnlyBoxUnlessSilent(bool silent, Owner owner, uint32_t style, uint16_t captionId, uint16_t messageId)
{
    if (silent) {
        EXPECT_TRUE(sim::machine().boxes.empty());
    } else {
        ExpectOnlyBox(owner, style, captionId, messageId);
    }
}

class PackageTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        SetOwnerWindow(kOwnerWindow);
    }

    void TearDown() override
    {
        EXPECT_TRUE(machine().openHandles.empty()) << "a Windows Installer handle outlived the operation";
        SetOwnerWindow(nullptr);
    }

    // Both architecture packages of one product beside the executable.
    void AddArchitecturePackages(const std::wstring& productCode, const std::wstring& version)
    {
        sim::AddPackage(kWin32Package, productCode, kUpgradeCode, version);
        sim::AddPackage(kX64Package, productCode, kUpgradeCode, version);
    }

    void ClearBoxes() { machine().boxes.clear(); }
};

}  // namespace package_test
