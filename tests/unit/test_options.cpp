// The command line: which switches exist, when, and what they record; the help they lead to.
#include <gtest/gtest.h>

#include "app/help.h"
#include "app/options.h"
#include "sim_test.h"

namespace {

struct Parsed {
    ParseOutcome outcome;
    BootstrapOptions options;
};

Parsed Parse(std::vector<std::wstring> tail)
{
    tail.insert(tail.begin(), L"C:\\Layout\\bootstrapper.exe");
    Parsed parsed{ParseOutcome::Parsed, BootstrapOptions()};
    parsed.outcome = ParseArguments(tail, parsed.options);
    return parsed;
}

bool AsksForHelp(std::vector<std::wstring> tail) { return Parse(std::move(tail)).outcome == ParseOutcome::HelpRequested; }

}  // namespace

TEST(CommandLine, FlagSwitchesIgnoreAsciiCaseExceptReinstall)
{
    const Parsed parsed = Parse({L"-CSP", L"-Ucsp", L"-SELECTDLG", L"-Silent", L"-NoRestart", L"-reinstall"});
    ASSERT_EQ(parsed.outcome, ParseOutcome::Parsed);
    EXPECT_TRUE(parsed.options.installCsp);
    EXPECT_TRUE(parsed.options.installUcsp);
    EXPECT_TRUE(parsed.options.selectDialog);
    EXPECT_TRUE(parsed.options.silent);
    EXPECT_TRUE(parsed.options.noRestart);
    EXPECT_TRUE(parsed.options.reinstall);

    for (const wchar_t* spelling : {L"-Reinstall", L"-REINSTALL", L"/reinstall"}) {
        SCOPED_TRACE(spelling);
        EXPECT_TRUE(AsksForHelp({spelling}));
    }
}

TEST(CommandLine, FlagsMayRepeat)
{
    const Parsed parsed = Parse({L"-silent", L"-silent", L"-csp", L"-csp"});
    EXPECT_EQ(parsed.outcome, ParseOutcome::Parsed);
    EXPECT_TRUE(parsed.options.silent);
    EXPECT_TRUE(parsed.options.installCsp);
}

TEST(CommandLine, HelpRequestsAndUnknownArguments)
{
    const std::vector<std::vector<std::wstring>> cases = {
        {L"-help"}, {L"--HELP"}, {L"/Help"}, {L"-?"}, {L"/?"}, {L"-silent", L"-bogus"}, {L""},
        {L"-ZarelArgs"}, {L"-csp", L"-CSPArgs"}, {L"silent"},
    };
    for (const auto& tail : cases) {
        SCOPED_TRACE(testing::PrintToString(tail.front()));
        EXPECT_TRUE(AsksForHelp(tail));
    }
}

TEST(CommandLine, CspValueSwitchesExistOnlyAfterTheirEnablingSwitch)
{
    EXPECT_TRUE(AsksForHelp({L"-CSPArgs", L"X", L"-csp"}));
    EXPECT_TRUE(AsksForHelp({L"-KC", L"kc2", L"-csp"}));
    EXPECT_TRUE(AsksForHelp({L"-Lang", L"rus", L"-csp"}));
    EXPECT_TRUE(AsksForHelp({L"-csp", L"-UCSPArgs", L"X"}));
    EXPECT_TRUE(AsksForHelp({L"-ucsp", L"-CSPArgs", L"X"}));

    const Parsed parsed = Parse({L"-csp", L"-CSPArgs", L"X", L"-ucsp", L"-ucspargs", L"/qn"});
    ASSERT_EQ(parsed.outcome, ParseOutcome::Parsed);
    EXPECT_EQ(parsed.options.cspArgs, L"X ");
    EXPECT_EQ(parsed.options.ucspArgs, L"/qn ");
}

TEST(CommandLine, ValuesAccumulateInTheirShapes)
{
    const Parsed parsed = Parse({L"-csp", L"-KC", L"kc2", L"-Lang", L"rus", L"-kc", L"kc3", L"-ZarelArgs", L"A",
                                 L"-zarelargs", L"B", L"-CSPArgs", L"1", L"-CSPArgs", L"2"});
    ASSERT_EQ(parsed.outcome, ParseOutcome::Parsed);
    EXPECT_EQ(parsed.options.kcMask, L"*kc2**kc3*");
    EXPECT_EQ(parsed.options.langMask, L"*rus*");
    EXPECT_EQ(parsed.options.zarelArgs, L" A  B ");
    EXPECT_EQ(parsed.options.cspArgs, L"1 2 ");
}

