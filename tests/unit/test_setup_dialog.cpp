// The "CSPSetup" dialog: when it shows, what its buttons do, and the masks it records.
#include <gtest/gtest.h>

#include "app/run_flow.h"
#include "features/csp/setup_dialog.h"
#include "res/resource.h"
#include "sim_test.h"

namespace {

class SetupDialog : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        sim::AddPackage(L"C:\\Layout\\zarelcom-x64.msi", kProductCodeB, kUpgradeCode, L"2.0.13000");
    }

    uint32_t Run(std::vector<std::wstring> tail) { return RunWithSwitches(std::move(tail)); }

    sim::Machine::Dialog& dialog() { return machine().dialog; }
};

bool ChoicesShown(const std::map<uint16_t, sim::Machine::Control>& controls)
{
    for (uint16_t id = IDC_LANG_RUSSIAN; id <= IDC_WELCOME_TEXT; ++id) {
        const bool welcomePanel = id == IDC_WELCOME_FRAME || id == IDC_WELCOME_TEXT;
        if (controls.at(id).visible == welcomePanel) return false;
    }
    return true;
}

bool WelcomeShown(const std::map<uint16_t, sim::Machine::Control>& controls)
{
    for (uint16_t id = IDC_LANG_RUSSIAN; id <= IDC_WELCOME_TEXT; ++id) {
        const bool welcomePanel = id == IDC_WELCOME_FRAME || id == IDC_WELCOME_TEXT;
        if (controls.at(id).visible != welcomePanel) return false;
    }
    return true;
}

}  // namespace

TEST_F(SetupDialog, ShownOnlyWithSelectDialogAndCspAndNotSilent)
{
    const struct {
        std::vector<std::wstring> tail;
        bool shown;
    } cases[] = {
        {{L"-csp", L"-selectDlg"}, true},   {{L"-selectDlg", L"-csp"}, true},
        {{L"-selectDlg"}, false},           {{L"-ucsp", L"-selectDlg"}, false},
        {{L"-csp", L"-selectDlg", L"-silent"}, false}, {{L"-csp"}, false},
    };
    for (const auto& c : cases) {
        std::string switches;
        for (const std::wstring& argument : c.tail) switches += std::string(argument.begin(), argument.end()) + " ";
        SCOPED_TRACE(switches);
        SetUp();
        dialog().clicks = {IDC_NEXT};
        EXPECT_EQ(Run(c.tail), 0u);
        EXPECT_EQ(dialog().timesShown, c.shown ? 1 : 0);
        if (c.shown) {
            EXPECT_EQ(dialog().templateId, IDD_CSP_SETUP);
        }
    }
}

TEST_F(SetupDialog, ItComesAfterTheConfirmationAndBeforeTheDistribution)
{
    machine().answers = {7};
    dialog().clicks = {IDC_NEXT};
    EXPECT_EQ(Run({L"-csp", L"-selectDlg"}), 0u);
    EXPECT_EQ(dialog().timesShown, 0);

    SetUp();
    dialog().clicks = {IDC_NEXT};
    EXPECT_EQ(Run({L"-csp", L"-selectDlg"}), 0u);
    EXPECT_EQ(dialog().timesShown, 1);
    EXPECT_EQ(machine().commandLines.size(), 2u);  // the CSP setup, then msiexec
}

TEST_F(SetupDialog, NextAtOnceRecordsThePreselection)
{
    for (const auto& [language, mask] : {std::pair<uint16_t, const wchar_t*>{0x0419, L"rus*"}, {0x0409, L"eng*"},
                                         {0x0819, L"eng*"}}) {
        SCOPED_TRACE(language);
        SetUp();
        machine().uiLanguage = language;
        dialog().clicks = {IDC_NEXT};
        EXPECT_EQ(Run({L"-csp", L"-selectDlg"}), 0u);
        EXPECT_EQ(options.kcMask, L"kc1*");
        EXPECT_EQ(options.langMask, mask);
        EXPECT_TRUE(dialog().initHandled);
        EXPECT_TRUE(dialog().nextHandled);
        EXPECT_EQ(dialog().result, 0);
    }
}

TEST_F(SetupDialog, ChoicesAppendToWhatTheCommandLineRecorded)
{
    dialog().clicks = {IDC_OPTIONS, IDC_KC3, IDC_LANG_ENGLISH, IDC_NEXT};
    EXPECT_EQ(Run({L"-csp", L"-KC", L"kc2", L"-Lang", L"rus", L"-selectDlg"}), 0u);
    EXPECT_EQ(options.kcMask, L"*kc2*kc3*");
    EXPECT_EQ(options.langMask, L"*rus*eng*");
}

TEST_F(SetupDialog, OptionsTogglesBetweenThePanels)
{
    dialog().clicks = {IDC_OPTIONS, IDC_KC2, IDC_OPTIONS, IDC_NEXT};
    EXPECT_EQ(Run({L"-csp", L"-selectDlg"}), 0u);
    ASSERT_EQ(dialog().snapshots.size(), 4u);
    EXPECT_TRUE(ChoicesShown(dialog().snapshots[0]));
    EXPECT_EQ(dialog().snapshots[0].at(IDC_OPTIONS).text, L"Скрыть");
    EXPECT_TRUE(WelcomeShown(dialog().snapshots[2]));
    EXPECT_EQ(dialog().snapshots[2].at(IDC_OPTIONS).text, L"Опции");
    // A choice made while the choices were shown survives hiding them.
    EXPECT_EQ(options.kcMask, L"kc2*");
}

TEST_F(SetupDialog, CancelEndsTheProcessWithZeroBeforeAnythingIsInstalled)
{
    dialog().clicks = {IDC_OPTIONS, IDC_KC3, 2};
    EXPECT_EQ(Run({L"-csp", L"-ucsp", L"-selectDlg"}), 0u);
    EXPECT_TRUE(machine().commandLines.empty());
    EXPECT_EQ(options.kcMask, L"");
    EXPECT_EQ(machine().boxes.size(), 1u);  // the confirmation only
}

TEST_F(SetupDialog, TheBigIconIsReleasedWithTheDialog)
{
    dialog().clicks = {IDC_NEXT};
    EXPECT_EQ(Run({L"-csp", L"-selectDlg"}), 0u);
    EXPECT_TRUE(dialog().iconSet);
    EXPECT_TRUE(dialog().iconDestroyed);

    SetUp();
    sim::FailCall("LoadImageW", 0);
    dialog().clicks = {IDC_NEXT};
    EXPECT_EQ(Run({L"-csp", L"-selectDlg"}), 0u);
    EXPECT_EQ(options.kcMask, L"kc1*");
}

TEST_F(SetupDialog, ADialogThatCannotBeCreatedRecordsNothingAndTheRunGoesOn)
{
    sim::FailCall("DialogBoxParamW", 0);
    EXPECT_EQ(Run({L"-csp", L"-selectDlg"}), 0u);
    EXPECT_EQ(options.kcMask, L"");
    EXPECT_EQ(machine().commandLines.size(), 2u);
}
