#pragma once

namespace vobrik {

// What the described program calls that GTK does for itself or has no use
// for. The calls are kept, doing nothing, so that the program's code reads as
// it was built; the application object and every window take them from here,
// and nothing else in this layer is inert.
struct TInertCalls {
    void EnableCtl3d(bool) {}   // 3-D controls: the GTK theme draws them
    void DefaultProcessing() {} // the toolkit's own handling runs in any case
};

} // namespace vobrik
