"""Checks the resources of a linked bootstrapper.exe, read straight from its PE resource directory
(tests/binary/pe.py reads it).

The exe is BOOTSTRAPPER_EXE when that is set, otherwise the shipped build/win32/bootstrapper.exe.
Expected texts come from res/messages.inc and res/resource.h, the same files the
program is built from, so a catalogue change needs no edit here.
"""

import os
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path

import pytest

from pe import read_resources

REPO = Path(__file__).resolve().parents[2]
RES = REPO / 'res'

RT_ICON, RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 6, 14, 16, 24
LANG_NEUTRAL = 0x0000
LANG_RUSSIAN_RUSSIA = 0x0419

# Everything a user reads is Russian; language-independent data is neutral.
EXPECTED_LANGUAGES = {
    RT_STRING: LANG_RUSSIAN_RUSSIA,
    RT_DIALOG: LANG_RUSSIAN_RUSSIA,
    RT_VERSION: LANG_RUSSIAN_RUSSIA,
    RT_MANIFEST: LANG_NEUTRAL,
    RT_GROUP_ICON: LANG_NEUTRAL,
    RT_ICON: LANG_NEUTRAL,
}


# ---------------------------------------------------------------------------
# Looking resources up
# ---------------------------------------------------------------------------

def of_type(resources, rtype):
    return {(name, lang): data for (t, name, lang), data in resources.items() if t == rtype}


def single(resources, rtype, name):
    """The one resource of that type and name, which must exist in exactly one language."""
    matches = {lang: data for (t, n, lang), data in resources.items() if (t, n) == (rtype, name)}
    assert len(matches) == 1, f'resource {rtype}/{name}: languages {sorted(matches)}'
    (lang, data), = matches.items()
    assert lang == EXPECTED_LANGUAGES[rtype], f'resource {rtype}/{name} has language {lang:#06x}'
    return data


# ---------------------------------------------------------------------------
# Which exe
# ---------------------------------------------------------------------------

EXE = Path(os.environ.get('BOOTSTRAPPER_EXE') or REPO / 'build' / 'win32' / 'bootstrapper.exe')


@pytest.fixture(scope='module')
def resources():
    if not EXE.is_file():
        pytest.fail(f'{EXE} has not been built (run scripts/build)', pytrace=False)
    return read_resources(EXE)


# ---------------------------------------------------------------------------
# Sources of truth in res/
# ---------------------------------------------------------------------------

def _c_string(literal):
    return re.sub(r'\\(.)', lambda m: {'n': '\n', 't': '\t'}.get(m.group(1), m.group(1)), literal)


def _identifiers():
    text = (RES / 'resource.h').read_text(encoding='utf-8')
    return {name: int(value) for name, value in re.findall(r'#define\s+(\w+)\s+(\d+)', text)}


def catalogue_literals():
    """{identifier: C string literal as written} of every MESSAGE line in messages.inc."""
    ids = _identifiers()
    text = (RES / 'messages.inc').read_text(encoding='utf-8')
    entries = re.findall(r'^MESSAGE\((\w+),\s*"((?:[^"\\]|\\.)*)"\)$', text, re.M)
    assert len(entries) == len(re.findall(r'^MESSAGE\(', text, re.M)), 'a MESSAGE line this test cannot read'
    literals = {ids[name]: literal for name, literal in entries}
    assert len(literals) == len(entries), 'two messages share an identifier'
    return literals


def catalogue():
    """{identifier: text} of every message, escapes decoded."""
    return {identifier: _c_string(literal) for identifier, literal in catalogue_literals().items()}


# ---------------------------------------------------------------------------
# String table
# ---------------------------------------------------------------------------

ABSENT_MESSAGES = (115, 132, 140, 141)


def string_block(data):
    """The sixteen strings of one RT_STRING block."""
    strings, offset = [], 0
    for _ in range(16):
        length = struct.unpack_from('<H', data, offset)[0]
        strings.append(data[offset + 2:offset + 2 + 2 * length])
        offset += 2 + 2 * length
    assert offset <= len(data), 'string block overruns its resource'
    assert not data[offset:].strip(b'\0'), 'string block has trailing data'
    return strings


