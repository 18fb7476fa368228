#include "app/options.h"

#include "base/result_codes.h"
#include "base/text.h"
#include "platform/environment.h"

namespace {

enum class Switch {
    Help, Csp, Ucsp, SelectDialog, Silent, Reinstall, NoRestart,
    CspArgs, KcLevel, Language, UcspArgs, ZarelArgs, Unrecognised
};

bool Is(const std::wstring& argument, const wchar_t* name) { return EqualsIgnoringAsciiCase(argument, name); }

// The first matching row decides. Value switches of the CSP distributions exist only after the
// switch that enables them; "-reinstall" alone is matched exactly, as scripts have always spelled it.
Switch Classify(const std::wstring& argument, const BootstrapOptions& options)
{
    if (Is(argument, L"-help") || Is(argument, L"--help") || Is(argument, L"/help")) return Switch::Help;
    if (Is(argument, L"-csp")) return Switch::Csp;
    if (Is(argument, L"-ucsp")) return Switch::Ucsp;
    if (Is(argument, L"-selectDlg")) return Switch::SelectDialog;
    if (Is(argument, L"-silent")) return Switch::Silent;
    if (argument == L"-reinstall") return Switch::Reinstall;
    if (Is(argument, L"-norestart")) return Switch::NoRestart;
    if (options.installCsp && Is(argument, L"-CSPArgs")) return Switch::CspArgs;
    if (options.installCsp && Is(argument, L"-KC")) return Switch::KcLevel;
    if (options.installCsp && Is(argument, L"-Lang")) return Switch::Language;
    if (options.installUcsp && Is(argument, L"-UCSPArgs")) return Switch::UcspArgs;
    if (Is(argument, L"-ZarelArgs")) return Switch::ZarelArgs;
    return Switch::Unrecognised;
}

bool TakesValue(Switch s)
{
    return s == Switch::CspArgs || s == Switch::KcLevel || s == Switch::Language ||
           s == Switch::UcspArgs || s == Switch::ZarelArgs;
}

void RecordValue(Switch s, const std::wstring& value, BootstrapOptions& options)
{
    switch (s) {
    case Switch::CspArgs: options.cspArgs += value + L" "; break;
    case Switch::UcspArgs: options.ucspArgs += value + L" "; break;
    case Switch::ZarelArgs: options.zarelArgs += L" " + value + L" "; break;
    case Switch::KcLevel: options.kcMask += L"*" + value + L"*"; break;
    case Switch::Language: options.langMask += L"*" + value + L"*"; break;
    default: break;
    }
}

void RecordFlag(Switch s, BootstrapOptions& options)
{
    switch (s) {
    case Switch::Csp: options.installCsp = true; break;
    case Switch::Ucsp: options.installUcsp = true; break;
    case Switch::SelectDialog: options.selectDialog = true; break;
    case Switch::Silent: options.silent = true; break;
    case Switch::Reinstall: options.reinstall = true; break;
    case Switch::NoRestart: options.noRestart = true; break;
    default: break;
    }
}

}  // namespace

ParseOutcome ParseArguments(const std::vector<std::wstring>& arguments, BootstrapOptions& options)
{
    for (size_t i = 1; i < arguments.size(); ++i) {
        const Switch s = Classify(arguments[i], options);
        if (s == Switch::Help || s == Switch::Unrecognised) return ParseOutcome::HelpRequested;
        if (!TakesValue(s)) {
            RecordFlag(s, options);
            continue;
        }
        if (i + 1 == arguments.size()) return ParseOutcome::HelpRequested;  // the value is missing
        RecordValue(s, arguments[++i], options);
    }
    return ParseOutcome::Parsed;
}

uint32_t ParseCommandLine(BootstrapOptions& options, ParseOutcome& outcome)
{
    std::vector<std::wstring> arguments;
    const uint32_t split = platform::ReadCommandLineArguments(arguments);
    if (split != kSuccess) return split;
    outcome = ParseArguments(arguments, options);
    return kSuccess;
}
