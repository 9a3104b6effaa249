#!/usr/bin/env python3
"""The workbench as a screen reader sees it: starts the real program on an X display with the
accessibility bus, drives it only through AT-SPI (actions, editable text) and reads back what
every window exposes.

Run by atspi_test.sh inside a session bus and a virtual display. Exit 0 passed, 1 failed,
77 skipped (the accessibility bus or pyatspi is not to be had here), with the reason printed."""

import os
import subprocess
import sys
import time

SKIP = 77


def skip(reason):
    print("SKIPPED: " + reason, file=sys.stderr)
    sys.exit(SKIP)


try:
    import pyatspi
except ImportError as error:
    skip("pyatspi cannot be imported (Debian package python3-pyatspi): %s" % error)

from gi.repository import GLib

failures = []
events = []  # (event type, name of the control, text or description) heard on the bus


def hear(event):
    try:
        events.append((event.type, event.source.name, event.any_data))
    except Exception:  # a control gone by the time its event is read
        pass


def pump():
    context = GLib.MainContext.default()
    while context.iteration(False):
        pass


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


def wait_for(probe, what, timeout=15.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = probe()
        if value:
            return value
        pump()
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


def children(node):
    return [child for child in node if child is not None]


def walk(node, into=lambda node: True):
    yield node
    if into(node):
        for child in children(node):
            yield from walk(child, into)


def role(node):
    return node.getRoleName()


def find(root, role_name, name):
    for node in walk(root):
        if role(node) == role_name and node.name == name:
            return node
    raise AssertionError("no %s named %r in %r" % (role_name, name, root.name))


def text(node):
    return node.queryText().getText(0, -1)


def act(node, action):
    actions = node.queryAction()
    for i in range(actions.nActions):
        if actions.getName(i) == action:
            actions.doAction(i)
            return
    raise AssertionError("%r has no action %s" % (node.name, action))


def type_into(window, name, value):
    box = find(window, "text", name)
    box.queryEditableText().setTextContents(value)
    check(text(box) == value, "%s takes %r through the editable text interface" % (name, value))


def window(app, title):
    return wait_for(
        lambda: next((w for w in children(app) if w.name == title and role(w) == "frame"), None),
        "the window " + title)


# The parts of a control that are not controls of their own: scroll bars and the viewports of text
# boxes and lists, the items of a list, the menus' pop-ups.
COMPOUND = {"text", "list", "menu bar", "scroll bar"}
CONTROLS = {"push button", "check box", "label", "text", "list", "panel", "menu bar"}


def check_window(win):
    """Every control has a name, no two share one, every label is readable as text."""
    names = {}
    for node in walk(win, lambda node: role(node) not in COMPOUND):
        if node is win or role(node) not in CONTROLS:
            continue
        if role(node) == "menu bar":
            continue
        names.setdefault(node.name, []).append(role(node))
        if role(node) == "label":
            try:
                text(node)
                readable = True
            except Exception:  # no text interface
                readable = False
            check(readable, "%s: label %r offers its text" % (win.name, node.name))
    check("" not in names, "%s: every control has a name" % win.name)
    shared = {name: roles for name, roles in names.items() if len(roles) > 1}
    check(not shared, "%s: no two controls share a name %s" % (win.name, shared or ""))
    print("     %s: %d named controls" % (win.name, len(names)))


def message_box(app):
    """The open message box and its texts, None when there is none. A box closes and goes away
    at any time: a box that went while it was being read counts as none."""
    try:
        for w in children(app):
            if role(w) in ("dialog", "alert"):
                labels = [n.name for n in walk(w) if role(n) == "label" and n.name]
                if labels and any(role(n) == "push button" for n in walk(w)):
                    return w, labels
    except Exception:
        pass
    return None


def conversion(app):
    form1 = window(app, "ポーランド記法変換")
    type_into(form1, "入力文の式", "A+B")
    act(find(form1, "push button", "変換開始"), "Press")
    # Trace mode is on: the run stops in a box at every move, and while a box is up the screen
    # shows the state of that move.
    seen = []
    for _ in range(20):
        found = None
        try:
            found = wait_for(lambda: message_box(app), "a trace box", 5.0)
        except AssertionError:
            break
        box, words = found
        seen.append((words[0], text(find(form1, "label", "ステップの説明")),
                     text(find(form1, "text", "出力文の式")),
                     text(find(form1, "label", "演算子 0")),
                     find(form1, "label", "演算子 0").description))
        act(find(box, "push button", "OK"), "Press")

        def closed():
            now = message_box(app)
            return now is None or now[0] != box

        wait_for(closed, "the box to close")
    # Each box names the move about to be made: the output and the stack change after it.
    expected = [
        ("語彙解析 名前[A]", "語彙解析", "", "", ""),
        ("出力文 ← 名前[A]", "Aを出力文に移動", "", "", ""),
        ("語彙解析 演算子[+]", "語彙解析", "A", "", ""),
        ("スタック ←　演算子[+]", "演算子[+]をPush", "A", "", ""),
        ("語彙解析 名前[B]", "語彙解析", "A", "+", "使用中"),
        ("出力文 ← 名前[B]", "Bを出力文に移動", "A", "+", "使用中"),
        ("終了(括弧閉じ処理と同じ)", "終了(括弧閉じ処理と同じ)", "AB", "+", "使用中"),
        ("出力文 ←　スタック", "Popして出力文に移動", "AB", "+", "使用中"),
    ]
    for i, want in enumerate(expected):
        got = seen[i] if i < len(seen) else None
        check(got == want, "conversion box %d: box, step message, output, stack cell 0 and its "
              "mark read %r (expected %r)" % (i + 1, got, want))
    check(len(seen) == len(expected), "conversion of A+B shows %d boxes" % len(seen))
    check(text(find(form1, "text", "出力文の式")) == "AB+", "the output reads AB+")
    check(text(find(form1, "label", "判別結果の値")) == "終了", "the class reads 終了")
    check(find(form1, "label", "演算子 0").description == "", "the emptied cell has no mark")
    # A screen reader hears of every new content and mark, even of a cell it is not on.
    pump()
    heard = set((kind, name, str(data)) for kind, name, data in events)
    for want in [("object:text-changed:insert", "演算子 0", "+"),
                 ("object:text-changed:insert", "ステップの説明", "Popして出力文に移動")]:
        check(want in heard, "announced: %r (heard %r)" % (
            want, sorted(h for h in heard if h[1] == want[1])))
    check(any(kind == "object:property-change:accessible-description" and name == "演算子 0"
              for kind, name, _ in heard), "the new mark of 演算子 0 was announced")


def execution(app):
    form2 = window(app, "逆ポーランド記法の直接実行")
    act(find(form2, "check box", "トレースモード"), "Toggle")
    type_into(form2, "逆ポーランド記法の式", "XAB*=")
    type_into(form2, "変数Aの値", "7")
    act(find(form2, "push button", "逐次実行"), "Press")
    x = find(form2, "text", "変数Xの値")
    wait_for(lambda: text(x) == "14", "X to read 14", 5.0)
    check(text(x) == "14", "the run used the values set through the interface: X = 7 * 2")
    check(x.description == "読み書き中", "the variable just written is marked in words")
    check(text(find(form2, "label", "スタック 0")) == "14", "stack cell 0 reads the value 14")
    check(text(find(form2, "label", "判別結果の値")) == "終了", "the class reads 終了")


def machine(app, listing_file):
    compile_window = window(app, "逆ポーランド記法の翻訳")
    act(find(compile_window, "check box", "トレースモード"), "Toggle")
    act(find(compile_window, "push button", "変換開始"), "Press")
    objects = find(compile_window, "list", "オブジェクトの一覧")
    wait_for(lambda: len(children(objects)) > 0, "the object listing")
    act(find(compile_window, "push button", "擬似アセンブラ"), "Press")
    assembler = window(app, "擬似アセンブラ")

    samples = find(assembler, "list", "その他のアセンブラソースプログラム")
    source = find(assembler, "text", "ソースプログラムの本文")
    act(children(samples)[0], "Toggle")  # selecting the item loads it
    wait_for(lambda: text(source).startswith("     LI      10\n"), "the first sample")
    check(len(text(source).splitlines()) == 16, "the first sample's 16 lines are in the source")
    act(find(assembler, "check box", "トレースモード"), "Toggle")
    act(find(assembler, "push button", "アセンブル"), "Press")
    listing = find(assembler, "text", "アセンブル結果の一覧")
    with open(listing_file, encoding="utf-8") as golden:
        want = golden.read().replace("\r\n", "\n").rstrip("\n")
    wait_for(lambda: text(listing).rstrip("\n") == want, "the listing of the first sample")

    address = find(assembler, "text", "実行アドレスの値")
    output = find(assembler, "text", "出力")
    execute = find(assembler, "push button", "実行")
    for step in range(200):
        if "プログラムの終了です." in text(output):
            break
        before = text(address)
        act(execute, "Press")
        wait_for(lambda: text(address) != before or "終了" in text(output), "one instruction")
        if step == 0:
            selected = listing.queryText().getSelection(0)
            line = text(listing)[selected[0]:selected[1]]
            check(line.startswith("0002 : A200 001B"),
                  "the listing line of the next instruction is the selected text: %r" % line)
            check(find(assembler, "label", "メモリ 0002").description == "次の命令",
                  "the next instruction's memory cell is marked in words")
            check(find(assembler, "text", "レジスタ X0").description == "強調",
                  "the register just written is marked in words")
    check("45" in text(output), "the program wrote 45: %r" % text(output))
    check(text(find(assembler, "text", "レジスタ X0")) == "002D", "register X0 reads 002D")
    check(text(find(assembler, "label", "メモリ 0000")) == "B000", "memory cell 0 reads B000")
    check(text(find(assembler, "label", "メモリ 001A")) == "002D", "memory cell 001A reads 002D")


def main():
    program, listing_file = sys.argv[1], sys.argv[2]
    try:
        desktop = pyatspi.Registry.getDesktop(0)
        list(desktop)
    except Exception as error:
        skip("the accessibility bus does not answer: %s" % error)

    pyatspi.Registry.registerEventListener(
        hear, "object:text-changed:insert", "object:property-change:accessible-description")
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               QT_ACCESSIBILITY="1")
    process = subprocess.Popen([program], env=env)
    try:
        def application():
            for app in children(pyatspi.Registry.getDesktop(0)):
                try:
                    if app.get_process_id() == process.pid:
                        return app
                except Exception:
                    pass
            return None

        app = wait_for(application, "the program on the accessibility bus", 30.0)
        menu = window(app, "逆ポーランド記法")
        screens = {"逆ポーランド記法", "ポーランド記法変換", "逆ポーランド記法の直接実行",
                   "逆ポーランド記法の翻訳", "擬似アセンブラ"}
        for caption in ("逆ポーランド記法変換", "逆ポーランド記法実行", "逆ポーランド記法の翻訳"):
            act(find(menu, "push button", caption), "Press")
        conversion(app)
        execution(app)
        machine(app, listing_file)
        for win in children(app):
            if win.name in screens and role(win) != "alert":
                check(role(win) == "frame", "%s is a window (%s)" % (win.name, role(win)))
                check_window(win)
        check(len([w for w in children(app) if w.name in screens]) == 5, "all five windows seen")
    except Exception as error:  # a step that could not be made fails the test, with its reason
        failures.append(repr(error))
        print("FAIL %r" % error)
    finally:
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
