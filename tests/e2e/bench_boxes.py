"""Checking the bootstrapper's message boxes: the button ids a plan presses, the styles each kind of
box is asked for, and one assertion of everything a box shows."""

IDOK, IDYES, IDNO = 1, 6, 7

MB_OK, MB_YESNO = 0x0, 0x4
MB_ICONERROR, MB_ICONWARNING, MB_ICONINFORMATION = 0x10, 0x30, 0x40
MB_SETFOREGROUND, MB_TOPMOST = 0x10000, 0x40000

# The kinds of box the program shows.
ERROR_BOX = MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST
QUESTION_BOX = MB_YESNO | MB_SETFOREGROUND | MB_TOPMOST
WARNING_QUESTION_BOX = MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND | MB_TOPMOST
PLAIN_BOX = MB_OK | MB_SETFOREGROUND | MB_TOPMOST
HELP_BOX = MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND | MB_TOPMOST
OWNERLESS_YES_NO_BOX = MB_YESNO
OWNERLESS_ERROR_BOX = MB_OK | MB_ICONERROR


def assert_box(window, *, title, text, buttons, icon, owned, style):
    """One message box: what the user sees, its owner, and the exact style it was asked for.

    `owned`: True for the program's hidden owner window, False for none. `icon` is read from the
    screen, `style` from the traced MessageBoxW call (no window shows MB_SETFOREGROUND)."""
    assert not window.get("unexpected"), f"box nobody planned for: {window}"
    assert window["kind"] == "box", window
    assert window["title"] == title
    assert window["text"] == text
    assert [b["id"] for b in window["buttons"]] == buttons
    assert window["icon"] == icon
    if owned:
        # The owner is the program's invisible, disabled "STATIC" window.
        assert window["owner"] == {"class": "Static", "visible": False, "enabled": False}
    else:
        assert window["owner"] is None
    assert "style" in window, f"no traced MessageBoxW call for this box: {window}"
    assert window["style"] == style, f"style {window['style']:#x}, expected {style:#x}"
    assert (window["owner_handle"] != 0) == owned
