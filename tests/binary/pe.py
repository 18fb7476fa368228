"""A small reader of the PE fields, sections, import table and resources that the checks of
tests/binary, tests/resources and tests/e2e look at (pytest.ini puts this folder on the import path)."""
import struct
from dataclasses import dataclass, field

IMAGE_DIRECTORY_ENTRY_RESOURCE = 2
IMAGE_DIRECTORY_ENTRY_BASERELOC = 5
# A resource directory entry's name or offset with this bit set points at a string or a subdirectory.
RESOURCE_HIGH_BIT = 0x80000000


@dataclass
class Section:
    name: str
    virtual_address: int
    virtual_size: int
    raw_pointer: int
    raw_size: int
    characteristics: int  # IMAGE_SCN_* flags

    def contents(self, data):
        return data[self.raw_pointer:self.raw_pointer + min(self.virtual_size, self.raw_size)]


@dataclass
class PeImage:
    machine: int
    subsystem: int
    os_version: tuple
    subsystem_version: tuple
    imports: dict = field(default_factory=dict)  # DLL name (lower case) -> set of function names or "#ordinal"
    image_base: int = 0
    dll_characteristics: int = 0  # IMAGE_DLLCHARACTERISTICS_* flags
    directories: list = field(default_factory=list)  # (RVA, size) of each data directory
    sections: list = field(default_factory=list)
    data: bytes = field(default=b"", repr=False)  # the whole file

    def at(self, address, size):
        """`size` bytes of the file at virtual address `address` (image base included)."""
        offset = _rva_to_offset(self.sections, address - self.image_base)
        return self.data[offset:offset + size]


def _rva_to_offset(sections, rva):
    for section in sections:
        if section.virtual_address <= rva < section.virtual_address + max(section.virtual_size, section.raw_size):
            return section.raw_pointer + rva - section.virtual_address
    raise ValueError(f"RVA {rva:#x} lies in no section")


def _c_string(data, offset):
    return data[offset:data.index(b"\0", offset)].decode("ascii")


def read_pe(path):
    data = open(path, "rb").read()
    pe_offset = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[pe_offset:pe_offset + 4] == b"PE\0\0", "not a PE file"
    machine, section_count, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe_offset + 4)
    optional = pe_offset + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    is_pe32_plus = magic == 0x20B
    image_base = struct.unpack_from("<Q" if is_pe32_plus else "<I", data, optional + (24 if is_pe32_plus else 28))[0]
    os_major, os_minor, _, _, sub_major, sub_minor = struct.unpack_from("<6H", data, optional + 40)
    subsystem, dll_characteristics = struct.unpack_from("<HH", data, optional + 68)
    directories = optional + (112 if is_pe32_plus else 96)
    directory_count = struct.unpack_from("<I", data, directories - 4)[0]
    import_rva = struct.unpack_from("<I", data, directories + 8)[0]

    sections = []
    table = optional + optional_size
    for index in range(section_count):
        entry = table + 40 * index
        name = data[entry:entry + 8].rstrip(b"\0").decode("ascii")
        virtual_size, virtual_address, raw_size, raw_pointer = struct.unpack_from("<IIII", data, entry + 8)
        characteristics = struct.unpack_from("<I", data, entry + 36)[0]
        sections.append(Section(name, virtual_address, virtual_size, raw_pointer, raw_size, characteristics))

    image = PeImage(machine, subsystem, (os_major, os_minor), (sub_major, sub_minor), image_base=image_base,
                    dll_characteristics=dll_characteristics, sections=sections, data=data,
                    directories=[struct.unpack_from("<II", data, directories + 8 * index)
                                 for index in range(directory_count)])
    thunk_size, ordinal_flag = (8, 1 << 63) if is_pe32_plus else (4, 1 << 31)
    descriptor = _rva_to_offset(sections, import_rva) if import_rva else None
    while descriptor is not None:
        lookup_rva, _, _, name_rva, address_rva = struct.unpack_from("<5I", data, descriptor)
        if name_rva == 0:
            break
        dll = _c_string(data, _rva_to_offset(sections, name_rva)).lower()
        functions = image.imports.setdefault(dll, set())
        thunk = _rva_to_offset(sections, lookup_rva or address_rva)
        while True:
            value = struct.unpack_from("<Q" if is_pe32_plus else "<I", data, thunk)[0]
            if value == 0:
                break
            if value & ordinal_flag:
                functions.add(f"#{value & 0xFFFF}")
            else:
                functions.add(_c_string(data, _rva_to_offset(sections, value & 0x7FFFFFFF) + 2))
            thunk += thunk_size
        descriptor += 20
    return image


def _resource_entries(data, base, offset):
    """(name or id, target offset) of each entry of the resource directory at `base + offset`."""
    named, numbered = struct.unpack_from("<12xHH", data, base + offset)
    for index in range(named + numbered):
        name, target = struct.unpack_from("<II", data, base + offset + 16 + 8 * index)
        if name & RESOURCE_HIGH_BIT:
            length = struct.unpack_from("<H", data, base + (name & ~RESOURCE_HIGH_BIT))[0]
            start = base + (name & ~RESOURCE_HIGH_BIT) + 2
            name = data[start:start + 2 * length].decode("utf-16-le")
        yield name, target


def read_resources(path):
    """{(type, name, language): bytes} of every resource in the image: its three-level resource
    directory, type, then name, then language."""
    image = read_pe(path)
    data, sections = image.data, image.sections
    resource_rva, resource_size = image.directories[IMAGE_DIRECTORY_ENTRY_RESOURCE]
    assert resource_rva and resource_size, "the image has no resource directory"
    base = _rva_to_offset(sections, resource_rva)
    found = {}
    for rtype, names in _resource_entries(data, base, 0):
        assert names & RESOURCE_HIGH_BIT, f"type {rtype} is not a directory"
        for name, languages in _resource_entries(data, base, names & ~RESOURCE_HIGH_BIT):
            assert languages & RESOURCE_HIGH_BIT, f"resource {rtype}/{name} is not a directory"
            for language, leaf in _resource_entries(data, base, languages & ~RESOURCE_HIGH_BIT):
                assert not leaf & RESOURCE_HIGH_BIT, f"resource {rtype}/{name}/{language} is too deep"
                data_rva, size = struct.unpack_from("<II", data, base + leaf)
                offset = _rva_to_offset(sections, data_rva)
                found[(rtype, name, language)] = data[offset:offset + size]
    return found
