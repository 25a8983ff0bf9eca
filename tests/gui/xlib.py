"""The few Xlib calls the GUI tests need that the command-line tools do not
offer: the owner of a selection, the window tree with names and map states,
window positions, properties, and sending WM_DELETE_WINDOW as a window manager
or another program would. Only the standard library (ctypes) is used."""

import ctypes
import ctypes.util

_x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")

Window = ctypes.c_ulong
Atom = ctypes.c_ulong


def _fields(kind, names):
    return [(name, kind) for name in names.split()]


class XWindowAttributes(ctypes.Structure):
    _fields_ = (_fields(ctypes.c_int, "x y width height border_width depth")
                + [("visual", ctypes.c_void_p), ("root", Window)]
                + _fields(ctypes.c_int, "c_class bit_gravity win_gravity backing_store")
                + _fields(ctypes.c_ulong, "backing_planes backing_pixel")
                + [("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong)]
                + _fields(ctypes.c_int, "map_installed map_state")
                + _fields(ctypes.c_long, "all_event_masks your_event_mask do_not_propagate_mask")
                + [("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)])


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int), ("serial", ctypes.c_ulong),
        ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
        ("window", Window), ("message_type", Atom), ("format", ctypes.c_int),
        ("data", ctypes.c_long * 5),
    ]


class XEvent(ctypes.Union):
    _fields_ = [("xclient", XClientMessageEvent), ("pad", ctypes.c_long * 24)]


_D, _P, _I, _L, _UL = ctypes.c_void_p, ctypes.POINTER, ctypes.c_int, ctypes.c_long, ctypes.c_ulong
for _name, _result, _arguments in [
        ("XOpenDisplay", _D, [ctypes.c_char_p]), ("XCloseDisplay", _I, [_D]),
        ("XDefaultRootWindow", Window, [_D]), ("XInternAtom", Atom, [_D, ctypes.c_char_p, _I]),
        ("XGetSelectionOwner", Window, [_D, Atom]), ("XFree", _I, [_D]), ("XSync", _I, [_D, _I]),
        ("XQueryTree", _I, [_D, Window, _P(Window), _P(Window), _P(_P(Window)), _P(ctypes.c_uint)]),
        ("XGetWindowAttributes", _I, [_D, Window, _P(XWindowAttributes)]),
        ("XTranslateCoordinates", _I, [_D, Window, Window, _I, _I, _P(_I), _P(_I), _P(Window)]),
        ("XSendEvent", _I, [_D, Window, _I, _L, _P(XEvent)]),
        ("XGetWindowProperty", _I, [_D, Window, Atom, _L, _L, _I, Atom, _P(Atom), _P(_I), _P(_UL),
                                    _P(_UL), _P(_D)]),
        ("XSetErrorHandler", _D, [_D])]:
    getattr(_x, _name).restype, getattr(_x, _name).argtypes = _result, _arguments

# Windows come and go while the tests look at them; an error about a window
# that has just gone is expected and must not end the test process.
_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)
_x.XSetErrorHandler(ctypes.cast(_ERROR_HANDLER, ctypes.c_void_p))

IS_VIEWABLE = 2
ICONIC_STATE = 3


class Display:
    def __init__(self, name):
        self.handle = _x.XOpenDisplay(name.encode())
        if not self.handle:
            raise RuntimeError(f"cannot open display {name}")
        self.root = _x.XDefaultRootWindow(self.handle)

    def close(self):
        if self.handle:
            _x.XCloseDisplay(self.handle)
            self.handle = None

    def atom(self, name):
        return _x.XInternAtom(self.handle, name.encode(), 0)

    def sync(self):
        _x.XSync(self.handle, 0)

    def selection_owner(self, name):
        self.sync()
        return _x.XGetSelectionOwner(self.handle, self.atom(name))

    def tree(self, window=None, ancestors=()):
        """Every window under window, with the list of its ancestors."""
        root, parent = Window(), Window()
        kids, count = ctypes.POINTER(Window)(), ctypes.c_uint()
        if not _x.XQueryTree(self.handle, self.root if window is None else window, ctypes.byref(root),
                             ctypes.byref(parent), ctypes.byref(kids), ctypes.byref(count)):
            return
        children = kids[:count.value]
        if kids:
            _x.XFree(kids)
        for child in children:
            yield child, ancestors
            yield from self.tree(child, ancestors + (child,))

    def name(self, window):
        """The window's title as GTK sets it, in UTF-8 (its WM_NAME is Latin-1)."""
        return self.property_bytes(window, "_NET_WM_NAME", "UTF8_STRING").decode("utf-8", "replace") or None

    def attributes(self, window):
        attributes = XWindowAttributes()
        return attributes if _x.XGetWindowAttributes(self.handle, window, ctypes.byref(attributes)) else None

    def viewable(self, window):
        self.sync()
        return getattr(self.attributes(window), "map_state", None) == IS_VIEWABLE

    def geometry(self, window):
        """(x, y, width, height) of the window on the screen."""
        attributes = self.attributes(window)
        x, y, child = ctypes.c_int(), ctypes.c_int(), Window()
        _x.XTranslateCoordinates(self.handle, window, self.root, 0, 0, ctypes.byref(x),
                                 ctypes.byref(y), ctypes.byref(child))
        return x.value, y.value, attributes.width, attributes.height

    def _property(self, window, name, kind, size):
        """The property's items if they are size bits wide: longs, or bytes."""
        actual_type, actual_format = Atom(), ctypes.c_int()
        items, after, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
        wanted = 0 if kind == "AnyPropertyType" else self.atom(kind)
        if _x.XGetWindowProperty(self.handle, window, self.atom(name), 0, 1024, 0, wanted,
                                 ctypes.byref(actual_type), ctypes.byref(actual_format),
                                 ctypes.byref(items), ctypes.byref(after),
                                 ctypes.byref(data)) != 0 or not data.value:
            return [] if size == 32 else b""
        right = actual_format.value == size
        if size == 32:
            value = ctypes.cast(data, ctypes.POINTER(ctypes.c_long))[:items.value] if right else []
        else:
            value = ctypes.string_at(data, items.value) if right else b""
        _x.XFree(data)
        return value

    def property_longs(self, window, name, kind="AnyPropertyType"):
        return self._property(window, name, kind, 32)

    def property_bytes(self, window, name, kind="AnyPropertyType"):
        return self._property(window, name, kind, 8)

    def iconic(self, window):
        self.sync()
        return self.property_longs(window, "WM_STATE")[:1] == [ICONIC_STATE]

    def active_window(self):
        self.sync()
        return (self.property_longs(self.root, "_NET_ACTIVE_WINDOW") or [0])[0]

    def send_delete_window(self, window):
        """A close request, as a window manager sends it for the close box."""
        event = XEvent()
        event.xclient.type = 33  # ClientMessage
        event.xclient.window = window
        event.xclient.message_type = self.atom("WM_PROTOCOLS")
        event.xclient.format = 32
        event.xclient.data[0] = self.atom("WM_DELETE_WINDOW")
        event.xclient.data[1] = 0  # CurrentTime
        _x.XSendEvent(self.handle, window, 0, 0, ctypes.byref(event))
        self.sync()
