#include "platform/wx/Controls.h"

#include "platform/Text1252.h"
#include "platform/wx/WxText.h"

#include <wx/checkbox.h>
#include <wx/control.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <gtk/gtk.h>

#include <algorithm>
#include <cstring>

namespace vobrik {

TControl::TControl(TDialog* parent, int resId) : TWindow(parent), Id(resId) {
    parent->Controls.push_back(this);
}

TControl::~TControl() {
    if (auto* dialog = dynamic_cast<TDialog*>(Parent)) {
        auto& controls = dialog->Controls;
        controls.erase(std::remove(controls.begin(), controls.end(), this), controls.end());
    }
}

void TControl::Attach(wxWindow* dialogWindow) {
    wxWindow* control = dialogWindow->FindWindow(Id);
    if (control != nullptr && control != dialogWindow)
        AttachHandle(control, false);
}

size_t TControl::Transfer(void*, TTransferDirection) {
    return 0;
}

void TControl::EnableWindow(bool enable) {
    if (GetHandle() != nullptr)
        GetHandle()->Enable(enable);
}

// ---------------------------------------------------------------------------

namespace {

wxListBox* ListOf(wxWindow* handle) {
    return dynamic_cast<wxListBox*>(handle);
}

} // namespace

// Stops the toolkit's line events that no user asked for.
class TListBox::TGuard : public wxEvtHandler {
  public:
    void Watch(wxListBox* list) {
        List = list;
        list->Bind(wxEVT_LISTBOX_DCLICK, &TGuard::OnOpen, this);
        list->Bind(wxEVT_LISTBOX, &TGuard::OnSelect, this);
    }

  private:
    static GdkEventType CurrentEventType() {
        GdkEvent* current = gtk_get_current_event();
        const GdkEventType type = current != nullptr ? current->type : GDK_NOTHING;
        if (current != nullptr)
            gdk_event_free(current);
        return type;
    }
    static bool CurrentKeyMovesFocus() {
        GdkEvent* current = gtk_get_current_event();
        bool tab = false;
        if (current != nullptr && current->type == GDK_KEY_PRESS) {
            const guint key = current->key.keyval;
            tab = key == GDK_KEY_Tab || key == GDK_KEY_ISO_Left_Tab || key == GDK_KEY_KP_Tab;
        }
        if (current != nullptr)
            gdk_event_free(current);
        return tab;
    }

    void OnOpen(wxCommandEvent& event) {
        if (CurrentEventType() == GDK_2BUTTON_PRESS)
            event.Skip();
    }
    void OnSelect(wxCommandEvent& event) {
        const GdkEventType type = CurrentEventType();
        if (type == GDK_FOCUS_CHANGE || CurrentKeyMovesFocus()) {
            List->SetSelection(wxNOT_FOUND);
            return;
        }
        event.Skip();
    }

