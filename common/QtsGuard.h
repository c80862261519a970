// The guard every event handler runs under: an exception that a handler does not handle is shown
// in the application's error box, and the window goes on in the state the handler left.
#pragma once

#include <QAbstractButton>
#include <QObject>
#include <exception>
#include <string>
#include <type_traits>
#include <utility>

// The error box: stop icon, OK, the application title as caption; a "." is appended when the
// message's last character code is greater than ".".
void ShowErrorBox(const std::string& message);
// The text the error box shows for a message.
std::string ErrorBoxText(const std::string& message);

template <class Handler> void Guarded(Handler&& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        ShowErrorBox(error.what());
    } catch (...) {
        ShowErrorBox("Unknown error");
    }
}

// Binds a window's handler to a signal; the handler runs under the guard, with as many of the
// signal's arguments as it takes:
//     ConnectGuarded(BtnOk, &QPushButton::clicked, this, &TFormConfig::BtnOkClick);
template <class Sender, class Signal, class Form, class... Args>
QMetaObject::Connection ConnectGuarded(Sender* sender, Signal signal, Form* form,
                                       void (Form::*handler)(Args...))
{
    return QObject::connect(sender, signal, form, [form, handler](Args... args) {
        Guarded([&] { (form->*handler)(std::forward<Args>(args)...); });
    });
}

// The same for a handler that needs more than the signal tells (which of several controls sent
// it): a callable without arguments, run under the guard while `context` lives.
template <class Sender, class Signal, class Handler,
          class = std::enable_if_t<std::is_invocable_v<Handler&>>>
QMetaObject::Connection ConnectGuarded(Sender* sender, Signal signal, QObject* context,
                                       Handler handler)
{
    return QObject::connect(sender, signal, context,
                            [handler = std::move(handler)]() mutable { Guarded(handler); });
}

// Binds a handler to a button becoming checked (a radio button's click, by mouse, keyboard or
// program), not to its being unchecked.
template <class Form>
QMetaObject::Connection ConnectChecked(QAbstractButton* button, Form* form, void (Form::*handler)())
{
    return QObject::connect(button, &QAbstractButton::toggled, form, [form, handler](bool checked) {
        if (checked)
            Guarded([&] { (form->*handler)(); });
    });
}
