// The failure a handler lets through to the general error display. Window
// tests call such handlers directly: Qt's widgets are built without exception
// support, so a failure thrown through a simulated click would skip Qt's own
// clean-up.
#pragma once

#include <QString>
#include <exception>
#include <functional>

inline QString failureOf(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}