    wxListBox* List = nullptr;
};

TListBox::TListBox(TDialog* parent, int resId)
    : TControl(parent, resId), Guard(std::make_unique<TGuard>()) {}

TListBox::~TListBox() = default;

void TListBox::Attach(wxWindow* dialogWindow) {
    TControl::Attach(dialogWindow);
    if (auto* list = ListOf(GetHandle()))
        Guard->Watch(list);
}

void TListBox::ClearList() {
    ItemData.clear();
    if (auto* list = ListOf(GetHandle()))
        list->Clear();
}

int TListBox::AddString(const char* text) {
    auto* list = ListOf(GetHandle());
    if (list == nullptr)
        return -1;
    const int index = list->Append(FromWindows1252(text));
    ItemData.insert(ItemData.begin() + index, 0);
    return index;
}

int TListBox::GetCount() const {
    auto* list = ListOf(GetHandle());
    return list != nullptr ? static_cast<int>(list->GetCount()) : 0;
}

int TListBox::GetSelIndex() const {
    auto* list = ListOf(GetHandle());
    return list != nullptr ? list->GetSelection() : -1;
}

bool TListBox::SetSelIndex(int index) {
    auto* list = ListOf(GetHandle());
    if (list == nullptr || index < -1 || index >= GetCount())
        return false;
    if (index == -1)
        list->SetSelection(wxNOT_FOUND);
    else
        list->SetSelection(index);
    return true;
}

bool TListBox::SetItemData(int index, int32_t data) {
    if (index < 0 || index >= static_cast<int>(ItemData.size()))
        return false;
    ItemData[index] = data;
    return true;
}

int32_t TListBox::GetItemData(int index) const {
    if (index < 0 || index >= static_cast<int>(ItemData.size()))
        return -1;
    return ItemData[index];
}

std::string TListBox::GetString(int index) const {
    auto* list = ListOf(GetHandle());
    if (list == nullptr || index < 0 || index >= GetCount())
        return std::string();
    return ToWindows1252(list->GetString(static_cast<unsigned>(index)));
}

void TListBox::SetRedraw(bool on) {
    wxWindow* list = GetHandle();
    if (list == nullptr || on == !Frozen)
        return;
    Frozen = !on;
    if (on)
        list->Thaw();
    else
        list->Freeze();
}

void TListBox::Invalidate() {
    if (GetHandle() != nullptr)
        GetHandle()->Refresh(true);
}

// ---------------------------------------------------------------------------

namespace {

// The hidden button that stands for "none checked" in this button's group.
wxRadioButton* HiddenInGroup(wxRadioButton* radio) {
    for (wxRadioButton* other = radio->GetFirstInGroup(); other != nullptr;
         other = other->GetNextInGroup())
        if (!other->IsShown())
            return other;
    return nullptr;
}

} // namespace

void TCheckBox::SetCheck(int state) {
    if (auto* box = dynamic_cast<wxCheckBox*>(GetHandle())) {
        box->SetValue(state == BST_CHECKED);
    } else if (auto* radio = dynamic_cast<wxRadioButton*>(GetHandle())) {
        if (state == BST_CHECKED)
            radio->SetValue(true);
        else if (radio->GetValue())
            if (wxRadioButton* none = HiddenInGroup(radio))
                none->SetValue(true);
    }
}

int TCheckBox::GetCheck() const {
    if (auto* box = dynamic_cast<wxCheckBox*>(GetHandle()))
        return box->GetValue() ? BST_CHECKED : BST_UNCHECKED;
    if (auto* radio = dynamic_cast<wxRadioButton*>(GetHandle()))
        return radio->GetValue() ? BST_CHECKED : BST_UNCHECKED;
    return BST_UNCHECKED;
}

size_t TCheckBox::Transfer(void* field, TTransferDirection direction) {
    uint16_t state = 0;
    if (direction == TTransferDirection::GetData) {
        state = static_cast<uint16_t>(GetCheck());
        std::memcpy(field, &state, sizeof state);
    } else {
        std::memcpy(&state, field, sizeof state);
        SetCheck(state == 1 ? BST_CHECKED : BST_UNCHECKED);
    }
    return sizeof state;
}

bool TCheckBox::Find(TMessage& msg, intptr_t& result) {
    if (msg.Msg == BM_GETCHECK) {
        result = GetCheck();
        return true;
    }
    if (msg.Msg == BM_SETCHECK) {
        SetCheck(static_cast<int>(msg.WParam));
        return true;
    }
    return TControl::Find(msg, result);
}

// ---------------------------------------------------------------------------

TStatic::TStatic(TDialog* parent, int resId, size_t textLimit)
    : TControl(parent, resId), TextLimit(std::max<size_t>(1, textLimit)) {
    EnableTransfer();
}

std::string TStatic::GetText() const {
    std::string text;
    if (auto* edit = dynamic_cast<wxTextCtrl*>(GetHandle()))
        text = ToWindows1252(edit->GetValue());
    else if (auto* control = dynamic_cast<wxControl*>(GetHandle()))
        text = ToWindows1252(control->GetLabelText());
    if (text.size() > TextLimit - 1)
        text.resize(TextLimit - 1);
    return text;
}

void TStatic::SetText(const char* text) {
    std::string cut(text, strnlen(text, TextLimit - 1));
    if (auto* edit = dynamic_cast<wxTextCtrl*>(GetHandle()))
        edit->SetValue(FromWindows1252(cut));
    else if (auto* control = dynamic_cast<wxControl*>(GetHandle()))
        control->SetLabelText(FromWindows1252(cut));
}

size_t TStatic::Transfer(void* field, TTransferDirection direction) {
    auto* bytes = static_cast<char*>(field);
    if (direction == TTransferDirection::GetData) {
        const std::string text = GetText();
        std::memset(bytes, 0, TextLimit);
        std::memcpy(bytes, text.data(), text.size());
    } else {
        const std::string text(bytes, strnlen(bytes, TextLimit - 1));
        SetText(text.c_str());
    }
    return TextLimit;
}

// Watches an edit's text change by change. The toolkit's own length limit is
// not used: it refuses a whole paste that does not fit, after the selection
// it replaces has gone.
class TEditFilter : public wxEvtHandler {
  public:
    explicit TEditFilter(size_t& maxChars) : MaxChars(maxChars) {}

