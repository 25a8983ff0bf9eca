#pragma once

#include "platform/wx/Window.h"

namespace vobrik {

// The main frame. With no client given, it makes the main dialog its client.
class TSDIDecFrame : public TDecoratedFrame {
  public:
    TSDIDecFrame(TWindow* parent, const char* title, TWindow* clientWnd,
                 bool trackMenuSelection = false);

    bool Find(TMessage& msg, intptr_t& result) override;

  private:
    void EvSize(uintptr_t kind, intptr_t);
    bool Minimised = false;
};

} // namespace vobrik
