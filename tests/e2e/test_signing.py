"""Release signing: scripts/sign with a throwaway certificate, checked with osslsigncode, and the signed
exe run under Wine."""

import shutil
import subprocess

import pytest

from bench_packages import OLD
from pe import read_resources
from bench_tools import BOOTSTRAPPER, REPO

SIGN = REPO / "scripts" / "sign"
PKCS12_PASSWORD = "throwaway"


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, capture_output=True)


@pytest.fixture(scope="module")
def signer(tmp_path_factory):
    """A self-signed code-signing certificate and its key, as PEM files and as one PKCS#12 file."""
    folder = tmp_path_factory.mktemp("signer")
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "key.pem", "-out", "cert.pem", "-days", "2",
            "-subj", "/CN=Kestrova throwaway test signer", "-addext", "extendedKeyUsage=codeSigning", cwd=folder)
    openssl("pkcs12", "-export", "-inkey", "key.pem", "-in", "cert.pem", "-out", "signer.p12",
            "-passout", f"pass:{PKCS12_PASSWORD}", cwd=folder)
    return folder


def sign(exe, *args, password=None):
    env = {"PATH": "/usr/bin:/bin"} | ({"SIGN_PKCS12_PASSWORD": password} if password is not None else {})
    return subprocess.run([str(SIGN), *map(str, args), "--exe", str(exe)], env=env, capture_output=True, text=True)


def copy_of_the_exe(folder):
    exe = folder / "bootstrapper.exe"
    shutil.copy2(BOOTSTRAPPER, exe)
    return exe


@pytest.mark.parametrize("form", ["pem", "pkcs12"])
def test_a_signed_copy_verifies_keeps_its_resources_and_unsigns_to_the_build(signer, tmp_path, form):
    exe = copy_of_the_exe(tmp_path)
    if form == "pem":
        signed = sign(exe, "--cert", signer / "cert.pem", "--key", signer / "key.pem")
    else:
        signed = sign(exe, "--pkcs12", signer / "signer.p12", password=PKCS12_PASSWORD)
    assert signed.returncode == 0, signed.stderr

    verified = subprocess.run(["osslsigncode", "verify", "-CAfile", str(signer / "cert.pem"), "-in", str(exe)],
                              capture_output=True, text=True)
    assert verified.returncode == 0 and "Signature verification: ok" in verified.stdout, verified.stdout
    assert read_resources(exe) == read_resources(BOOTSTRAPPER)

    # What the README tells an administrator: without its signature, the exe is the build's, byte for byte.
    unsigned = tmp_path / "unsigned.exe"
    subprocess.run(["osslsigncode", "remove-signature", "-in", str(exe), "-out", str(unsigned)], check=True,
                   capture_output=True)
    assert unsigned.read_bytes() == BOOTSTRAPPER.read_bytes()


def test_a_bad_certificate_or_key_is_refused_and_the_exe_is_left_alone(signer, tmp_path):
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "other-key.pem", "-out", "other.pem",
            "-days", "2", "-subj", "/CN=Someone else", cwd=tmp_path)
    exe = copy_of_the_exe(tmp_path)
    cases = {
        "belong to the certificate": ["--cert", signer / "cert.pem", "--key", tmp_path / "other-key.pem"],
        "missing or unreadable": ["--cert", tmp_path / "no-such.pem", "--key", signer / "key.pem"],
        "not a PEM certificate": ["--cert", signer / "key.pem", "--key", signer / "key.pem"],
    }
    for reason, args in cases.items():
        refused = sign(exe, *args)
        assert refused.returncode != 0 and reason in refused.stderr, (reason, refused.stderr)
    wrong_password = sign(exe, "--pkcs12", signer / "signer.p12", password="wrong")
    assert wrong_password.returncode != 0 and "password" in wrong_password.stderr, wrong_password.stderr
    assert exe.read_bytes() == BOOTSTRAPPER.read_bytes()
    assert sorted(p.name for p in tmp_path.iterdir() if p.name.startswith(".signing")) == []


def test_the_signed_exe_installs_silently(prefix, packages, signer, tmp_path):
    exe = copy_of_the_exe(tmp_path)
    assert sign(exe, "--cert", signer / "cert.pem", "--key", signer / "key.pem").returncode == 0
    shutil.copy2(exe, prefix.layout / "bootstrapper.exe")
    prefix.put_package(packages.build(*OLD))
    run = prefix.run_bootstrapper("-silent")
    assert run.exit_code == 0, run
    assert prefix.product()["version"] == OLD[1]