    void Watch(wxTextCtrl* edit) {
        Edit = edit;
        Shown = edit->GetValue();
        edit->Bind(wxEVT_TEXT, &TEditFilter::OnText, this);
    }
    void Apply() {
        if (Edit != nullptr)
            Clean(Edit->GetValue());
    }

  private:
    void OnText(wxCommandEvent& event) {
        event.Skip();
        Clean(Edit->GetValue());
    }

    // The text as it now stands: what came in between the unchanged start and
    // the unchanged end is made storable and cut to the room left.
    void Clean(const wxString& now) {
        size_t start = 0;
        while (start < now.length() && start < Shown.length() && now[start] == Shown[start])
            ++start;
        size_t end = 0;
        while (end < now.length() - start && end < Shown.length() - start &&
               now[now.length() - 1 - end] == Shown[Shown.length() - 1 - end])
            ++end;
        wxString added = now.Mid(start, now.length() - start - end);
        added.Replace("\r\n", " ");
        for (const wxUniChar breaking : {'\r', '\n', '\t'})
            added.Replace(wxString(breaking), " ");
        // The character before may take an accent that comes on its own, and
        // a '?' just made may be the start of a flag or a joined emoji typed
        // one code point at a time: it is read again with what follows.
        const bool joins = !Pending.empty() && start == PendingAt + 1 && !added.empty();
        const std::string raw = (joins ? std::string(now.Left(PendingAt).utf8_str()) + Pending
                                       : std::string(now.Left(start).utf8_str())) +
                                std::string(added.utf8_str());
        std::string head = Windows1252FromUtf8(raw);
        const std::string tail = ToWindows1252(now.Right(end));
        const size_t room = MaxChars > tail.size() ? MaxChars - tail.size() : 0;
        if (head.size() > room)
            head.resize(room);
        Pending.clear();
        if (!added.empty() && !head.empty() && head.back() == '?') {
            Pending = LastGrapheme(raw);
            PendingAt = head.size() - 1;
        }
        const wxString clean = FromWindows1252(head + tail);
        Shown = clean;
        if (clean != now) {
            Edit->ChangeValue(clean);
            Edit->SetInsertionPoint(static_cast<long>(head.size()));
        }
    }

    // The code points behind the '?' at PendingAt, while the user may still
    // be typing the rest of what it stands for.
    std::string Pending;
    size_t PendingAt = 0;
    size_t& MaxChars;
    wxTextCtrl* Edit = nullptr;
    wxString Shown;
};

TEdit::TEdit(TDialog* parent, int resId, size_t textLimit)
    : TStatic(parent, resId, textLimit), MaxChars(textLimit > 0 ? textLimit - 1 : 0),
      Filter(std::make_unique<TEditFilter>(MaxChars)) {}

TEdit::~TEdit() = default;

void TEdit::LimitText(size_t chars) {
    MaxChars = chars;
    Filter->Apply();
}

void TEdit::Attach(wxWindow* dialogWindow) {
    TStatic::Attach(dialogWindow);
    if (auto* edit = dynamic_cast<wxTextCtrl*>(GetHandle()))
        Filter->Watch(edit);
}

} // namespace vobrik
