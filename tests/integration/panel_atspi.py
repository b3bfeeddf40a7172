#!/usr/bin/python3
# The agent's panel as a screen reader meets it: through AT-SPI only (Debian's python3-pyatspi).
#   panel_atspi.py STEP...
# Steps, run in order, each waiting (with a generous bound) for what it needs:
#   pid:PID                the application is the process PID, not another start of it
#   window                 the application has a showing window titled "Hourloom"; prints its role
#   active                 that window is the active one, as the desktop told the application
#   closed                 the application shows no window titled "Hourloom"
#   type:NAME=TEXT         sets the text of the editable control spoken as NAME
#   press:NAME             does the first action of the control spoken as NAME
#   menu:NAME/ENTRY        picks the entry ENTRY of the menu of the button NAME
#   wait:NAME              a showing control spoken as NAME appears
#   says:TEXT              a showing control whose spoken name contains TEXT appears
#   announced:TEXT         a name change or an announcement carrying TEXT was sent after the last
#                          type/press/menu step
#   focused:NAME           the control spoken as NAME has the keyboard focus
#   dump                   prints the application's tree (role, name, accessible id, states)
# Exit status 0 when every step held; otherwise 1, after printing the step and the tree.
import sys
import time

import pyatspi
from gi.repository import GLib

BOUND_SECONDS = 90
events = []
def listen(event):
    text = event.any_data if isinstance(event.any_data, str) else ''
    if not text:
        try:
            text = event.source.name or ''
        except Exception:
            text = ''
    events.append((event.type, text))


def spin(seconds):
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        while context.pending():
            context.iteration(False)
        time.sleep(0.05)


process = None


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        app = desktop.getChildAtIndex(index)
        if app is not None and (app.name or '').lower() == 'hourloom' and process in (None, app.get_process_id()):
            return app
    return None


def descendants(node):
    try:
        count = node.childCount
    except Exception:
        return
    for index in range(count):
        try:
            child = node.getChildAtIndex(index)
        except Exception:
            continue
        if child is None:
            continue
        yield child
        yield from descendants(child)


def showing(node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def find(predicate):
    app = application()
    if app is None:
        return None
    # States cached from before a change are never refreshed without a listener for it.
    app.clear_cache()
    for node in descendants(app):
        if showing(node) and predicate(node):
            return node
    return None


def wait_for(predicate):
    deadline = time.monotonic() + BOUND_SECONDS
    while time.monotonic() < deadline:
        found = find(predicate)
        if found is not None:
            return found
        spin(0.2)
    return None


def named(name):
    return lambda node: node.name == name


def accessible_id(node):
    try:
        return node.get_accessible_id() or ''
    except Exception:
        return ''


def dump():
    app = application()
    if app is None:
        print('no application named Hourloom on the accessibility bus')
        return

    def walk(node, depth):
        states = [pyatspi.stateToString(s) for s in node.getState().getStates()]
        print('%s%s "%s" id="%s" [%s]' % ('  ' * depth, node.getRoleName(), node.name, accessible_id(node),
                                          ' '.join(s for s in states if s in ('showing', 'focused', 'enabled', 'active'))))
        for index in range(node.childCount):
            child = node.getChildAtIndex(index)
            if child is not None:
                walk(child, depth + 1)
    walk(app, 0)


def act(node, action_names):
    action = node.queryAction()
    names = [action.getName(index) for index in range(action.nActions)]
    for name in action_names:
        if name in names:
            return action.doAction(names.index(name))
    return action.doAction(0)


def panel(node):
    return node.name == 'Hourloom' and node.getRoleName() in ('frame', 'window', 'dialog')


def run(step):
    kind, _, argument = step.partition(':')
    if kind == 'window':
        window = wait_for(panel)
        if window is None:
            return False
        print('window: %s "%s"' % (window.getRoleName(), window.name))
        return True
    if kind == 'pid':
        global process
        process = int(argument)
        return True
    if kind == 'active':
        return wait_for(lambda node: panel(node) and node.getState().contains(pyatspi.STATE_ACTIVE)) is not None
    if kind == 'closed':
        deadline = time.monotonic() + BOUND_SECONDS
        while (application() is None or find(panel) is not None) and time.monotonic() < deadline:
            spin(0.2)
        return application() is not None and find(panel) is None
    if kind == 'type':
        name, _, text = argument.partition('=')
        field = wait_for(named(name))
        if field is None:
            return False
        del events[:]
        return field.queryEditableText().setTextContents(text)
    if kind == 'press':
        control = wait_for(lambda node: node.name == argument and pyatspi.STATE_ENABLED in node.getState().getStates())
        if control is None:
            return False
        del events[:]
        return act(control, ('Press', 'press', 'click'))
    if kind == 'menu':
        button_name, _, entry_name = argument.partition('/')
        button = wait_for(named(button_name))
        if button is None:
            return False
        # The entries are the menu button's children, open or not.
        entry = next((node for node in descendants(button) if node.name == entry_name and node.getRoleName() == 'menu item'), None)
        if entry is None:
            return False
        del events[:]
        return act(entry, ('Press', 'press', 'click', 'Toggle'))
    if kind == 'wait':
        return wait_for(named(argument)) is not None
    if kind == 'says':
        found = wait_for(lambda node: argument in (node.name or ''))
        if found is not None:
            print('says: %s "%s"' % (found.getRoleName(), found.name))
        return found is not None
    if kind == 'announced':
        deadline = time.monotonic() + BOUND_SECONDS
        while time.monotonic() < deadline:
            for event_type, text in events:
                if argument in text:
                    print('announced: %s "%s"' % (event_type, text))
                    return True
            spin(0.2)
        return False
    if kind == 'focused':
        return wait_for(lambda node: node.name == argument and node.getState().contains(pyatspi.STATE_FOCUSED)) is not None
    if kind == 'dump':
        dump()
        return True
    print('unknown step ' + step)
    return False


def main(steps):
    for event_type in ('object:property-change:accessible-name', 'object:announcement', 'object:text-changed:insert'):
        pyatspi.Registry.registerEventListener(listen, event_type)
    for step in steps:
        if not run(step):
            print('FAILED at step ' + step)
            dump()
            return 1
        print('ok ' + step)
        sys.stdout.flush()
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
