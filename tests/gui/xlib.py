"""The few X calls the GUI tests need that the command-line tools do not
offer, on python-xlib: the owner of a selection, the window tree, positions,
properties, and WM_DELETE_WINDOW sent as a window manager sends it. Windows
are plain ids; one that has just gone reads as unmapped and without
properties, since windows come and go while the tests look at them."""

from Xlib import X, display, error
from Xlib.protocol import event

ICONIC_STATE = 3


class Display:
    def __init__(self, name):
        self.d = display.Display(name)
        self.d.set_error_handler(lambda *args: None)
        self.root = self.d.screen().root.id

    def close(self):
        self.d.close()

    def sync(self):
        self.d.sync()

    def _ask(self, window, request, default=None):
        try:
            return request(self.d.create_resource_object("window", window))
        except error.XError:
            return default

    def atom(self, name):
        return self.d.intern_atom(name)

    def selection_owner(self, name):
        self.sync()
        owner = self.d.get_selection_owner(self.atom(name))
        return getattr(owner, "id", owner)

    def tree(self, window=None, ancestors=()):
        """Every window under window, with the list of its ancestors."""
        for child in self._ask(window or self.root, lambda w: w.query_tree().children, []):
            yield child.id, ancestors
            yield from self.tree(child.id, ancestors + (child.id,))

    def _property(self, window, name, kind, size):
        kind = X.AnyPropertyType if kind is None else self.atom(kind)
        value = self._ask(window, lambda w: w.get_full_property(self.atom(name), kind))
        return value.value if value is not None and value.format == size else None

    def property_longs(self, window, name, kind=None):
        return list(self._property(window, name, kind, 32) or [])

    def name(self, window):
        """The window's title as GTK sets it, in UTF-8 (its WM_NAME is Latin-1)."""
        return bytes(self._property(window, "_NET_WM_NAME", "UTF8_STRING", 8) or b"").decode(
            "utf-8", "replace") or None

    def viewable(self, window):
        self.sync()
        return self._ask(window, lambda w: w.get_attributes().map_state) == X.IsViewable

    def geometry(self, window):
        """(x, y, width, height) of the window on the screen."""
        def ask(w):
            size, place = w.get_geometry(), self.d.screen().root.translate_coords(w, 0, 0)
            return place.x, place.y, size.width, size.height
        return self._ask(window, ask, (0, 0, 0, 0))

    def iconic(self, window):
        self.sync()
        return self.property_longs(window, "WM_STATE")[:1] == [ICONIC_STATE]

    def active_window(self):
        self.sync()
        return (self.property_longs(self.root, "_NET_ACTIVE_WINDOW") or [0])[0]

    def new_window(self):
        return self.d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent).id

    def map(self, window):
        self._ask(window, lambda w: w.map())
        self.sync()

    def destroy(self, window):
        self._ask(window, lambda w: w.destroy())
        self.sync()

    def send_delete_window(self, window):
        """A close request, as a window manager sends it for the close box."""
        request = event.ClientMessage(window=window, client_type=self.atom("WM_PROTOCOLS"),
                                      data=(32, [self.atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
        self._ask(window, lambda w: w.send_event(request))
        self.sync()
