#pragma once

#include <QString>

#include <functional>

namespace kestravin {

// The desktop's notification service.
class NotificationCenter {
public:
    enum class Authorization { notDetermined = 0, denied = 1, authorized = 2 };

    virtual ~NotificationCenter() = default;

    virtual Authorization authorizationStatus() = 0;
    // Asks for permission; `granted` runs on the GUI thread.
    virtual void requestAuthorization(std::function<void(bool granted)> granted) = 0;
    // Shows a notice with the default sound. `done` receives an empty string on
    // success or the error's description.
    virtual void post(const QString& title, const QString& body, std::function<void(QString error)> done) = 0;
};

} // namespace kestravin
