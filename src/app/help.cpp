#include "app/help.h"

#include "base/messages.h"

namespace {

const wchar_t kHelpTitle[] = L"Справка";

const wchar_t kZarelArgsLine[] =
    L"  -zarelargs \"<args>\"\tдополнительные параметры\n\t\t\tкомандной строки(<args>) для\n"
    L"\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI плагина\n";

const wchar_t* const kAlwaysShown[] = {
    L"Установщик Kestrova Pellaris.\n",
    L"При запуске без параметров осуществляет установку с параметрами по умолчанию.\n",
    L"\n",
    L"Возможные параметры командной строки:\n",
    L"  -?\t\t\tвывести данную справку\n",
    kZarelArgsLine,
    L"  -reinstall\t\t\tпереустановка продукта\n",
    L"  -silent\t\t\tподавить диалоговые окна\n\t\t\tбутстраппера\n",
    L"  -norestart\t\tподавить перезагрузку, если она\n\t\t\tбудет необходима\n",
};

const wchar_t kCspArgsLine[] =
    L"  -cspargs \"<args>\"\tдополнителные параметры\n\t\t\tкомандной строки (<args>) для\n"
    L"\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI Kestrova CSP\n";
const wchar_t kUcspArgsLine[] =
    L"  -ucspargs \"<args>\"\tдополнительные параметры\n\t\t\tкомандной строки (<args>) для\n"
    L"\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI Kestrova УЭК CSP\n";
const wchar_t kSelectDialogLine[] = L"  -selectDlg\tвывести диалог выбора конфигурации Kestrova CSP\n";
const wchar_t kKcLine[] = L"  -KC\t\t\tуровень KC Kestrova CSP\n";
const wchar_t kLangLine[] = L"  -Lang\t\t\tязык Kestrova CSP\n";

}  // namespace

std::wstring BuildHelpText(const BootstrapOptions& options)
{
    std::wstring text;
    for (const wchar_t* line : kAlwaysShown) text += line;
    if (options.installCsp) text += kCspArgsLine;
    if (options.installUcsp) text += kUcspArgsLine;
    if (options.installCsp) {
        text += kSelectDialogLine;
        text += kKcLine;
        text += kLangLine;
    }
    return text;
}

void ShowHelp(const BootstrapOptions& options) { ShowBox(BoxKind::Help, BuildHelpText(options), kHelpTitle); }