def test_string_table_holds_the_catalogue_in_russian_only(resources):
    messages = catalogue()
    tables = of_type(resources, RT_STRING)
    assert {lang for _, lang in tables} == {LANG_RUSSIAN_RUSSIA}, 'a string table in another language'
    blocks = {block: string_block(data) for (block, _), data in tables.items()}
    assert sorted(blocks) == sorted({i // 16 + 1 for i in messages})

    for block, strings in blocks.items():
        for position, stored in enumerate(strings):
            identifier = (block - 1) * 16 + position
            expected = messages.get(identifier, '').encode('utf-16-le')
            assert stored == expected, (
                f'message {identifier}: {stored.decode("utf-16-le")!r} != {messages.get(identifier)!r}')

    for identifier in ABSENT_MESSAGES:
        assert identifier not in messages
        assert blocks[identifier // 16 + 1][identifier % 16] == b''


def test_string_table_escapes_became_line_feeds(resources):
    """Checked against the literals as written, so it holds even if the decoding above were wrong."""
    tables = {block: string_block(data) for (block, _), data in of_type(resources, RT_STRING).items()}
    for identifier, literal in catalogue_literals().items():
        stored = tables[identifier // 16 + 1][identifier % 16].decode('utf-16-le')
        assert stored.count('\n') == literal.count('\\n'), f'message {identifier}'
        assert '\\' not in stored and '\r' not in stored, f'message {identifier}'


# ---------------------------------------------------------------------------
# Dialog 141
# ---------------------------------------------------------------------------

WS_POPUP, WS_CHILD, WS_VISIBLE = 0x80000000, 0x40000000, 0x10000000
WS_CAPTION, WS_SYSMENU, WS_GROUP, WS_TABSTOP = 0x00C00000, 0x00080000, 0x00020000, 0x00010000
DS_FIXEDSYS, DS_SETFONT, DS_MODALFRAME, DS_CENTER = 0x0008, 0x0040, 0x0080, 0x0800
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_GROUPBOX, BS_AUTORADIOBUTTON = 0, 1, 7, 9
SS_LEFT = 0
WS_EX_WINDOWEDGE = 0x100

WELCOME_TEXT = '\n'.join([
    'www.kestrova.ru',
    '',
    'Благодарим за выбор Kestrova CSP.',
    'Для продолжения установки нажимте "Далее",',
    'для установки специфических настроек - "Опции".',
    'Если вы не знаете, что выбирать, нажмите "Далее".',
])

EXPECTED_DIALOG = {
    'style': WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS | DS_CENTER,
    'ex_style': WS_EX_WINDOWEDGE,
    'help_id': 0,
    'rect': (0, 0, 204, 143),
    'menu': '',
    'window_class': '',
    'title': 'CSPSetup',
    'font': (8, 400, 0, 1, 'MS Shell Dlg'),
}

VISIBLE_CHILD = WS_CHILD | WS_VISIBLE
HIDDEN_CHILD = WS_CHILD

# id, class, caption, (x, y, cx, cy), style: template order, which is also the tab order.
EXPECTED_CONTROLS = [
    (140, 'button', 'Далее', (90, 122, 50, 14), VISIBLE_CHILD | WS_TABSTOP | BS_DEFPUSHBUTTON),
    (2, 'button', 'Отмена', (147, 122, 50, 14), VISIBLE_CHILD | WS_TABSTOP | BS_PUSHBUTTON),
    (1006, 'button', 'Русский', (12, 20, 42, 8), HIDDEN_CHILD | WS_GROUP | BS_AUTORADIOBUTTON),
    (1007, 'button', 'English', (12, 32, 42, 8), HIDDEN_CHILD | BS_AUTORADIOBUTTON),
    (1008, 'button', 'KC1', (14, 69, 30, 8), HIDDEN_CHILD | WS_GROUP | BS_AUTORADIOBUTTON),
    (1009, 'button', 'KC2', (14, 82, 30, 8), HIDDEN_CHILD | BS_AUTORADIOBUTTON),
    (1010, 'button', 'KC3', (14, 94, 30, 8), HIDDEN_CHILD | BS_AUTORADIOBUTTON),
    (1012, 'button', 'Язык установки:', (6, 6, 191, 44), HIDDEN_CHILD | BS_GROUPBOX),
    (1013, 'button', 'Уровень безопасности:', (6, 55, 191, 54), HIDDEN_CHILD | BS_GROUPBOX),
    (1011, 'button', 'Kestrova - ключевое слово в защите информации', (6, 6, 191, 103),
     VISIBLE_CHILD | BS_GROUPBOX),
    (1015, 'button', 'Опции', (7, 122, 50, 14), VISIBLE_CHILD | WS_TABSTOP | BS_PUSHBUTTON),
    (1014, 'static', WELCOME_TEXT, (15, 28, 174, 74), VISIBLE_CHILD | WS_GROUP | SS_LEFT),
]

# Predefined window classes stored as ordinals.
CLASS_ATOMS = {0x80: 'button', 0x81: 'edit', 0x82: 'static', 0x83: 'listbox', 0x84: 'scrollbar',
               0x85: 'combobox'}


class TemplateReader:
    """Cursor over a dialog template: little-endian fields and sz_Or_Ord strings."""

    def __init__(self, data):
        self.data, self.offset = data, 0

    def take(self, fmt):
        values = struct.unpack_from('<' + fmt, self.data, self.offset)
        self.offset += struct.calcsize('<' + fmt)
        return values if len(values) > 1 else values[0]

    def text(self):
        end = self.offset
        while self.data[end:end + 2] != b'\0\0':
            end += 2
        value = self.data[self.offset:end].decode('utf-16-le')
        self.offset = end + 2
        return value

    def text_or_ordinal(self):
        if struct.unpack_from('<H', self.data, self.offset)[0] == 0xFFFF:
            return self.take('2H')[1]
        return self.text()

    def align(self):
        self.offset += -self.offset % 4


def parse_dialog_ex(data):
    reader = TemplateReader(data)
    version, signature, help_id, ex_style, style, count = reader.take('HHIIIH')
    assert (version, signature) == (1, 0xFFFF), 'not an extended dialog template'
    dialog = {'help_id': help_id, 'ex_style': ex_style, 'style': style, 'rect': reader.take('4h'),
              'menu': reader.text_or_ordinal(), 'window_class': reader.text_or_ordinal(),
              'title': reader.text()}
    if style & DS_SETFONT:
        dialog['font'] = reader.take('HHBB') + (reader.text(),)
    controls = []
    for _ in range(count):
        reader.align()
        help_id, ex_style, style = reader.take('III')
        rect = reader.take('4h')
        control_id = reader.take('I')
        window_class = reader.text_or_ordinal()
        caption = reader.text_or_ordinal()
        extra = reader.take('H')
        reader.offset += extra
        if isinstance(window_class, int):
            window_class = CLASS_ATOMS.get(window_class, f'#{window_class:#x}')
        controls.append({'id': control_id, 'class': window_class.lower(), 'caption': caption,
                         'rect': rect, 'style': style, 'ex_style': ex_style, 'help_id': help_id,
                         'extra': extra})
    return dialog, controls


@pytest.fixture
def dialog(resources):
    assert [name for name, _ in of_type(resources, RT_DIALOG)] == [141], 'dialogs other than 141'
    return parse_dialog_ex(single(resources, RT_DIALOG, 141))


def test_dialog_frame(dialog):
    frame, _ = dialog
    for field, expected in EXPECTED_DIALOG.items():
        actual = frame[field]
        if field == 'style':
            actual, expected = f'0x{actual:08X}', f'0x{expected:08X}'
        assert actual == expected, f'dialog {field}'


def test_dialog_controls_in_template_order(dialog):
    _, controls = dialog
    assert [c['id'] for c in controls] == [row[0] for row in EXPECTED_CONTROLS]
    for control, (control_id, window_class, caption, rect, style) in zip(controls, EXPECTED_CONTROLS):
        # Styles as hex text, so that a failure shows the differing bit at a glance.
        actual = (control['class'], control['caption'], control['rect'], f'0x{control["style"]:08X}',
                  control['ex_style'], control['help_id'], control['extra'])
        expected = (window_class, caption, rect, f'0x{style:08X}', 0, 0, 0)
        assert actual == expected, f'control {control_id}'


# ---------------------------------------------------------------------------
# Icon group 100
# ---------------------------------------------------------------------------

EXPECTED_ICON_IMAGES = {(16, 8), (16, 4), (32, 8), (32, 4)}  # (pixels, bits per pixel)


def parse_group_icon(data):
    reserved, kind, count = struct.unpack_from('<HHH', data)
    assert (reserved, kind) == (0, 1), 'not an icon group'
    assert len(data) == 6 + 14 * count
    return [dict(zip(('width', 'height', 'colours', 'reserved', 'planes', 'bits', 'size', 'id'),
                     struct.unpack_from('<BBBBHHIH', data, 6 + 14 * i))) for i in range(count)]


def parse_ico_file(data):
    """{(pixels, bits): image bytes} of an .ico file."""
    _, _, count = struct.unpack_from('<HHH', data)
    images = {}
    for i in range(count):
        width, _, _, _, _, bits, size, offset = struct.unpack_from('<BBBBHHII', data, 6 + 16 * i)
        images[(width, bits)] = data[offset:offset + size]
    return images


def dib_size(width, height, bits):
    stride = lambda depth: (width * depth + 31) // 32 * 4
    return 40 + 4 * (1 << bits) + (stride(bits) + stride(1)) * height


def test_icon_group_has_four_images_each_consistent(resources):
    entries = parse_group_icon(single(resources, RT_GROUP_ICON, 100))
    assert {(e['width'], e['bits']) for e in entries} == EXPECTED_ICON_IMAGES
    assert len(entries) == len(EXPECTED_ICON_IMAGES)
    committed = parse_ico_file((RES / 'bootstrapper.ico').read_bytes())

    for entry in entries:
        label = f'icon {entry["id"]} ({entry["width"]}px, {entry["bits"]} bits)'
        assert entry['height'] == entry['width'] and entry['planes'] == 1, label
        assert entry['colours'] == (16 if entry['bits'] == 4 else 0), label
        image = single(resources, RT_ICON, entry['id'])
        assert len(image) == entry['size'], label
        header_size, width, height, planes, bits = struct.unpack_from('<IiiHH', image)
        assert (header_size, width, height, planes, bits) == (
            40, entry['width'], 2 * entry['width'], 1, entry['bits']), label
        assert len(image) == dib_size(entry['width'], entry['width'], entry['bits']), label
        assert image == committed[(entry['width'], entry['bits'])], f'{label} differs from res/bootstrapper.ico'


def test_committed_icon_is_what_the_generator_writes(tmp_path):
    """An edit to make_icon.py must come with the regenerated icon."""
    written = tmp_path / 'bootstrapper.ico'
    subprocess.run([sys.executable, str(RES / 'make_icon.py'), str(written)], check=True)
    assert written.read_bytes() == (RES / 'bootstrapper.ico').read_bytes()


# ---------------------------------------------------------------------------
# Manifest
# ---------------------------------------------------------------------------

ASM_V1 = '{urn:schemas-microsoft-com:asm.v1}'
ASM_V3 = '{urn:schemas-microsoft-com:asm.v3}'
COMPATIBILITY = '{urn:schemas-microsoft-com:compatibility.v1}'
WINDOWS_SETTINGS = '{http://schemas.microsoft.com/SMI/2005/WindowsSettings}'

COMMON_CONTROLS = {'type': 'win32', 'name': 'Microsoft.Windows.Common-Controls', 'version': '6.0.0.0',
                   'processorArchitecture': '*', 'publicKeyToken': '6595b64144ccf1df', 'language': '*'}

SUPPORTED_OS = {
    '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}',  # Windows 10
    '{1f676c76-80e1-4239-95bb-83d0f6d0da78}',  # Windows 8.1
    '{e2011457-1546-43c5-a5fe-008deee3d3f0}',  # Windows Vista
    '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}',  # Windows 7
    '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}',  # Windows 8
}


@pytest.fixture
def manifest(resources):
    assert [name for name, _ in of_type(resources, RT_MANIFEST)] == [1], 'manifests other than 1'
    data = single(resources, RT_MANIFEST, 1)
    assert not data.startswith(b'\xef\xbb\xbf'), 'byte-order mark before the XML declaration'
    declaration = data.split(b'?>', 1)[0].decode('utf-8')
    assert re.search(r'encoding="utf-8"', declaration, re.I), declaration
    return ElementTree.fromstring(data.decode('utf-8'))


def only(root, path):
    found = root.findall(path)
    assert len(found) == 1, f'{path}: {len(found)} elements'
    return found[0]


def test_manifest_requests_elevation(manifest):
    assert manifest.tag == f'{ASM_V1}assembly' and manifest.get('manifestVersion') == '1.0'
    level = only(manifest, f'{ASM_V3}trustInfo/{ASM_V3}security/{ASM_V3}requestedPrivileges/'
                           f'{ASM_V3}requestedExecutionLevel')
    assert level.attrib == {'level': 'requireAdministrator', 'uiAccess': 'false'}


def test_manifest_depends_on_common_controls_6(manifest):
    identity = only(manifest, f'{ASM_V1}dependency/{ASM_V1}dependentAssembly/{ASM_V1}assemblyIdentity')
    assert identity.attrib == COMMON_CONTROLS


def test_manifest_is_dpi_aware(manifest):
    setting = only(manifest, f'{ASM_V3}application/{ASM_V3}windowsSettings/{WINDOWS_SETTINGS}dpiAware')
    assert setting.text.strip() == 'true'


def test_manifest_and_version_resource_carry_one_version(manifest, version):
    identity = only(manifest, f'{ASM_V1}assemblyIdentity')
    fixed, _ = version
    file_ms, file_ls = struct.unpack('<13I', fixed)[2:4]
    assert identity.get('version') == '.'.join(map(str, version_parts(file_ms, file_ls)))


def test_manifest_declares_supported_windows(manifest):
    declared = [e.get('Id') for e in manifest.findall(
        f'{COMPATIBILITY}compatibility/{COMPATIBILITY}application/{COMPATIBILITY}supportedOS')]
    assert sorted(declared) == sorted(SUPPORTED_OS)


# ---------------------------------------------------------------------------
# Version information
# ---------------------------------------------------------------------------

VS_FIXEDFILEINFO_SIGNATURE = 0xFEEF04BD
VOS_NT_WINDOWS32, VFT_APP = 0x00040004, 1
EXPECTED_VERSION = (1, 0, 0, 0)
EXPECTED_STRINGS = {
    'CompanyName': 'Kestrova',
    'FileDescription': 'Установщик Kestrova Pellaris',
    'FileVersion': '1.0.0.0',
    'OriginalFilename': 'bootstrapper.exe',
    'ProductName': 'Kestrova Pellaris',
    'ProductVersion': '1.0.0.0',
}
TRANSLATION = (LANG_RUSSIAN_RUSSIA, 1200)


def parse_version_node(data, offset=0):
    """(key, value bytes, text flag, children) of one VS_VERSIONINFO node."""
    length, value_length, text_flag = struct.unpack_from('<HHH', data, offset)
    reader = TemplateReader(data[:offset + length])
    reader.offset = offset + 6
    key = reader.text()
    reader.align()
    value_bytes = value_length * 2 if text_flag else value_length
    value = data[reader.offset:reader.offset + value_bytes]
    reader.offset += value_bytes
    children = []
    reader.align()
    while reader.offset < offset + length:
        child = parse_version_node(data, reader.offset)
        children.append(child[:4])
        reader.offset += child[4]
        reader.align()
    return key, value, text_flag, children, length


def version_parts(high, low):
    return high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF


@pytest.fixture
def version(resources):
    assert [name for name, _ in of_type(resources, RT_VERSION)] == [1]
    key, value, _, children, _ = parse_version_node(single(resources, RT_VERSION, 1))
    assert key == 'VS_VERSION_INFO'
    return value, {child[0]: child for child in children}


def test_version_fixed_part(version):
    fixed, _ = version
    fields = struct.unpack('<13I', fixed)
    signature, _, file_ms, file_ls, product_ms, product_ls = fields[:6]
    file_os, file_type = fields[8:10]
    assert signature == VS_FIXEDFILEINFO_SIGNATURE
    assert version_parts(file_ms, file_ls) == EXPECTED_VERSION
    assert version_parts(product_ms, product_ls) == EXPECTED_VERSION
    assert (file_os, file_type) == (VOS_NT_WINDOWS32, VFT_APP)


def test_version_strings_are_one_russian_translation(version):
    _, blocks = version
    tables = blocks['StringFileInfo'][3]
    assert [t[0].upper() for t in tables] == ['%04X%04X' % TRANSLATION]
    strings = {key: value.decode('utf-16-le').rstrip('\0') for key, value, _, _ in tables[0][3]}
    for key, expected in EXPECTED_STRINGS.items():
        assert strings.get(key) == expected, key
    assert 'Kestrova' in strings.get('LegalCopyright', '')

    translation, = blocks['VarFileInfo'][3]
    assert translation[0] == 'Translation'
    assert struct.unpack('<HH', translation[1]) == TRANSLATION


# ---------------------------------------------------------------------------
# Languages and completeness
# ---------------------------------------------------------------------------

def test_every_resource_has_its_deliberate_language(resources):
    unexpected = sorted((t, n, lang) for t, n, lang in resources
                        if EXPECTED_LANGUAGES.get(t) != lang)
    assert not unexpected, f'(type, name, language) not expected: {unexpected}'
