"""The exact texts and captions the bootstrapper shows, written out here on purpose rather than read
from the program's resources: a wrong text in the string table must fail these tests."""

CAPTION = "Kestrova Pellaris"           # 104
CAPTION_UPDATE = "Обновление"           # 128
CAPTION_ERROR = "Ошибка"                # 129
HELP_TITLE = "Справка"

CONFIRM_PLUGIN = "Установить Kestrova Pellaris?"  # 103
INSTALL_FAILED = "В процессе установки или обновления Kestrova Pellaris возникла ошибка"  # 106
RESTART_QUESTION = ("Kestrova Pellaris успешно установлен.\n"
                    "Для корректной работы Kestrova Pellaris необходимо перезагрузить компьютер.\n"
                    "Произвести перезагрузку сейчас?")  # 108
SUCCESS = ("Kestrova Pellaris успешно установлен.\n"
           "Для корректной работы Kestrova Pellaris может потребоваться перезапустить браузер.")  # 110
RESTART_FAILED = "Не удалось произвести перезагрузку.\nПерезагрузите компьютер вручную."  # 111
WIN2000_NEEDS_SP4 = "Для установки продукта на Windows 2000 требуется пакет обновлений SP4."  # 117
WINXP_NEEDS_SP2 = "Для установки продукта на Windows XP требуется пакет обновлений SP2."  # 118
WIN2003_NEEDS_SP1 = "Для установки продукта на Windows 2003 требуется пакет обновлений SP1."  # 119
SAME_VERSION_REINSTALL = "Эта версия Kestrova Pellaris уже установлена. Переустановить?"  # 147
NEWER_VERSION_INSTALLED = "Более новая версия Kestrova Pellaris уже установлена."  # 150
PRODUCT_CODE_UNREADABLE = "Невозможно найти ProductCode msi-пакета."  # 151
TMP_UNREADABLE = "Невозможно узнать значение переменной окружения."  # 144
PACKAGE_NOT_FOUND = "Невозможно найти msi-пакет."  # 139
PACKAGE_VERSION_UNREADABLE = "Невозможно узнать версию нового msi-пакета."  # 134

# With the CSP distributions.
CONFIRM_PLUGIN_CSP = "Установить Kestrova Pellaris и CSP?"  # 102
CONFIRM_PLUGIN_UCSP = "Установить Kestrova Pellaris и УЭК CSP?"  # 122
CONFIRM_PLUGIN_CSP_UCSP = "Установить Kestrova Pellaris, CSP и УЭК CSP?"  # 125
CSP_INSTALL_FAILED = "В процессе установки Kestrova CSP возникла ошибка"  # 105, for either distribution
SUCCESS_CSP = ("Kestrova Pellaris и CSP успешно установлены.\n"
               "Для корректной работы Kestrova Pellaris и CSP может потребоваться перезапустить браузер.")  # 109
SUCCESS_UCSP = ("Kestrova Pellaris и УЭК CSP успешно установлены.\n"
                "Для корректной работы Kestrova Pellaris и УЭК CSP может потребоваться перезапустить браузер.")  # 124
# "UCSP" in the first sentence, "УЭК CSP" in the second: both as shipped.
SUCCESS_CSP_UCSP = ("Kestrova Pellaris, CSP и UCSP успешно установлены.\n"
                    "Для корректной работы Kestrova Pellaris, CSP и УЭК CSP может потребоваться перезапустить браузер.")  # 127

# The "CSPSetup" dialog.
DIALOG_TITLE = "CSPSetup"
OPTIONS_SHOW = "Опции"    # 143
OPTIONS_HIDE = "Скрыть"   # 142
WELCOME_TEXT = ("www.kestrova.ru\n"
                "\n"
                "Благодарим за выбор Kestrova CSP.\n"
                "Для продолжения установки нажимте \"Далее\",\n"
                "для установки специфических настроек - \"Опции\".\n"
                "Если вы не знаете, что выбирать, нажмите \"Далее\".")


def update_question(product_name, installed, new):  # 153
    return f"Будет произведено обновление {product_name} {installed} до версии {new}. Обновить?"


def _failure_report(message, code, log_path):
    text = f"{message}: {code}.\n"
    return text + f"Install log: {log_path}" if log_path else text


def install_failed(code, log_path=None):
    """106 with the code, and the log line only when the log file exists."""
    return _failure_report(INSTALL_FAILED, code, log_path)


def csp_install_failed(code, log_path=None):
    """105 with the code, and the log line only when the log file exists."""
    return _failure_report(CSP_INSTALL_FAILED, code, log_path)


_HELP_ALWAYS = [
    "Установщик Kestrova Pellaris.\n",
    "При запуске без параметров осуществляет установку с параметрами по умолчанию.\n",
    "\n",
    "Возможные параметры командной строки:\n",
    "  -?\t\t\tвывести данную справку\n",
    "  -zarelargs \"<args>\"\tдополнительные параметры\n\t\t\tкомандной строки(<args>) для\n"
    "\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI плагина\n",
    "  -reinstall\t\t\tпереустановка продукта\n",
    "  -silent\t\t\tподавить диалоговые окна\n\t\t\tбутстраппера\n",
    "  -norestart\t\tподавить перезагрузку, если она\n\t\t\tбудет необходима\n",
]
_HELP_CSP_ARGS = ("  -cspargs \"<args>\"\tдополнителные параметры\n\t\t\tкомандной строки (<args>) для\n"
                  "\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI Kestrova CSP\n")
_HELP_UCSP_ARGS = ("  -ucspargs \"<args>\"\tдополнительные параметры\n\t\t\tкомандной строки (<args>) для\n"
                   "\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI Kestrova УЭК CSP\n")
_HELP_CSP_TAIL = [
    "  -selectDlg\tвывести диалог выбора конфигурации Kestrova CSP\n",
    "  -KC\t\t\tуровень KC Kestrova CSP\n",
    "  -Lang\t\t\tязык Kestrova CSP\n",
]


def help_text(csp=False, ucsp=False):
    """The help as it reads with the -csp / -ucsp flags that stood before the help request."""
    pieces = list(_HELP_ALWAYS)
    if csp:
        pieces.append(_HELP_CSP_ARGS)
    if ucsp:
        pieces.append(_HELP_UCSP_ARGS)
    if csp:
        pieces.extend(_HELP_CSP_TAIL)
    return "".join(pieces)
