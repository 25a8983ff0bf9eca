#pragma once

// Response tables: each window class lists the messages and control
// notifications it answers, with the member that answers them, e.g.
//
//   static const TResponseTable<TMyDlg> table{
//       EvBnClicked<&TMyDlg::Add>(MainDlgIds::Add),
//       EvMessage<&TMyDlg::OnTimer>(WM_TIMER),
//   };
//   return table.Dispatch(*this, msg, result) || TDialog::Find(msg, result);
//
// A handler takes either nothing or (wParam, lParam); one that returns a value
// gives the message's result, otherwise the result is 0.

#include "platform/Win.h"

#include <functional>
#include <initializer_list>
#include <type_traits>
#include <vector>

namespace vobrik {

template <class T> struct TResponseEntry {
    unsigned Msg;
    unsigned Id;     // WM_COMMAND only: the control id
    unsigned Notify; // WM_COMMAND only: the notification code
    intptr_t (*Handler)(T&, const TMessage&);
};

template <class T> class TResponseTable {
  public:
    TResponseTable(std::initializer_list<TResponseEntry<T>> entries) : Entries(entries) {}

    // Runs the first matching handler; false when none matches.
    bool Dispatch(T& window, const TMessage& msg, intptr_t& result) const {
        for (const auto& entry : Entries) {
            if (entry.Msg != msg.Msg)
                continue;
            if (msg.Msg == WM_COMMAND &&
                (entry.Id != LoWord(msg.WParam) || entry.Notify != HiWord(msg.WParam)))
                continue;
            result = entry.Handler(window, msg);
            return true;
        }
        return false;
    }

  private:
    std::vector<TResponseEntry<T>> Entries;
};

namespace detail {

template <class M> struct TClassOf;
template <class C, class R, class... A> struct TClassOf<R (C::*)(A...)> { using Type = C; };

template <auto Method, class T> intptr_t Invoke(T& window, const TMessage& msg) {
    using M = decltype(Method);
    if constexpr (std::is_invocable_v<M, T&, uintptr_t, intptr_t>) {
        using R = std::invoke_result_t<M, T&, uintptr_t, intptr_t>;
        if constexpr (std::is_void_v<R>) {
            std::invoke(Method, window, msg.WParam, msg.LParam);
            return 0;
        } else {
            return static_cast<intptr_t>(std::invoke(Method, window, msg.WParam, msg.LParam));
        }
    } else {
        using R = std::invoke_result_t<M, T&>;
        if constexpr (std::is_void_v<R>) {
            std::invoke(Method, window);
            return 0;
        } else {
            return static_cast<intptr_t>(std::invoke(Method, window));
        }
    }
}

template <auto Method> using ClassOf = typename TClassOf<decltype(Method)>::Type;

} // namespace detail

template <auto Method> TResponseEntry<detail::ClassOf<Method>> EvMessage(unsigned msg) {
    using T = detail::ClassOf<Method>;
    return {msg, 0, 0, &detail::Invoke<Method, T>};
}

template <auto Method>
TResponseEntry<detail::ClassOf<Method>> EvCommand(unsigned id, unsigned notify) {
    using T = detail::ClassOf<Method>;
    return {WM_COMMAND, id, notify, &detail::Invoke<Method, T>};
}

template <auto Method> TResponseEntry<detail::ClassOf<Method>> EvBnClicked(unsigned id) {
    return EvCommand<Method>(id, BN_CLICKED);
}

template <auto Method> TResponseEntry<detail::ClassOf<Method>> EvLbnDblClk(unsigned id) {
    return EvCommand<Method>(id, LBN_DBLCLK);
}

} // namespace vobrik
