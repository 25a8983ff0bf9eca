#pragma once

// The controls of a dialog template, reached by their ids. A control object is
// constructed with its dialog, before the dialog's window exists, and is bound
// to the template's control when the dialog is created.

#include "platform/wx/Window.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vobrik {

class TControl : public TWindow {
  public:
    TControl(TDialog* parent, int resId);
    ~TControl() override;
    int GetId() const { return Id; }

    // Moves the control's value to or from its field of the transfer buffer
    // and gives the field's size; 0 for a control that takes no part.
    virtual size_t Transfer(void* field, TTransferDirection direction);
    // The field sits where the compiler puts a member of its type: a 16-bit
    // state after an odd-sized text goes one byte on.
    virtual size_t TransferAlignment() const { return 1; }
    void EnableTransfer() { TransferEnabled = true; }
    void DisableTransfer() { TransferEnabled = false; }
    bool IsTransferEnabled() const { return TransferEnabled; }

    void EnableWindow(bool enable);

  protected:
    // Binds the object to its control in the dialog's window.
    virtual void Attach(wxWindow* dialogWindow);
    friend class TDialog;
    bool TransferEnabled = false;

  private:
    int Id;
};

class TListBox : public TControl {
  public:
    TListBox(TDialog* parent, int resId);
    ~TListBox() override;

    void ClearList();
    // Adds a line at the end and gives its index. Windows-1252.
    int AddString(const char* text);
    int GetCount() const;
    // -1 when nothing is selected.
    int GetSelIndex() const;
    bool SetSelIndex(int index);
    bool SetItemData(int index, int32_t data);
    // -1 for an invalid index.
    int32_t GetItemData(int index) const;
    std::string GetString(int index) const;
    void SetRedraw(bool on);
    void Invalidate();

  protected:
    // Only a double click opens a line: Enter and Space, which the toolkit
    // counts as opening it too, do not; and moving the focus into the list
    // selects nothing.
    void Attach(wxWindow* dialogWindow) override;

  private:
    std::vector<int32_t> ItemData;
    bool Frozen = false;
    class TGuard;
    std::unique_ptr<TGuard> Guard;
};

class TCheckBox : public TControl {
  public:
    TCheckBox(TDialog* parent, int resId) : TControl(parent, resId) { EnableTransfer(); }

    void SetCheck(int state);
    int GetCheck() const;
    void Check() { SetCheck(BST_CHECKED); }
    void Uncheck() { SetCheck(BST_UNCHECKED); }
    // A 16-bit state: 1 checked, 0 not.
    size_t Transfer(void* field, TTransferDirection direction) override;
    size_t TransferAlignment() const override { return alignof(uint16_t); }
    bool Find(TMessage& msg, intptr_t& result) override;
};

// The toolkit cannot show a radio group with none checked. A template group
// that may have none ends in a hidden radio button, which is checked when the
// checked button of the group is unchecked.
class TRadioButton : public TCheckBox {
  public:
    TRadioButton(TDialog* parent, int resId) : TCheckBox(parent, resId) {}
};

// A text control whose transfer field is a character array as long as its
// text limit (the terminating zero included). Its text is shown as it stands:
// an ampersand is no mnemonic.
class TStatic : public TControl {
  public:
    TStatic(TDialog* parent, int resId, size_t textLimit);

    size_t GetTextLimit() const { return TextLimit; }
    std::string GetText() const;
    // Windows-1252; cut to the text limit.
    void SetText(const char* text);
    size_t Transfer(void* field, TTransferDirection direction) override;

  private:
    size_t TextLimit;
};

class TEditFilter;

// Whatever reaches the edit, typed, pasted, dropped or committed by an input
// method, is kept as it will be stored: line breaks and tabs become spaces,
// what Windows-1252 cannot hold shows as '?' at once, and an insertion that
// would pass the limit keeps what fits and drops the rest.
class TEdit : public TStatic {
  public:
    TEdit(TDialog* parent, int resId, size_t textLimit);
    ~TEdit() override;

    // Characters the user may type; one fewer than the text limit unless
    // lowered here. The transfer field keeps the size of the text limit.
    void LimitText(size_t chars);

  protected:
    // The user cannot type past the limit.
    void Attach(wxWindow* dialogWindow) override;

  private:
    size_t MaxChars;
    std::unique_ptr<TEditFilter> Filter;
};

} // namespace vobrik