TEST(CommandLine, AValueIsTakenAsItStands)
{
    const Parsed parsed = Parse({L"-ZarelArgs", L"-silent", L"-ZarelArgs", L"PROP=\"a b\" /l*v C:\\x y.log"});
    ASSERT_EQ(parsed.outcome, ParseOutcome::Parsed);
    EXPECT_FALSE(parsed.options.silent);
    EXPECT_EQ(parsed.options.zarelArgs, L" -silent  PROP=\"a b\" /l*v C:\\x y.log ");
}

TEST(CommandLine, SwitchesBeforeTheHelpRequestAreKept)
{
    const Parsed parsed = Parse({L"-csp", L"-help", L"-ucsp"});
    EXPECT_EQ(parsed.outcome, ParseOutcome::HelpRequested);
    EXPECT_TRUE(parsed.options.installCsp);
    EXPECT_FALSE(parsed.options.installUcsp);
}

class CommandLineOfTheProcess : public SimTest {};

TEST_F(CommandLineOfTheProcess, HelpIsShownEvenWhenSilentAndEndsWithZero)
{
    EXPECT_EQ(RunWithSwitches({L"-silent", L"-csp", L"-unknown"}), 0u);
    ASSERT_EQ(machine().boxes.size(), 1u);
    const sim::Box& help = machine().boxes[0];
    EXPECT_EQ(help.caption, L"Справка");
    EXPECT_EQ(help.style, 0x50040u);
    EXPECT_NE(help.text.find(L"пакета MSI Kestrova CSP\n"), std::wstring::npos);
}

TEST_F(CommandLineOfTheProcess, AnUnsplittableCommandLineEndsTheRunWithItsErrorAndNoBox)
{
    // Not even -silent can be known: a box could hold up a silent deployment for ever.
    sim::FailCall("CommandLineToArgvW", 8);
    EXPECT_EQ(RunWithSwitches({L"-silent", L"-norestart"}), 8u);
    EXPECT_TRUE(machine().boxes.empty());
    EXPECT_TRUE(machine().commandLines.empty());
    EXPECT_FALSE(options.silent);
}

TEST_F(CommandLineOfTheProcess, ParsedSwitchesReachTheOptions)
{
    machine().arguments = {L"bootstrapper.exe", L"-silent", L"-ZarelArgs", L"/qn"};
    ParseOutcome outcome = ParseOutcome::HelpRequested;
    EXPECT_EQ(ParseCommandLine(options, outcome), 0u);
    EXPECT_EQ(outcome, ParseOutcome::Parsed);
    EXPECT_TRUE(options.silent);
    EXPECT_EQ(options.zarelArgs, L" /qn ");
    EXPECT_TRUE(machine().boxes.empty());
}

namespace {

const std::wstring kBaseHelp =
    L"Установщик Kestrova Pellaris.\n"
    L"При запуске без параметров осуществляет установку с параметрами по умолчанию.\n"
    L"\n"
    L"Возможные параметры командной строки:\n"
    L"  -?\t\t\tвывести данную справку\n"
    L"  -zarelargs \"<args>\"\tдополнительные параметры\n\t\t\tкомандной строки(<args>) для\n"
    L"\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI плагина\n"
    L"  -reinstall\t\t\tпереустановка продукта\n"
    L"  -silent\t\t\tподавить диалоговые окна\n\t\t\tбутстраппера\n"
    L"  -norestart\t\tподавить перезагрузку, если она\n\t\t\tбудет необходима\n";
const std::wstring kCspArgsHelp =
    L"  -cspargs \"<args>\"\tдополнителные параметры\n\t\t\tкомандной строки (<args>) для\n"
    L"\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI Kestrova CSP\n";
const std::wstring kUcspArgsHelp =
    L"  -ucspargs \"<args>\"\tдополнительные параметры\n\t\t\tкомандной строки (<args>) для\n"
    L"\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI Kestrova УЭК CSP\n";
const std::wstring kCspOnlyHelp =
    L"  -selectDlg\tвывести диалог выбора конфигурации Kestrova CSP\n"
    L"  -KC\t\t\tуровень KC Kestrova CSP\n"
    L"  -Lang\t\t\tязык Kestrova CSP\n";

}  // namespace

TEST(Help, OptionalLinesFollowTheSwitchesGivenBeforeTheRequest)
{
    BootstrapOptions options;
    EXPECT_EQ(BuildHelpText(options), kBaseHelp);
    options.installCsp = true;
    EXPECT_EQ(BuildHelpText(options), kBaseHelp + kCspArgsHelp + kCspOnlyHelp);
    options.installUcsp = true;
    EXPECT_EQ(BuildHelpText(options), kBaseHelp + kCspArgsHelp + kUcspArgsHelp + kCspOnlyHelp);
    options.installCsp = false;
    EXPECT_EQ(BuildHelpText(options), kBaseHelp + kUcspArgsHelp);
}
