"""The test plug-in packages: built with wixl from packages/plugin.wxs for each (ProductCode, version)
a scenario asks for, and cached under build/e2e/packages by content."""

import hashlib
import json
import shutil
import subprocess
import uuid
from pathlib import Path

from bench_tools import E2E

# The plug-in packages the scenarios install. One upgrade code; each version has its own product code.
UPGRADE_CODE = "{6A0C9B0E-5D3E-4C5B-9D1A-2F0B7C6E1A11}"
PRODUCT_NAME = "Kestrova Pellaris"
OLD = ("{0D5D3B6A-8E21-4F49-A9C3-1C7E2B3F4A01}", "2.0.12888")
NEW = ("{0D5D3B6A-8E21-4F49-A9C3-1C7E2B3F4A02}", "2.0.13000")

# MsiQueryProductStateW of an installed product (INSTALLSTATE_DEFAULT).
STATE_INSTALLED = 5


class PackageFactory:
    def __init__(self, cache):
        self.cache = cache
        self.wxs = E2E / "packages" / "plugin.wxs"

    def build(self, product_code, version, name=PRODUCT_NAME, upgrade_code=UPGRADE_CODE):
        defines = {"ProductCode": product_code, "UpgradeCode": upgrade_code, "Version": version, "ProductName": name}
        key = hashlib.sha256((self.wxs.read_text() + json.dumps(defines, sort_keys=True)).encode()).hexdigest()[:16]
        out = self.cache / f"{key}.msi"
        if out.exists():
            return out
        work = self.cache / f"work-{uuid.uuid4().hex}"
        work.mkdir(parents=True)
        (work / "npzarel.dat").write_text(f"{name} {version}\n")
        cmd = ["wixl", "-o", str(work / "package.msi")]
        for k, v in defines.items():
            cmd += ["-D", f"{k}={v}"]
        subprocess.run(cmd + [str(self.wxs)], cwd=work, check=True, capture_output=True)
        (work / "package.msi").replace(out)
        shutil.rmtree(work)
        return out

    def altered(self, package, query):
        """A copy of a built package with one SQL statement applied by msibuild: a property taken out
        or given a value no wixl source would let it have."""
        key = hashlib.sha256(Path(package).read_bytes() + query.encode()).hexdigest()[:16]
        out = self.cache / f"{key}.msi"
        if not out.exists():
            work = self.cache / f"work-{uuid.uuid4().hex}.msi"
            shutil.copy2(package, work)
            subprocess.run(["msibuild", str(work), "-q", query], check=True, capture_output=True)
            work.replace(out)
        return out
