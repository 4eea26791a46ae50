#pragma once

#include <QObject>

namespace kestravin {

// Application-wide notices that several services and views follow.
class AppEvents : public QObject {
    Q_OBJECT
public:
    static AppEvents& shared();

Q_SIGNALS:
    // A manual focus started, its in-app end found the block lifted, or its
    // session ended. The status item redraws its icon on it.
    void blockingStatusChanged();
};

} // namespace kestravin
