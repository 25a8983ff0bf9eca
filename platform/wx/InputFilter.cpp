#include "platform/wx/InputFilter.h"

#include <wx/event.h>
#include <wx/eventfilter.h>

#include <utility>

namespace vobrik {

namespace {

bool IsKeyOrButton(wxEventType type) {
    static const wxEventType types[] = {
        wxEVT_CHAR_HOOK,      wxEVT_KEY_DOWN,      wxEVT_KEY_UP,      wxEVT_CHAR,
        wxEVT_LEFT_DOWN,      wxEVT_LEFT_UP,       wxEVT_LEFT_DCLICK, wxEVT_MIDDLE_DOWN,
        wxEVT_MIDDLE_UP,      wxEVT_MIDDLE_DCLICK, wxEVT_RIGHT_DOWN,  wxEVT_RIGHT_UP,
        wxEVT_RIGHT_DCLICK,   wxEVT_AUX1_DOWN,     wxEVT_AUX1_UP,     wxEVT_AUX1_DCLICK,
        wxEVT_AUX2_DOWN,      wxEVT_AUX2_UP,       wxEVT_AUX2_DCLICK, wxEVT_CONTEXT_MENU,
        wxEVT_NAVIGATION_KEY,
    };
    for (const wxEventType known : types)
        if (type == known)
            return true;
    return false;
}

} // namespace

class TInputFilter::TImpl : public wxEventFilter {
  public:
    explicit TImpl(std::function<bool()> refuse) : Refuse(std::move(refuse)) {
        wxEvtHandler::AddFilter(this);
    }
    ~TImpl() override { wxEvtHandler::RemoveFilter(this); }

    int FilterEvent(wxEvent& event) override {
        if (!IsKeyOrButton(event.GetEventType()) || !Refuse())
            return Event_Skip;
        // Counted as handled, so that the native control never sees it either.
        return Event_Processed;
    }

  private:
    std::function<bool()> Refuse;
};

TInputFilter::TInputFilter(std::function<bool()> refuse)
    : Impl(std::make_unique<TImpl>(std::move(refuse))) {}

TInputFilter::~TInputFilter() = default;

} // namespace vobrik
