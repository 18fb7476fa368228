"""The oldest Windows the product promises to run on, as Wine itself presents them in a 32-bit prefix
(its own version setting, HKCU\\Software\\Wine "Version"): a silent fresh install and an interactive
upgrade on each. Wine's DLLs stay Wine's whatever version it reports; the refused versions and service
packs are faked through the registry instead (test_prerequisites.py)."""

import pytest

from bench_boxes import IDOK, IDYES
from bench_packages import NEW, OLD, PRODUCT_NAME, STATE_INSTALLED
from bench_tools import on_32bit_windows
import e2e_texts as texts


@on_32bit_windows
@pytest.mark.parametrize("wine_version, told, source_hash_goes", [
    # Wine's setting, the (major, minor, service pack) programs are told, whether the installed
    # product's SourceHash file goes before msiexec runs (Windows XP and Server 2003 only)
    ("win2k", (5, 0, 4), False),
    ("winxp", (5, 1, 3), True),
    ("win2003", (5, 2, 2), True),
    ("win7", (6, 1, 1), False),
    ("win10", (10, 0, 0), False),
], ids=["win2k", "winxp", "win2003", "win7", "win10"])
def test_a_fresh_install_and_an_upgrade(prefix, packages, wine_version, told, source_hash_goes):
    prefix.import_reg(f'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine]\n"Version"="{wine_version}"\n')
    version = prefix.helper_json("version")
    assert (version["major"], version["minor"], version["service_pack"]) == told, version
    installer = prefix.path / "drive_c" / "windows" / "Installer"
    installer.mkdir(exist_ok=True)
    for name in ("SourceHash", f"SourceHash{OLD[0]}"):
        (installer / name).write_text("hash")

    prefix.put_package(packages.build(*OLD))
    fresh = prefix.run_bootstrapper("-silent")
    assert fresh.windows == [], fresh
    assert fresh.exit_code == 0, fresh
    assert prefix.product()["version"] == OLD[1]
    assert (installer / f"SourceHash{OLD[0]}").exists(), "nothing was installed: no product's file may go"

    prefix.put_package(packages.build(*NEW))
    upgrade = prefix.run_bootstrapper(plan=[f"press:{IDYES}", f"press:{IDYES}", f"press:{IDOK}"])
    assert [w["text"] for w in upgrade.windows] == [
        texts.CONFIRM_PLUGIN, texts.update_question(PRODUCT_NAME, OLD[1], NEW[1]), texts.SUCCESS], upgrade
    assert upgrade.exit_code == 0, upgrade
    product = prefix.product()
    assert (product["product"], product["state"], product["version"]) == (NEW[0], STATE_INSTALLED, NEW[1])
    assert (installer / f"SourceHash{OLD[0]}").exists() != source_hash_goes
    assert (installer / "SourceHash").exists(), "the file of no product was removed"
